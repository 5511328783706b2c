#pragma once
// The engine's built-in Apply callbacks: moves, waits, show and hide, fades, resizes, frame
// animation, particles, repeated messages, and the two that finish at once. Each keeps its
// state in the Apply's parameter words and returns non-zero when finished.
#include <cstdint>

#include "engine/core/kernel.h"

namespace hqlv::engine {

// The timer test on p0 (last run) and p3 (interval): due once the interval has passed since
// the last run, measured by unsigned difference so the 32-bit wrap changes nothing. When due,
// p0 becomes now.
int IsApplyDue(uint32_t* p, uint32_t now);

uint32_t ApplyMove(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyWait(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyShowHide(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyFade(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyResize(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyPlayFrames(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyParticles(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyDeliverMessage(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyInstant(Entity* e, Apply& a, GameKernel& k, uint32_t now);
uint32_t ApplyNop(Entity* e, Apply& a, GameKernel& k, uint32_t now);

}  // namespace hqlv::engine
