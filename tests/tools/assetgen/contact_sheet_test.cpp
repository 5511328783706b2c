// Every table picture drawn through the engine's import, key and blitter onto one sheet,
// saved under the build folder for a person to look at: table-art-sheet.png.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "engine/core/game_object.h"
#include "engine/core/resource_manager.h"
#include "engine/render/blitter.h"
#include "program_folder.h"
#include "tools/assetgen/png_file.h"
#include "tools/assetgen/table_art.h"

namespace hqlv::assetgen {
namespace {

TEST(ContactSheet, EveryPictureDrawnThroughTheEngine) {
    const auto files = TableArt();
    const int sheetW = 2560, sheetH = 1800;
    std::vector<uint32_t> pixels(size_t(sheetW) * sheetH, 0xFF506070);
    engine::DrawSurface surface{pixels.data(), sheetW, sheetH};
    int x = 4, y = 4, rowH = 0, drawn = 0;
    for (const auto& file : files) {
        // Loaded as the scene loads them: through the resource manager (which keys magenta),
        // the dice keyed pure blue on top.
        engine::ResourceManager& rm = engine::GetResourceManager();
        const size_t slash = file.path.rfind('/');
        rm.SetRootDir(test::ProgramFolder() + file.path.substr(0, slash + 1));
        const uint32_t id =
            rm.LoadImage(file.path.substr(slash + 1), "sheet-" + file.path, ".imge", true, 1);
        engine::EnginePicture* loaded = rm.GetPicture(id);
        ASSERT_NE(loaded, nullptr) << file.path;
        engine::EnginePicture& pic = *loaded;
        if (file.path.find("dice") != std::string::npos) engine::ApplyKeyColour(pic, 0xFF0000);
        const int w = pic.width, h = int(pic.totalRows());
        if (x + w > sheetW) x = 4, y += rowH + 6, rowH = 0;
        ASSERT_LE(y + h, sheetH) << file.path;
        engine::BlitParams params;
        params.drawX = x + w / 2;
        params.drawY = y + h / 2;
        params.centreX = params.drawX;
        params.centreY = params.drawY;
        params.width = w;
        params.height = h;
        params.clip = {0, 0, sheetW, sheetH};
        engine::DrawImageEx(surface, params, pic, 0, 0, w, h, 1.0, 0xFF00FF);
        x += w + 6;
        rowH = std::max(rowH, h);
        ++drawn;
    }
    EXPECT_EQ(drawn, int(files.size()));
    // No key colour reaches the sheet: every keyed pixel was left out.
    size_t keyed = 0;
    for (uint32_t p : pixels) keyed += (p & 0xFFFFFF) == 0xFF00FF;
    EXPECT_EQ(keyed, 0u);
    Raster sheet(sheetW, sheetH, 0);
    for (size_t i = 0; i < pixels.size(); ++i) sheet.px[i] = pixels[i] | 0xFF000000;
    const std::string png = PngFile(sheet);
    ASSERT_FALSE(png.empty());
    // One writer per process, then a rename: parallel runs never see half a file.
    const std::string path = std::string(HQLV_BUILD_DIR) + "/table-art-sheet.png";
    const std::string part = path + "." + std::to_string(getpid());
    std::ofstream(part, std::ios::binary) << png;
    ASSERT_EQ(std::rename(part.c_str(), path.c_str()), 0);
}

}  // namespace
}  // namespace hqlv::assetgen
