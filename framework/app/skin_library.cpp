#include "framework/app/skin_library.h"

#include <strings.h>

#include <QImageReader>

#include "framework/app/shared_utils.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"

namespace hqlv::framework {

CSkinLibrary& CSkinLibrary::instance() {
    static CSkinLibrary lib;
    return lib;
}

bool CSkinLibrary::Load(const std::string& descriptionPath, int) {
    std::string resolved;
    if (descriptionPath.empty() || !platform::resolveExisting(descriptionPath, &resolved)) {
        platform::diagf("skin: no description at \"%s\"", descriptionPath.c_str());
        return false;
    }
    path_ = resolved;
    size_t slash = path_.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    name_ = platform::profileString("SKIN", "Name", "方案", path_);
    bitmaps_.clear();
    return true;
}

void CSkinLibrary::Unload() {
    path_.clear();
    folder_.clear();
    name_.clear();
    bitmaps_.clear();
}

bool CSkinLibrary::SwitchTo(const std::string& name, int) {
    return IsLoaded() && strcasecmp(name.c_str(), name_.c_str()) == 0;
}

void CSkinLibrary::Record(Call call, const void* window, intptr_t arg) {
    ++counts_[size_t(call)];
    recent_.push_back({call, window, arg});
    if (recent_.size() > kRecentCalls) recent_.pop_front();
}

void CSkinLibrary::SkinWindow(QWidget* window, uint32_t flags) {
    Record(Call::kSkinWindow, window, intptr_t(flags));
}

void CSkinLibrary::ReleasePane(QWidget* pane) {
    Record(Call::kReleasePane, pane, 0);
}

void CSkinLibrary::SetDialogEraseBkgnd(QWidget* dialog, int on) {
    Record(Call::kDialogEraseBkgnd, dialog, on);
}

void CSkinLibrary::SkinControl(QWidget* control, int flags) {
    Record(Call::kSkinControl, control, flags);
}

void CSkinLibrary::SetBackgroundDC(QWidget* window, const QImage& buffer) {
    Record(Call::kBackgroundDC, window, reinterpret_cast<intptr_t>(&buffer));
}

std::optional<QImage> CSkinLibrary::GetBitmap(const std::string& name) {
    if (!IsLoaded()) return std::nullopt;
    auto it = bitmaps_.find(name);
    if (it != bitmaps_.end()) return it->second;
    std::string file = TrimBlanksCopy(platform::profileString("BitmapResource", name, "", path_));
    std::optional<QImage> img;
    std::string resolved;
    if (!file.empty() && platform::resolveExisting(folder_ + file, &resolved)) {
        QImage loaded = QImageReader(QString::fromStdString(resolved)).read();
        if (!loaded.isNull())
            img = loaded.convertToFormat(QImage::Format_RGB32);
        else
            platform::diagf("skin: picture \"%s\" cannot be read", resolved.c_str());
    }
    bitmaps_[name] = img;
    return img;
}

std::optional<uint32_t> CSkinLibrary::GetColor(int ordinal) const {
    if (!IsLoaded()) return std::nullopt;
    std::string text = platform::profileString("Colors", std::to_string(ordinal), "", path_);
    if (TrimBlanksCopy(text).empty()) return std::nullopt;
    return ParseColor(TrimBlanksCopy(text), 0);
}

}  // namespace hqlv::framework
