#include "mahjong/app/mj_app.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#include "framework/app/paths.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "imaging/screenshot.h"
#include "mahjong/app/mj_client.h"
#include "mahjong/app/mj_notify.h"
#include "mahjong/panes/mj_frame.h"
#include "mahjong/panes/mj_gdi_table_view.h"
#include "mahjong/panes/mj_table_view.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "netlib/log.h"
#include "platform/core/audio.h"
#include "platform/ui/cursor.h"
#include "platform/ui/platform_box.h"
#include "platform/ui/screenshot.h"

namespace hqlv::mahjong {

static_assert(CMJGameTableView2::kClockTimerId == CMJGameTableView::kClockTimerId,
              "both table views run the turn clock under one id");

bool SaveImageJpeg(const QImage& picture, const std::string& path, int quality) {
    if (picture.isNull()) return false;
    // The writer takes a screen's rows bottom first, 32 bits a pixel (blue, green, red).
    const QImage shot = picture.convertToFormat(QImage::Format_RGB32).mirrored(false, true);
    imaging::ScreenCapture capture;
    capture.pixels = shot.constBits();
    capture.width = uint32_t(shot.width());
    capture.height = uint32_t(shot.height());
    capture.bitsPerPixel = 32;
    capture.stride = uint32_t(shot.bytesPerLine());
    return imaging::SaveScreenShotJpeg(path.c_str(), quality, capture);
}

bool SaveScreenJpeg(const std::string& path, int quality) {
    return SaveImageJpeg(platform::ui::GrabScreen(), path, quality);
}

void ShowJpegMessagesInBoxes(const std::string& caption) {
    imaging::JpegFile::SetMessageHandler([caption](const std::string& text) {
        platform::ui::PlatformMessageBox(text, caption, platform::ui::kBoxOk,
                                         platform::ui::PlatformBoxIcon::kStop);
    });
}

namespace {

QSize PrimaryScreen() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}

// The application as the scene's host.
class AppSceneHost : public CMJSceneHost {
public:
    explicit AppSceneHost(CMJGameApp& app) : app_(app) {}
    // Scene mode 1's window buttons are the GDI table view's; the engine's table has none.
    void ShowStartWindowButton(int show) override {
        if (CMJGameTableView* g = gdiView()) g->ShowStartButton(show != 0);
    }
    int GetClaimWindowCell(int kind) override {
        CMJGameTableView* g = gdiView();
        return g ? g->GetClaimCell(kind) : 0;
    }
    void SetClaimWindowCell(int kind, int x) override {
        if (CMJGameTableView* g = gdiView()) g->SetClaimCell(kind, x);
    }
    int PlaySoundFile(const std::string& path) override {
        if (app_.IsSilent()) return 0;
        return framework::PlayWave(
                   path, framework::kSndAsync | framework::kSndFileName | framework::kSndNoDefault)
                   ? 1
                   : 0;
    }
    int GetUserID() override { return app_.GetUserID(); }
    int GetRoomID() override { return app_.GetRoomID(); }
    int GetTableNo() override { return app_.GetTableNo(); }
    int GetChairNo() override { return app_.GetChairNo(); }
    int GetCmdField8() override { return app_.GetCmdField8(); }
    int TestCmdField13Bit8() override { return app_.TestCmdField13Bit8() ? 1 : 0; }
    int IsStandalone() override { return app_.IsStandalone() ? 1 : 0; }
    int IsPlaying() override { return app_.IsPlaying(); }
    int PlaySoundId(int id, int flags) override {
        if (app_.IsSilent()) return 1;
        app_.PlaySoundId(id, flags);
        return 0;
    }
    bool IsSilent() override { return app_.IsSilent(); }
    int IsQuickCatch() override { return app_.IsQuickCatch() ? 1 : 0; }
    int IsRejectKanPaiAsk() override { return app_.IsRejectKanPaiAsk(); }
    int GetVoiceSetting() override { return app_.GetVoiceSetting(); }
    std::string GetGameIniPath() override { return app_.GetGameIniPath(); }
    std::string GetProgramFolder() override { return framework::GetProgramFolder(); }
    void ScanSoundFiles(std::vector<std::string>& a, std::vector<std::string>& b) override {
        framework::CGameApp::ScanSoundFiles(framework::GetProgramFolder(), a, b);
    }
    int GetSeatUserID(int chair) override { return app_.GetSeatUserID(chair); }
    std::string GetSeatName(int chair) override { return app_.GetSeatName(chair); }
    int GetSeatVoiceKind(int chair) override {
        if (chair < 0 || chair >= framework::kSeatCount) return -1;
        return app_.seat(chair).word(framework::PlayerRecord::kValue1);
    }
    std::string GetPlayerNameById(int userId) override { return app_.GetPlayerNameById(userId); }
    void AppendChatLine(const std::string& markup) override { app_.SendChatViewMessage(markup); }
    int GetScreenWidth() override { return PrimaryScreen().width(); }
    int GetScreenHeight() override { return PrimaryScreen().height(); }
    int IsSmallScreen() override { return GetScreenHeight() < 601 ? 1 : 0; }
    int GetTableViewWidth() override {
        CMJGameFrameWnd* f = app_.GetMJFrame();
        return f && f->GetTablePane() ? f->GetTablePane()->GetWidth() : 0;
    }
    int GetTableViewHeight() override {
        CMJGameFrameWnd* f = app_.GetMJFrame();
        return f && f->GetTablePane() ? f->GetTablePane()->GetHeight() : 0;
    }
    bool HasSkinBitmap(const std::string& name) override {
        return framework::CSkinLibrary::instance().GetBitmap(name).has_value();
    }
    CMJGameInfo* GetGameInfo() override { return app_.GetGameInfo(); }
    CMJTableDraw* GetTableDraw() override { return app_.GetTableDraw(); }
    CMJGameScene2* GetGameScene() override { return app_.GetGameScene(); }
    CMJRequests* GetRequests() override { return app_.GetMJClient(); }
    // The turn timers and the clock second run on the table view, the engine's or, in
    // scene mode 1, the window-drawn one.
    void SetViewTimer(uint32_t id, uint32_t ms) override {
        if (framework::CGameTableView* v = table()) v->SetTimer(id, ms);
    }
    void KillViewTimer(uint32_t id) override {
        if (framework::CGameTableView* v = table()) v->KillTimer(id);
    }
    void StartClockTimer() override {
        if (CMJTableHooks* t = tableHooks()) t->StartClockTimer();
    }
    void StartIdleTimer() override {
        if (framework::CGameTableView* v = table()) v->StartIdleTimer();
    }
    void StopClockTimer() override {
        if (CMJTableHooks* t = tableHooks()) t->StopClockTimer();
    }
    bool IsClockTimerRunning() override {
        CMJTableHooks* t = tableHooks();
        return t && t->IsClockTimerRunning();
    }
    void EnableTablePane(int enable) override {
        if (framework::CGameTableView* v = table()) v->setEnabled(enable != 0);
    }
    void ShowClaimWindowButton(int kind, int on) override {
        if (CMJGameTableView* g = gdiView()) g->ShowClaimButton(kind, on);
    }
    int IsRejoining() override { return app_.IsRejoining(); }
    // The room's kind and the relaunch mark as the hall's command line gave them (the hall's
    // table state keeps option word B as it came).
    int TestCmdField13(uint32_t bits) override {
        return (uint32_t(app_.GetCmdField13()) & bits) == bits ? 1 : 0;
    }
    int GetCmdField9() override { return app_.GetCmdField9(); }
    std::string GetGameCode() override { return app_.GetGameCode(); }
    uint32_t GetClockTimerId() override { return CMJGameTableView2::kClockTimerId; }
    // The table requests of the toolbar go to the framework's connection, which checks the
    // room's bits and the looker-on flag again.
    int RequestChangeTable(std::string& error) override {
        framework::CGameConnection* c = app_.GetConnection();
        return c ? c->ChangeTable(error) : 0;
    }
    int RequestTableOption(std::string& error) override {
        framework::CGameConnection* c = app_.GetConnection();
        return c ? c->SendRequest201302(error) : 0;
    }
    // The own start record goes the way of a start the server announces: the router's start
    // handler writes the chat line and marks the seat.
    void OnOwnGameStarted(MJData record) override {
        if (auto* router = dynamic_cast<CMJGameNotify*>(app_.GetGameNotify()))
            router->OnGameStarted(framework::Body{record.data(), record.size()});
    }
    bool SaveTableShot(const std::string& path, int delayMs) override {
        // The table pane of either mode: the engine's view or the window-drawn one.
        framework::CGameTableView* v = table();
        if (!v) return false;
        QPointer<framework::CGameTableView> target(v);
        QTimer::singleShot(std::max(delayMs, 0), v, [target, path] {
            if (target && !target->grab().save(QString::fromStdString(path), "PNG"))
                netlib::YrnLogWrite("table picture %s not written", path.c_str());
        });
        return true;
    }

