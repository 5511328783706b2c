#include "mahjong/panes/mj_player_view.h"

#include <vector>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "framework/widgets/command_message.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/report_list.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/app/mj_client.h"
#include "mahjong/panes/mj_frame.h"
#include "mahjong/scene/game_info.h"
#include "netlib/log.h"

namespace hqlv::mahjong {

CMJGamePlayerView::CMJGamePlayerView(CMJGameApp& app, QWidget* parent)
    : framework::CGamePlayerView(app, parent), mjApp_(app) {
    // The list's background comes with the pane's making, as the relation colours come
    // with the framework pane's: a pane made by any frame lists in the application's colour.
    if (framework::CSortListCtrl* l = list()) {
        const uint32_t c = 0xFFFFF0;  // the application's list colour (a COLORREF)
        QPalette p = l->palette();
        p.setColor(QPalette::Base, QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int(c >> 16)));
        l->setPalette(p);
    }
}

void CMJGamePlayerView::SetSelectedUser(int userId) {
    selectedUser_ = userId;
}

void CMJGamePlayerView::UpdateScores(MJData result) {
    // The advert-bet pane (the mahjong layer's own layout) lists each deal's changes.
    CMJGameFrameWnd* frame = mjApp_.GetMJFrame();
    CMJScoreHooks* pane = frame ? frame->GetScoreHooks() : nullptr;
    if (pane && pane->IsAdvertBetView()) pane->OnDealResult(result);
    if (CMJGameInfo* info = mjApp_.GetGameInfo()) info->SetDealFlags(0);
    model().ClearUserSet();
    framework::CGamePlayerView::UpdateScores(framework::Body{result.data(), result.size()});
}

void CMJGamePlayerView::ShowKanPaiAsk(int userId) {
    ShowPlayerInfoDlg(userId);
}

KanPaiMenuItem CMJGamePlayerView::KanPaiMenuFor(int userId) const {
    KanPaiMenuItem item;
    if (!mjApp_.IsLookerOn(userId) || mjApp_.GetCmdField8() != 0) return item;
    const framework::PlayerRecord* r = mjApp_.GetPlayerRecord(userId);
    item.enabled = r && r->chair() == mjApp_.GetChairNo();
    std::string name = mjApp_.GetPlayerNameById(userId);
    item.text = framework::Format(IsInUserSet(userId) ? "禁止%s看牌" : "允许%s看牌", name.c_str());
    return item;
}

void CMJGamePlayerView::AdjustContextMenu(int userId, framework::COwnerDrawMenu& menu) {
    selectedUser_ = userId;
    KanPaiMenuItem item = KanPaiMenuFor(userId);
    if (!item.text.empty()) menu.SetItemText(kCmdKanPai, item.text, framework::kMfByCommand);
    menu.EnableItem(kCmdKanPai, item.enabled);
}

void CMJGamePlayerView::OnCommand1906() {
    CMJGameInfo* info = mjApp_.GetGameInfo();
    if (!info || !info->CanViewTiles()) return;
    if (model().FindRow(selectedUser_) < 0) return;
    platform::Message m;
    m.id = kMsgKanPaiReply;
    m.w = uintptr_t(selectedUser_);
    m.l = IsInUserSet(selectedUser_) ? 0 : 1;
    platform::send(hwnd(), m);
}

void CMJGamePlayerView::OnKanPaiReply(int userId, bool allow) {
    CMJGameClient* client = mjApp_.GetMJClient();
    if (!client || !client->SendKanPaiAnswer(userId, allow ? 1 : 0)) {
        netlib::YrnLogWrite("see-tiles answer for %d not sent", userId);
        return;
    }
    if (allow)
        model().AddToUserSet(userId);
    else
        model().RemoveFromUserSet(userId);
    std::vector<uint8_t> record = client->MakeBody(40);
    auto put = [&](size_t i, int32_t v) {
        for (size_t k = 0; k < 4; ++k) record[i * 4 + k] = uint8_t(uint32_t(v) >> (8 * k));
    };
    put(4, userId);
    put(5, allow ? 1 : 0);
    CMJGameFrameWnd* frame = mjApp_.GetMJFrame();
    if (CMJChatHooks* chat = frame ? frame->GetMJChat() : nullptr) chat->OnKanPaiAnswer(record);
}

intptr_t CMJGamePlayerView::handleMessage(const platform::Message& msg) {
    if (msg.id == framework::kMsgCommand && int(msg.w) == kCmdKanPai) {
        OnCommand1906();
        return 0;
    }
    if (msg.id == kMsgKanPaiReply) {
        OnKanPaiReply(int(msg.w), msg.l == 1);
        return 0;
    }
    return framework::CGamePlayerView::handleMessage(msg);
}

}  // namespace hqlv::mahjong
