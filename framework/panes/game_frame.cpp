#include "framework/panes/game_frame.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QTimer>

#include <cstdlib>

#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/hall/hall_records.h"
#include "framework/panes/player_view.h"
#include "framework/panes/table_view.h"
#include "framework/widgets/chat_view.h"
#include "framework/widgets/notice_download.h"
#include "netlib/log.h"
#include "netlib/message.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/process.h"
#include "platform/ui/cursor.h"
#include "platform/ui/screenshot.h"

namespace hqlv::framework {

CGameFrameWnd::CGameFrameWnd(CGameApp& app) : platform::ui::Window(nullptr), app_(app) {}

CGameFrameWnd::~CGameFrameWnd() {
    if (endpoint_) endpoint_->close();
}

bool CGameFrameWnd::Create() {
    setWindowTitle(QString::fromStdString(app_.GetTitleText()));
    CreateClient();
    CSkinLibrary::instance().SkinWindow(this, 0x80);
    if (!app_.IsStandalone()) {
        endpoint_ = std::make_unique<platform::HallEndpoint>();
        if (!endpoint_->open(hwnd(), hwnd())) {
            netlib::YrnLogWrite("main frame: the hall cannot reach this window");
            endpoint_.reset();
        }
    }
    SetTimer(kTimerWatchdog, 1000);
    app_.AttachMainWindow(this);
    // Shown maximised, and from then on placed by the window manager only: the frame has no
    // handler of its own for a change of size. Where the frame was first written, a newer
    // system hung a maximised window's sizing borders over the screen's edge, so the frame
    // moved itself after each change to put them outside the work area. Here the borders
    // and the caption of a top-level window are the window manager's, and so is where a
    // maximised window lies; a frame that moved itself while maximised would fight it.
    // Without a window manager (a bare X display) maximising does not resize: cover the
    // screen's work area first.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
    raise();
    activateWindow();
    return true;
}

void CGameFrameWnd::CreateClient() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    split_ = new CSkinSplitterWnd(Qt::Horizontal, this);
    right_ = new CSkinSplitterWnd(Qt::Vertical);
    CSkinLibrary& skin = CSkinLibrary::instance();
    for (CSkinSplitterWnd* s : {split_, right_}) {
        s->SetDrawMode(2);
        s->SetBarBitmaps(skin.GetBitmap("SplitterVerBK"), skin.GetBitmap("SplitterHorBK"));
    }
    table_ = new CGameTableView(app_);
    split_->addWidget(table_);
    split_->addWidget(right_);
    panes_.push_back(table_);
    for (const char* name : {"operation", "score", "players"}) {
        CGameFormView* pane = nullptr;
        if (std::string_view(name) == "players")
            pane = players_ = new CGamePlayerView(app_);
        else
            pane = new CGameFormView(name);
        right_->addWidget(pane);
        panes_.push_back(pane);
    }
    chat_ = new CGameChatView();
    right_->addWidget(chat_);
    panes_.push_back(chat_);
    layout->addWidget(split_);
    // The table takes seven ninths of the screen's width; the right column the rest.
    QScreen* screen = QGuiApplication::primaryScreen();
    int width = screen ? screen->availableGeometry().width() : 1280;
    int height = screen ? screen->availableGeometry().height() : 800;
    split_->setSizes({width * 7 / 9, width - width * 7 / 9});
    int row = GetPaneRowHeight();
    right_->setSizes({row, height / 4, height / 3, height - row - height / 4 - height / 3});
    // The last row takes what the others leave; they keep their heights.
    for (int i = 0; i < 3; ++i) right_->setStretchFactor(i, 0);
    right_->setStretchFactor(3, 1);
    split_->setStretchFactor(0, 7);
    split_->setStretchFactor(1, 2);
}

CChatViewHooks* CGameFrameWnd::GetChatView() {
    return chat_;
}

void CGameFrameWnd::StartNoticeDownload() {
    auto record = MakeNoticeRecord(hwnd(), app_.GetNoticeBaseUrl(), app_.GetGameID(),
                                   app_.GetNoticeNumber(), GetTempFolder());
    StartNoticeThread(std::move(record));
}

void CGameFrameWnd::ShowNoticeText(const std::string& utf8Text) {
    if (CChatViewHooks* chat = GetChatView()) {
        chat->ShowText(utf8Text);
        ++noticesShown_;
    }
}

