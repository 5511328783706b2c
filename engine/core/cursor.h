#pragma once
// A cursor the engine can show: a system cursor by its number (32512 arrow, 32649 hand,
// 32514 wait, ...) or a picture of its own with a hot spot. Named cursors are kept by the
// resource manager and shown through the host; a handle stays valid after the table lets
// the name go.
#include <cstdint>
#include <memory>
#include <vector>

namespace hqlv::engine {

// The largest side of a picture cursor.
constexpr int kMaxCursorSide = 256;

struct EngineCursor {
    uint32_t systemId = 0;  // non-zero: the system cursor of that number
    // A picture cursor: width × height pixels 0xAARRGGBB in rows, the hot spot inside it.
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<uint32_t> pixels;

    // A system cursor, or a picture whose pixels fill its size and whose hot spot lies on it.
    bool IsValid() const;
};

using CursorHandle = std::shared_ptr<const EngineCursor>;

}  // namespace hqlv::engine
