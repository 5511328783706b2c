#include "mahjong/game/game_frame_ex.h"

#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/mj_panes.h"

namespace hqlv::mahjong {

CGameFrameEx::CGameFrameEx(CGameAppEx& app) : CMJGameFrameWnd(app), appEx_(app) {}

framework::CGameFormView* CGameFrameEx::CreateOperatePane() {
    return new CMyOperateView();
}

framework::CGameFormView* CGameFrameEx::CreateInfoPane() {
    return new CAdHistoryView();
}

framework::CGameFormView* CGameFrameEx::CreatePlayerPane() {
    auto* pane = new CGamePlayerViewEx(appEx_);
    pane->OnInitialUpdateMJ();
    return pane;
}

framework::CGameFormView* CGameFrameEx::CreateChatPane() {
    return new CMJGameChatView();
}

framework::CGameFormView* CGameFrameEx::CreateFallbackChatPane() {
    return new CMJChatView2();
}

}  // namespace hqlv::mahjong
