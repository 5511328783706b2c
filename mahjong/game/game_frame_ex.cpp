#include "mahjong/game/game_frame_ex.h"

#include "framework/app/shared_utils.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/game/small_dialogs.h"
#include "mahjong/panes/mj_panes.h"

namespace hqlv::mahjong {

CGameFrameEx::CGameFrameEx(CGameAppEx& app) : CMJGameFrameWnd(app), appEx_(app) {}

framework::CGameFormView* CGameFrameEx::CreateOperatePane() {
    return new CMyOperateView();
}

framework::CGameFormView* CGameFrameEx::CreateInfoPane() {
    return new CAdHistoryView();
}

framework::CGameFormView* CGameFrameEx::CreatePlayerPane() {
    return new CGamePlayerViewEx(appEx_);
}

framework::CGameFormView* CGameFrameEx::CreateChatPane() {
    return new CMJGameChatView();
}

framework::CGameFormView* CGameFrameEx::CreateFallbackChatPane() {
    return new CMJChatView2();
}

int CGameFrameEx::DoExitRequestDialog() {
    CExitRequestDlg dlg(appEx_, this);
    return dlg.exec() == QDialog::Accepted ? 1 : 2;
}

}  // namespace hqlv::mahjong
