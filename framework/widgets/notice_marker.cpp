#include "framework/widgets/notice_marker.h"

namespace hqlv::framework {
namespace {

// True when `head` (at most 8 bytes) begins the marker, ignoring case; the marker itself
// is lower case.
bool BeginsMarker(std::string_view head) {
    for (size_t i = 0; i < head.size(); ++i) {
        char x = head[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (x != kNoticeMarker[i]) return false;
    }
    return true;
}

}  // namespace

NoticeMarker::State NoticeMarker::Feed(std::string_view chunk) {
    if (state_ != State::kUndecided) return state_;
    size_t need = sizeof(kNoticeMarker) - 1 - head_.size();
    head_.append(chunk.substr(0, need));
    if (!BeginsMarker(head_))
        state_ = State::kRefused;
    else if (head_.size() == sizeof(kNoticeMarker) - 1)
        state_ = State::kAccepted;
    return state_;
}

NoticeMarker::State NoticeMarker::Finish() {
    if (state_ == State::kUndecided) state_ = State::kRefused;
    return state_;
}

}  // namespace hqlv::framework
