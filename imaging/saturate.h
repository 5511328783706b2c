// A floating value from a picture file turned into an integer field: the file may hold any
// value (a huge resolution, infinity, not a number), and the field keeps the nearest value
// it can hold instead of an undefined result.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace hqlv::imaging {

// Truncates toward zero like a cast; values beyond the type's range give its nearest end,
// and "not a number" gives 0.
template <typename Int>
Int SaturateCast(double v) {
    static_assert(std::numeric_limits<Int>::is_integer);
    if (std::isnan(v)) return 0;
    // The bounds are zero or powers of two, exact as doubles: the lowest value and one
    // past the highest.
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double past = static_cast<double>(std::numeric_limits<Int>::max() / 2 + 1) * 2.0;
    if (v <= lo) return std::numeric_limits<Int>::min();
    if (v >= past) return std::numeric_limits<Int>::max();
    return static_cast<Int>(v);
}

}  // namespace hqlv::imaging
