#pragma once
// The mahjong chat panes as the frame makes them: CMJGameChatView (the framework's chat
// pane taking the router's lines) and the plain CMJChatView2 that stands in when the chat
// pane cannot be made.
#include "framework/widgets/chat_view.h"
#include "mahjong/mj_hooks.h"

namespace hqlv::mahjong {

class CMJGameChatView : public framework::CGameChatView, public CMJChatHooks {
public:
    using framework::CGameChatView::CGameChatView;
    void ShowRoundHistory(const std::string& line) override;
};

class CMJChatView2 : public framework::CGameFormView {
public:
    explicit CMJChatView2(QWidget* parent = nullptr) : framework::CGameFormView("chat", parent) {}
};

}  // namespace hqlv::mahjong