int CGameFrameWnd::GetPaneRowHeight() {
    bool small = app_.IsSmallScreen();
    if (app_.TestCmdField13Bit8() && app_.GetCmdField8() == 0) return small ? 72 : 104;
    int n = app_.GetSeatCount();
    if (n > 4) n = 4;
    return small ? 16 * n + 56 : 32 * n + 72;
}

intptr_t CGameFrameWnd::handleMessage(const platform::Message& msg) {
    switch (msg.id) {
        case netlib::kMsgSocketEvent:
            OnServerMessage(msg);
            return 0;
        case platform::kCopyDataMessage: {
            const auto* cd = reinterpret_cast<const platform::CopyData*>(msg.l);
            if (cd) OnCopyData(cd->kind, cd->data, cd->size);
            return 1;
        }
        case kMsgEnterGameStart:
            OnEnterGameStart();
            return 0;
        case kMsgEnterGame:
            return OnEnterGame();
        case kMsgGameEntered:
            for (CGameFormView* pane : panes_) platform::send(pane->hwnd(), msg);
            return 1;
        case kMsgClose:
            if (msg.w == kCloseEndsClient)
                EndClient();
            else
                close();
            return 0;
        case kMsgSkinMenu: {
            const QRect* r = reinterpret_cast<const QRect*>(msg.w);
            CSkinSettings* skin = app_.GetSkinSettings();
            if (!r || !skin) return 0;
            QRect frame = frameGeometry();
            QScreen* screen = QGuiApplication::primaryScreen();
            int x = frame.right() + 1;
            if (screen && x > screen->geometry().width()) x = screen->geometry().width();
            int command = skin->ShowSkinMenu(x, r->bottom() + 1 + frame.top(), GetDialogBar());
            if (command > 0) {
                platform::Message m;
                m.id = kMsgSkinCommand;
                m.w = uintptr_t(command);
                platform::post(hwnd(), m);
            }
            return 1;
        }
        case kMsgSkinCommand:
            OnSkinCommand(static_cast<int>(msg.w));
            return 1;
        case kMsgNoticeDownloaded: {
            // The record stays alive until here even when the frame went away meanwhile.
            std::shared_ptr<NoticeDownloadRecord> record = TakeNoticeRecord(msg);
            if (record && record->done) {
                std::string text = TakeNoticeText(*record);
                // Downloads that ran at the same time fetched one notice: it is shown once.
                // They read the same address at the same moment, so a second text would
                // only repeat the first in the chat.
                const bool overlapped = shownNoticeSpan_ &&
                                        record->started <= shownNoticeSpan_->second &&
                                        shownNoticeSpan_->first <= record->finished;
                if (!text.empty() && !overlapped) {
                    shownNoticeSpan_.emplace(record->started, record->finished);
                    ShowNoticeText(GbkToUtf8(text));
                }
            }
            return 0;
        }
        case kMsgWebPageOpened:
            app_.ShowCommWait("", false);
            return 0;
        default:
            return 0;
    }
}

void CGameFrameWnd::OnSkinCommand(int command) {
    platform::ui::WaitCursor wait;
    CSkinSettings* skin = app_.GetSkinSettings();
    if (command == 20000) {
        // The skin page opens on a thread of its own under its wait text; the frame hears
        // of the end (0x8618) and hides the text.
        app_.OpenWebPage(app_.GetWebSkinUrl(), 0);
        return;
    }
    if (!skin || command < 20001 || command > 20064) return;
    auto it = skin->skins().find(command - 20001);
    if (it == skin->skins().end() || skin->IsCurrentSkin(it->second)) return;
    std::string folder = platform::normalizePath(it->second);
    folder = folder.substr(0, folder.rfind('/') + 1);
    if (!platform::pathExists(folder, true)) return;
    showMinimized();
    skin->SetSkinPath(it->second);
    SetTimer(kTimerSkin, 1);
}

