#pragma once
// This game's panes of the right-hand column as far as the shell needs them: the operate
// bar (CMyOperateView), the score history (CAdHistoryView, which takes the advert
// address and the score-board texts and frees them) and the player list
// (CGamePlayerViewEx, which answers other players' exit requests).
#include <string>

#include "framework/panes/form_view.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/game/score_history_view.h"
#include "mahjong/panes/mj_operate_view.h"
#include "mahjong/panes/mj_player_view.h"

namespace hqlv::mahjong {

class CGameAppEx;

// The operate bar of this game: help opens the game's own page; settings run this
// game's dialog.
class CMyOperateView : public CMJOperateView {
public:
    using CMJOperateView::CMJOperateView;
    // "%sgame/%s%d.html" on the platform's web base with the game code and 228.
    static std::string HelpUrl(const std::string& webBase, const std::string& gameCode);

protected:
    void OnCommand1001() override;
};

class CGamePlayerViewEx : public CMJGamePlayerView {
public:
    explicit CGamePlayerViewEx(CGameAppEx& app, QWidget* parent = nullptr);
    void ShowExitAnswerDlg(int userId, const std::string& reason) override;
    // 0x8D20: the popup's answer to an exit request.
    void OnExitAnswer(int requesterUserId, bool agree);

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    CGameAppEx& appEx_;
};

// Frees the heap text a message of the score-history pane carries.
void FreeMessageText(const platform::Message& m);

}  // namespace hqlv::mahjong
