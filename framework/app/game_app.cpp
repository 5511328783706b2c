#include "framework/app/game_app.h"

#include <QApplication>
#include <QScreen>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <span>
#include <thread>

#include "framework/app/paths.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/settings_files.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/hall/hall_records.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/msgbox_dlg.h"
#include "framework/panes/table_view.h"
#include "framework/widgets/chat_markup.h"
#include "hqlv/config.h"
#include "netlib/log.h"
#include "netlib/socket.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/process.h"
#include "platform/core/profile.h"
#include "platform/core/wait_pump.h"
#include "platform/ui/cursor.h"
#include "platform/ui/platform_box.h"
#include "platform/ui/ui_loop.h"

namespace hqlv::framework {
namespace {

CGameApp* g_app = nullptr;
constexpr int kHallSendTimeoutMs = 5000;

// The application's side of the calls the game connection makes.
class AppConnectionHost : public GameConnectionHost {
public:
    explicit AppConnectionHost(CGameApp& app) : app_(app) {}
    HallEntry& Entry() override { return app_; }
    std::string MachineId() override { return GetMachineID(); }
    void WaitCursorBegin() override {
        cursors_.push_back(std::make_unique<platform::ui::WaitCursor>());
    }
    void WaitCursorEnd() override {
        if (!cursors_.empty()) cursors_.pop_back();
    }
    bool MakeOwnPlayerEntry(std::vector<uint8_t>& entry136, int& flagWord) override {
        const PlayerRecord* own = app_.GetPlayerRecord(app_.GetUserID());
        if (!own) return false;
        PlayerEntry e = MakePlayerEntry(*own);
        entry136.assign(e.raw.begin(), e.raw.end());
        flagWord = own->word(PlayerRecord::kFlags);
        return true;
    }
    int PlayerChair(int userId) override { return app_.GetPlayerChair(userId); }
    int OwnSeatSilver() override {
        const PlayerRecord* own = app_.GetPlayerRecord(app_.GetUserID());
        return own ? own->word(PlayerRecord::kSilver) : 0;
    }
    std::string OwnPlayerName() override { return app_.GetPlayerNameById(app_.GetUserID()); }
    bool QuickCatch() override { return app_.IsQuickCatch(); }
    void SetActivityConfig(bool enabled, const std::vector<ActivityEntry>& entries) override {
        app_.SetActivityConfig(enabled, entries);
    }
    void SetInGame(int value) override { app_.SetInGame(value); }
    void TableViewEnteredGame() override {
        if (CGameTableView* table = tableView()) table->OnEnteredGame();
    }
    void TableViewStopIdleTimer() override {
        if (CGameTableView* table = tableView()) table->StopIdleTimer();
    }
    std::span<uint8_t> GameDataBlock() override { return app_.GetTableDataBlock(); }
    void TakePlayerList(const uint8_t* data, size_t length) override {
        app_.UpdatePlayers(data, length);
    }
    void SilverBelowRoomMinimum(const uint8_t* data, size_t length) override {
        app_.CheckSilverTooLittle(data, length);
    }
    void SilverAboveRoomMaximum(const uint8_t* data, size_t length) override {
        app_.CheckSilverTooMuch(data, length);
    }
    void AppendChatMarkup(const std::string& markup) override {
        if (!app_.SendChatViewMessage(markup)) platform::diagf("chat: %s", markup.c_str());
    }

private:
    CGameTableView* tableView() {
        CGameFrameWnd* frame = app_.GetMainFrame();
        return frame ? frame->GetGameTableView() : nullptr;
    }

