// The particle pair that reads its parameters {spread x, spread y, life range, speed range,
// acceleration range}: where a particle starts, how it rises and fades.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "engine/core/entity_kinds.h"

namespace hqlv::engine {
namespace {

// The least and the greatest origin x, origin y, life, speed and acceleration of enough new
// particles that every value of a range of 100 turns up.
using Ranges = std::array<std::pair<int, int>, 5>;
Ranges Sample(const ParticleParams* params) {
    std::srand(20240611);
    Ranges r;
    r.fill({1 << 30, -(1 << 30)});
    for (int i = 0; i < 5000; ++i) {
        const Particle p = ParticleEntity::DefaultNewParticle(params);
        EXPECT_EQ(p.alpha, 1.0);
        const int v[5] = {p.originX, p.originY, p.life, p.velocityX, p.velocityY};
        for (size_t k = 0; k < 5; ++k)
            r[k] = {std::min(r[k].first, v[k]), std::max(r[k].second, v[k])};
    }
    return r;
}

TEST(ParticlePair, ANewParticleDrawsEachValueFromItsRange) {
    // The sort sweep's record: a large tile's spread, 30 steps of life, speed 1-4, no
    // acceleration.
    const ParticleParams sweep{54, 77, 30, 4, 0};
    EXPECT_EQ(Sample(&sweep), (Ranges{{{-27, 26}, {-38, 38}, {1, 30}, {1, 4}, {0, 0}}}));
    // Without five parameters the defaults {10, 10, 100, 10, 1} hold.
    const ParticleParams four{54, 77, 30, 4};
    const Ranges defaults{{{-5, 4}, {-5, 4}, {1, 100}, {1, 10}, {1, 1}}};
    EXPECT_EQ(Sample(nullptr), defaults);
    EXPECT_EQ(Sample(&four), defaults);
    // Only a non-zero spread or range is drawn from; a negative one as the rule is written.
    const ParticleParams odd{0, -10, 30, 0, -3};
    EXPECT_EQ(Sample(&odd), (Ranges{{{0, 0}, {5, 14}, {1, 30}, {0, 0}, {1, 3}}}));
}

TEST(ParticlePair, AStepRisesBySpeedGrownByAccelerationAndFadesByLife) {
    const ParticleParams sweep{54, 77, 30, 4, 2};
    Particle p;
    p.x = 7, p.y = -4;
    p.velocityX = 3;  // speed
    p.velocityY = 2;  // acceleration
    p.life = 12;
    ASSERT_TRUE(ParticleEntity::DefaultStepParticle(p, &sweep));
    EXPECT_EQ(p.velocityX, 5);
    EXPECT_EQ(p.y, -9.0);
    EXPECT_EQ(p.x, 7.0);  // only upwards
    EXPECT_DOUBLE_EQ(p.alpha, 12.0 / 30);
    EXPECT_EQ(p.life, 11);
    ASSERT_TRUE(ParticleEntity::DefaultStepParticle(p, &sweep));
    EXPECT_EQ(p.y, -16.0);
    // The last step of its life still moves and fades it, then it is gone.
    p.life = 2;
    EXPECT_TRUE(ParticleEntity::DefaultStepParticle(p, &sweep));
    EXPECT_FALSE(ParticleEntity::DefaultStepParticle(p, &sweep));
    EXPECT_DOUBLE_EQ(p.alpha, 1.0 / 30);
    // Without parameters the fade counts from 100.
    p.life = 50;
    EXPECT_TRUE(ParticleEntity::DefaultStepParticle(p, nullptr));
    EXPECT_DOUBLE_EQ(p.alpha, 0.5);
}

TEST(ParticlePair, ALifeRangeOfZeroNeverDividesByZero) {
    // A negative range is taken as none too: its alpha would be negative.
    for (int range : {0, -30}) {
        const ParticleParams none{10, 10, range, 4, 0};
        Particle p = ParticleEntity::DefaultNewParticle(&none);
        EXPECT_EQ(p.life, 1) << range;
        EXPECT_FALSE(ParticleEntity::DefaultStepParticle(p, &none));
        EXPECT_DOUBLE_EQ(p.alpha, 1.0 / 100) << range;
    }
}

}  // namespace
}  // namespace hqlv::engine
