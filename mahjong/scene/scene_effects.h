#pragma once
// Apply callbacks of the table's effects that are not bound to one scene operation.
#include <cstdint>

#include "engine/core/kernel.h"

namespace hqlv::mahjong {

// A plane entity blinks in random colours: each run replaces the colour it showed last
// (parameter word 6, set by the caller first) with a new one; the colour key and white are
// never taken. Never finishes.
uint32_t BlinkPlaneColour(engine::Entity* e, engine::Apply& a, engine::GameKernel& k, uint32_t now);

}  // namespace hqlv::mahjong