    CGameApp& app_;
    std::vector<std::unique_ptr<platform::ui::WaitCursor>> cursors_;
};

// The application's side of the notification handlers.
class AppNotifyHost : public CNotifyHost {
public:
    explicit AppNotifyHost(CGameApp& app) : app_(app) {}
    CGameAppData& appData() override { return app_; }
    int IsPlaying() override { return app_.IsPlaying(); }
    bool HasMainWindow() override { return app_.GetMainFrame() != nullptr; }
    void MessageBoxModeless(const std::string& text, const std::string& ok,
                            const std::string& cancel, int seconds, int style,
                            int extraHeight) override {
        app_.MessageBoxModeless(text, ok, cancel, seconds, style, extraHeight);
    }
    void MessageBoxModelessLink(const std::string& text, const std::string& ok,
                                const std::string& cancel, const std::string& link, int flag,
                                int seconds, int style) override {
        app_.MessageBoxModelessLink(text, ok, cancel, link, flag, seconds, style);
    }
    void TableOverBox(const std::string& text, int seconds, int style, int extraHeight) override {
        app_.MessageBoxModelessLink(text, "确定", "取消", "", 0, seconds, style, extraHeight, 0,
                                    false, false, true);
    }
    void TableOverBoxLink(const std::string& text, const std::string& ok, const std::string& cancel,
                          const std::string& link, int flag, int seconds, int style) override {
        app_.MessageBoxModelessLink(text, ok, cancel, link, flag, seconds, style, 0, 0, false,
                                    false, true);
    }
    void PlaySoundId(int id, int flags) override { app_.PlaySoundId(id, flags); }
    void HideCommWait() override { app_.ShowCommWait("", false); }
    void RefreshTableView() override { app_.RefreshTableView(); }
    void CloseConnection() override { app_.CloseConnection(); }
    void PostToHallWindow(uint32_t msg, uintptr_t w, intptr_t l) override {
        if (!app_.IsStandalone()) platform::hallChannel().post(app_.HallWindow(), msg, w, l);
    }
    uintptr_t MainWindowHandle() override {
        return app_.GetMainFrame() ? app_.GetMainFrame()->hallHandle() : 0;
    }
    void ClearTableActive() override {
        if (app_.GetMainFrame()) app_.GetMainFrame()->ClearTableActive();
    }
    int ScaleY(int n) override { return framework::ScaleY(n); }
    CTableViewHooks* tableView() override {
        return app_.GetMainFrame() ? app_.GetMainFrame()->GetTableView() : nullptr;
    }
    CChatViewHooks* chatView() override {
        return app_.GetMainFrame() ? app_.GetMainFrame()->GetChatView() : nullptr;
    }
    CPlayerListHooks* playerView() override {
        return app_.GetMainFrame() ? app_.GetMainFrame()->GetPlayerView() : nullptr;
    }

private:
    CGameApp& app_;
};

}  // namespace

namespace {

// The height of the primary screen; 0 before the window system is up.
int ScreenHeight() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 0;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

}  // namespace

CGameApp::CGameApp(std::string gameCode, int defaultPort, int versionMajor, int versionMinor)
    : CGameAppData(std::move(gameCode), defaultPort, versionMajor, versionMinor) {
    g_app = this;
    UpdateSmallScreen();
    skin_ = std::make_unique<CSkinSettings>(GetGameIniPath(), GetProgramFolder());
    connHost_ = std::make_unique<AppConnectionHost>(*this);
    conn_ = std::make_unique<CGameConnection>(connHost_.get());
    notifyHost_ = std::make_unique<AppNotifyHost>(*this);
    notify_ = std::make_unique<CGameNotifyHandler>(*notifyHost_);
}

CGameApp::~CGameApp() {
    StopCommThread();
    if (IsRelaunchAtExit()) RelaunchGame();
    wait_.reset();
    if (g_app == this) g_app = nullptr;
}

void CGameApp::UpdateSmallScreen() {
    // The window system is known only once the Qt application exists: the program's own
    // application object is made before it and asks again then.
    const int height = ScreenHeight();
    if (height > 0) SetSmallScreen(height < kSmallScreenHeight);
}

void CGameApp::RefreshTableView() {
    CGameFrameWnd* frame = frame_;
    if (auto* table = frame ? dynamic_cast<CGameFormView*>(frame->GetTableView()) : nullptr)
        table->Refresh();
}

CGameApp* CGameApp::Current() {
    return g_app;
}

std::string CGameApp::GetGameIniPath() const {
    return framework::GetGameIniPath(GetGameCode());
}

int CGameApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    qapp_ = &app;
    app.setQuitOnLastWindowClosed(false);
    platform::ui::uiDispatcher();
    UpdateSmallScreen();
    std::string commandLine = argc > 1 ? argv[1] : "";
    int rc = 0;
    if (InitInstance(commandLine)) {
        frame_ = CreateMainFrame();
        if (frame_ && frame_->Create()) {
            CGameFrameWnd::SetMainLoopRunning(true);
            rc = app.exec();
            CGameFrameWnd::SetMainLoopRunning(false);
        }
    }
    ExitInstance();
    delete frame_;
    frame_ = nullptr;
    wait_.reset();
    qapp_ = nullptr;
    return rc;
}

