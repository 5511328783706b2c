#include "engine/core/resource_manager.h"

#include <gtest/gtest.h>

#include "engine/core/engine_log.h"
#include "engine/core/script_engine.h"
#include "log_capture.h"
#include "picture_builders.h"
#include "platform/core/text.h"
#include "pps_encoder.h"

namespace hqlv::engine {
namespace {

using namespace test;

// The hash loop written out again, over the GBK bytes read signed.
uint32_t ReferenceRS(const std::string& gbk) {
    uint32_t h = 0, a = 63689;
    for (size_t i = 0; i < gbk.size(); ++i) {
        int c = static_cast<unsigned char>(gbk[i]);
        if (c >= 128) c -= 256;
        h = h * a + static_cast<uint32_t>(c);
        a = a * 378551;
    }
    return h & 0x7FFFFFFF;
}

TEST(ResourceHash, KnownVectors) {
    EXPECT_EQ(RSHash(".imge"), 1397249876u);
    EXPECT_EQ(RSHash(".pps"), 1612805297u);
    EXPECT_EQ(JSHash(".imge"), 1032105973u);
    EXPECT_EQ(BKDRHash(".imge"), 45718064u);
    EXPECT_EQ(RSHash("abc"), 822160044u);
    EXPECT_EQ(JSHash("abc"), 446371745u);
    EXPECT_EQ(BKDRHash("abc"), 96354u);
    EXPECT_EQ(RSHash(""), 0u);
    EXPECT_EQ(BKDRHash(""), 0u);
    EXPECT_EQ(JSHash(""), 1315423911u);
    const std::pair<const char*, uint32_t> types[] = {
        {".imge", kTypeImage},   {".script", kTypeScript}, {".sound", kTypeSound},
        {".quad", kTypePalette}, {".pps", kTypePps},       {".unkown", kTypeUnknown},
        {".text", 1393271929},   {".ini", 352478072},      {".vedio", 522926199},
        {".flash", 1695523408},  {".http", 981883478}};
    for (auto& [name, hash] : types) EXPECT_EQ(RSHash(name), hash) << name;
}

TEST(ResourceHash, ChineseNamesHashTheirSignedGbkBytes) {
    const std::string name = "麻将桌面背景.imge";
    const std::string gbk = platform::utf8ToGbk(name);
    ASSERT_NE(gbk, name);
    EXPECT_EQ(RSHashName(name), ReferenceRS(gbk));
    EXPECT_EQ(RSHash(gbk), ReferenceRS(gbk));
    // Unsigned bytes would give another value: the sign is part of the id.
    uint32_t unsignedH = 0, a = 63689;
    for (unsigned char c : gbk) unsignedH = unsignedH * a + c, a *= 378551;
    EXPECT_NE(RSHash(gbk), unsignedH & 0x7FFFFFFF);
    // JSHash reads signed bytes too, BKDRHash unsigned.
    EXPECT_EQ(
        JSHash("\xB0"),
        (1315423911u ^ ((1315423911u << 5) + uint32_t(-80) + (1315423911u >> 2))) & 0x7FFFFFFF);
    EXPECT_EQ(BKDRHash("\xB0"), 0xB0u);
    ResourceManager rm;
    const uint32_t id = rm.AddResourceHashed(name, "x", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(id, ReferenceRS(gbk));
    EXPECT_EQ(rm.FindIdByName(name), id);
}

// Found once by a birthday search over "n<number>.imge".
constexpr const char* kCollideA = "n43836.imge";
constexpr const char* kCollideB = "n168548.imge";

TEST(ResourceManager, CollidingNamesBothRegisterAndAreFound) {
    ASSERT_EQ(RSHash(kCollideA), RSHash(kCollideB));
    LogCapture log;  // the made-up paths cannot be read
    ResourceManager rm;
    const uint32_t a = rm.AddResourceHashed(kCollideA, "a", 0, kTypeUnknown, 0, 0, 0);
    const uint32_t b = rm.AddResourceHashed(kCollideB, "b", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(a, RSHash(kCollideA));
    EXPECT_EQ(b, JSHash(kCollideB));
    EXPECT_EQ(rm.FindIdByName(kCollideA), a);
    EXPECT_EQ(rm.FindIdByName(kCollideB), b);
    EXPECT_EQ(rm.GetRecord(b)->path, "b");
    EXPECT_EQ(rm.FindIdByName("n1.imge"), 0u);
    EXPECT_EQ(rm.GetRecord(12345), nullptr);
}

TEST(ResourceManager, AKeyRegisteredAgainReplacesOnlyTheRecordOfItsFirstHash) {
    LogCapture log;
    ResourceManager rm;
    // A key whose record took its RSHash is replaced in place: the same id, one record.
    const uint32_t first = rm.AddResourceHashed("felt.imge", "f1", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(first, RSHash("felt.imge"));
    EXPECT_EQ(rm.AddResourceHashed("felt.imge", "f2", 0, kTypeUnknown, 0, 0, 0), first);
    EXPECT_EQ(rm.GetResourceCount(), 1u);
    EXPECT_EQ(rm.GetRecord(first)->path, "f2");
    rm.ReleaseResource(first);

    // B's RSHash is A's: B takes its JSHash. Registered again, B is not found under its
    // first hash, so it lands under the next free one, its BKDRHash, and both records stay.
    const uint32_t a = rm.AddResourceHashed(kCollideA, "a", 0, kTypeUnknown, 0, 0, 0);
    const uint32_t b1 = rm.AddResourceHashed(kCollideB, "b1", 0, kTypeUnknown, 0, 0, 0);
    const uint32_t b2 = rm.AddResourceHashed(kCollideB, "b2", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(a, RSHash(kCollideA));
    EXPECT_EQ(b1, JSHash(kCollideB));
    EXPECT_EQ(b2, BKDRHash(kCollideB));
    EXPECT_EQ(rm.GetResourceCount(), 3u);
    EXPECT_EQ(rm.GetRecord(b1)->path, "b1");
    EXPECT_EQ(rm.GetRecord(b2)->path, "b2");
    EXPECT_EQ(rm.MatchId(b2, RSHash(kCollideB), JSHash(kCollideB)), b2);
    // By name the rotations are tried in order: the JSHash record comes first.
    EXPECT_EQ(rm.FindIdByName(kCollideB), b1);
    EXPECT_EQ(rm.FindIdByName(kCollideA), a);
    // With A gone, B's RSHash is free: a third registration takes it, and the name now
    // finds that newest record.
    rm.ReleaseResource(a);
    const uint32_t b3 = rm.AddResourceHashed(kCollideB, "b3", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(b3, RSHash(kCollideB));
    EXPECT_EQ(rm.GetResourceCount(), 3u);
    EXPECT_EQ(rm.FindIdByName(kCollideB), b3);
    // ...and a fourth replaces that one in place.
    EXPECT_EQ(rm.AddResourceHashed(kCollideB, "b4", 0, kTypeUnknown, 0, 0, 0), b3);
    EXPECT_EQ(rm.GetResourceCount(), 3u);
    EXPECT_EQ(rm.GetRecord(b3)->path, "b4");

    // The third rotation: both RS and JS taken by others.
    ResourceManager r2;
    r2.AddResource(1, 100, 101, "x", 0, kTypeUnknown, 0, 0, 0);
    r2.AddResource(2, 102, 103, "y", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(r2.AddResource(1, 2, 3, "z1", 0, kTypeUnknown, 0, 0, 0), 3u);
    EXPECT_EQ(r2.GetResourceCount(), 3u);
    EXPECT_EQ(r2.GetRecord(3)->path, "z1");
    EXPECT_EQ(r2.MatchId(3, 1, 2), 3u);
    EXPECT_EQ(r2.MatchId(3, 2, 1), 0u);
    EXPECT_EQ(r2.MatchId(3, 1, 3), 0u);
    EXPECT_EQ(r2.MatchId(3, 9, 2), 0u);
    EXPECT_EQ(r2.MatchId(4, 1, 2), 0u);
}

TEST(ResourceManagerDeathTest, AllThreeHashesTakenIsFatalWithExitCode1) {
    LogCapture log;
    auto old = ResourceManager::SetMessageBoxHook(
        [](const std::string& text) { fprintf(stderr, "BOX[%s]\n", text.c_str()); });
    EXPECT_EXIT(
        {
            ResourceManager rm;
            rm.AddResource(1, 10, 11, "x", 0, kTypeUnknown, 0, 0, 0);
            rm.AddResource(2, 12, 13, "y", 0, kTypeUnknown, 0, 0, 0);
            rm.AddResource(3, 14, 15, "z", 0, kTypeUnknown, 0, 0, 0);
            rm.AddResource(1, 2, 3, "dup", 0, kTypeUnknown, 0, 0, 0);
        },
        testing::ExitedWithCode(1),
        "BOX\\[资源:资源名哈希冲突dup,resID:1,key1:2,key2:3未能正确的载入,请重新下载游戏!\\]");
    // A key whose first record took its third hash, registered again: the same collision.
    EXPECT_EXIT(
        {
            ResourceManager rm;
            rm.AddResource(1, 100, 101, "x", 0, kTypeUnknown, 0, 0, 0);
            rm.AddResource(2, 102, 103, "y", 0, kTypeUnknown, 0, 0, 0);
            rm.AddResource(1, 2, 3, "z1", 0, kTypeUnknown, 0, 0, 0);
            rm.AddResource(1, 2, 3, "z2", 0, kTypeUnknown, 0, 0, 0);
        },
        testing::ExitedWithCode(1), "BOX\\[资源:资源名哈希冲突z2,resID:1,key1:2,key2:3");
    EXPECT_NE(log.text().find("      资源名哈希冲突dup,resID:1,key1:2,key2:3\r\n"),
              std::string::npos);
    EXPECT_NE(log.text().find("资源载入错误:资源名哈希冲突dup,resID:1,key1:2,key2:3未找到"),
              std::string::npos);
    // A picture that cannot load when it is first needed ends the program the same way.
    EXPECT_EXIT(
        {
            ResourceManager rm;
            const uint32_t id = rm.LoadImage(log.dir / "gone.png", "", ".imge", false, 0);
            rm.GetRecord(id);
        },
        testing::ExitedWithCode(1), "BOX\\[资源:.*gone.png未能正确的载入");
    EXPECT_NE(log.text().find("图片" + log.dir.path() + "/gone.png加载失败!"), std::string::npos);
    ResourceManager::SetMessageBoxHook(old);
}

// The handle array has room for ten, then doubles each time it is full: 20, then 40; a
// clearing keeps the room.
TEST(ResourceManager, TheHandleArrayStartsWithTenAndDoubles) {
    ResourceManager rm;
    EXPECT_EQ(rm.GetHandleCapacity(), 10u);
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(rm.NewHandle(), 19840323u + i);
    EXPECT_EQ(rm.GetHandleCapacity(), 10u);
    EXPECT_EQ(rm.NewHandle(), 19840333u);  // the eleventh
    EXPECT_EQ(rm.GetHandleCapacity(), 20u);
    for (uint32_t i = 11; i < 21; ++i) EXPECT_EQ(rm.NewHandle(), 19840323u + i);
    EXPECT_EQ(rm.GetHandleCount(), 21u);
    EXPECT_EQ(rm.GetHandleCapacity(), 40u);
    rm.ClearHandles();
    EXPECT_EQ(rm.GetHandleCount(), 0u);
    EXPECT_EQ(rm.GetHandleCapacity(), 40u);
    EXPECT_EQ(rm.NewHandle(), 19840323u);
    rm.ReleaseAll();
    EXPECT_EQ(rm.GetHandleCount(), 0u);
}

// A picture inside a larger file that does not decode names its id and keys as the signed
// words the line has always shown: an id of 2^31 or more comes out negative.
TEST(ResourceManager, APackedPictureThatFailsLogsItsIdAndKeysSigned) {
    LogCapture log;
    log.dir.put("pack.bin", "not a picture at all");
    ResourceManager rm;
    ResourceRecord rec;
    rec.id = 0x80000001u;
    rec.key1 = 5;
    rec.key2 = 0xFFFFFFFFu;
    rec.typeHash = kTypeImage;
    rec.extensionHash = RSHash(".zip");  // no picture format of the twelve
    rec.path = log.dir / "pack.bin";
    rec.offset = 4;
    rec.size = 8;
    EXPECT_FALSE(rm.LoadResource(rec));
    EXPECT_NE(log.text().find("资源包图片-2147483647,5,-1加载失败!"), std::string::npos)
        << log.text();
}

TEST(ResourceManager, HandlesAndUsers) {
    ResourceManager rm;
    EXPECT_EQ(rm.NewHandle(), 19840323u);
    EXPECT_EQ(rm.NewHandle(), 19840324u);
    rm.ClearHandles();
    EXPECT_EQ(rm.NewHandle(), 19840323u);

    rm.AddResourceHashed("k", "p", 0, kTypeUnknown, 0, 0, 0);
    EXPECT_EQ(rm.AddUser(), 1);
    EXPECT_EQ(rm.AddUser(), 2);
    rm.ReleaseAll();  // the first of two users: nothing freed
    EXPECT_EQ(rm.GetResourceCount(), 1u);
    EXPECT_EQ(rm.GetUserCount(), 1);
    EXPECT_EQ(rm.NewHandle(), 19840324u);
    rm.ReleaseAll();
    EXPECT_EQ(rm.GetResourceCount(), 0u);
    EXPECT_EQ(rm.GetUserCount(), 0);
    EXPECT_EQ(rm.NewHandle(), 19840323u);
    rm.AddResourceHashed("k", "p", 0, kTypeUnknown, 0, 0, 0);  // still usable
    EXPECT_EQ(rm.GetResourceCount(), 1u);
}

TEST(ResourceManager, OwnsOneTextLayoutThatOutlivesReleaseAll) {
    ResourceManager rm;
    TextLayout& layout = rm.GetTextLayout();
    EXPECT_EQ(&layout, &rm.GetTextLayout());
    EXPECT_NE(&layout, &ResourceManager().GetTextLayout());
    layout.SetColor(0x123456);
    rm.ReleaseAll();
    EXPECT_EQ(rm.GetTextLayout().Style().colour, 0x123456u);
}

TEST(ResourceManager, ReadDataCountsOnlyWhatItRead) {
    LogCapture log;
    log.dir.put("d.bin", "0123456789");
    ResourceManager rm;
    struct Case {
        uint32_t offset, size;
        bool ok;
        std::string data;
    } cases[] = {
        {0, 0, true, "0123456789"}, {4, 0, true, "456789"},    {4, 3, true, "456"},
        {4, 100, true, "456789"},   {10, 0, true, ""},         {11, 0, true, ""},
        {11, 2, true, ""},          {0xFFFFFFFF, 5, true, ""},
    };
    for (auto& c : cases) {
        uint32_t size = c.size;
        std::string out = "old";
        EXPECT_EQ(rm.ReadData(log.dir / "d.bin", c.offset, size, &out), c.ok) << c.offset;
        EXPECT_EQ(out, c.data) << c.offset << "+" << c.size;
        if (c.ok) {
            EXPECT_EQ(size, c.data.size()) << c.offset << "+" << c.size;
        }
    }
    // An offset past the end reads nothing; only a file that cannot be read fails.
    EXPECT_EQ(log.text().find("打开失败"), std::string::npos);
    uint32_t size = 0;
    std::string out;
    EXPECT_FALSE(rm.ReadData("", 0, size, &out));
    EXPECT_FALSE(rm.ReadData(log.dir / "none.bin", 0, size, &out));
    EXPECT_NE(log.text().find("文件" + log.dir.path() + "/none.bin 打开失败!"), std::string::npos);
}

TEST(ResourceManager, PicturesRawBytesAndOnDemandLoads) {
    LogCapture log;
    log.dir.put("game/pgchg.bmp", Bmp24(1, 1, {0xFF00FF}));
    log.dir.put("game/notes.txt", "hello");
    ResourceManager rm;
    EXPECT_EQ(rm.SetRootDir(log.dir.path() + "/Game/"), log.dir.path().size() + 6);
    // Path mode 1: the root in front, lower-cased (the file is found whatever its case).
    const uint32_t id = rm.LoadImage("PGCHG.BMP", "", ".imge", false, 1);
    EXPECT_EQ(rm.FindImageId("PGCHG"), id);
    EXPECT_EQ(rm.FindIdByName("PGCHG.imge"), id);
    ResourceRecord* rec = rm.GetRecord(id);
    ASSERT_NE(rec, nullptr);
    std::string lowered = log.dir.path() + "/game/pgchg.bmp";
    ToLowerAscii(lowered);
    EXPECT_EQ(rec->path, lowered);
    EXPECT_EQ(rec->typeHash, kTypeImage);
    EXPECT_EQ(rec->extensionHash, RSHash(".bmp"));
    EXPECT_EQ(rec->flags, 0u);
    EnginePicture* pic = rm.GetPicture(id);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->resourceId, id);
    EXPECT_EQ(pic->width, 1);
    EXPECT_EQ(pic->flags, uint32_t(PIC_KEYED));
    EXPECT_EQ(rm.GetImageByName("PGCHG"), pic);
    rm.UnloadResource(id);
    EXPECT_FALSE(rec->hasData());
    EXPECT_NE(rm.GetPicture(id), nullptr);  // loaded again

    // A UTF-8 root: the letters after a Chinese character are lowered too.
    log.dir.put("中A/b.bmp", Bmp24(1, 1, {0}));
    rm.SetRootDir(log.dir.path() + "/中A/");
    const uint32_t cn = rm.LoadImage("B.BMP", "cn", ".imge", false, 1);
    EXPECT_TRUE(rm.GetRecord(cn)->path.ends_with("/中a/b.bmp")) << rm.GetRecord(cn)->path;
    EXPECT_EQ(rm.GetPicture(cn)->width, 1);

    // An alias, load now, the path as given.
    const uint32_t now = rm.LoadImage(log.dir / "game/pgchg.bmp", "背景", ".imge", true, 0);
    EXPECT_EQ(rm.FindImageId("背景"), now);
    EXPECT_EQ(rm.GetRecord(now)->flags, kResLoadNow);
    EXPECT_TRUE(rm.GetRecord(now)->hasData());

    const uint32_t raw = rm.AddResourceHashed("notes.text", log.dir / "game/notes.txt", 0,
                                              rm.TypeOfExtension(".txt"), RSHash(".txt"), 1, 0);
    EXPECT_EQ(rm.GetRecord(raw)->bytes, "ello");
    EXPECT_EQ(rm.GetRecord(raw)->size, 4u);
    // A raw file that cannot be read is not fatal: empty, and tried again next time.
    const uint32_t missing =
        rm.AddResourceHashed("gone.text", log.dir / "gone.txt", 0, 1393271929, 0, 0, 0);
    EXPECT_FALSE(rm.GetRecord(missing)->hasData());
    log.dir.put("gone.txt", "back");
    EXPECT_EQ(rm.GetRecord(missing)->bytes, "back");

    // A picture inside a larger file: offset and size, the extension from its hash.
    const std::string bmp = Bmp24(1, 1, {0x123456});
    log.dir.put("pack.dat", "HEAD" + bmp + "TAIL");
    const uint32_t packed = rm.AddResourceHashed("packed.imge", log.dir / "pack.dat", 0, kTypeImage,
                                                 RSHash(".bmp"), 4, uint32_t(bmp.size()));
    EXPECT_EQ(rm.GetPicture(packed)->width, 1);
}

TEST(ResourceManager, ExtensionRegistry) {
    ResourceManager rm;
    const std::pair<const char*, const char*> rows[] = {
        {".pps", ".imge"}, {".wmf", ".imge"},   {".mid", ".sound"},  {".doc", ".text"},
        {".xyi", ".ini"},  {".mpeg", ".vedio"}, {".lua", ".script"}, {".flv", ".flash"},
        {".cgi", ".http"}, {".aspx", ".http"}};
    for (auto& [ext, type] : rows) EXPECT_EQ(rm.TypeOfExtension(ext), RSHash(type)) << ext;
    EXPECT_EQ(rm.TypeOfExtension(".zip"), 0u);
    EXPECT_EQ(ResTypeExtFromHash(RSHash(".wbmp")), ".wbmp");
    EXPECT_EQ(ResTypeExtFromHash(RSHash(".pps")), ".pps");
    EXPECT_EQ(ResTypeExtFromHash(RSHash(".mp3")), "");
}

struct CountingScripts : ScriptEngine {
    int loads = 0;
    std::string last;
    int LoadScript(const ValueString& text, int mode) override {
        ++loads;
        last = text.text();
        EXPECT_EQ(text.type(), kValueText);
        EXPECT_EQ(mode, 0);
        return text.text() == "bad" ? -1 : 7;
    }
    int GetLoadedCount() const override { return loads; }
    int GetRunningCount() const override { return 0; }
    void EnableCreateFunctions() override {}
    void EnableObjectFunctions() override {}
    void EnableResourceFunctions() override {}
};

TEST(ResourceManager, ScriptsCompileOnEveryLookupAndPalettesKeepTheFirstName) {
    LogCapture log;
    log.dir.put("a.xys", "你好");
    CountingScripts scripts;
    ResourceManager rm;
    rm.SetScriptEngine(&scripts);
    EXPECT_EQ(rm.GetScriptEngine(), &scripts);
    const uint32_t id =
        rm.AddResourceHashed("a.script", log.dir / "a.xys", 0, kTypeScript, 0, 0, 0);
    EXPECT_EQ(scripts.loads, 0);
    rm.GetRecord(id);
    rm.GetRecord(id);
    EXPECT_EQ(scripts.loads, 2);
    EXPECT_EQ(scripts.last, "你好");
    ResourceRecord rec;
    rec.typeHash = kTypeScript;
    rec.path = log.dir / "a.xys";
    rm.SetScriptEngine(nullptr);
    EXPECT_FALSE(rm.LoadResource(rec));
    rm.SetScriptEngine(&scripts);
    log.dir.put("bad.xys", "bad");
    rec.path = log.dir / "bad.xys";
    EXPECT_FALSE(rm.LoadResource(rec));

    auto quad = [](const char* name, uint8_t first) {
        std::string s(32, '\0');
        s.replace(0, strlen(name), name);
        s += char(2);
        s += char(0);
        s += std::string{char(first), 0, 0, 0, 0, 0};
        return s;
    };
    log.dir.put("p1.quad", quad("felt", 9));
    log.dir.put("p2.quad", quad("felt", 1));
    rm.AddResourceHashed("p1.quad", log.dir / "p1.quad", kResLoadNow, kTypePalette, 0, 0, 0);
    rm.AddResourceHashed("p2.quad", log.dir / "p2.quad", kResLoadNow, kTypePalette, 0, 0, 0);
    // A record cut inside its name is a palette of that name without entries.
    log.dir.put("p3.quad", "short");
    rm.AddResourceHashed("p3.quad", log.dir / "p3.quad", kResLoadNow, kTypePalette, 0, 0, 0);
    EXPECT_EQ(rm.GetPaletteCount(), 2u);
    ASSERT_NE(rm.FindGlobalPalette("short"), nullptr);
    EXPECT_EQ(rm.FindGlobalPalette("short")->count(), 0u);
    ASSERT_NE(rm.FindGlobalPalette("felt"), nullptr);
    EXPECT_EQ(rm.FindGlobalPalette("felt")->GetEntries()[0], 9);
    EXPECT_EQ(rm.FindGlobalPalette("none"), nullptr);
    ResourceRecord gone;
    gone.typeHash = kTypePalette;
    gone.path = log.dir / "gone.quad";
    EXPECT_FALSE(rm.LoadResource(gone));  // a palette file that cannot be read fails its load
}

}  // namespace
}  // namespace hqlv::engine

namespace hqlv::engine {
namespace {

TEST(ResourceManager, PpsPicturesBindTheirNamedPalette) {
    LogCapture log;
    auto bytes = EncodePps(GlobalPalettePicture("felt", 4));
    log.dir.put("t.pps", std::string(bytes.begin(), bytes.end()));
    std::string quad(32, '\0');
    quad.replace(0, 4, "felt");
    quad += std::string{3, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    log.dir.put("felt.quad", quad);

    ResourceManager rm;
    const uint32_t id = rm.LoadImage(log.dir / "t.pps", "", ".imge", false, 0);
    rm.AddResourceHashed("felt.quad", log.dir / "felt.quad", kResLoadNow, kTypePalette, 0, 0, 0);
    EnginePicture* pic = rm.GetPicture(id);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->palette, rm.FindGlobalPalette("felt")->GetEntries());
    EXPECT_EQ(pic->resourceId, id);
    EXPECT_EQ(pic->paletteEntries, 3u);
}

// A palette name of all 32 bytes: the palette table and the picture keep it whole, so the
// picture finds its palette. Unloading the picture releases it and leaves the palette; the
// next lookup loads and binds it again.
TEST(ResourceManager, PaletteNamesOfThirtyTwoBytesBindAndSurviveAnUnload) {
    LogCapture log;
    const std::string name(32, 'n');
    auto bytes = EncodePps(GlobalPalettePicture(name, 4));
    log.dir.put("t.pps", std::string(bytes.begin(), bytes.end()));
    std::string quad = name;
    quad += std::string{3, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    log.dir.put("long.quad", quad);

    ResourceManager rm;
    rm.AddResourceHashed("long.quad", log.dir / "long.quad", kResLoadNow, kTypePalette, 0, 0, 0);
    ASSERT_NE(rm.FindGlobalPalette(name), nullptr);
    EXPECT_EQ(rm.FindGlobalPalette(name.substr(0, 31)), nullptr);
    const uint8_t* entries = rm.FindGlobalPalette(name)->GetEntries();
    const uint32_t id = rm.LoadImage(log.dir / "t.pps", "", ".imge", false, 0);
    EnginePicture* pic = rm.GetPicture(id);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->palette, entries);
    rm.UnloadResource(id);
    EXPECT_EQ(rm.FindGlobalPalette(name)->GetEntries(), entries);
    EXPECT_EQ(entries[8], 3);
    pic = rm.GetPicture(id);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->palette, entries);
    EXPECT_EQ(pic->pixels[0], 2);
}

// A ".pps" file whose codes run past their planes, whose zlib part is longer than its plane
// and whose last zlib part is cut by the end of the file loads (at registration and on
// demand) with the pixels the codes reach; the program goes on.
TEST(ResourceManager, APpsPictureWithCodesPastItsPlanesLoads) {
    LogCapture log;
    std::vector<uint8_t> stored(20, 0);
    for (size_t i = 0; i < stored.size(); ++i) stored[i] = uint8_t(40 + i);
    stored = StoredZlib(stored);
    const auto bytes =
        RawPps({5, 0, 3, 2, 2, 0, 12}, {{1, Deflate({1, 2, 3, 4, 5, 6, 7, 8}), {}, 4},
                                        {1, Deflate({9, 9, 9, 9, 9, 9}), {}, 4},
                                        {1, stored, {}, 4}});
    // The file ends three bytes into the last part's data.
    const size_t cut = bytes.size() - stored.size() + kStoredHead + 3;
    log.dir.put("cut.pps", std::string(bytes.begin(), bytes.begin() + cut));
    auto runs = RawPps({3, 0, 1, 2, 2, 0, 4}, {{1, {0x7C, 0x11}, {}, 4}});  // 31 into 4
    log.dir.put("runs.pps", std::string(runs.begin(), runs.end()));

    ResourceManager rm;
    const uint32_t now = rm.LoadImage(log.dir / "cut.pps", "now", ".imge", true, 0);
    const uint32_t later = rm.LoadImage(log.dir / "runs.pps", "", ".imge", false, 0);
    EnginePicture* pic = rm.GetPicture(now);
    ASSERT_NE(pic, nullptr);
    ASSERT_EQ(pic->dataSize, 12u);
    EXPECT_EQ(std::vector<uint8_t>(pic->pixels, pic->pixels + 12),
              (std::vector<uint8_t>{1, 2, 3, 4, 9, 9, 9, 9, 40, 41, 42, 0}));
    EnginePicture* second = rm.GetPicture(later);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(second->pixels, second->pixels + second->dataSize),
              (std::vector<uint8_t>(4, 0x11)));
    EXPECT_EQ(second->resourceId, later);
}

// A strip of 22 colour frames of 1024 x 768 (69 MB decoded) loads: it lies far inside the
// reader's limit, and a refusal would end the program. Each frame is one colour in runs.
TEST(ResourceManager, APpsPictureOfSixtyNineMegabytesLoads) {
    LogCapture log;
    constexpr uint32_t kPixels = 1024 * 768, kFrames = 22;
    std::vector<RawFrame> frames;
    for (uint32_t k = 0; k < kFrames; ++k) {
        RawFrame f;
        f.decodedSize = 4 * kPixels;
        for (uint32_t left = kPixels; left > 0;) {
            const uint32_t n = std::min<uint32_t>(left, 16383);
            f.a.insert(f.a.end(), {uint8_t((n & 63) << 2 | 2), uint8_t(n >> 6), uint8_t(k), 7, 9});
            left -= n;
        }
        frames.push_back(std::move(f));
    }
    const auto bytes = RawPps({3, 0, kFrames, 1024, 768, 0, kFrames * 4 * kPixels}, frames);
    log.dir.put("big.pps", std::string(bytes.begin(), bytes.end()));
    ResourceManager rm;
    const uint32_t id = rm.LoadImage(log.dir / "big.pps", "", ".imge", false, 0);
    EnginePicture* pic = rm.GetPicture(id);
    ASSERT_NE(pic, nullptr);
    ASSERT_EQ(pic->dataSize, 69206016u);
    EXPECT_EQ(std::vector<uint8_t>(pic->pixels + pic->dataSize - 4, pic->pixels + pic->dataSize),
              (std::vector<uint8_t>{21, 7, 9, 255}));
}

TEST(ResourceManagerDeathTest, APpsPictureWithoutItsPaletteIsFatal) {
    LogCapture log;
    auto bytes = EncodePps(GlobalPalettePicture("gone"));
    log.dir.put("t.pps", std::string(bytes.begin(), bytes.end()));
    EXPECT_EXIT(
        {
            ResourceManager rm;
            rm.LoadImage(log.dir / "t.pps", "", ".imge", true, 0);
        },
        testing::ExitedWithCode(1), "t.pps未能正确的载入");
    EXPECT_NE(log.text().find("pps:结构加载错误,全局调色板gone未在内存中!"), std::string::npos);
}

TEST(ResourceManager, TrackedMemoryBlocks) {
    ResourceManager rm;
    int freed = 0;
    void* a = rm.NewMemRes(100, nullptr);
    void* b = rm.NewMemRes(28, [&](void* p) {
        ++freed;
        ::operator delete(p);
    });
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(a)[99], 0);
    EXPECT_EQ(rm.GetMemResBytes(), 128u);
    EXPECT_EQ(rm.ReleaseMemRes(b), 28u);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(rm.GetMemResBytes(), 100u);
    EXPECT_EQ(rm.ReleaseMemRes(nullptr), 0u);
    rm.NewMemRes(5, [&](void* p) {
        ++freed;
        ::operator delete(p);
    });
    rm.ReleaseAll();
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(rm.GetMemResBytes(), 0u);
}

}  // namespace
}  // namespace hqlv::engine