void CGameFrameWnd::ChangeSkin() {
    CSkinSettings* skin = app_.GetSkinSettings();
    if (!skin) return;
    std::string path = skin->GetSkinPath();
    skin->Load();
    if (CCommWaitDlg* wait = app_.waitDialog()) {
        platform::Message m = MakeTextMessage(kMsgSkinPath, path, 0);
        if (!platform::post(wait->hwnd(), m)) DisposeTextMessage(m);
    }
    CSkinLibrary& lib = CSkinLibrary::instance();
    lib.SwitchTo(skin->GetSkinName(path), 1);
    for (CSkinSplitterWnd* s : {split_, right_}) {
        if (!s) continue;
        s->SetBarBitmaps(lib.GetBitmap("SplitterVerBK"), lib.GetBitmap("SplitterHorBK"));
        s->update();
    }
    ApplySkin();
    showMaximized();
    netlib::YrnLogWrite("skin changed to %s", path.c_str());
}

void CGameFrameWnd::OnServerMessage(const platform::Message& msg) {
    netlib::YrnEnvelope* env = netlib::YrnEnvelopeOf(msg);
    netlib::YrnRecord* rec = netlib::YrnRecordOf(msg);
    lastReceive_ = platform::tickMs();
    CGameConnection* conn = app_.GetConnection();
    if (env && rec && conn && env->objectId == conn->GetObjectId()) {
        int code = rec->head[1];
        if (code == netlib::kNoticeClosed || code == netlib::kNoticeError) {
            OnConnectionLost();
        } else if (CGameNotifyHandler* router = app_.GetGameNotify()) {
            size_t len = rec->length > 0 && rec->data ? size_t(rec->length) : 0;
            router->OnNotify(uint32_t(code), rec->data, len);
        }
    }
    // This handler is the last owner of the blocks.
    netlib::YrnFreeSocketMessage(env, rec);
}

void CGameFrameWnd::OnConnectionLost() {
    bool playing = app_.IsPlaying() != 0;
    app_.SetDisconnectedWhilePlaying(playing);
    app_.RefreshTableView();
    std::string text;
    // The box is the information box with both buttons; the longer text of a running game
    // gets 16 pixels more height.
    int extraHeight;
    if (playing && app_.GetCmdField8() == 0) {
        text = "断线了！请尽快重入房间续玩。\r\n\r\n您的位置【" + app_.GameDisplayNameText() + "_" +
               app_.RoomNameText() + "】。";
        extraHeight = 16;
    } else {
        text = "与服务器连接断开。";
        extraHeight = 0;
    }
    netlib::YrnLogWrite("connection lost");
    if (CTableViewHooks* table = GetTableView()) table->OnGameAborted();
    if (app_.GetMainFrame()) app_.MessageBoxModeless(text, "确定", "取消", 30, 65, extraHeight);
}

void CGameFrameWnd::onTimer(uint32_t id) {
    switch (id) {
        case kTimerWatchdog:
            CheckHallAlive();
            break;
        case kTimerNotice:
            StartNoticeDownload();
            break;
        case kTimerClose:
            KillTimer(kTimerClose);
            if (tableActive_) close();
            break;
        case kTimerSkin:
            KillTimer(kTimerSkin);
            ChangeSkin();
            break;
        case kTimerKeepAlive:
            if (CGameConnection* c = app_.GetConnection()) c->SendKeepAlive();
            break;
        case kTimerIdle:
            KillTimer(kTimerIdle);
            if (CGameTableView* table = GetGameTableView()) table->StopIdleTimer();
            netlib::YrnLogWrite("idle at the table: asked to leave");
            app_.MessageBoxModeless("由于您长时间没有开始，系统请您离开游戏！", "确定", "取消", 10,
                                    65);
            break;
        default:
            break;
    }
}

CTableViewHooks* CGameFrameWnd::GetTableView() {
    return table_;
}
CPlayerListHooks* CGameFrameWnd::GetPlayerView() {
    return players_;
}
CGameTableView* CGameFrameWnd::GetGameTableView() {
    return dynamic_cast<CGameTableView*>(GetTableView());
}

int CGameFrameWnd::GetTableViewWidth() {
    CGameTableView* table = GetGameTableView();
    return table ? table->GetWidth() : 0;
}

int CGameFrameWnd::GetTableViewHeight() {
    CGameTableView* table = GetGameTableView();
    return table ? table->GetHeight() : 0;
}

void CGameFrameWnd::CheckHallAlive() {
    if (app_.IsStandalone()) return;
    if (!platform::hallChannel().isAlive(app_.HallWindow())) {
        netlib::YrnLogWrite("the hall is gone: quitting");
        QCoreApplication::exit(0);
    }
}

