#include "mahjong/panes/mj_table_view.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <cstdio>
#include <cstdlib>

#include "engine/core/clock.h"
#include "engine/core/game_base.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "framework/app/text_edge.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/panes/mj_frame.h"
#include "mahjong/panes/windows_keys.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "netlib/log.h"
#include "platform/ui/cursor.h"
#include "platform/ui/platform_box.h"

namespace hqlv::mahjong {

CXYGameTableView::CXYGameTableView(CMJGameApp& app, QWidget* parent)
    : framework::CGameTableView(app, parent), mjApp_(app) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    frameClock_ = new QTimer(this);
    frameClock_->setSingleShot(true);
    frameClock_->setTimerType(Qt::PreciseTimer);
    QObject::connect(frameClock_, &QTimer::timeout, this, [this] { OnFrame(); });
}

CXYGameTableView::~CXYGameTableView() {
    // The scene lives as long as the application: it must not keep this view as its host.
    if (engine_) {
        engine_->Cleanup();
        engine_->SetHost(nullptr);
    }
}

bool CXYGameTableView::AttachEngine(engine::GameBase* engine) {
    engine_ = engine;
    if (!engine_) return false;
    if (engine_->CanAttach() == 0) return false;
    engine_->SetHost(this);
    engine_->ResetSettings();
    engine_->OnAttach();
    engine_->Init();
    return true;
}

void CXYGameTableView::OnInitialUpdate() {
    if (autoInit_) InitScreen();
}

void CXYGameTableView::InitScreen() {
    if (!engine_ || started_) return;
    engine_->InitScreen(GetWidth() > 0 ? GetWidth() : width(),
                        GetHeight() > 0 ? GetHeight() : height());
    StoreWindowPos();
    engine_->OnScreenReady();
    engine_->OnPrepare();
}

void CXYGameTableView::OnGameEntered() {
    framework::CGameTableView::OnGameEntered();
    OnStartEngine();
}

void CXYGameTableView::OnStartEngine() {
    if (!engine_) return;
    if (!autoInit_) InitScreen();
    // A second game entry starts the timers again: the old ones go first.
    StopTimers();
    frameTimer_ = true;
    if (hoverTimerId_ == 0) hoverTimerId_ = engine::GetResourceManager().NewHandle();
    StartHoverTimer();
    ++timersStarted_;
    if (!loopHooked_) {
        // Whatever ran on the UI thread may have given the engine work: it is looked at
        // each time the event loop is about to wait.
        if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance())
            QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, this,
                             [this] { ScheduleFrame(); });
        loopHooked_ = true;
    }
    if (!statsClock_ && std::getenv("HQLV_FRAME_STATS")) {
        statsClock_ = new QTimer(this);
        QObject::connect(statsClock_, &QTimer::timeout, this, [this] { WriteFrameStats(); });
        statsClock_->start(1000);
    }
    // The scene's game data is made once. Its start makes the scene's fixed pools (the 336
    // tile entities, the 31 tile controls, the toolbar, the clock) and marks no game
    // running: run again on a later entry it would lay a second set of every entity over
    // the first and stop a deal that is running.
    if (!started_) {
        engine_->OnStart();
        engine_->OnStarted();
        started_ = true;
        if (autoInit_) engine_->OnInitDone();
    }
    ScheduleFrame();
}

void CXYGameTableView::StopTimers() {
    frameTimer_ = false;
    if (frameClock_) frameClock_->stop();
    if (hoverTimerId_) KillTimer(hoverTimerId_);
    hoverRunning_ = false;
}

void CXYGameTableView::StartHoverTimer() {
    if (!frameTimer_ || hoverTimerId_ == 0 || hoverRunning_) return;
    hoverRunning_ = SetTimer(hoverTimerId_, kHoverPeriodMs);
}

int CXYGameTableView::frameDueMs() const {
    return frameClock_ && frameClock_->isActive() ? frameClock_->remainingTime() : -1;
}

void CXYGameTableView::ScheduleFrame() {
    if (!engine_ || !frameTimer_ || inFrame_ || !frameClock_) return;
    const int ms = engine_->MsUntilWork();
    if (ms < 0) {
        frameClock_->stop();
        return;
    }
    // An earlier wake stands: it looks again when it comes.
    if (frameClock_->isActive() && frameClock_->remainingTime() <= ms) return;
    frameClock_->start(ms);
}

