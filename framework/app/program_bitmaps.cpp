#include "framework/app/program_bitmaps.h"

#include <mutex>

#include "netlib/log.h"
#include "platform/core/files.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {
namespace {

std::mutex& folderMutex() {
    static std::mutex m;
    return m;
}

std::string& folderRef() {
    static std::string folder;
    return folder;
}

}  // namespace

void SetResourceBitmapFolder(const std::string& folder) {
    std::lock_guard lock(folderMutex());
    folderRef() = folder;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folderRef() += '/';
}

std::string GetResourceBitmapPath(int id) {
    std::string folder;
    {
        std::lock_guard lock(folderMutex());
        folder = folderRef();
    }
    if (folder.empty()) folder = platform::programFolder() + "resources/bitmap/";
    return folder + std::to_string(id) + ".bmp";
}

std::optional<QImage> LoadProgramBitmap(int id) {
    const std::string path = GetResourceBitmapPath(id);
    std::optional<QImage> image = platform::ui::LoadBitmapFile(path);
    if (!image)
        netlib::YrnLogWrite("bitmap resource %d: %s is missing or unreadable", id, path.c_str());
    return image;
}

}  // namespace hqlv::framework
