#pragma once
// The engine clock: milliseconds of the platform tick counter. Ticks are u32 and wrap;
// compare them only by difference (platform::tickElapsed).
#include <cstdint>

namespace hqlv::engine {

// The only clock mode there is: the tick counter.
constexpr uint32_t kClockTickCounter = 1;

// Reads the tick counter and keeps the reading as the last engine time.
uint32_t GetEngineTimeMs();
// The last engine time, without reading the counter: every reading within one frame
// agrees. 0 before the first GetEngineTimeMs.
uint32_t GetCachedTimeMs();
uint32_t GetClockMode();

}  // namespace hqlv::engine