void CXYGameTableView::WriteFrameStats() {
    const char* path = std::getenv("HQLV_FRAME_STATS");
    if (!path || !*path) return;
    if (FILE* f = std::fopen(path, "w")) {
        std::fprintf(f, "wakes %u frames %u drawn %u\n", stats_.wakes, stats_.frames, stats_.drawn);
        std::fclose(f);
    }
}

int CXYGameTableView::ComputeAverageFrameTime(uint32_t duration) {
    ringIndex_ %= kFrameRing;
    ring_[ringIndex_++] = int(duration);
    int64_t sum = 0;
    for (int d : ring_) sum += d;
    return int(sum / int64_t(kFrameRing));
}

void CXYGameTableView::onTimer(uint32_t id) {
    if (!engine_) return;
    if (id == kFrameTimerId) {
        OnFrame();
    } else if (id == hoverTimerId_) {
        OnHoverTick();
    } else {
        engine_->OnTimer(id);
    }
}

void CXYGameTableView::OnFrame() {
    // A waited request inside a frame runs the event loop: no frame within a frame.
    if (!engine_ || inFrame_) return;
    inFrame_ = true;
    ++stats_.wakes;
    engine_->PumpMessages();
    if (engine_->IsFrameDue()) {
        const uint32_t t0 = engine::GetEngineTimeMs();
        engine_->OnLogicTick();
        engine::GameKernel& kernel = engine_->GetKernel();
        if (kernel.HasApplies()) kernel.RunDueApplies();
        engine_->Render();
        engine_->TakeRedrawFlag();
        // Only what the frame changed is painted again.
        QRegion changed;
        for (const engine::Rect& r : engine_->ChangedDeviceRects())
            changed += QRect(r.left, r.top, r.width(), r.height());
        if (!changed.isEmpty()) {
            update(changed);
            ++stats_.drawn;
        }
        ++stats_.frames;
        const uint32_t t1 = engine::GetEngineTimeMs();
        // Ticks wrap: the duration is their unsigned difference.
        lastFrame_ = t1 - t0;
        engine_->SetFrameTime(ComputeAverageFrameTime(lastFrame_));
    }
    inFrame_ = false;
    ScheduleFrame();
}

QPoint CXYGameTableView::PointerPos() const {
    return QCursor::pos();
}

QRect CXYGameTableView::ScreenRect() const {
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

void CXYGameTableView::OnHoverTick() {
    if (!engine_) return;
    const bool inside = ScreenRect().contains(PointerPos());
    if (!inside && pointerInside_) {
        pointerInside_ = false;
        engine_->ReleaseMouseButtons();
    } else if (inside && !pointerInside_) {
        pointerInside_ = true;
        engine_->OnMouseEnter();
    }
    if (inside) engine_->OnHoverTimer(hoverTimerId_);
    // Outside the view the ticks have nothing to tell until the pointer comes back (the
    // view's enter starts them again).
    if (!inside && hoverRunning_ && hoverTimerId_) {
        KillTimer(hoverTimerId_);
        hoverRunning_ = false;
    }
}

void CXYGameTableView::paintEvent(QPaintEvent* e) {
    if (!engine_ || !engine_->ScreenReady()) {
        framework::CGameTableView::paintEvent(e);
        return;
    }
    QPainter p(this);
    painter_ = &p;
    paintRegion_ = e->region();
    engine_->PaintTo();
    painter_ = nullptr;
}

void CXYGameTableView::PresentFrame(const uint32_t* pixels, int width, int height) {
    if (!painter_ || !pixels || width <= 0 || height <= 0) return;
    QImage frame(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                 QImage::Format_RGB32);
    engine::GameBase::Size d = engine_->DeviceSize();
    if (width != d.width || height != d.height) {
        painter_->drawImage(QRect(0, 0, d.width, d.height), frame);
        return;
    }
    // A buffer of the device's size: only the parts asked for are copied.
    for (const QRect& r : paintRegion_) painter_->drawImage(r, frame, r);
}

void CXYGameTableView::resizeEvent(QResizeEvent* e) {
    framework::CGameTableView::resizeEvent(e);
    netlib::YrnLogWrite("table view %d x %d", width(), height());
    if (!engine_ || !engine_->ScreenReady()) return;
    engine_->SetScreen(width(), height());
    StoreWindowPos();
    if (started_) engine_->OnInitDone();
}

void CXYGameTableView::StoreWindowPos() {
    if (!engine_) return;
    const QPoint at = mapToGlobal(QPoint(0, 0));
    engine_->SetWindowPos(at.x(), at.y());
    // A move of the window that holds the view moves it on the screen without a resize.
    QWidget* top = window();
    if (top != watchedWindow_) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = top;
        if (top && top != this) top->installEventFilter(this);
    }
}