void CGameFrameWnd::OnCopyData(uint32_t kind, const uint8_t* data, size_t size) {
    if (kind != kHallTableState && kind != kHallPlayerJoined && kind != kHallPlayerLeft &&
        kind != kHallGameData && kind != kHallData13) {
        return;
    }
    auto plain = DecryptHallData(data, size);
    if (!plain) {
        netlib::YrnLogWrite("hall record of kind %u refused (%zu bytes)", kind, size);
        return;
    }
    netlib::YrnLogWrite("hall record of kind %u, %zu bytes", kind, size);
    switch (kind) {
        case kHallTableState:
            OnHallTableState(plain->data(), plain->size());
            break;
        case kHallPlayerJoined:
            OnHallPlayerJoined(plain->data(), plain->size());
            break;
        case kHallPlayerLeft:
            OnHallPlayerLeft(plain->data(), plain->size());
            break;
        case kHallGameData: {
            platform::Message m;
            m.id = kMsgHallGameData;
            m.w = reinterpret_cast<uintptr_t>(plain->data());
            m.l = static_cast<intptr_t>(plain->size());
            platform::send(hwnd(), m);
            break;
        }
        case kHallData13:
            OnHallData13(plain->data(), plain->size());
            break;
    }
}

void CGameFrameWnd::OnHallTableState(const uint8_t* data, size_t size) {
    auto state = ParseHallTableState(data, size);
    if (!state) return;
    if (app_.ApplyHallTableState(*state)) {
        platform::Message m;
        m.id = kMsgEnterGameStart;
        platform::post(hwnd(), m);
    } else {
        netlib::YrnLogWrite("hall table state: no own record for user %d at chair %d",
                            app_.GetUserID(), app_.GetChairNo());
    }
}

void CGameFrameWnd::OnHallPlayerJoined(const uint8_t* data, size_t size) {
    auto record = ParseHallPlayerJoined(data, size);
    if (!record) return;
    PlayerRecord* stored = app_.AddLookerOn(*record);
    if (!stored) return;
    if (CPlayerListHooks* list = GetPlayerView()) list->AddPlayer(*stored);
    if (CChatViewHooks* chat = GetChatView()) chat->OnPlayerJoined(*stored);
}

void CGameFrameWnd::OnHallPlayerLeft(const uint8_t* data, size_t size) {
    auto left = ParseHallPlayerLeft(data, size);
    if (!left || !tableActive_) return;
    if (left->hallWnd != app_.HallWindow() || left->table != app_.GetTableNo()) return;
    if (app_.GetCmdField8() == 0) {
        if (CGameConnection* c = app_.GetConnection()) c->NotifyLeave(left->userId, left->chair);
    }
    if (CTableViewHooks* table = GetTableView()) table->OnGameAborted();
    OnPlayerLeftTable(left->chair);
}

void CGameFrameWnd::OnPlayerLeftTable(int chair) {
    app_.ShowCommWaitTimed(app_.GetSeatDisplayName(chair) + "已经退出,游戏结束。", 3);
    SetTimer(kTimerClose, 3000);
}

void CGameFrameWnd::OnEnterGameStart() {
    int seconds = app_.GetNoticeInterval();
    // A hall that gives no interval (0, or a negative word) asks for no periodic notice: a
    // timer of no period would start a download thread as fast as timers can fire.
    if (seconds > 0) SetTimer(kTimerNotice, TimerPeriodMs(seconds));
    app_.LoadSeatPortraits();
    platform::Message m;
    m.id = kMsgEnterGame;
    platform::post(hwnd(), m);
}

int CGameFrameWnd::OnEnterGame() {
    std::string text;
    CGameConnection* conn = app_.GetConnection();
    if (!conn || !conn->EnterGame(text)) {
        netlib::YrnLogWrite("enter game failed: %s", text.c_str());
        app_.ShowCommWait(text, true);
        app_.PumpFor(3000);
        platform::Message m;
        m.id = kMsgClose;
        platform::post(hwnd(), m);
        return 0;
    }
    netlib::YrnLogWrite("entered the game");
    platform::Message entered;
    entered.id = kMsgGameEntered;
    platform::send(hwnd(), entered);
    StartKeepAlive();
    // A picture of the running frame for whoever checks the layout (tests, bug reports).
    if (const char* shot = std::getenv("HQLV_SCREENSHOT"); shot && *shot) {
        std::string path = shot;
        // HQLV_SCREENSHOT_MS waits longer, for pictures of what arrives after the entry.
        int delay = 800;
        if (const char* ms = std::getenv("HQLV_SCREENSHOT_MS"); ms && std::atoi(ms) > 0)
            delay = std::atoi(ms);
        QTimer::singleShot(delay, this, [this, path] {
            bool ok = platform::ui::SaveWindowPng(this, path);
            netlib::YrnLogWrite("screenshot %s: %s", path.c_str(), ok ? "written" : "failed");
        });
    }
    return 1;
}

