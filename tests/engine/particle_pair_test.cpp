// The particle pair that reads its parameters {spread x, spread y, life range, speed range,
// acceleration range}: where a particle starts, how it rises and fades.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/core/entity_kinds.h"

namespace hqlv::engine {
namespace {

struct Ranges {
    int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
    int minLife = 1 << 30, maxLife = -(1 << 30), minSpeed = 1 << 30, maxSpeed = -(1 << 30);
    int minAcc = 1 << 30, maxAcc = -(1 << 30);
};

// Enough particles that every value of a range of 100 turns up.
Ranges Sample(const ParticleParams* params) {
    std::srand(20240611);
    Ranges r;
    for (int i = 0; i < 5000; ++i) {
        const Particle p = ParticleEntity::DefaultNewParticle(params);
        EXPECT_EQ(p.alpha, 1.0);
        EXPECT_EQ(p.x, 0.0);
        EXPECT_EQ(p.y, 0.0);
        r.minX = std::min(r.minX, p.originX), r.maxX = std::max(r.maxX, p.originX);
        r.minY = std::min(r.minY, p.originY), r.maxY = std::max(r.maxY, p.originY);
        r.minLife = std::min(r.minLife, p.life), r.maxLife = std::max(r.maxLife, p.life);
        r.minSpeed = std::min(r.minSpeed, p.velocityX),
        r.maxSpeed = std::max(r.maxSpeed, p.velocityX);
        r.minAcc = std::min(r.minAcc, p.velocityY), r.maxAcc = std::max(r.maxAcc, p.velocityY);
    }
    return r;
}

TEST(ParticlePair, ANewParticleStartsWithinTheSpreadWithItsLifeAndSpeedInRange) {
    // The sort sweep's record: a large tile's spread, 30 steps of life, speed 1-4, no
    // acceleration.
    const ParticleParams sweep{54, 77, 30, 4, 0};
    const Ranges r = Sample(&sweep);
    EXPECT_EQ(r.minX, -27);
    EXPECT_EQ(r.maxX, 26);
    EXPECT_EQ(r.minY, -38);
    EXPECT_EQ(r.maxY, 38);
    EXPECT_EQ(r.minLife, 1);
    EXPECT_EQ(r.maxLife, 30);
    EXPECT_EQ(r.minSpeed, 1);
    EXPECT_EQ(r.maxSpeed, 4);
    EXPECT_EQ(r.minAcc, 0);
    EXPECT_EQ(r.maxAcc, 0);
}

TEST(ParticlePair, WithoutFiveParametersTheDefaultsHold) {
    const ParticleParams shortRecord{54, 77, 30, 4};
    for (const ParticleParams* params :
         {static_cast<const ParticleParams*>(nullptr), &shortRecord}) {
        const Ranges r = Sample(params);
        EXPECT_EQ(r.minX, -5);
        EXPECT_EQ(r.maxX, 4);
        EXPECT_EQ(r.minY, -5);
        EXPECT_EQ(r.maxY, 4);
        EXPECT_EQ(r.minLife, 1);
        EXPECT_EQ(r.maxLife, 100);
        EXPECT_EQ(r.minSpeed, 1);
        EXPECT_EQ(r.maxSpeed, 10);
        EXPECT_EQ(r.minAcc, 1);
        EXPECT_EQ(r.maxAcc, 1);
    }
}

TEST(ParticlePair, OnlyANonZeroSpreadOrRangeIsDrawnFrom) {
    // A spread of 0 keeps the origin; a negative one is drawn from as the rule is written.
    const ParticleParams zero{0, -10, 30, 0, -3};
    const Ranges r = Sample(&zero);
    EXPECT_EQ(r.minX, 0);
    EXPECT_EQ(r.maxX, 0);
    EXPECT_EQ(r.minY, 5);
    EXPECT_EQ(r.maxY, 14);
    EXPECT_EQ(r.minSpeed, 0);
    EXPECT_EQ(r.maxSpeed, 0);
    EXPECT_EQ(r.minAcc, 1);
    EXPECT_EQ(r.maxAcc, 3);
}

TEST(ParticlePair, AStepRisesBySpeedGrownByAccelerationAndFadesByLife) {
    const ParticleParams sweep{54, 77, 30, 4, 2};
    Particle p;
    p.x = 7;
    p.y = -4;
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
    EXPECT_DOUBLE_EQ(p.alpha, 11.0 / 30);
    // The last step of its life still moves and fades it, then it is gone.
    p.life = 2;
    EXPECT_TRUE(ParticleEntity::DefaultStepParticle(p, &sweep));
    EXPECT_FALSE(ParticleEntity::DefaultStepParticle(p, &sweep));
    EXPECT_DOUBLE_EQ(p.alpha, 1.0 / 30);
    EXPECT_EQ(p.life, 0);
    // Without parameters the fade counts from 100.
    p.life = 50;
    EXPECT_TRUE(ParticleEntity::DefaultStepParticle(p, nullptr));
    EXPECT_DOUBLE_EQ(p.alpha, 0.5);
}

TEST(ParticlePair, ALifeRangeOfZeroNeverDividesByZero) {
    const ParticleParams none{10, 10, 0, 4, 0};
    std::srand(7);
    Particle p = ParticleEntity::DefaultNewParticle(&none);
    EXPECT_EQ(p.life, 1);
    EXPECT_FALSE(ParticleEntity::DefaultStepParticle(p, &none));
    EXPECT_DOUBLE_EQ(p.alpha, 1.0 / 100);
}

}  // namespace
}  // namespace hqlv::engine
