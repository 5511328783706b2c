#pragma once
// The program's own skin layer, in place of the platform's skin library: it loads the
// current skin's description ("skin.ini") and answers what the windows ask of it. It
// answers "none" where the skin has nothing, so every caller's fallback runs.
//
// Besides the keys the framework reads itself, a skin may give numbered colours in
// section "Colors" ("9=r g b" is the separator line of the safe-box dialogs).
#include <QImage>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

class QWidget;

namespace hqlv::framework {

class CSkinLibrary {
public:
    static CSkinLibrary& instance();

    // Loads and applies a skin description; false (nothing loaded) when it is missing.
    bool Load(const std::string& descriptionPath, int apply);
    // Removes the skin.
    void Unload();
    bool IsLoaded() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // Switches the running windows to the skin of that name (its description must be
    // loaded); false when the name is not the loaded skin's.
    bool SwitchTo(const std::string& name, int apply);

    // The calls that tell the skin about windows. The program's widgets draw their own
    // look, so none of them changes a window; the layer counts each call and keeps the
    // most recent ones for diagnostics (a window there is an identity, never used).
    enum class Call { kSkinWindow, kReleasePane, kDialogEraseBkgnd, kSkinControl, kBackgroundDC };
    static constexpr int kCallKinds = int(Call::kBackgroundDC) + 1;
    static constexpr size_t kRecentCalls = 64;
    struct CallTrace {
        Call call;
        const void* window;
        intptr_t arg;  // the flags or switch; for kBackgroundDC the picture's address
    };

    // The main window is skinned (flags 0x80).
    void SkinWindow(QWidget* window, uint32_t flags);
    // A pane about to be hidden is let go.
    void ReleasePane(QWidget* pane);
    // The skin paints the dialog's background (on = 1), told as the dialog starts.
    void SetDialogEraseBkgnd(QWidget* dialog, int on);
    // A control of a skinned window takes the skin's look (flags 0): the window-drawn
    // table's buttons, each right after its font is set.
    void SkinControl(QWidget* control, int flags);
    // The window's background is now this picture: the window-drawn table's back buffer,
    // given after every paint.
    void SetBackgroundDC(QWidget* window, const QImage& buffer);

    int CallCount(Call call) const { return counts_[size_t(call)]; }
    // The latest calls, oldest first, at most kRecentCalls.
    const std::deque<CallTrace>& RecentCalls() const { return recent_; }

    // The picture of a "BitmapResource" key, relative to the skin's folder; none when
    // the skin has no such key or the file is missing or broken. Cached.
    std::optional<QImage> GetBitmap(const std::string& name);
    // The numbered colour (COLORREF); none when the skin gives none.
    std::optional<uint32_t> GetColor(int ordinal) const;

private:
    std::string path_;
    std::string folder_;
    std::string name_;
    std::map<std::string, std::optional<QImage>> bitmaps_;
    void Record(Call call, const void* window, intptr_t arg);

    std::array<int, kCallKinds> counts_{};
    std::deque<CallTrace> recent_;
};

}  // namespace hqlv::framework
