#include "mahjong/panes/mj_frame.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "framework/app/game_app.h"
#include "framework/app/skin_library.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/panes/advert_bet_view.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/panes/mj_operate_view.h"
#include "mahjong/panes/mj_panes.h"
#include "mahjong/panes/mj_player_view.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/panes/mj_tool_view.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "netlib/log.h"

namespace hqlv::mahjong {

namespace {

constexpr int kInfoPaneHeight = 190;
constexpr int kToolRowHeight = 20;
constexpr int kDialogBarId = 141;

void FreeTextBlock(const platform::Message& m) {
    delete[] reinterpret_cast<char*>(m.w);
}

}  // namespace

CMJGameFrameWnd::CMJGameFrameWnd(CMJGameApp& app) : framework::CGameFrameWnd(app), mj_(app) {}

CMJGameFrameWnd::~CMJGameFrameWnd() = default;

framework::CTableViewHooks* CMJGameFrameWnd::GetTableView() {
    return GetTablePane();
}

framework::CGameTableView* CMJGameFrameWnd::GetTablePane() const {
    if (mjTable_) return mjTable_;
    return gdiTable_;
}

CMJTableHooks* CMJGameFrameWnd::GetMJTableHooks() const {
    if (mjTable_) return mjTable_;
    return gdiTable_;
}

framework::CChatViewHooks* CMJGameFrameWnd::GetChatView() {
    return fallbackChat_ ? nullptr : dynamic_cast<framework::CChatViewHooks*>(chatPane_);
}

framework::CPlayerListHooks* CMJGameFrameWnd::GetPlayerView() {
    return dynamic_cast<framework::CPlayerListHooks*>(playerPane_);
}

CMJChatHooks* CMJGameFrameWnd::GetMJChat() const {
    return fallbackChat_ ? nullptr : dynamic_cast<CMJChatHooks*>(chatPane_);
}

CMJPlayerHooks* CMJGameFrameWnd::GetMJPlayers() const {
    return dynamic_cast<CMJPlayerHooks*>(playerPane_);
}

CMJScoreHooks* CMJGameFrameWnd::GetScoreHooks() const {
    return dynamic_cast<CMJScoreHooks*>(info_);
}

framework::CGameFormView* CMJGameFrameWnd::CreateOperatePane() {
    return new CMJOperateView();
}

framework::CGameFormView* CMJGameFrameWnd::CreateInfoPane() {
    return new CAdvertBetView();
}

framework::CGameFormView* CMJGameFrameWnd::CreatePlayerPane() {
    return new CMJGamePlayerView(mj_);
}

framework::CGameFormView* CMJGameFrameWnd::CreateToolPane() {
    // The tool row belongs to a silver room's players (the special option).
    if (!mj_.IsSpecialOption()) return nullptr;
    return new CMJToolView();
}

framework::CGameFormView* CMJGameFrameWnd::CreateChatPane() {
    return new CMJGameChatView();
}

framework::CGameFormView* CMJGameFrameWnd::CreateFallbackChatPane() {
    return new CMJChatView2();
}

QSize CMJGameFrameWnd::ScreenSize() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

int CMJGameFrameWnd::GetPaneRowHeight() {
    CMJGameInfo* info = mj_.GetGameInfo();
    return info ? info->GetPlayerListHeight() : framework::CGameFrameWnd::GetPaneRowHeight();
}

void CMJGameFrameWnd::CreateClient() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The dialog bar: an empty bar docked at the top with a bottom border.
    dialogBar_ = new QWidget(this);
    dialogBar_->setObjectName(QString("dialogbar%1").arg(kDialogBarId));
    dialogBar_->setFixedHeight(2);
    layout->addWidget(dialogBar_);

    split_ = new framework::CSkinSplitterWnd(Qt::Horizontal, this);
    CMJGameInfo* info = mj_.GetGameInfo();
    tableWidth_ = info ? info->GetTableWidth() : ScreenSize().width() * 7 / 9;
    if (mj_.GetSceneMode() == 1) {
        // Mode 1 has no engine: the scene paints into the GDI view's buffer.
        gdiTable_ = new CMJGameTableView(mj_);
        split_->addWidget(gdiTable_);
        panes_.push_back(gdiTable_);
    } else {
        mjTable_ = new CMJGameTableView2(mj_);
        split_->addWidget(mjTable_);
        panes_.push_back(mjTable_);
        if (CMJGameScene2* scene = mj_.GetGameScene()) mjTable_->AttachEngine(scene);
    }

    operate_ = CreateOperatePane();
    info_ = CreateInfoPane();
    playerPane_ = CreatePlayerPane();
    toolPane_ = CreateToolPane();
    // With a tool row the bar under it stays where it is.
    right_ = toolPane_ ? new CMJToolSplitterWnd(Qt::Vertical)
                       : new framework::CSkinSplitterWnd(Qt::Vertical);
    split_->addWidget(right_);
    chatPane_ = CreateChatPane();
    if (!chatPane_) {
        // The chat pane could not be made: the plain one takes its place, and the router's
        // chat lines have nowhere to go.
        fallbackChat_ = true;
        chatPane_ = CreateFallbackChatPane();
    }
    for (framework::CGameFormView* pane : {operate_, info_, playerPane_, toolPane_, chatPane_}) {
        if (!pane) continue;
        right_->addWidget(pane);
        panes_.push_back(pane);
    }
    layout->addWidget(split_);