bool CGameApp::InitInstance(const std::string& commandLine) {
    if (const char* dir = std::getenv("HQLV_LOG_DIR"); dir && *dir) netlib::YrnLogSetFolder(dir);
    netlib::YrnLogOpen("Game", 0xA001D);
    GetSkinSettings()->Load();
    if (!CheckHallCommandLine(commandLine)) return false;
    // The window system's control containers, 3-D controls and rich-edit library need no
    // start here: the toolkit's widgets carry them.
    netlib::YrnRegisterSocketWindowClass();
    if (!netlib::YrnSocketStartup()) {
        platform::ui::PlatformMessageBox("Windows通信端口初始化失败。", GetGameCode(),
                                         platform::ui::kBoxOk,
                                         platform::ui::PlatformBoxIcon::kStop);
        return false;
    }
    InitActivityList();
    if (!CreateCommThread()) {
        platform::ui::PlatformMessageBox("通讯线程创建失败。", GetGameCode(), platform::ui::kBoxOk,
                                         platform::ui::PlatformBoxIcon::kStop);
        return false;
    }
    return ConnectGameServer() == 1;
}

int CGameApp::ExitInstance() {
    if (CSkinSettings* s = GetSkinSettings()) s->Unload();
    netlib::YrnUnregisterSocketWindowClass();
    StopCommThread();
    CloseConnection();
    // The log closes last: the thread's end and the connection's close still write their
    // lines, and no line may follow the close.
    netlib::YrnLogClose();
    return 0;
}

CGameFrameWnd* CGameApp::CreateMainFrame() {
    return new CGameFrameWnd(*this);
}

bool CGameApp::AskStartGameHall() {
    return platform::ui::PlatformMessageBox(
               kStartFromHallText, GetGameCode(), platform::ui::kBoxYesNo,
               platform::ui::PlatformBoxIcon::kInformation) == platform::ui::kAnswerYes;
}

int CGameApp::LaunchGameHall() {
    std::string hall = GetInstallPath();
    if (hall.empty()) return 0;
    return platform::startProgram(hall, "") ? 1 : 0;
}

int CGameApp::StartOwnProgram(const std::string& commandLine) {
    // Also after the Qt application has gone (the relaunch at the application's end).
    const std::string& self = platform::programFile();
    if (self.empty()) return 0;
    return platform::startProgram(self, commandLine) ? 1 : 0;
}

bool CGameApp::CreateCommThread() {
    comm_ = std::make_unique<CGameCommThread>();
    if (!comm_->Start()) {
        comm_.reset();
        return false;
    }
    // The wait dialog belongs with the thread: the thread hands it its texts, and every
    // blocking wait of this (the UI) thread keeps it alive through the wait pump.
    if (!wait_) wait_ = std::make_unique<CCommWaitDlg>();
    comm_->SetWaitDialog(wait_->hwnd());
    platform::setWaitPump([this] { OnWaitPump(); });
    if (!IsStandalone()) signWindow_ = comm_->OpenSignWindow(&signBroker_);
    return true;
}

void CGameApp::StopCommThread() {
    if (!comm_) return;
    comm_->Stop(1000);
    comm_.reset();
    platform::setWaitPump({});
    if (wait_) wait_->HideWait();
}

void CGameApp::OnWaitPump() {
    if (!wait_) return;
    platform::ui::processWaitEvents({wait_->hwnd()});
    wait_->OnBlockedWait();
}

void CGameApp::CloseConnection() {
    if (conn_) conn_->Disconnect();
}

void CGameApp::ShowCommWait(const std::string& text, bool show) {
    if (!comm_) return;
    if (show) {
        platform::Message m = MakeTextMessage(kMsgCommWaitText, text, 0);
        if (!platform::postToThread(comm_->threadId(), m)) DisposeTextMessage(m);
    } else {
        platform::Message m;
        m.id = kMsgCommWaitText;
        platform::postToThread(comm_->threadId(), m);
    }
}

void CGameApp::ShowCommWaitTimed(const std::string& text, int seconds) {
    if (!comm_) return;
    platform::Message m = MakeTextMessage(kMsgCommWaitText, text, seconds);
    if (!platform::postToThread(comm_->threadId(), m)) DisposeTextMessage(m);
}

