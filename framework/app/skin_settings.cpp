#include "framework/app/skin_settings.h"

#include <strings.h>

#include <QImage>
#include <QImageReader>

#include <algorithm>

#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/widgets/owner_draw_menu.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"

namespace hqlv::framework {

CSkinSettings::CSkinSettings(std::string gameIniPath, std::string programFolder)
    : gameIni_(std::move(gameIniPath)), programFolder_(std::move(programFolder)) {}

bool CSkinSettings::Load() {
    std::string configured = platform::profileString("SKIN", "Path", "", gameIni_);
    if (!configured.empty() && platform::pathExists(configured)) {
        path_ = configured;
    } else {
        std::string first = programFolder_ + "skins/skin1/skin.ini";
        if (platform::pathExists(first)) SetSkinPath(first);
    }
    EnumSkins();
    if (path_.empty()) return false;
    return CSkinLibrary::instance().Load(path_, 1);
}

void CSkinSettings::Unload() {
    if (path_.empty()) return;
    CSkinLibrary::instance().Unload();
    path_.clear();
}

void CSkinSettings::EnumSkins() {
    skins_.clear();
    std::string root = programFolder_ + "skins/";
    std::vector<std::string> names = platform::listFolder(root);
    std::sort(names.begin(), names.end());
    int index = 0;
    for (const std::string& name : names) {
        std::string folder = root + name;
        if (!platform::pathExists(folder, true)) continue;
        std::string ini = folder + "/skin.ini";
        if (!platform::pathExists(ini)) continue;
        skins_[index++] = ini;
    }
}

void CSkinSettings::SetSkinPath(const std::string& path) {
    path_ = path;
    platform::writeProfileString("SKIN", "Path", path.c_str(), gameIni_);
}

bool CSkinSettings::IsCurrentSkin(const std::string& path) const {
    return strcasecmp(path.c_str(), path_.c_str()) == 0;
}

int CSkinSettings::GetCurrentSkinIndex() const {
    for (const auto& [index, path] : skins_)
        if (IsCurrentSkin(path)) return index;
    return -1;
}

std::string CSkinSettings::GetSkinFolder() const {
    std::string p = platform::normalizePath(path_);
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

std::string CSkinSettings::GetJpgResource(const std::string& key) const {
    return GetSkinFolder() + TrimBlanksCopy(platform::profileString("JPGResource", key, "", path_));
}

std::string CSkinSettings::GetBitmapResource(const std::string& key) const {
    return GetSkinFolder() +
           TrimBlanksCopy(platform::profileString("BitmapResource", key, "", path_));
}

std::string CSkinSettings::GetSkinName(const std::string& descriptionPath) const {
    return platform::profileString("SKIN", "Name", "方案", descriptionPath);
}

QImage CSkinSettings::LoadSkinIcon(const std::string& descriptionPath) const {
    std::string p = platform::normalizePath(descriptionPath);
    size_t slash = p.rfind('/');
    std::string icon =
        (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + "skin.ico";
    std::string resolved;  // skins made on other systems may spell the name differently
    if (!platform::resolveExisting(icon, &resolved)) return {};
    // Of any size the file holds: the reader's own limit on the memory a picture may take
    // refuses a header that claims an impossible one.
    QImageReader reader(QString::fromStdString(resolved), "ico");
    QImage image = reader.read();
    if (image.isNull()) return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

uint32_t CSkinSettings::GetColor(const std::string& section, const std::string& key,
                                 uint32_t fallback) const {
    return ParseColor(TrimBlanksCopy(platform::profileString(section, key, "", path_)), fallback);
}

int CSkinSettings::intValue(const char* section, const char* key, int def) const {
    return platform::getProfileInt(section, key, def, path_);
}

int CSkinSettings::GetDlgBarLeftWidth() const {
    return intValue("BitmapResource", "DlgBarBKLeftWidth", 0);
}
int CSkinSettings::GetAdvertLeft() const {
    return intValue("DLGBAR", "AdvertLeft", 3);
}
int CSkinSettings::GetAdvertTop() const {
    return intValue("DLGBAR", "AdvertTop", 3);
}
int CSkinSettings::GetButtonWidth() const {
    return intValue("DLGBAR", "BTNWidth", 0);
}
int CSkinSettings::GetButtonHeight() const {
    return intValue("DLGBAR", "BTNHeight", 0);
}
int CSkinSettings::GetSplitterWidth() const {
    return intValue("SPLITTER", "VerWidth", 8);
}
int CSkinSettings::GetSplitterHeight() const {
    return intValue("SPLITTER", "HorHeight", 6);
}

std::array<uint32_t, 4> CSkinSettings::GetFrameColors() const {
    return {GetColor("FRAMECOLOR", "LeftIn", 0), GetColor("FRAMECOLOR", "LeftOut", 0x808080),
            GetColor("FRAMECOLOR", "RightIn", 0xC8D0D4),
            GetColor("FRAMECOLOR", "RightOut", 0xFFFFFF)};
}

std::vector<CSkinSettings::MenuItem> CSkinSettings::SkinMenuItems() const {
    std::vector<MenuItem> items;
    for (const auto& [index, path] : skins_)
        items.push_back({GetSkinName(path), 20001 + index, IsCurrentSkin(path)});
    if (!skins_.empty()) items.push_back({"", 0, false});
    items.push_back({"更多皮肤...", 20000, false});
    return items;
}

COwnerDrawMenu* CSkinSettings::BuildSkinMenu(COwnerDrawMenu& top) const {
    if (!top.LoadMenuId(131)) return nullptr;
    COwnerDrawMenu* menu = top.GetSubMenu(0);
    if (!menu) return nullptr;
    // The skins by position before the resource's own entry, which then makes way for
    // the program's "more skins" command at the end.
    int position = 0;
    for (const MenuItem& item : SkinMenuItems()) {
        if (item.command == 20000) break;
        const uint32_t checked = item.checked ? uint32_t(kMfChecked) : 0u;
        menu->InsertItem(position++, kMfByPosition | checked, item.command, item.text);
    }
    menu->RemoveItem(32781, kMfByCommand);
    menu->AppendItem("更多皮肤...", 0, 20000);
    return menu;
}

int CSkinSettings::ShowSkinMenu(int x, int y, QWidget* owner) {
    COwnerDrawMenu top(owner);
    COwnerDrawMenu* menu = BuildSkinMenu(top);
    if (!menu) return 0;
    QSize size = menu->sizeHint();
    return menu->TrackPopupReturnCmd(QPoint(x - size.width(), y));
}

}  // namespace hqlv::framework
