#pragma once
// The test a notice answer must pass: its first 8 bytes are "<notify>" in any case.
#include <string>
#include <string_view>

namespace hqlv::framework {

inline constexpr char kNoticeMarker[] = "<notify>";

// Checks the marker over the answer's first 8 bytes however the answer is split into
// chunks.
class NoticeMarker {
public:
    enum class State { kUndecided, kAccepted, kRefused };
    // Feeds the next chunk; returns the state after it.
    State Feed(std::string_view chunk);
    // The answer ended: an undecided state (fewer than 8 bytes) is refused.
    State Finish();
    State state() const { return state_; }

private:
    State state_ = State::kUndecided;
    std::string head_;
};

}  // namespace hqlv::framework