void CXYGameTableView::moveEvent(QMoveEvent* e) {
    framework::CGameTableView::moveEvent(e);
    if (engine_ && engine_->ScreenReady()) StoreWindowPos();
}

bool CXYGameTableView::eventFilter(QObject* watched, QEvent* e) {
    if (watched == watchedWindow_ && e->type() == QEvent::Move && engine_ && engine_->ScreenReady())
        StoreWindowPos();
    return framework::CGameTableView::eventFilter(watched, e);
}

bool CXYGameTableView::InputOpen() const {
    return engine_ && engine_->ScreenReady();
}

namespace {
// The key-state word of a mouse message.
uint32_t Flags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    uint32_t f = 0;
    if (buttons & Qt::LeftButton) f |= 0x1;
    if (buttons & Qt::RightButton) f |= 0x2;
    if (modifiers & Qt::ShiftModifier) f |= 0x4;
    if (modifiers & Qt::ControlModifier) f |= 0x8;
    if (buttons & Qt::MiddleButton) f |= 0x10;
    return f;
}
uint32_t Flags(const QMouseEvent* e) {
    return Flags(e->buttons(), e->modifiers());
}
}  // namespace

void CXYGameTableView::enterEvent(QEnterEvent* e) {
    CGameTableView::enterEvent(e);
    // The pointer is back over the view: the engine's current cursor (a named picture
    // cursor included) is shown again in place of the view's own.
    if (engine_)
        if (engine::MouseManager* m = engine_->GetMouseManager()) m->ApplyCursor();
    StartHoverTimer();
}

void CXYGameTableView::mouseMoveEvent(QMouseEvent* e) {
    StartHoverTimer();
    if (InputOpen()) engine_->OnMouseMove(Flags(e), e->pos().x(), e->pos().y());
}

void CXYGameTableView::mousePressEvent(QMouseEvent* e) {
    if (!InputOpen()) return;
    const int x = e->pos().x(), y = e->pos().y();
    if (e->button() == Qt::LeftButton) engine_->OnLButtonDown(Flags(e), x, y);
    if (e->button() == Qt::RightButton) engine_->OnRButtonDown(Flags(e), x, y);
    if (e->button() == Qt::MiddleButton) engine_->OnMButtonDown(Flags(e), x, y);
}

void CXYGameTableView::mouseReleaseEvent(QMouseEvent* e) {
    if (!InputOpen()) return;
    const int x = e->pos().x(), y = e->pos().y();
    if (e->button() == Qt::LeftButton) engine_->OnLButtonUp(Flags(e), x, y);
    if (e->button() == Qt::RightButton) engine_->OnRButtonUp(Flags(e), x, y);
    if (e->button() == Qt::MiddleButton) engine_->OnMButtonUp(Flags(e), x, y);
}

void CXYGameTableView::wheelEvent(QWheelEvent* e) {
    if (!InputOpen()) return;
    // A notch is 120, up positive; the point is on the screen, as the wheel reports it.
    const int delta = e->angleDelta().y();
    if (delta == 0) return;
    const QPoint at = e->globalPosition().toPoint();
    engine_->OnMouseWheel(Flags(e->buttons(), e->modifiers()), delta, at.x(), at.y());
}

// Keys reach the engine as Windows key messages would: the virtual-key code, the repeat
// count and the key-data flags. A key without such a code (an input method's, a dead key)
// is not handed on; nor is the release that the window system puts between two repeats of
// a held key, since a held key sends only repeated presses.
void CXYGameTableView::keyPressEvent(QKeyEvent* e) {
    if (InputOpen()) {
        const WindowsKey k = ToWindowsKey(*e);
        if (k.code) engine_->OnKeyDown(k.code, k.repeat, k.flags);
    }
    framework::CGameTableView::keyPressEvent(e);
}

void CXYGameTableView::keyReleaseEvent(QKeyEvent* e) {
    if (InputOpen() && !e->isAutoRepeat()) {
        const WindowsKey k = ToWindowsKey(*e);
        if (k.code) engine_->OnKeyUp(k.code, k.repeat, k.flags);
    }
    framework::CGameTableView::keyReleaseEvent(e);
}

bool CXYGameTableView::IsMainWindowVisible() {
    return window() && window()->isVisible();
}