    // The claim actions' wait cursor, the machine id of a play, the start request and the
    // table's logical points on the display.
    void BeginWaitCursor() override {
        cursors_.push_back(std::make_unique<platform::ui::WaitCursor>());
    }
    void EndWaitCursor() override {
        if (!cursors_.empty()) cursors_.pop_back();
    }
    std::string GetMachineID() override { return framework::GetMachineID(); }
    int RequestStartGame(std::string& error, int checkSilver) override {
        CMJGameClient* c = app_.GetMJClient();
        if (!c) return 0;
        return checkSilver ? c->CheckSilverRange(error) : c->StartGame(error);
    }
    void ShowMessageText(const std::string& text) override {
        app_.MessageBoxModeless(text, "确定", "", 0, 0);
    }
    // The screenshot: the whole primary screen, as the player sees it.
    bool SaveScreenShotJpeg(const std::string& path, int quality) override {
        return SaveScreenJpeg(path, quality);
    }
    bool MapToScreen(int& x, int& y) override {
        CMJGameTableView2* v = view();
        CMJGameScene2* scene = app_.GetGameScene();
        if (!v || !v->isVisible() || !scene || scene->GetScreenWidth() <= 0 ||
            scene->GetScreenHeight() <= 0)
            return false;
        // The scene's logical screen is stretched over the whole view.
        const QPoint p = v->mapToGlobal(QPoint(x * v->width() / scene->GetScreenWidth(),
                                               y * v->height() / scene->GetScreenHeight()));
        x = p.x(), y = p.y();
        return true;
    }

private:
    std::vector<std::unique_ptr<platform::ui::WaitCursor>> cursors_;
    CMJGameTableView* gdiView() {
        CMJGameFrameWnd* f = app_.GetMJFrame();
        return f ? f->GetGdiTableView() : nullptr;
    }
    CMJGameTableView2* view() {
        CMJGameFrameWnd* f = app_.GetMJFrame();
        return f ? f->GetMJTableView() : nullptr;
    }
    framework::CGameTableView* table() {
        CMJGameFrameWnd* f = app_.GetMJFrame();
        return f ? f->GetTablePane() : nullptr;
    }
    CMJTableHooks* tableHooks() {
        CMJGameFrameWnd* f = app_.GetMJFrame();
        return f ? f->GetMJTableHooks() : nullptr;
    }
    CMJGameApp& app_;
};

// The application and its frame as the router's host.
class AppRouterHost : public CMJRouterHost {
public:
    explicit AppRouterHost(CMJGameApp& app) : app_(app) {}
    CMJGameScene2* Scene() override { return app_.GetGameScene(); }
    CMJTableDraw* TableDraw() override { return app_.GetTableDraw(); }
    CMJGameInfo* GameInfo() override { return app_.GetGameInfo(); }
    CMJChatHooks* MJChat() override { return frame() ? frame()->GetMJChat() : nullptr; }
    CMJPlayerHooks* MJPlayers() override { return frame() ? frame()->GetMJPlayers() : nullptr; }
    CMJTableHooks* MJTable() override { return frame() ? frame()->GetMJTableHooks() : nullptr; }
    CMJScoreHooks* ScorePane() override { return frame() ? frame()->GetScoreHooks() : nullptr; }
    int IsRejectKanPaiAsk() override { return app_.IsRejectKanPaiAsk(); }
    int SceneMode() override { return app_.GetSceneMode(); }
    std::string& ScoreBoardText() override { return app_.ScoreBoardText(); }
    void AppendChat(const std::string& markup) override { app_.SendChatViewMessage(markup); }
    void BringMainWindowToFront() override {
        if (!frame()) return;
        frame()->raise();
        frame()->activateWindow();
    }
    void ReportToHall() override {
        app_.ReportToHall(app_.GetMainFrame() ? app_.GetMainFrame()->hallHandle() : 0);
    }
    void PlatformBox(const std::string& text) override {
        netlib::YrnLogWrite("box: %s", text.c_str());
        platform::ui::PlatformMessageBox(text, app_.GetGameCode(), platform::ui::kBoxOk,
                                         platform::ui::PlatformBoxIcon::kInformation);
    }
    void DestroyMainWindow() override {
        if (CMJGameFrameWnd* f = frame()) f->DestroyWindowNow();
    }

private:
    CMJGameFrameWnd* frame() { return app_.GetMJFrame(); }
    CMJGameApp& app_;
};

// The application as the request sender's host.
class AppClientHost : public CMJClientHost {
public:
    explicit AppClientHost(CMJGameApp& app) : app_(app) {}
    void RecordAction(uint32_t notifyId, MJData body) override {
        if (CMJGameScene2* scene = app_.GetGameScene()) scene->RecordAction(notifyId, body);
    }
    void OnNetworkError() override { app_.OnNetworkError(); }
    void OnGameDataStored(size_t length) override {
        if (CMJGameInfo* info = app_.GetGameInfo()) info->SetStateBytes(length);
    }

private:
    CMJGameApp& app_;
};

}  // namespace

