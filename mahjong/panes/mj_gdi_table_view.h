#pragma once
// CMJGameTableView: the table pane of scene mode 1. The table is painted by the scene
// into a back buffer of the view's size (through the GDI surface below) and copied to the
// window; the operation buttons are window buttons; every mouse action, timer and button
// goes to the table scene. The frame makes it instead of the engine host view only in
// scene mode 1, which this game reaches only through the HQLV_SCENE_MODE override.
#include <QImage>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "framework/panes/table_view.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/scene/gdi_surface.h"
#include "platform/ui/draw_context.h"

class QAbstractButton;

namespace hqlv::mahjong {

class CMJGameApp;

// The GDI surface over a QImage; the skin bitmaps come from the skin library by name.
class CQImageGdiSurface : public CMJGdiSurface {
public:
    explicit CQImageGdiSurface(QWidget* window) : window_(window) {}
    void SetImage(QImage* image) { image_ = image; }
    // The bitmaps are fetched again (a new skin).
    void ForgetBitmaps() { bitmaps_.clear(); }

    int Width() const override;
    int Height() const override;
    bool TransparentBlt(int x, int y, int w, int h, const std::string& bitmap, int sx, int sy,
                        uint32_t key) override;
    bool BitmapSize(const std::string& bitmap, int& w, int& h) override;
    void FrameRect(int left, int top, int right, int bottom, uint32_t colour) override;
    void SelectFont(const MJGdiFont& font) override { font_ = font; }
    void SetTextColor(uint32_t colour) override { colour_ = colour; }
    void TextOut(int x, int y, const std::string& utf8) override;
    void GetTextExtent(const std::string& utf8, int& w, int& h) override;
    void Invalidate() override;
    void CaptureMouse(bool on) override;
    bool CursorPos(int& x, int& y) override;

    static platform::ui::FontSpec ToFontSpec(const MJGdiFont& font);

private:
    const QImage* Bitmap(const std::string& name);

    QWidget* window_;
    QImage* image_ = nullptr;
    std::map<std::string, std::optional<QImage>> bitmaps_;
    MJGdiFont font_ = DefaultGuiFont();
    uint32_t colour_ = 0;
};

class CMJGameTableView : public framework::CGameTableView, public CMJTableHooks {
public:
    static constexpr uint32_t kClockTimerId = 10000;
    static constexpr uint32_t kAskTimerId = 7;
    // The buffer is painted again this often: the handlers change the records without
    // telling the view.
    static constexpr uint32_t kRepaintTimerId = 10100;
    static constexpr uint32_t kRepaintMs = 250;
    enum Button { kStart = 1800, kAsk = 1801, kPass = 1810, kHu, kGang, kPeng, kChi };
    // The colour of an offered claim's button (a colour reference: red 214).
    static constexpr platform::ui::ColorRef kClaimButtonColour = 214;

    explicit CMJGameTableView(CMJGameApp& app, QWidget* parent = nullptr);
    ~CMJGameTableView() override;

    void CreateFonts();
    // The skin's table colour and cloth, the scene's and the banker's bitmaps again.
    void ApplySkin();
    void OnInitialUpdate();
    void Layout(int cx, int cy);
    // No game being played: the table emptied, the seats' marks cleared, a player's start
    // button shown again.
    void ResetTable();
    // The framework's table record: the seats reloaded from the seated players.
    void ReloadSeats();
    // The command of a button (as its press sends it).
    void OnCommand(int id);
    // A claim button (1810-1814) enabled: its colour slots 2, 0 and 4 become 214 (without a
    // repaint) and the window takes input; disabled: the system button colours and no input.
    void EnableSkinButton(QAbstractButton* button, bool enable);
    // The scene's claim of kind 1 peng, 2 gang, 3 chi, 4 hu or 5 pass on offer (on) or not:
    // its button is shown and enabled, or disabled and hidden.
    void ShowClaimButton(int kind, int on);
    // The window button of a claim kind; null for another kind.
    QAbstractButton* ClaimButton(int kind) const;
    // The start button shown or hidden (the scene's start and new deal).
    void ShowStartButton(bool show);
    // The claim strip's cell the gang (2) or chi (3) button stands for: 40 or 80, or 200
    // (the cancel picture) while the player chooses tiles, when the button stays down.
    // 0 for another kind.
    int GetClaimCell(int kind) const;
    void SetClaimCell(int kind, int x);
    // The buttons', the own draw slot's and the clock's centres on the display to the daily
    // log, for a scripted player.
    void LogButtonPlaces();

    // ---- CMJTableHooks
    void StartClockTimer() override;
    void StopClockTimer() override;
    void RestartClockTimer() override;
    void OnTableStop() override { StopClockTimer(); }
    void OnRoundEnded() override;

    // ---- the framework's seat hooks
    void OnPlayerSat(const framework::PlayerRecord& r) override;
    void OnLookOnEnded(const framework::PlayerRecord& r) override;
    void OnSeatsAssigned(framework::Body) override { ReloadSeats(); }

    QAbstractButton* button(int id) const;
    uint32_t clockTimer() const { return clockTimer_; }
    bool IsClockTimerRunning() const override { return clockTimer_ != 0; }
    const QImage& backBuffer() const { return buffer_; }
    platform::ui::ColorRef tableColor() const { return tableColor_; }
    const platform::ui::FontSpec& buttonFont() const { return buttonFont_; }
    const platform::ui::FontSpec& clockFont() const { return clockFont_; }
    // The whole paint pass into the back buffer (the paint event copies it); the clip box
    // is the paint's update rectangle, the whole client area when null.
    void PaintBuffer(const QRect& clip = QRect());
    static constexpr int kCancelCell = 200;

protected:
    void onTimer(uint32_t id) override;
    void OnGameEntered() override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;

    CMJGameApp& mjApp_;

private:
    // The gang and chi buttons look down exactly while they stand at the cancel cell.
    void ApplyCellLook();

    CQImageGdiSurface surface_;
    std::array<QAbstractButton*, 7> buttons_{};
    QImage buffer_;
    bool rebuild_ = true;
    bool laidOut_ = false;
    platform::ui::ColorRef tableColor_ = 0x4000;
    platform::ui::FontSpec buttonFont_;
    platform::ui::FontSpec clockFont_;
    uint32_t clockTimer_ = 0;
    int claimCells_[2] = {40, 80};  // gang, chi
    std::string loggedPlaces_;
};

}  // namespace hqlv::mahjong