void CXYGameTableView::SetCursorById(uint32_t systemId) {
    SetCursorMode(systemId == 32649 ? 1 : 0);
}

void CXYGameTableView::ShowCursor(const engine::EngineCursor& cursor) {
    if (cursor.systemId) {
        SetCursorById(cursor.systemId);
        return;
    }
    platform::ui::SetWindowCursorImage(this, cursor.pixels.data(), cursor.width, cursor.height,
                                       cursor.hotX, cursor.hotY);
}

void CXYGameTableView::SetCursorPos(int screenX, int screenY) {
    QCursor::setPos(screenX, screenY);
}

void* CXYGameTableView::CurrentApp() {
    return &mjApp_;
}

void CXYGameTableView::Quit() {
    framework::CGameFrameWnd::EndEventLoops();
}

void CXYGameTableView::ChatLine(std::string_view text) {
    mjApp_.SendChatViewMessage(std::string(text));
}

void CXYGameTableView::ShowMessageBox(std::string_view text, std::string_view caption) {
    platform::ui::PlatformMessageBox(std::string(text), std::string(caption), platform::ui::kBoxOk,
                                     platform::ui::PlatformBoxIcon::kStop);
}

void CXYGameTableView::ShowErrorBox(std::string_view text, std::string_view caption) {
    // The box is asked for from inside an engine call (a layout being made for a draw). Its
    // own event loop keeps running the view's timers, and a frame must not start inside
    // another: the box comes up from the event loop once the call has returned.
    QMetaObject::invokeMethod(
        this,
        [text = std::string(text), caption = std::string(caption)] {
            platform::ui::PlatformMessageBox(text, caption, platform::ui::kBoxOk,
                                             platform::ui::PlatformBoxIcon::kStop);
        },
        Qt::QueuedConnection);
}

// ---- CMJGameTableView2 ----------------------------------------------------------------------

CMJGameTableView2::CMJGameTableView2(CMJGameApp& app, QWidget* parent)
    : CXYGameTableView(app, parent) {
    autoInit_ = true;
}

void CMJGameTableView2::StartClockTimer() {
    if (clockTimer_) KillTimer(clockTimer_);
    clockTimer_ = SetTimer(kClockTimerId, 1000) ? kClockTimerId : 0;
}

void CMJGameTableView2::StopClockTimer() {
    if (!clockTimer_) return;
    KillTimer(clockTimer_);
    clockTimer_ = 0;
}

void CMJGameTableView2::RestartClockTimer() {
    if (!clockTimer_) return;
    KillTimer(clockTimer_);
    SetTimer(clockTimer_, 1000);
}

void CMJGameTableView2::OnTableStop() {
    StopClockTimer();
}

void CMJGameTableView2::OnRoundEnded() {
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->ResetForNextDeal();
}

void CMJGameTableView2::onTimer(uint32_t id) {
    CXYGameTableView::onTimer(id);
}

namespace {

// The score-history pane when it is the advert-bet pane (the mahjong layer's own layout).
CMJScoreHooks* AdvertBetPane(CMJGameApp& app) {
    CMJGameFrameWnd* frame = app.GetMJFrame();
    CMJScoreHooks* pane = frame ? frame->GetScoreHooks() : nullptr;
    return pane && pane->IsAdvertBetView() ? pane : nullptr;
}

}  // namespace

void CMJGameTableView2::OnPlayerSat(const framework::PlayerRecord& r) {
    if (CMJTableDraw* draw = mjApp_.GetTableDraw())
        draw->SetSeatName(r.chair(), framework::GbkToUtf8(r.name()));
    if (CMJScoreHooks* pane = AdvertBetPane(mjApp_)) pane->OnSeatTaken(r);
}

void CMJGameTableView2::OnLookOnEnded(const framework::PlayerRecord& r) {
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->SetSeatName(r.chair(), "");
    if (CMJScoreHooks* pane = AdvertBetPane(mjApp_)) pane->OnSeatLeft(r);
}

void CMJGameTableView2::OnSeatsAssigned(framework::Body) {
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->LoadSeatData();
    if (CMJScoreHooks* pane = AdvertBetPane(mjApp_)) pane->OnSeatsReload();
}

void CMJGameTableView2::OnSceneResultShown() {
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) {
        scene->RefreshResult();
        scene->LayoutToolbar();
    }
}

void CMJGameTableView2::ApplySkin() {
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->OnApplySkin();
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->LoadBankerBitmap();
}

}  // namespace hqlv::mahjong