int RunClient(const std::function<std::unique_ptr<framework::CGameApp>()>& make, int argc,
              char** argv) {
    // The application is destroyed at the end of this statement, after its run.
    const int rc = make()->Run(argc, argv);
    // Only now: the application's objects close their music and free their samples as they
    // go, and a sound played after the device closed would open it again. Closed here, the
    // device's thread ends before the process's exit takes its objects apart under it.
    platform::shutdownAudio();
    return rc;
}

CMJGameApp::CMJGameApp(std::string gameCode, int defaultPort, int versionMajor, int versionMinor)
    : framework::CGameApp(std::move(gameCode), defaultPort, versionMajor, versionMinor),
      m_sceneHost(std::make_unique<AppSceneHost>(*this)),
      m_routerHost(std::make_unique<AppRouterHost>(*this)),
      m_clientHost(std::make_unique<AppClientHost>(*this)) {}

CMJGameApp::~CMJGameApp() = default;

bool CMJGameApp::InitInstance(const std::string& commandLine) {
    CMJGameScene2* scene = GetGameScene();
    // Diagnostics: HQLV_SCENE_MODE=1 stands in for the scene's mode word (the GDI table).
    if (const char* mode = std::getenv("HQLV_SCENE_MODE");
        scene && mode && std::string(mode) == "1")
        scene->SetSceneMode(1);
    SetSceneMode(scene ? scene->GetSceneMode() : 1);
    ShowJpegMessagesInBoxes(GetGameCode());
    return framework::CGameApp::InitInstance(commandLine);
}

