// hqlv-assetgen <folder>: writes the program's wave resources as <id>.wav into the folder
// (created when missing). The build runs it so the client finds them beside itself.
// hqlv-assetgen --faces <folder>: writes the chat's face pictures (0.bmp .. N.bmp) and
// their face.ini into the folder.
// hqlv-assetgen --table <program folder>: writes the table's pictures (skins/Common,
// skins/Classic), the seats' voices (sound/0fy ... sound/1pt, spoken by espeak-ng) and the
// table music (sound/Classic/default.mp3) under the program folder.
// The --table run also writes the default skin (skins/skin1: skin.ini and its pictures).
// hqlv-assetgen --bitmaps <folder>: writes the panes' and dialogs' pictures (<id>.bmp).
#include <iconv.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/assetgen/face_art.h"
#include "tools/assetgen/gdi_art.h"
#include "tools/assetgen/pane_art.h"
#include "tools/assetgen/table_art.h"
#include "tools/assetgen/voices.h"
#include "tools/assetgen/wave_synth.h"

namespace {

// Writes through a part file so that a reader never sees half a file.
bool WriteWhole(const std::filesystem::path& file, const std::string& bytes) {
    const std::filesystem::path part = file.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "hqlv-assetgen: cannot write %s\n", part.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(part, file, ec);
    if (ec) {
        std::fprintf(stderr, "hqlv-assetgen: cannot write %s: %s\n", file.c_str(),
                     ec.message().c_str());
        return false;
    }
    return true;
}

std::string ToGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t left = utf8.size(), room = out.size();
    char* dst = out.data();
    iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

bool WriteFaces(const std::filesystem::path& folder) {
    using namespace hqlv::assetgen;
    std::string ini = "[Remark]\r\n";
    for (int n = 0; n <= kFaceCount; ++n) {
        std::string bmp = bmpFile(kFaceSize, kFaceSize, facePixels(n));
        if (!WriteWhole(folder / (std::to_string(n) + ".bmp"), bmp)) return false;
        ini += std::to_string(n) + "=" + ToGbk(faceRemark(n)) + "\r\n";
    }
    return WriteWhole(folder / "face.ini", ini);
}

bool WriteDefaultSkin(const std::filesystem::path& programFolder) {
    const std::filesystem::path skin = programFolder / "skins/skin1";
    std::error_code ec;
    std::filesystem::create_directories(skin, ec);
    if (!hqlv::assetgen::writeOperateSkin(skin.string() + "/") ||
        !hqlv::assetgen::writeGdiSkin(skin.string() + "/")) {
        std::fprintf(stderr, "hqlv-assetgen: cannot write the skin in %s\n", skin.c_str());
        return false;
    }
    return true;
}

bool WriteTable(const std::filesystem::path& folder) {
    using namespace hqlv::assetgen;
    std::vector<ArtFile> files = TableArt();
    files.push_back({"sound/Classic/default.mp3", TuneFile()});
    if (!VoiceFiles(files)) return false;
    for (const auto& file : files) {
        const std::filesystem::path path = folder / file.path;
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (file.bytes.empty() || !WriteWhole(path, file.bytes)) {
            std::fprintf(stderr, "hqlv-assetgen: cannot make %s\n", path.c_str());
            return false;
        }
    }
    return WriteDefaultSkin(folder);
}

bool WriteBitmaps(const std::filesystem::path& folder) {
    using namespace hqlv::assetgen;
    const std::pair<int, PaletteImage> pictures[] = {
        {276, scoreBoardImage()}, {162, defaultFaceImage()},   {151, iconImage(151)},
        {152, iconImage(152)},    {165, toolButtonImage(165)}, {166, toolButtonImage(166)},
        {229, shieldImage()}};
    for (const auto& [id, image] : pictures)
        if (!WriteWhole(folder / (std::to_string(id) + ".bmp"), bmp8File(image))) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool faces = argc == 3 && std::string(argv[1]) == "--faces";
    bool table = argc == 3 && std::string(argv[1]) == "--table";
    bool bitmaps = argc == 3 && std::string(argv[1]) == "--bitmaps";
    if (argc != 2 && !faces && !table && !bitmaps) {
        std::fprintf(stderr,
                     "usage: hqlv-assetgen [--faces | --table | --bitmaps] <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[argc - 1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "hqlv-assetgen: cannot create %s: %s\n", argv[argc - 1],
                     ec.message().c_str());
        return 1;
    }
    if (faces) return WriteFaces(folder) ? 0 : 1;
    if (table) return WriteTable(folder) ? 0 : 1;
    if (bitmaps) return WriteBitmaps(folder) ? 0 : 1;
    for (const auto& res : hqlv::assetgen::waveResources()) {
        const std::string bytes = hqlv::assetgen::waveFile(hqlv::assetgen::synthesize(res.tone));
        if (!WriteWhole(folder / (std::to_string(res.id) + ".wav"), bytes)) return 1;
    }
    return 0;
}
