#include "mahjong/game/panes_ex.h"

#include <cstring>

#include "framework/app/shared_utils.h"
#include "mahjong/game/exit_answer_dlg.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/game_notify_ex.h"
#include "netlib/log.h"

namespace hqlv::mahjong {

void FreeMessageText(const platform::Message& m) {
    delete[] reinterpret_cast<char*>(m.w);
}

std::string CMyOperateView::HelpUrl(const std::string& webBase, const std::string& gameCode) {
    return framework::Format("%sgame/%s%d.html", webBase.c_str(), gameCode.c_str(), 228);
}

void CMyOperateView::OnCommand1001() {
    if (framework::CGameApp* app = GetTheApp())
        app->OpenWebPage(HelpUrl(app->WebBaseText(), app->GetGameCode()), 0);
}

CGamePlayerViewEx::CGamePlayerViewEx(CGameAppEx& app, QWidget* parent)
    : CMJGamePlayerView(app, parent), appEx_(app) {}

void CGamePlayerViewEx::ShowExitAnswerDlg(int userId, const std::string& reason) {
    appEx_.PlaySoundId(29015, 0);
    netlib::YrnLogWrite("exit request of user %d: %s", userId, reason.c_str());
    // The popup lives on its own: it destroys itself once it has sunk.
    auto* popup = new CExitAnswerDlg(hwnd(), userId, reason);
    popup->SetBackColor(kExitAnswerBack);
    popup->SetGradientColor(kExitAnswerBack);
    popup->SetSize(200, 105);
    popup->SetStayTime(30);
    if (!popup->ShowPopup(267, nullptr)) delete popup;
}

void CGamePlayerViewEx::OnExitAnswer(int requesterUserId, bool agree) {
    std::string own = appEx_.GetPlayerNameById(appEx_.GetUserID());
    std::string requester = appEx_.GetPlayerNameById(requesterUserId);
    appEx_.SendChatViewMessage(framework::Format(" <c=%d>%s%s%s的退出请求 \r\n", kExitChatColour,
                                                 own.c_str(), agree ? "答应" : "拒绝",
                                                 requester.c_str()));
    if (CGameConnectEx* conn = appEx_.GetConnectEx())
        conn->SendExitAnswer(requesterUserId, agree ? 1 : 0);
}

intptr_t CGamePlayerViewEx::handleMessage(const platform::Message& msg) {
    if (msg.id == kMsgExitAnswer) {
        OnExitAnswer(int(msg.w), msg.l == 1);
        return 0;
    }
    return CMJGamePlayerView::handleMessage(msg);
}

}  // namespace hqlv::mahjong