CMJGameFrameWnd* CMJGameApp::GetMJFrame() const {
    return dynamic_cast<CMJGameFrameWnd*>(GetMainFrame());
}

int CMJGameApp::IsPlaying() {
    CMJGameScene2* scene = GetGameScene();
    if (m_nSceneMode == 1 || IsStandalone() || !scene) return framework::CGameApp::IsPlaying();
    return scene->IsGameRunning() == 1 ? 1 : 0;
}

void CMJGameApp::PlaySoundId(int id, int flags) {
    if (IsSilent()) return;
    framework::PlayResourceSoundEx(id, uint32_t(flags));
}

std::span<uint8_t> CMJGameApp::GetTableDataBlock() {
    CMJGameInfo* info = GetGameInfo();
    return info ? info->GetRoundRecordArea() : std::span<uint8_t>{};
}

void CMJGameApp::SetPlayerCount(int n) {
    if (CMJTableDraw* d = GetTableDraw()) d->SetPlayerCount(n);
    if (CMJGameScene2* s = GetGameScene()) s->Geometry().SetPlayerCount(n);
    if (CMJGameInfo* i = GetGameInfo()) i->SetPlayerCount(n);
}

void CMJGameApp::SetSceneValue2(int v) {
    if (CMJTableDraw* d = GetTableDraw()) d->SetSceneValue2(v);
    if (CMJGameScene2* s = GetGameScene()) s->Geometry().SetSceneValue2(v);
    if (CMJGameInfo* i = GetGameInfo()) i->SetSceneValue2(v);
}

