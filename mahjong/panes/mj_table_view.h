#pragma once
// The engine host view (CXYGameTableView) and the mahjong table pane over it
// (CMJGameTableView2). The view gives the engine a window and a clock: the frame timer
// pumps the engine and runs a frame when 30 ms have passed (logic, Applies, render into
// the back buffer, repaint of what the frame changed, without erase); a 100 ms hover timer
// tells the engine when the pointer leaves or enters; every other timer of the view goes
// to the scene. Input and size changes are forwarded; painting copies the buffer.
//
// The frame timer wakes only when the engine has work: at once for queued messages, at
// the next frame for a changed canvas or a due Apply, not at all at a still table. Whatever
// gives the engine work (input, the server's notifications, the view's other timers) is
// looked at each time the UI thread's event loop is about to wait.
#include <QPoint>
#include <QPointer>
#include <QRegion>

#include <array>
#include <cstdint>

#include "engine/core/engine_host.h"
#include "framework/panes/table_view.h"
#include "mahjong/app/mj_hooks.h"

class QPainter;
class QTimer;

namespace hqlv::engine {
class GameBase;
}

namespace hqlv::mahjong {

class CMJGameApp;

class CXYGameTableView : public framework::CGameTableView, public engine::EngineHost {
public:
    static constexpr uint32_t kFrameTimerId = 0;
    static constexpr uint32_t kHoverPeriodMs = 100;
    static constexpr size_t kFrameRing = 100;

    explicit CXYGameTableView(CMJGameApp& app, QWidget* parent = nullptr);
    ~CXYGameTableView() override;

    bool AttachEngine(engine::GameBase* engine);
    engine::GameBase* engine() const { return engine_; }
    void SetAutoInit(bool on) { autoInit_ = on; }
    // The framework pane's initial update, then the screen when auto-init is set.
    void OnInitialUpdate();
    void InitScreen();
    // 0x85B1: the timers (again, the old ones killed first), the scene's game data once.
    void OnStartEngine();
    // One tick of the frame timer.
    void OnFrame();
    void OnHoverTick();
    void StopTimers() override;
    // Arms the frame timer for the engine's next work (or leaves it off when there is
    // none); the event loop's hook and each frame call it. Nothing while a frame runs.
    void ScheduleFrame();
    // When the frame timer fires next (ms; -1 off).
    int frameDueMs() const;
    // Ticks of the frame timer, frames run, frames that changed the screen.
    struct FrameStats {
        uint32_t wakes = 0, frames = 0, drawn = 0;
    };
    const FrameStats& frameStats() const { return stats_; }
    // The mean of the last 100 frame durations (slots not yet filled count as 0).
    int ComputeAverageFrameTime(uint32_t duration);

    bool started() const { return started_; }
    bool pointerInside() const { return pointerInside_; }
    uint32_t hoverTimerId() const { return hoverTimerId_; }
    bool frameTimerRunning() const { return frameTimer_; }
    int timersStarted() const { return timersStarted_; }
    uint32_t lastFrameDuration() const { return lastFrame_; }

    // ---- engine::EngineHost
    bool IsMainWindowVisible() override;
    void SetCursorById(uint32_t systemId) override;
    void ShowCursor(const engine::EngineCursor& cursor) override;
    void SetCursorPos(int screenX, int screenY) override;
    void Quit() override;
    void ChatLine(std::string_view text) override;
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    void ShowErrorBox(std::string_view text, std::string_view caption) override;
    void PresentFrame(const uint32_t* pixels, int width, int height) override;
    // The mahjong application (a CMJGameApp).
    void* CurrentApp() override;
    // Gives the engine the view's screen position (where the cursor it places lands).
    void StoreWindowPos();

protected:
    void enterEvent(QEnterEvent* e) override;
    void onTimer(uint32_t id) override;
    void OnGameEntered() override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    // The top-level window moved: the view's screen position with it.
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    // Where the pointer is (screen coordinates) and where the view is.
    virtual QPoint PointerPos() const;
    virtual QRect ScreenRect() const;
    bool InputOpen() const;
    void StartHoverTimer();
    // HQLV_FRAME_STATS names a file that gets the frame counts once a second.
    void WriteFrameStats();

    CMJGameApp& mjApp_;
    engine::GameBase* engine_ = nullptr;
    std::array<int, kFrameRing> ring_{};
    size_t ringIndex_ = 0;
    bool pointerInside_ = false;
    uint32_t hoverTimerId_ = 0;
    bool frameTimer_ = false;
    bool started_ = false;
    bool autoInit_ = false;
    int timersStarted_ = 0;
    uint32_t lastFrame_ = 0;
    QPainter* painter_ = nullptr;
    QRegion paintRegion_;
    QTimer* frameClock_ = nullptr;
    QTimer* statsClock_ = nullptr;
    bool inFrame_ = false;
    bool loopHooked_ = false;
    bool hoverRunning_ = false;
    // The top-level window whose moves are watched; it may go before the view does.
    QPointer<QWidget> watchedWindow_;
    FrameStats stats_;
};

class CMJGameTableView2 : public CXYGameTableView, public CMJTableHooks {
public:
    static constexpr uint32_t kClockTimerId = 10000;

    explicit CMJGameTableView2(CMJGameApp& app, QWidget* parent = nullptr);

    // ---- the turn clock
    void StartClockTimer() override;
    void StopClockTimer() override;
    void RestartClockTimer() override;
    void OnTableStop() override;
    void OnRoundEnded() override;
    uint32_t clockTimer() const { return clockTimer_; }
    bool IsClockTimerRunning() const override { return clockTimer_ != 0; }

    // ---- the framework's seat hooks
    void OnPlayerSat(const framework::PlayerRecord& r) override;
    void OnLookOnEnded(const framework::PlayerRecord& r) override;
    void OnSeatsAssigned(framework::Body) override;
    void OnNotify211000() override { OnTableStop(); }
    void OnGameAborted() override { OnTableStop(); }

    void OnSceneResultShown();
    void ApplySkin();

protected:
    void onTimer(uint32_t id) override;
    uint32_t clockTimer_ = 0;
};

}  // namespace hqlv::mahjong
