#pragma once
// The mahjong chat panes as the frame makes them: CMJGameChatView (the framework's chat
// pane taking the router's lines) and the plain CMJChatView2 that stands in when the chat
// pane cannot be made.
#include <functional>
#include <optional>
#include <string>

#include "framework/widgets/chat_view.h"
#include "platform/core/message.h"
#include "mahjong/app/mj_hooks.h"

namespace hqlv::mahjong {

inline constexpr int kGameStartedColour = 8421504;  // grey
inline constexpr int kKanPaiAnswerColour = 2906200;
inline constexpr uint32_t kChatListBkColour = 0xFFFFF0;
inline constexpr int kFaceButtonIcon = 152;

using NameOfUser = std::function<std::string(int userId)>;

// Posts message `id` to a window with a heap copy of the text in wParam, which the
// receiver (or the message's disposal, when it is never handled) frees with
// FreePostedText; false, the copy freed, when the post could not be made.
bool PostTextCopy(platform::Handle window, uint32_t id, const std::string& text);
void FreePostedText(const platform::Message& m);

// " name 已经开始" for the record of 201160; nothing for a body too short for its user id.
std::optional<std::string> GameStartedLine(MJData record, const NameOfUser& displayName);
// The answer to a request to see tiles (221160): who answered, allowed or not, whose
// request; nothing for a body too short for words 0, 4 and 5.
std::optional<std::string> KanPaiAnswerLine(MJData record, const NameOfUser& name);

class CMJGameChatView : public framework::CGameChatView, public CMJChatHooks {
public:
    explicit CMJGameChatView(QWidget* parent = nullptr);
    void ShowRoundHistory(const std::string& line) override;
    void OnScoresLine(MJData record) override;
    void OnGameStarted(MJData record) override;
    void OnKanPaiAnswer(MJData record) override;

protected:
    void OnGameEntered() override;
};

class CMJChatView2 : public framework::CGameFormView {
public:
    explicit CMJChatView2(QWidget* parent = nullptr) : framework::CGameFormView("chat", parent) {}

protected:
    void paintEvent(QPaintEvent* e) override;
};

}  // namespace hqlv::mahjong
