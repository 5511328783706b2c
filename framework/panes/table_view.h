#pragma once
// The framework's table pane: knows its size, draws a stretched background picture (or a
// plain colour), shows one of three cursors, runs the idle timer that asks an inactive
// player to leave (on the main window, which shows the box when it expires), and carries
// the table requests the UI triggers (table change, subsidy, silver reward) under their
// wait texts. The engine's table views derive from it.
#include <QImage>

#include <optional>

#include "framework/panes/form_view.h"
#include "framework/panes/pane_hooks.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {

class CGameApp;
class CGameFrameWnd;

class CGameTableView : public CGameFormView, public CTableViewHooks {
public:
    static constexpr uint32_t kTimerSecond = 1000;
    static constexpr uint32_t kIdleTimerId = 1005;

    explicit CGameTableView(CGameApp& app, QWidget* parent = nullptr);
    ~CGameTableView() override;
    // The pane has no initial update of its own: it is a plain widget, not a scrolling
    // view, so there are no scroll sizes to set to nothing, and it never scrolls by
    // construction. Its size comes with its first resize; the games' panes that need a
    // first step do it in their own initial update.

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    // 0 arrow, 1 hand, 2 four-way arrow; any other mode leaves the cursor as it is.
    void SetCursorMode(int mode);
    int cursorMode() const { return cursorMode_; }
    void SetBackgroundColor(platform::ui::ColorRef c) { background_ = c; }
    void SetBackgroundPicture(std::optional<QImage> picture);
    // The picture stretched to the view's size; false without a picture.
    bool BuildBackground();
    void DrawBackground(platform::ui::DrawContext& dc, const QRect& r) const;
    const QImage& cachedBackground() const { return cache_; }
    int cacheBuilds() const { return cacheBuilds_; }

    // ---- the view's own operations
    virtual void StartSecondTimer();
    // Changes table in rooms that allow it; 1 when the change was made.
    virtual int RequestTableChange();
    virtual int Request201302();
    virtual void RestartIdleTimer() { StartIdleTimer(); }
    // The enter-game request succeeded: rooms with the idle check arm it.
    virtual void OnEnteredGame();
    virtual void StartIdleTimer();
    virtual void StopIdleTimer();
    virtual void FetchDoleConfig(int value);
    virtual void ClaimDole(int value, int kind);
    virtual void ClaimDole2(int value, int kind);
    virtual void ClaimSilverReward(int index);

    // The pane's playing word: non-zero while a game runs at the table (the application's
    // IsPlaying reads it). The framework never sets it; it is for a game's pane to set.
    int GetPlaying() const { return playing_; }
    void SetPlaying(int playing) { playing_ = playing; }

    bool idleTimerRunning() const { return idleTimer_ != 0; }
    int idleSeconds() const { return idleSeconds_; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    // Option word B has both idle-check bits.
    bool RoomHasIdleCheck() const;

    CGameApp& app_;

private:
    void applyCursor();
    CGameFrameWnd* MainWindow();

    int width_ = 0, height_ = 0;
    int cursorMode_ = 0;
    platform::ui::ColorRef background_ = 0x000000;
    std::optional<QImage> picture_;
    QImage cache_;
    int cacheBuilds_ = 0;
    uint32_t idleTimer_ = 0;
    platform::Handle idleTimerOwner_ = 0;  // the window timer 1005 runs on
    int idleSeconds_ = 0;
    int playing_ = 0;
};

}  // namespace hqlv::framework
