#pragma once
// The skin settings: which skin the program uses (the game INI's "SKIN"/"Path", else the
// first skin "skins/skin1/skin.ini"), handing it to the skin layer at start-up and taking
// it back at exit, the installed skins, and the skin's values (pictures, colours, sizes).
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QImage;
class QWidget;

namespace hqlv::framework {

class COwnerDrawMenu;

class CSkinSettings {
public:
    // gameIniPath: the game's INI file; programFolder: where "skins/" lies (ends in '/').
    CSkinSettings(std::string gameIniPath, std::string programFolder);
    virtual ~CSkinSettings() = default;

    // Chooses the skin and loads it into the skin layer; the layer's result.
    virtual bool Load();
    virtual void Unload();
    virtual void EnumSkins();
    virtual void SetSkinPath(const std::string& path);
    virtual bool HasSkin() const { return !path_.empty(); }
    virtual bool IsCurrentSkin(const std::string& path) const;
    virtual int GetCurrentSkinIndex() const;
    virtual std::string GetSkinPath() const { return path_; }
    virtual std::string GetSkinFolder() const;
    virtual std::string GetJpgResource(const std::string& key) const;
    virtual std::string GetBitmapResource(const std::string& key) const;
    virtual std::string GetSkinName(const std::string& descriptionPath) const;
    // The picture "skin.ico" next to a skin description; a null image when it is missing
    // or cannot be read.
    virtual QImage LoadSkinIcon(const std::string& descriptionPath) const;
    virtual uint32_t GetColor(const std::string& section, const std::string& key,
                              uint32_t fallback) const;
    virtual int GetDlgBarLeftWidth() const;
    virtual int GetAdvertLeft() const;
    virtual int GetAdvertTop() const;
    virtual int GetButtonWidth() const;
    virtual int GetButtonHeight() const;
    virtual int GetSplitterWidth() const;
    virtual int GetSplitterHeight() const;
    // LeftIn, LeftOut, RightIn, RightOut.
    virtual std::array<uint32_t, 4> GetFrameColors() const;

    const std::map<int, std::string>& skins() const { return skins_; }

    // The skin menu: one item per installed skin (command 20001 + index, checked when it
    // is the current one), a separator when there is at least one, then "更多皮肤..."
    // (command 20000).
    struct MenuItem {
        std::string text;
        int command = 0;  // 0: a separator
        bool checked = false;
    };
    std::vector<MenuItem> SkinMenuItems() const;
    // Shows the menu with its right edge at (x, y) and returns the chosen command, 0 when
    // none was chosen.
    virtual int ShowSkinMenu(int x, int y, QWidget* owner);
    // Menu 131 with the skins (the current one checked), a separator and "更多皮肤...";
    // the submenu to show, null when the menu cannot be built.
    COwnerDrawMenu* BuildSkinMenu(COwnerDrawMenu& top) const;

private:
    int intValue(const char* section, const char* key, int def) const;
    std::string gameIni_;
    std::string programFolder_;
    std::string path_;
    std::map<int, std::string> skins_;
};

}  // namespace hqlv::framework