void CMJGameApp::SetSceneValue3(int v) {
    if (CMJTableDraw* d = GetTableDraw()) d->SetSceneValue3(v);
    if (CMJGameScene2* s = GetGameScene()) s->Geometry().SetSceneValue3(v);
    if (CMJGameInfo* i = GetGameInfo()) i->SetSceneValue3(v);
}

void CMJGameApp::SetSceneMode(int v) {
    if (CMJTableDraw* d = GetTableDraw()) d->SetSceneMode(v);
    if (CMJGameInfo* i = GetGameInfo()) i->SetSceneMode(v);
    m_nSceneMode = v;
}

int& CMJGameApp::ExitRequestCount(int chair) {
    if (chair < 0 || chair >= int(m_exitRequests.size())) return m_exitRequestsOther;
    return m_exitRequests[size_t(chair)];
}

void CMJGameApp::NetworkPause(int ms) {
    PumpFor(ms);
}

int CMJGameApp::NetworkErrorBox(const std::string& text) {
    int seconds = 10;
    return MessageBoxModal(text, "确定", "取消", &seconds, 0x41);
}

void CMJGameApp::OnNetworkError() {
    if (IsStandalone()) return;
    framework::CGameConnection* conn = GetConnection();
    // The recovery runs inside the failed request's call: its tries and the pauses between
    // them block the table as the request did, behind the same wait cursor.
    auto cursor = std::make_unique<platform::ui::WaitCursor>();
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (conn && conn->RefreshGameData()) {
            cursor.reset();
            netlib::YrnLogWrite("network recovery: game data fetched (try %d)", attempt + 1);
            CMJGameFrameWnd* frame = GetMJFrame();
            CMJTableHooks* table = frame ? frame->GetMJTableHooks() : nullptr;
            CMJGameScene2* scene = GetGameScene();
            if (table) table->OnTableStop();
            if (m_nSceneMode == 1) {
                if (CMJTableDraw* draw = GetTableDraw()) draw->Redraw();
                if (scene) scene->RebuildTable();
            } else if (scene) {
                scene->ResetTable();
                scene->RebuildTable();
                scene->Redraw(100);
            }
            return;
        }
        NetworkPause(3000);
    }
    cursor.reset();
    netlib::YrnLogWrite("network recovery failed: the program ends");
    NetworkErrorBox("您的网络出现了异常，请重新登录大厅。");
    if (framework::CGameFrameWnd* frame = GetMainFrame()) {
        CloseConnection();
        platform::Message m;
        m.id = framework::kMsgClose;
        platform::post(frame->hwnd(), m);
    }
}

void CMJGameApp::ShowPlayerInfo(const uint8_t* record, size_t size) {
    framework::PlayerRecord r;
    if (!r.loadFrom(record, size)) {
        netlib::YrnLogWrite("player information refused: %zu bytes, %zu needed", size,
                            framework::PlayerRecord::kSize);
        return;
    }
    if (r.word(framework::PlayerRecord::kLookerOn) != 0) {
        int chair = r.chair();
        // Only a chair of the table names a seated player.
        if (chair >= 0 && chair < framework::kSeatCount) r.setText(192, 128, seat(chair).name());
    }
    ShowPlayerInfoDialog(r);
}

void CMJGameApp::ShowPlayerInfoDialog(const framework::PlayerRecord& record) {
    netlib::YrnLogWrite("player information for user %d", record.userId());
}

}  // namespace hqlv::mahjong