    const QSize screen = ScreenSize();
    int operateHeight = info ? info->GetOperateBarHeight() : 36;
    int listHeight = GetPaneRowHeight();
    split_->setSizes({tableWidth_, screen.width() - tableWidth_});
    // The table keeps its width; the column takes what the splitter's bar needs.
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    const int chatHeight = screen.height() - operateHeight - kInfoPaneHeight - listHeight -
                           (toolPane_ ? kToolRowHeight : 0);
    if (toolPane_)
        right_->setSizes({operateHeight, kInfoPaneHeight, listHeight, kToolRowHeight, chatHeight});
    else
        right_->setSizes({operateHeight, kInfoPaneHeight, listHeight, chatHeight});
    right_->setStretchFactor(right_->count() - 1, 1);
    // The table views' initial update is the frame's, here and not at their making: the
    // engine's screen (and the window-drawn view's button places) take the size of the cell
    // the view stands in, which it has only now.
    if (mjTable_) mjTable_->OnInitialUpdate();
    if (gdiTable_) gdiTable_->OnInitialUpdate();
    ApplySkin();
}

void CMJGameFrameWnd::resizeEvent(QResizeEvent* e) {
    framework::CGameFrameWnd::resizeEvent(e);
    LayoutColumns(e->size().width());
}

void CMJGameFrameWnd::LayoutColumns(int frameWidth) {
    // Only a change of the frame's width lays the columns out again: a bar the player
    // dragged stays where it is while the height changes.
    if (!split_ || frameWidth <= 0 || frameWidth == laidOutWidth_) return;
    laidOutWidth_ = frameWidth;
    CMJGameInfo* info = mj_.GetGameInfo();
    tableWidth_ = info ? info->GetTableWidth(frameWidth) : frameWidth * 7 / 9;
    split_->setSizes({tableWidth_, std::max(frameWidth - tableWidth_, 0)});
    netlib::YrnLogWrite("columns: frame %d, table %d", frameWidth, tableWidth_);
}

int CMJGameFrameWnd::ApplySkin() {
    framework::CSkinLibrary& skin = framework::CSkinLibrary::instance();
    for (framework::CSkinSplitterWnd* s : {split_, right_}) {
        if (!s) continue;
        s->SetDrawMode(2);
        s->SetBarBitmaps(skin.GetBitmap("SplitterVerBK"), skin.GetBitmap("SplitterHorBK"));
    }
    if (mjTable_) mjTable_->ApplySkin();
    if (gdiTable_) gdiTable_->ApplySkin();
    if (auto* bar = dynamic_cast<CMJOperateView*>(operate_)) {
        bar->LoadBackground();
        if (bar->width() != 0) bar->Layout(bar->width(), bar->height());
        bar->update();
    }
    if (auto* tool = dynamic_cast<CMJToolView*>(toolPane_)) {
        tool->LoadHeaderBitmap();
        tool->update();
    }
    return 1;
}

intptr_t CMJGameFrameWnd::handleMessage(const platform::Message& msg) {
    switch (msg.id) {
        case framework::kMsgGameEntered:
            OnGameEntered();
            return 0;
        case framework::kMsgHallGameData:
            OnShowPlayerInfo(reinterpret_cast<const uint8_t*>(msg.w), size_t(msg.l));
            return 0;
        default:
            return framework::CGameFrameWnd::handleMessage(msg);
    }
}

void CMJGameFrameWnd::OnGameEntered() {
    framework::CGameTableView* table = GetTablePane();
    if (table) netlib::YrnLogWrite("table pane %d x %d", table->width(), table->height());
    platform::Message entered;
    entered.id = framework::kMsgGameEntered;
    for (framework::CGameFormView* pane :
         {GetChatPane(), playerPane_, static_cast<framework::CGameFormView*>(table), toolPane_}) {
        if (pane) platform::send(pane->hwnd(), entered);
    }
    if (!info_) return;
    std::string url = mj_.GetAdvertWindowUrl();
    char* block = new char[url.size() + 2]();
    std::memcpy(block, url.data(), url.size());
    platform::Message advert;
    advert.id = framework::kMsgGameEntered;
    advert.w = reinterpret_cast<uintptr_t>(block);
    advert.dispose = FreeTextBlock;
    if (!platform::post(info_->hwnd(), advert)) delete[] block;
}

void CMJGameFrameWnd::OnShowPlayerInfo(const uint8_t* data, size_t size) {
    mj_.ShowPlayerInfo(data, size);
}

void CMJGameFrameWnd::DestroyWindowNow() {
    netlib::YrnLogWrite("main frame destroyed");
    closing_ = true;
    for (uint32_t t : {framework::kTimerWatchdog, framework::kTimerNotice, framework::kTimerClose,
                       framework::kTimerKeepAlive})
        KillTimer(t);
    mj_.StopCommThread();
    close();
    EndEventLoops();
}

int CMJGameFrameWnd::DoExitRequestDialog() {
    int seconds = 30;
    return mj_.MessageBoxModal("请求退出", "强行退出", "继续游戏", &seconds, 0);
}

int CMJGameFrameWnd::ConfirmBox(const std::string& text, int style) {
    int seconds = 5;
    return mj_.MessageBoxModal(text, "确定", "取消", &seconds, style);
}

int CMJGameFrameWnd::ConfirmQuit() {
    if (mj_.ExitRequestCount(mj_.GetChairNo()) < 2) {
        mj_.PlaySoundId(29015, 0);
        return DoExitRequestDialog() == 1 ? 1 : 0;
    }
    if (mj_.IsLeaveForbidden()) {
        ConfirmBox(
            "生命不息，战斗不止，请继续游戏。\r\n(如果有玩家长时间不活动，请您等待2分钟后再退出)",
            0);
        return 0;
    }
    return ConfirmBox("游戏还没有结束，现在退出要扣你分，还要扣你银子。确定退出吗？", 0x21) == 2
               ? 0
               : 1;
}

}  // namespace hqlv::mahjong
