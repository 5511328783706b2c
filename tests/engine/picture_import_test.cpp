#include "engine/core/picture_import.h"

#include <gtest/gtest.h>

#include "codec_writers.h"
#include "gif_writer.h"
#include "imaging/raster.h"
#include "log_capture.h"
#include "picture_builders.h"

namespace hqlv::engine {
namespace {

using namespace test;

// A picture as the resource manager hands it to the import.
EnginePicture Fresh() {
    EnginePicture p;
    p.key = kNoColour;
    p.flags = PIC_KEYED;
    return p;
}

int Import(const std::string& bytes, std::string_view ext, EnginePicture& pic) {
    return PictureImporter().DecodeImageByExtension(
        {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, ext, pic);
}
int Import(const std::vector<uint8_t>& bytes, std::string_view ext, EnginePicture& pic) {
    return PictureImporter().DecodeImageByExtension(bytes, ext, pic);
}

uint32_t Px(const EnginePicture& p, int i) {
    const uint8_t* q = p.pixels + 4 * i;
    return uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16 | uint32_t(q[3]) << 24;
}

TEST(PictureImport, ExtensionTable) {
    const std::pair<const char*, uint32_t> table[] = {
        {".gif", 2},  {".bmp", 1},  {".png", 4}, {".jpg", 3},  {".ico", 5},  {".tif", 6},
        {".tga", 7},  {".mng", 17}, {".pcx", 8}, {".wbmp", 9}, {".wmf", 10}, {".jpeg", 0},
        {".tiff", 0}, {".PNG", 0},  {".pps", 0}, {"", 0},      {"png", 0}};
    for (auto& [ext, code] : table) EXPECT_EQ(ImportFormatCode(ext), code) << ext;
    EnginePicture pic = Fresh();
    pic.width = 7;
    EXPECT_EQ(Import(Bmp24(1, 1, {0}), ".BMP", pic), 0);
    EXPECT_EQ(pic.width, 7);  // untouched
}

TEST(PictureImport, TrueColourBmpKeysMagentaOnly) {
    EnginePicture pic = Fresh();
    ASSERT_EQ(Import(Bmp24(2, 2, {0xFF00FF, 0xFF0000, 0x00FF00, 0xFF00FF}), ".bmp", pic), 1);
    EXPECT_EQ(pic.width, 2);
    EXPECT_EQ(pic.frameHeight, 2);
    EXPECT_EQ(pic.frameCount, 1);
    EXPECT_EQ(pic.flags, uint32_t(PIC_KEYED));
    EXPECT_EQ(pic.dataSize, 16u);
    EXPECT_EQ(pic.key, kNoColour);
    EXPECT_EQ(pic.frameDelays, nullptr);
    EXPECT_EQ(pic.palette, nullptr);
    EXPECT_EQ(Px(pic, 0), 0x00FF00FFu);
    EXPECT_EQ(Px(pic, 1), 0xFFFF0000u);
    EXPECT_EQ(Px(pic, 2), 0xFF00FF00u);
    EXPECT_EQ(Px(pic, 3), 0x00FF00FFu);

    EnginePicture plain = Fresh();
    ASSERT_EQ(Import(Bmp24(2, 1, {0xFE00FF, 0x123456}), ".bmp", plain), 1);
    EXPECT_EQ(plain.flags, 0u);
    EXPECT_EQ(Px(plain, 0), 0xFFFE00FFu);
    EXPECT_EQ(Px(plain, 1), 0xFF123456u);
}

TEST(PictureImport, SixteenBitMagentaIsKeyedAway) {
    struct Case {
        const char* what;
        uint16_t magenta, white;
        std::vector<uint32_t> masks;
    } cases[] = {
        {"5-5-5", 0x7C1F, 0x7FFF, {}},
        {"5-6-5", 0xF81F, 0xFFFF, {0xF800, 0x07E0, 0x001F}},
    };
    for (const Case& c : cases) {
        EnginePicture pic = Fresh();
        ASSERT_EQ(Import(Bmp16(2, 1, {c.magenta, c.white}, c.masks), ".bmp", pic), 1) << c.what;
        EXPECT_EQ(pic.width, 2) << c.what;
        EXPECT_EQ(pic.flags, uint32_t(PIC_KEYED)) << c.what;
        EXPECT_EQ(Px(pic, 0), 0x00FF00FFu) << c.what;
        EXPECT_EQ(Px(pic, 1), 0xFFFFFFFFu) << c.what;
    }
}

TEST(PictureImport, PngWithAlphaKeepsItsAlpha) {
    imgtest::PngSpec s;
    s.width = 2, s.height = 1, s.colorType = 6;
    s.samples = {255, 0, 255, 0, 10, 20, 30, 128};
    auto png = imgtest::makePng(s);
    EnginePicture pic = Fresh();
    ASSERT_EQ(Import(png, ".png", pic), 1);
    EXPECT_EQ(pic.flags, uint32_t(PIC_KEYED | PIC_ALPHA));
    EXPECT_EQ(Px(pic, 0), 0x00FF00FFu);  // its own alpha 0, not keyed by colour
    EXPECT_EQ(Px(pic, 1), 0x800A141Eu);
}

TEST(PictureImport, PaletteBmpWithAndWithoutTheKeyColour) {
    EnginePicture pic = Fresh();
    ASSERT_EQ(Import(Bmp8(3, 1, {0x000000, 0xFE00FF, 0x102030}, {2, 1, 0}), ".bmp", pic), 1);
    EXPECT_EQ(pic.flags, uint32_t(PIC_OWN_PALETTE));
    EXPECT_EQ(pic.key, kNoColour);
    EXPECT_EQ(pic.paletteEntries, 256u);  // the decoder gives an 8-bit picture its full table
    EXPECT_EQ(pic.dataSize, 3u);
    ASSERT_NE(pic.palette, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(pic.palette, pic.palette + 9),
              (std::vector<uint8_t>{0, 0, 0, 0xFE, 0, 0xFF, 0x10, 0x20, 0x30}));
    EXPECT_EQ(std::vector<uint8_t>(pic.pixels, pic.pixels + 3), (std::vector<uint8_t>{2, 1, 0}));

    EnginePicture keyed = Fresh();
    ASSERT_EQ(Import(Bmp8(3, 1, {0x000000, 0xFF00FF, 0x102030}, {2, 1, 1}), ".bmp", keyed), 1);
    EXPECT_EQ(keyed.flags, uint32_t(PIC_OWN_PALETTE | PIC_KEYED));
    EXPECT_EQ(keyed.key, 1u);

    // The key colour in the palette but no pixel uses it: nothing is keyed.
    EnginePicture unused = Fresh();
    ASSERT_EQ(Import(Bmp8(2, 1, {0x000000, 0xFF00FF}, {0, 0}), ".bmp", unused), 1);
    EXPECT_EQ(unused.flags, uint32_t(PIC_OWN_PALETTE));
    EXPECT_EQ(unused.key, 1u);
}

TEST(PictureImport, ThreeFrameGifKeepsEveryFrameAndDelay) {
    imgtest::GifSpec g;
    g.width = 2, g.height = 1;
    g.globalPalette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    const uint16_t delays[] = {5, 7, 9};
    for (int f = 0; f < 3; ++f) {
        imgtest::GifFrame fr;
        fr.width = 2, fr.height = 1;
        fr.index = {uint8_t(f), uint8_t(f + 1)};
        fr.gce = true;
        fr.delay = delays[f];
        g.frames.push_back(fr);
    }
    EnginePicture pic = Fresh();
    ASSERT_EQ(Import(imgtest::makeGif(g), ".gif", pic), 1);
    EXPECT_EQ(pic.frameCount, 3);
    EXPECT_EQ(pic.flags, uint32_t(PIC_OWN_PALETTE | PIC_DELAYS));
    ASSERT_NE(pic.frameDelays, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(pic.frameDelays, pic.frameDelays + 3),
              (std::vector<uint32_t>{100, 70, 90}));
    EXPECT_EQ(pic.dataSize, 6u);
    EXPECT_EQ(std::vector<uint8_t>(pic.pixels, pic.pixels + 6),
              (std::vector<uint8_t>{0, 1, 1, 2, 2, 3}));
    EXPECT_EQ(pic.totalRows(), 3u);
}

TEST(PictureImport, OneReportedFrameGetsTheFlagButNoDelays) {
    imgtest::GifSpec g;
    g.width = 1, g.height = 1;
    g.globalPalette = {0, 0, 0, 255, 255, 255};
    imgtest::GifFrame fr;
    fr.width = fr.height = 1;
    fr.index = {1};
    fr.gce = true, fr.transparent = true, fr.transIndex = 1;
    g.frames.push_back(fr);
    EnginePicture pic = Fresh();
    ASSERT_EQ(Import(imgtest::makeGif(g), ".gif", pic), 1);
    EXPECT_EQ(pic.frameCount, 1);
    EXPECT_EQ(pic.flags, uint32_t(PIC_OWN_PALETTE | PIC_DELAYS | PIC_KEYED));
    EXPECT_EQ(pic.key, 1u);  // the library's transparent index
    EXPECT_EQ(pic.frameDelays, nullptr);
}

// A raster that reports three frames but hands none of them out: what a decoder does with
// a frame it counted and could not place.
TEST(PictureImport, CountedFrameTheDecoderCannotReturnStaysZero) {
    imaging::CRaster raster(2, 1, 24, 0);
    imaging::RGBQUAD c;
    c.rgbRed = 0x11, c.rgbGreen = 0x22, c.rgbBlue = 0x33;
    raster.SetPixelColor(0, 0, c);
    raster.SetPixelColor(1, 0, c);
    raster.SetNumFrames(3);
    int redecoded = 0;
    EnginePicture pic = Fresh();
    ASSERT_EQ(PictureImporter().ImportRaster(
                  raster, 1, [&](imaging::CRaster&) { ++redecoded; }, pic),
              1);
    EXPECT_EQ(redecoded, 1);
    EXPECT_EQ(pic.frameCount, 3);
    EXPECT_EQ(std::vector<uint32_t>(pic.frameDelays, pic.frameDelays + 3),
              (std::vector<uint32_t>{100, 100, 100}));
    ASSERT_EQ(pic.dataSize, 24u);
    EXPECT_EQ(Px(pic, 0), 0xFF112233u);
    EXPECT_EQ(Px(pic, 1), 0xFF112233u);
    for (int i = 2; i < 6; ++i) EXPECT_EQ(Px(pic, i), 0u) << i;
}

// A GIF frame placed beyond the logical screen is counted and drawn clipped: the second
// frame is the first one's canvas with nothing of its own showing, and keeps its delay.
TEST(PictureImport, GifWithAFrameOffItsScreen) {
    imgtest::GifSpec g;
    g.width = 2, g.height = 2;
    g.globalPalette = {0, 0, 0, 255, 255, 255};
    imgtest::GifFrame a;
    a.width = a.height = 2;
    a.index = {1, 1, 1, 1};
    a.gce = true, a.delay = 3;
    imgtest::GifFrame off = a;
    off.index = {0, 0, 0, 0};
    off.left = 40, off.top = 40;
    off.delay = 4;
    g.frames = {a, off};
    EnginePicture pic = Fresh();
    ASSERT_EQ(Import(imgtest::makeGif(g), ".gif", pic), 1);
    ASSERT_EQ(pic.frameCount, 2);
    EXPECT_EQ(pic.flags, uint32_t(PIC_OWN_PALETTE | PIC_DELAYS));
    EXPECT_EQ(std::vector<uint32_t>(pic.frameDelays, pic.frameDelays + 2),
              (std::vector<uint32_t>{100, 40}));
    ASSERT_EQ(pic.dataSize, 8u);
    EXPECT_EQ(std::vector<uint8_t>(pic.pixels, pic.pixels + 8), std::vector<uint8_t>(8, 1));
}

TEST(PictureImport, OversizedPicturesComeOutEmpty) {
    struct Case {
        uint32_t w, h, frames;
        bool empty;
    } cases[] = {
        {65536, 1, 0, true},    {1, 65536, 0, true},   {1, 1, 65536, true},
        {8192, 8192, 0, false}, {8193, 8192, 0, true},  // 256 MiB of 4-byte samples exactly
        {4097, 4096, 0, false},                         // past the 64 MiB once taken
        {4096, 4096, 4, false}, {4096, 4096, 5, true},  // frames count into the total
        {65535, 1, 0, false},
    };
    for (auto& c : cases) {
        LogCapture log;
        imaging::CRaster raster;
        raster.SetDimensions(c.w, c.h);
        raster.SetNumFrames(int32_t(c.frames));
        EnginePicture pic = Fresh();
        ASSERT_EQ(PictureImporter().ImportRaster(
                      raster, 1, [](imaging::CRaster&) {}, pic),
                  1);
        if (c.empty) {
            EXPECT_EQ(pic.width, 0) << c.w << "x" << c.h << "x" << c.frames;
            EXPECT_EQ(pic.dataSize, 0u);
            EXPECT_EQ(pic.frameCount, 1);
            EXPECT_EQ(pic.pixels, nullptr);
            EXPECT_NE(log.text().find("图片尺寸过大"), std::string::npos);
        } else {
            EXPECT_EQ(pic.width, uint16_t(c.w));
            EXPECT_EQ(pic.dataSize, uint64_t(c.w) * c.h * 4 * (c.frames ? c.frames : 1));
        }
    }
}

TEST(PictureImport, UndecodableDataIsAnEmptyPicture) {
    EnginePicture pic = Fresh();
    EXPECT_EQ(Import(std::string("not a picture"), ".png", pic), 1);
    EXPECT_EQ(pic.width, 0);
    EXPECT_EQ(pic.frameCount, 1);
    EXPECT_EQ(pic.dataSize, 0u);
    EXPECT_EQ(pic.flags, 0u);
    EnginePicture pcx = Fresh();
    EXPECT_EQ(Import(Bmp24(1, 1, {0}), ".pcx", pcx), 1);  // a code that decodes nothing
    EXPECT_EQ(pcx.width, 0);
}

TEST(PictureImport, FilesAreReadWholeAndMissingOnesLogged) {
    LogCapture log;
    log.dir.put("Pics/A.BMP", Bmp24(1, 1, {0x010203}));
    EnginePicture pic = Fresh();
    EXPECT_EQ(PictureImporter().DecodeImageFile(log.dir.path() + "\\pics\\a.bmp", ".bmp", pic), 1);
    EXPECT_EQ(Px(pic, 0), 0xFF010203u);
    EnginePicture none = Fresh();
    EXPECT_EQ(PictureImporter().DecodeImageFile(log.dir / "b.bmp", ".bmp", none), 0);
    EXPECT_NE(log.text().find("b.bmp 打开失败!"), std::string::npos);
}

}  // namespace
}  // namespace hqlv::engine