void CGameApp::PumpFor(int ms) {
    platform::sleepPumped(ms);
}

int CGameApp::ConnectGameServer() {
    if (IsStandalone()) return 1;
    ShowCommWait("正在连接游戏服务器......", true);
    CGameConnection* conn = GetConnection();
    conn->LoadProxySettings(GetHallIniPath());
    conn->InitCodec();
    conn->SetOwnerThread(comm_->threadId());
    // Test deployments shorten the stall limit to see a stalled stream end without waiting
    // the minute a live link is given.
    if (const char* env = std::getenv("HQLV_PACKET_STALL_MS"))
        if (const long long ms = std::strtoll(env, nullptr, 10); ms > 0 && ms <= UINT32_MAX)
            conn->SetPacketStallLimit(uint32_t(ms));
    conn->SetProxyPump([] {
        platform::runWaitPump();
        return true;
    });
    int proxyFailed = 0;
    std::string text;
    const int port = GetServerPort();
    if (port < 1 || port > 65535) {
        // A port the hall's command line names wrongly is no port: taking its low 16 bits
        // would reach some other server.
        netlib::YrnLogWrite("the game-server port %d is outside 1 to 65535: not connecting", port);
        text = kConnectFailedText;
    } else if (!conn->Connect("", GetServerHost(), port, &proxyFailed)) {
        text = proxyFailed == 1 ? Format(kConnectProxyFailedText, conn->GetProxyHost().c_str())
                                : std::string(kConnectFailedText);
    } else {
        int major = 0, minor = 0;
        if (!conn->CheckVersion(text, &major, &minor)) {
            SetNewerServerMajor(major);
            SetNewerServerMinor(minor);
            if (text.empty()) text = "版本检查失败。";
        } else {
            text.clear();
            conn->GetActivityConfig();
        }
    }
    if (!text.empty()) {
        netlib::YrnLogWrite("start-up failed: %s", text.c_str());
        ShowCommWait(text, true);
        PumpFor(3000);
        ReportToHall(0);
        return 0;
    }
    ShowCommWait("", false);
    return 1;
}

// ---- message boxes

int CGameApp::MessageBoxModal(const std::string& text, const std::string& ok,
                              const std::string& cancel, int* seconds, int style, int extraHeight,
                              int extraWidth, bool singleButton, bool focusOk) {
    CGameMsgBoxDlg box(frame_);
    box.SetTitle(GetTitleText());
    box.SetText(text);
    box.SetButtonTexts(ok, cancel);
    box.SetSeconds(seconds ? *seconds : 10);
    box.SetStyle(style);
    box.SetExtraHeight(extraHeight);
    box.SetExtraWidth(extraWidth);
    box.SetSingleButton(singleButton);
    box.SetFocusOk(focusOk);
    netlib::YrnLogWrite("box: %s", text.c_str());
    int r = box.DoModal();
    if (seconds) *seconds = box.GetSeconds();
    return r;
}

void CGameApp::MessageBoxModeless(const std::string& text, const std::string& ok,
                                  const std::string& cancel, int seconds, int style,
                                  int extraHeight, int extraWidth, bool singleButton,
                                  bool focusOk) {
    MessageBoxModelessLink(text, ok, cancel, "", 0, seconds, style, extraHeight, extraWidth,
                           singleButton, focusOk);
}

void CGameApp::MessageBoxModelessLink(const std::string& text, const std::string& ok,
                                      const std::string& cancel, const std::string& link,
                                      int linkParam, int seconds, int style, int extraHeight,
                                      int extraWidth, bool singleButton, bool focusOk,
                                      bool endsClient) {
    platform::Handle frame = frame_ ? frame_->hwnd() : 0;
    auto* box = new CGameMsgBoxModelessDlg(
        frame_,
        [frame, endsClient] {
            platform::Message m;
            m.id = kMsgClose;
            m.w = endsClient ? kCloseEndsClient : 0;
            if (frame) platform::post(frame, m);
        },
        [this](const std::string& l, int flag) { platform::openUrl(BuildWebUrl(l, flag != 0)); });
    box->SetTitle(GetTitleText());
    box->SetText(text);
    box->SetButtonTexts(ok, cancel);
    box->SetSeconds(seconds);
    box->SetStyle(style);
    box->SetExtraHeight(extraHeight);
    box->SetExtraWidth(extraWidth);
    box->SetSingleButton(singleButton);
    box->SetFocusOk(focusOk);
    box->SetLink(link, linkParam);
    netlib::YrnLogWrite("box: %s", text.c_str());
    box->Show();
}

