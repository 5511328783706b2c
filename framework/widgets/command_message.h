#pragma once
// The command message that menus and buttons post to their owner (w: the command id), as
// a pane's commands come. One definition for every widget that sends it.
#include <cstdint>

namespace hqlv::framework {

inline constexpr uint32_t kMsgCommand = 0x0111;

}  // namespace hqlv::framework
