#include "framework/widgets/notice_marker.h"

namespace hqlv::framework {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

NoticeMarker::State NoticeMarker::Feed(std::string_view chunk) {
    if (state_ != State::kUndecided) return state_;
    size_t need = sizeof(kNoticeMarker) - 1 - head_.size();
    head_.append(chunk.substr(0, need));
    if (head_.size() == sizeof(kNoticeMarker) - 1)
        state_ = SameIgnoringCase(head_, kNoticeMarker) ? State::kAccepted : State::kRefused;
    else if (!SameIgnoringCase(head_, std::string_view(kNoticeMarker, head_.size())))
        state_ = State::kRefused;
    return state_;
}

NoticeMarker::State NoticeMarker::Finish() {
    if (state_ == State::kUndecided) state_ = State::kRefused;
    return state_;
}

}  // namespace hqlv::framework