// ---- the hall

bool CGameApp::PostToGameHall(uint32_t msg, uintptr_t w, intptr_t l) {
    platform::Handle hall = platform::hallChannel().findByClass("GameHallFrame");
    if (!hall) return false;
    return platform::hallChannel().post(hall, msg, w, l);
}

void CGameApp::AttachMainWindow(CGameFrameWnd* frame) {
    if (comm_) {
        platform::Message m;
        m.id = kMsgCommSetTarget;
        m.w = frame->hwnd();
        platform::postToThread(comm_->threadId(), m);
    }
    if (IsStandalone() || !platform::hallChannel().isAlive(HallWindow())) return;
    intptr_t answer = 0;
    platform::hallChannel().send(HallWindow(), kMsgHallAttach, frame->hallHandle(), GetTableNo(),
                                 kHallSendTimeoutMs, &answer);
}

void CGameApp::ReportToHall(platform::Handle window) {
    if (IsRelaunchAtExit() || IsStandalone()) return;
    if (!platform::hallChannel().isAlive(HallWindow())) return;
    HallReport r = BuildHallReport(*this, window);
    intptr_t answer = 0;
    bool ok = platform::hallChannel().sendCopyData(HallWindow(), window, r.kind, r.record.data(),
                                                   r.record.size(), kHallSendTimeoutMs, &answer);
    netlib::YrnLogWrite("report to the hall: kind %u %s", r.kind, ok ? "sent" : "not delivered");
}

int CGameApp::SendTextToHall(const std::string& text, int value) {
    if (!platform::hallChannel().isAlive(HallWindow())) return 0;
    platform::Handle window = frame_ ? frame_->hallHandle() : 0;
    auto plain = BuildHallText(*this, window, text, value);
    auto coded = EncryptHallData(plain.data(), plain.size());
    if (!coded) return 0;
    intptr_t answer = 0;
    platform::hallChannel().sendCopyData(HallWindow(), window, kHallText, coded->data(),
                                         coded->size(), kHallSendTimeoutMs, &answer);
    return 1;
}

int CGameApp::RequestRoomChange(int targetRoom) {
    if (IsPlaying()) return 0;
    bool known = false;
    for (const RoomRecord& r : rooms())
        if (r.word(0) == GetRoomID()) known = true;
    if (!known) return 0;
    auto plain = BuildRoomChange(*this, targetRoom);
    auto coded = EncryptHallData(plain.data(), plain.size());
    intptr_t answer = 0;
    bool sent =
        coded && platform::hallChannel().isAlive(HallWindow()) &&
        platform::hallChannel().sendCopyData(HallWindow(), 0, kHallRoomChange, coded->data(),
                                             coded->size(), kHallSendTimeoutMs, &answer);
    if (!sent) {
        // The hall never heard of it: say so instead of pretending the move is under way.
        netlib::YrnLogWrite("room change to %d could not reach the hall", targetRoom);
        return 0;
    }
    if (frame_) {
        platform::Message m;
        m.id = kMsgClose;
        platform::post(frame_->hwnd(), m);
    }
    return 1;
}

int CGameApp::SelectNextRoom() {
    int room = FindRoom(1);
    return room < 0 ? 0 : RequestRoomChange(room);
}

int CGameApp::SelectPrevRoom() {
    int room = FindRoom(0);
    return room < 0 ? 0 : RequestRoomChange(room);
}

void CGameApp::LeaveTable() {
    if (conn_) conn_->NotifyLeave(GetUserID(), GetChairNo());
    if (CTableViewHooks* table = frame_ ? frame_->GetTableView() : nullptr) table->OnLeaveTable();
    CloseConnection();
}

int CGameApp::IsPlaying() {
    CGameTableView* table = frame_ ? frame_->GetGameTableView() : nullptr;
    return table ? table->GetPlaying() : 0;
}

void CGameApp::CheckSilverTooLittle(const uint8_t* data, size_t length) {
    CheckSilverBounds(data, length, true);
}

void CGameApp::CheckSilverTooMuch(const uint8_t* data, size_t length) {
    CheckSilverBounds(data, length, false);
}

