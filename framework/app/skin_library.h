#pragma once
// The program's own skin layer, in place of the platform's skin library: it loads the
// current skin's description ("skin.ini") and answers what the windows ask of it. It
// answers "none" where the skin has nothing, so every caller's fallback runs.
//
// Besides the keys the framework reads itself, a skin may give numbered colours in
// section "Colors" ("9=r g b" is the separator line of the safe-box dialogs).
#include <QImage>

#include <cstdint>
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

    // A window is skinned / a pane is let go / a dialog's background is painted by the
    // skin. The layer keeps no pointers; these only count for diagnostics.
    void SkinWindow(QWidget* window, uint32_t flags);
    void ReleasePane(QWidget* pane);
    void SetDialogEraseBkgnd(QWidget* dialog, int on);

    // The picture of a "BitmapResource" key, relative to the skin's folder; none when
    // the skin has no such key or the file is missing or broken. Cached.
    std::optional<QImage> GetBitmap(const std::string& name);
    // The numbered colour (COLORREF); none when the skin gives none.
    std::optional<uint32_t> GetColor(int ordinal) const;

    int skinnedWindows() const { return skinned_; }

private:
    std::string path_;
    std::string folder_;
    std::string name_;
    std::map<std::string, std::optional<QImage>> bitmaps_;
    int skinned_ = 0;
};

}  // namespace hqlv::framework