void CGameFrameWnd::SetKeepAliveTimer(int seconds) {
    KillTimer(kTimerKeepAlive);
    SetTimer(kTimerKeepAlive, uint32_t(seconds > 0 ? seconds : 60) * 1000);
}

void CGameFrameWnd::StartKeepAlive() {
    int seconds = 60;
    // Test deployments shorten the period to see keep-alives without waiting a minute.
    if (const char* env = std::getenv("HQLV_KEEPALIVE_SECONDS"); env && std::atoi(env) > 0)
        seconds = std::atoi(env);
    SetKeepAliveTimer(seconds);
}

int CGameFrameWnd::ConfirmQuit() {
    int seconds = 5;
    if (app_.IsLeaveForbidden()) {
        app_.MessageBoxModal(
            "生命不息，战斗不止，请继续游戏。\r\n(如果有玩家长时间不活动，请您等待2分钟后再退出)",
            "确定", "取消", &seconds, 0);
        return 0;
    }
    int r = app_.MessageBoxModal("游戏还没有结束，现在退出要扣你分，还要扣你银子。确定退出吗？",
                                 "确定", "取消", &seconds, 33);
    return r == 2 ? 0 : 1;
}

void CGameFrameWnd::EndClient() {
    if (ending_) return;
    ending_ = true;
    netlib::YrnLogWrite("the table is over: the client ends");
    if (!closing_) {
        // A close under way (its question still open) has told nobody yet: do it here.
        closing_ = true;
        CGameConnection* conn = app_.GetConnection();
        if (conn && conn->IsConnected()) {
            if (app_.TestCmdField13Bit40()) {
                std::string refusal;
                conn->LeaveGame(refusal, app_.GetUserID(), app_.GetChairNo());
            } else {
                conn->NotifyLeave(app_.GetUserID(), app_.GetChairNo());
            }
        }
        app_.ReportToHall(hallHandle());
    }
    app_.StopCommThread();
    for (uint32_t t : {kTimerWatchdog, kTimerNotice, kTimerClose, kTimerKeepAlive}) KillTimer(t);
    hide();
    EndEventLoops();
}

namespace {
bool g_mainLoopRunning = false;
}  // namespace

void CGameFrameWnd::SetMainLoopRunning(bool running) {
    g_mainLoopRunning = running;
}

void CGameFrameWnd::EndEventLoops() {
    // Every event loop ends, a dialog's among them (a close's question that is still up).
    // Not quit(): that first asks every window to close, and a window that will not close
    // would refuse it and keep the process up with no main window.
    if (g_mainLoopRunning) QCoreApplication::exit(0);
}

void CGameFrameWnd::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    CGameConnection* conn = app_.GetConnection();
    if (conn && app_.GetCmdField8() == 0 && conn->IsConnected() && conn->IsGameRunning()) {
        if (!ConfirmQuit() || ending_) {
            // Kept open, or the table ended while the question was up (EndClient did all).
            e->ignore();
            return;
        }
    }
    if (conn && conn->IsConnected()) {
        if (app_.TestCmdField13Bit40()) {
            std::string text;
            if (conn->LeaveGame(text, app_.GetUserID(), app_.GetChairNo()) == 1) {
                int seconds = 5;
                app_.MessageBoxModal(text, "确定", "取消", &seconds, 0);
                e->ignore();
                return;
            }
        } else {
            conn->NotifyLeave(app_.GetUserID(), app_.GetChairNo());
        }
    }
    closing_ = true;
    netlib::YrnLogWrite("main frame closes");
    app_.ReportToHall(hallHandle());
    app_.StopCommThread();
    for (uint32_t t : {kTimerWatchdog, kTimerNotice, kTimerClose, kTimerKeepAlive}) KillTimer(t);
    e->accept();
    EndEventLoops();
}

}  // namespace hqlv::framework