void CGameApp::CheckSilverBounds(const uint8_t* data, size_t length, bool tooLittle) {
    if (!data || length < 16) {
        netlib::YrnLogWrite("silver bound record refused: %zu bytes", length);
        return;
    }
    const int carried = LoadWordLE(data, length, 2), limit = LoadWordLE(data, length, 3);
    // The difference of two words the server chose, taken in 64 bits: a room's bound at the
    // top of the range and a debt in hand differ by more than an int holds.
    auto minus = [](int a, int b) { return static_cast<long long>(a) - b; };
    if (IsSpecialOption()) {
        std::string text = tooLittle
                               ? Format(
                                     "本房间最少需携带银子%d两\r\n您只携带了%d两\r\n仍少了%lld两,"
                                     "是否从保险箱划银？",
                                     limit, carried, minus(limit, carried))
                               : Format(
                                     "本房间最多可携带银子%d两\r\n您携带了%d两\r\n仍超了%lld两,"
                                     "是否将银子存入保险箱？",
                                     limit, carried, minus(carried, limit));
        int seconds = 10;
        if (MessageBoxModal(text, "确定", "取消", &seconds, 33) != 1) return;
        // OK: the tool pane brings the silver in hand to the room's bound through the safe
        // box (a game whose frame has no tool pane offers nothing more).
        auto* tool = frame_ ? dynamic_cast<CToolViewHooks*>(frame_->GetToolView()) : nullptr;
        if (tool)
            tool->ApplyFixAmount(limit);
        else
            netlib::YrnLogWrite("silver box: no tool pane to move silver with");
    } else {
        MessageBoxModeless(tooLittle ? "客官您的银子不够啦，取点银子再来吧！"
                                     : "客官，您的银子也太多了，快去存起来吧！",
                           "确定", "取消", 10, 65);
    }
}

std::string CGameApp::PortraitFolder() const {
    return GetPortraitFolder();
}

