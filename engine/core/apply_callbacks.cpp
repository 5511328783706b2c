#include "engine/core/apply_callbacks.h"

#include <cmath>
#include <cstdlib>

#include "engine/core/entity_kinds.h"

namespace hqlv::engine {
namespace {

int32_t RoundHalfAway(double v) {
    return int32_t(std::trunc(v >= 0 ? v + 0.5 : v - 0.5));
}

int32_t StepTowards(int32_t from, int32_t to, int32_t step) {
    return from < to ? from + step : from - step;
}

}  // namespace

int IsApplyDue(uint32_t* p, uint32_t now) {
    if (now - p[0] < p[3]) return 0;
    p[0] = now;
    return 1;
}

uint32_t ApplyMove(Entity* e, Apply& a, GameKernel&, uint32_t) {
    if (!e) return 1;
    int32_t x = e->GetX(), y = e->GetY();
    const int32_t tx = a.s(4), ty = a.s(5);
    if (x == tx && y == ty) return 1;
    const int32_t step = a.s(7) / 100;
    if (x == tx) {
        if (std::abs(int64_t(y) - ty) > step)
            y = StepTowards(y, ty, step);
        else
            y = ty;
    } else if (y == ty) {
        if (std::abs(int64_t(x) - tx) > step)
            x = StepTowards(x, tx, step);
        else
            x = tx;
    } else {
        const double dx = double(tx) - x, dy = double(ty) - y;
        const double d = std::trunc(std::sqrt(dx * dx + dy * dy));
        if (step >= d) {
            x = tx;
            y = ty;
        } else {
            x += RoundHalfAway(step * (dx / d));
            y += RoundHalfAway(step * (dy / d));
        }
    }
    e->SetPosition(x, y);
    e->ApplyTransform();
    int32_t speed = a.s(7);
    if (a.s(9) != 0) speed += a.s(9);
    if (a.s(10) != 0) speed = int32_t(int64_t(speed) * (a.s(10) + 1000) / 1000);
    if (a.s(8) != 0 && std::abs(int64_t(speed)) > std::abs(int64_t(a.s(8))))
        speed = speed < 0 ? -std::abs(a.s(8)) : std::abs(a.s(8));
    a.set(7, speed);
    return 0;
}

uint32_t ApplyWait(Entity*, Apply& a, GameKernel&, uint32_t now) {
    if (a.p[6] == 0) {
        a.p[7] = now;
        a.p[6] = 1;
    }
    return a.p[1] <= now - a.p[7] ? 1 : 0;
}

uint32_t ApplyShowHide(Entity* e, Apply& a, GameKernel&, uint32_t) {
    if (!e) return 1;
    if (a.p[7] != 0)
        e->Show();
    else
        e->Hide();
    e->ApplyTransform();
    return 1;
}

uint32_t ApplyFade(Entity* e, Apply& a, GameKernel&, uint32_t) {
    if (!e) return 1;
    double alpha = e->GetAlpha();
    const double target = a.s(8) / 100.0;
    const int32_t step = a.s(7);
    if ((alpha <= target && step < 0) || (alpha >= target && step > 0)) {
        e->SetAlpha(target);
        e->ApplyTransform();
        return 1;
    }
    if (step == 0) return 1;
    alpha += step / 100.0;
    if ((alpha <= target && step < 0) || (alpha >= target && step > 0)) alpha = target;
    e->SetAlpha(alpha);
    e->ApplyTransform();
    return 0;
}

uint32_t ApplyResize(Entity* e, Apply& a, GameKernel&, uint32_t) {
    if (!e) return 1;
    const int32_t tw = a.s(7), th = a.s(8);
    if (e->GetWidth() == tw && e->GetHeight() == th) return 1;
    int32_t w = e->GetWidth() + a.s(9);
    w = a.s(9) < 1 ? std::max(w, tw) : std::min(w, tw);
    int32_t h = e->GetHeight() + a.s(10);
    h = a.s(10) < 1 ? std::max(h, th) : std::min(h, th);
    e->SetSize(w, h);
    e->ApplyTransform();
    return 0;
}

uint32_t ApplyPlayFrames(Entity* e, Apply& a, GameKernel& k, uint32_t now) {
    auto* img = (e && e->GetType() == ENT_IMAGE) ? static_cast<ImageEntity*>(e) : nullptr;
    if (a.p[6] == 0) a.p[2] = now;
    a.p[6] += 1;
    const uint32_t mode = a.p[7];
    const uint32_t count = img ? img->GetFrameCount() : 0;
    switch (mode) {
        case 0:
            if (!img || count == 0) return 1;
            if (a.p[1] != 0 && now - a.p[2] > a.p[1]) {
                img->SetFrame(count - 1);
                return 1;
            }
            // Frames whose delays are all 0 take no time to play through: they stand on the
            // last frame, where the loops are counted, instead of never reaching it.
            if (count >= 2 && img->GetFrame() != count - 1 && img->TotalDuration() == 0)
                img->SetFrame(count - 1);
            if (img->GetFrame() == count - 1 && a.s(8) >= 0) {
                a.set(8, a.s(8) - 1);
                if (a.s(8) == 0) return 1;
            }
            break;
        case 1:
            if (!img || a.s(8) <= 0) return 1;
            a.set(8, a.s(8) - 1);
            a.p[3] = img->NextFrame();
            return a.s(8) == 0 ? 1 : 0;
        case 2:
            a.p[1] = now - a.p[2];
            if (a.s(8) >= 0 && a.p[1] > uint32_t(a.s(8))) return 1;
            if (!img) return 0;
            break;
        case 3:
            if (img) img->SetFrame(a.p[8] & 0xFFFF);
            return 1;
        default:
            return 1;
    }
    if (now == a.p[2]) return 0;
    a.p[3] = img->SetFrameAtTime(now - a.p[2]);
    if (a.p[3] == 0) a.p[3] = k.GetFrameInterval();
    return 0;
}

uint32_t ApplyParticles(Entity* e, Apply&, GameKernel&, uint32_t now) {
    auto* pe = (e && e->GetType() == ENT_PARTICLES) ? static_cast<ParticleEntity*>(e) : nullptr;
    ParticleState* s = pe ? pe->State() : nullptr;
    // Without an emitter there is nothing to run and nothing to wait for: an Apply that never
    // finished would hold its Event's chain and never deliver its completion message.
    if (!s) return 1;
    if (!s->running) return 0;
    if (s->finishing) {
        pe->Start(false);
        s->finishing = 0;
        return 1;
    }
    pe->Tick(now);
    if (s->toEmit > 0) return 0;
    if (s->live == 0) s->finishing = 1;
    return 0;
}

uint32_t ApplyDeliverMessage(Entity*, Apply& a, GameKernel& k, uint32_t) {
    if (a.p[1] > 0) {
        a.p[1] -= 1;
        // The Apply keeps an owned block until it completes; each delivery only shows it.
        k.DeliverMessage(EngineMessage{a.p[19], a.messageData.Borrow(), a.p[21]}, 0);
        if (a.p[1] == 0) a.p[19] = 0;
        return 0;
    }
    return 1;
}

uint32_t ApplyInstant(Entity*, Apply&, GameKernel&, uint32_t) {
    return 1;
}

uint32_t ApplyNop(Entity*, Apply&, GameKernel&, uint32_t) {
    return 1;
}

}  // namespace hqlv::engine
