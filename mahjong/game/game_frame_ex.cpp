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
    // Only the four chairs of the table keep a count; any other chair reads 0 and raises
    // nothing.
    const int chair = appEx_.GetChairNo();
    int* count = chair >= 0 && chair < 4 ? &appEx_.ExitRequestCount(chair) : nullptr;
    const bool forbidden = appEx_.gameInfo().RoundWord(22) != 0;
    CExitRequestDlg dlg(
        count, forbidden,
        [this](const std::string& reasonGbk) {
            if (CGameConnectEx* conn = appEx_.GetConnectEx()) conn->SendExitRequest(reasonGbk);
        },
        [this] {
            std::string own = appEx_.GetPlayerNameById(appEx_.GetUserID());
            appEx_.SendChatViewMessage(
                framework::Format(" <c=%d>%s请求退出 \r\n", kExitChatColour, own.c_str()));
        },
        this);
    return dlg.exec() == QDialog::Accepted ? 1 : 2;
}

}  // namespace hqlv::mahjong