int CGameApp::AddPortraitImage(int portrait) {
    QImage picture;
    std::string path = PortraitFolder() + std::to_string(portrait) + "_0.bmp";
    std::string resolved;
    if (platform::resolveExisting(path, &resolved)) {
        QImage loaded(QString::fromStdString(resolved));
        if (!loaded.isNull()) {
            // Pixels of the mask colour are see-through.
            picture = loaded.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < picture.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
                for (int x = 0; x < picture.width(); ++x)
                    if ((line[x] & 0xFFFFFF) == 0x008080) line[x] = 0;
            }
        } else {
            netlib::YrnLogWrite("portrait %s cannot be read", resolved.c_str());
        }
    }
    if (picture.isNull()) {
        // The program's icon of a person stands in, the same picture the player-information
        // window shows for this player.
        std::optional<QImage> icon = LoadProgramBitmap(kIconPlayer);
        if (!icon) return -1;  // no picture at all: the rows of this portrait show none
        picture = icon->convertToFormat(QImage::Format_ARGB32);
    }
    portraits32_.push_back(picture.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    portraits16_.push_back(picture.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return int(portraits32_.size()) - 1;
}

const QImage* CGameApp::GetPortraitImage(int index, bool small) const {
    const auto& list = small ? portraits16_ : portraits32_;
    return index < 0 || index >= int(list.size()) ? nullptr : &list[size_t(index)];
}

bool CGameApp::SendChatViewMessage(const std::string& markup) {
    CChatViewHooks* chat = frame_ ? frame_->GetChatView() : nullptr;
    if (!chat) return false;
    chat->AppendMarkup(markup);
    return true;
}

static std::string systemLine(const std::string& text) {
    // The line was built in a 254-byte buffer: the text is cut to fit, on a character.
    std::string line = " <z=qz系统通知> <c=255>" + text;
    std::string gbk = GbkCut(Utf8ToGbk(line), 251);
    return GbkToUtf8(gbk) + "\r\n";
}

void CGameApp::OnDoleConfigFailed(int result, const std::string& text) {
    if (result != 0) return;
    SendChatViewMessage(systemLine(text.empty() ? "获取低保活动配置失败!" : text));
}

void CGameApp::OnClaimSilverResult(int result, const std::string& text, int amount) {
    if (result != 0) {
        int seconds = 10;
        MessageBoxModal(Format("已赠送银子%d两到%s中!", amount, "游戏"), "确定", "取消", &seconds,
                        0, 0, 0, true);
        return;
    }
    SendChatViewMessage(systemLine(text.empty() ? "领取银子失败!" : text));
}

void CGameApp::ScanSoundFiles(const std::string& programFolder, std::vector<std::string>& first,
                              std::vector<std::string>& second) {
    std::string root = programFolder + "Sound/";
    for (const std::string& name : platform::listFolder(root)) {
        if (!platform::pathExists(root + name, true)) continue;
        if (name[0] == '0')
            first.push_back(name);
        else if (name[0] == '1')
            second.push_back(name);
    }
}

// ---- links

void CGameApp::OpenWebPage(const std::string& page, int withSign) {
    platform::ui::WaitCursor wait;
    ShowCommWaitTimed(Format("正在打开%s...", CutToGbkWidth(page, 32).c_str()), 15);
    std::string url = BuildWebUrl(page, withSign != 0);
    platform::Handle frame = frame_ ? frame_->hwnd() : 0;
    std::thread([url, frame] {
        if (!platform::openUrl(url)) netlib::YrnLogWrite("cannot open %s", url.c_str());
        platform::Message done;
        done.id = kMsgWebPageOpened;
        if (frame) platform::post(frame, done);
    }).detach();
}

std::string CGameApp::BuildWebUrl(const std::string& page, bool withSign) {
    if (!withSign) return page;
    return AppendQuery(page, Format("uid=%d&sign=%s", GetUserID(), RequestHallSign().c_str()));
}

std::string CGameApp::RequestHallSign() {
    if (IsStandalone() || !signWindow_ || !platform::hallChannel().isAlive(HallWindow())) return {};
    platform::ui::WaitCursor wait;
    uint32_t id = signBroker_.Begin(GetUserID());
    std::string sign;
    if (platform::hallChannel().post(HallWindow(), kMsgHallSign, signWindow_, id)) {
        if (!signBroker_.Wait(id, 6000, &sign)) netlib::YrnLogWrite("no sign from the hall");
    } else {
        signBroker_.Wait(id, 0, nullptr);  // ends the request
    }
    return GbkToUtf8(sign);
}

std::string CGameApp::GetWebSkinUrl() const {
    return WebBaseText() + "skin/" + GetGameCode() + "/";
}

std::string CGameApp::GetAdvertWindowUrl() const {
    std::string url =
        TrimBlanksCopy(platform::profileString("ADVERT", "WWW3", "", GetGameIniPath()));
    if (!url.empty()) return url;
    return Format("%s/advert/window/%d/xy.htm", WebBaseText().c_str(), GetGameID());
}

std::string CGameApp::GetCofferUrl() const {
    std::string url =
        TrimBlanksCopy(platform::profileString("ADVERT", "CofferUrl", "", GetGameIniPath()));
    if (!url.empty()) return url;
    // The platform's own safe-box page, on the host of its web pages.
    std::string base = WebBaseText();
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/gamehall/hall/888/coffer.aspx";
}

void CGameApp::InitActivityList() {
    activityList_.clear();
    for (const char* key : kActivityKeys) activityList_.emplace_back("", key);
}

void CGameApp::SetActivityConfig(bool enabled, const std::vector<ActivityEntry>& entries) {
    activityEnabled_ = enabled;
    activityConfig_.clear();
    for (const ActivityEntry& e : entries)
        if (e.index >= 0 && e.index < int(kActivityKeys.size())) activityConfig_[e.index] = e;
}

std::string CGameApp::BuildSignedHallParams(int index, int* out1, int* out2) {
    if (index < 0 || index >= int(kActivityKeys.size())) return {};
    auto it = activityConfig_.find(index);
    std::string page;
    if (it != activityConfig_.end()) {
        if (out1) *out1 = it->second.valueA;
        if (out2) *out2 = it->second.valueB;
        page = it->second.text;
    }
    SignedLinkInput in{GetHallID(),
                       GetGameID(),
                       GetGameCode(),
                       GetUserID(),
                       static_cast<int64_t>(std::time(nullptr)),
                       HQLV_LINK_SIGN_KEY};
    return BuildSignedActivityUrl(index, page, in,
                                  [this](const std::string& p) { return BuildWebUrl(p, true); });
}

std::string CGameApp::GetRulesUrl() const {
    return WebBaseText() + "rules/" + GetGameCode() + ".html";
}

}  // namespace hqlv::framework
