#pragma once
// CMJGamePlayerView: the mahjong layer's player list. On top of the framework's list it
// controls which lookers-on may see the user's tiles (menu command 1906 and the answer to
// another player's ask, request 221052), colours the list and forgets the permissions
// after each deal result.
#include <string>

#include "framework/panes/player_view.h"
#include "mahjong/app/mj_hooks.h"

namespace hqlv::mahjong {

class CMJGameApp;

inline constexpr int kCmdKanPai = 1906;

// How menu item 1906 shows for a row.
struct KanPaiMenuItem {
    bool enabled = false;
    std::string text;  // empty: the menu's own text stays
};

class CMJGamePlayerView : public framework::CGamePlayerView, public CMJPlayerHooks {
public:
    explicit CMJGamePlayerView(CMJGameApp& app, QWidget* parent = nullptr);

    // ---- CMJPlayerHooks
    void UpdateScores(MJData result) override;
    // The framework's update from a whole body stays callable beside the game's own.
    using framework::CGamePlayerView::UpdateScores;
    void ShowKanPaiAsk(int userId) override;

    // Item 1906 for a player: a looker-on of the own chair may be allowed or forbidden.
    KanPaiMenuItem KanPaiMenuFor(int userId) const;
    void AdjustContextMenu(int userId, framework::COwnerDrawMenu& menu) override;
    void OnCommand1906();
    // 0x867A: w the user id, l 1 allow / 0 refuse.
    void OnKanPaiReply(int userId, bool allow);
    void SetSelectedUser(int userId);

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    CMJGameApp& mjApp_;
    int selectedUser_ = 0;
};

}  // namespace hqlv::mahjong
