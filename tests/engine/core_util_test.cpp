// The engine clock, the engine log and the small text and path helpers.
#include <gtest/gtest.h>

#include <climits>

#include "engine/core/clock.h"
#include "engine/core/engine_log.h"
#include "engine/render/render_log.h"
#include "log_capture.h"
#include "platform/core/clock.h"
#include "platform/core/text.h"

namespace hqlv::engine {
namespace {

using test::LogCapture;

struct ClockScope {
    platform::ManualClock clock{1000};
    platform::Clock* old;
    ClockScope() { old = platform::setClock(&clock); }
    ~ClockScope() { platform::setClock(old); }
};

TEST(EngineClock, CachedTimeOnlyMovesOnARead) {
    ClockScope c;
    EXPECT_EQ(GetClockMode(), 1u);
    c.clock.setTick(0xFFFFFFF0u);
    EXPECT_EQ(GetEngineTimeMs(), 0xFFFFFFF0u);
    c.clock.advance(0x20);  // wraps
    EXPECT_EQ(GetCachedTimeMs(), 0xFFFFFFF0u);
    EXPECT_EQ(GetCachedTimeMs(), 0xFFFFFFF0u);
    EXPECT_EQ(GetEngineTimeMs(), 0x10u);
    EXPECT_EQ(GetCachedTimeMs(), 0x10u);
}

TEST(EngineLog, ExactLineAtAFixedTimeAndOneFilePerDay) {
    ClockScope c;
    platform::LocalTime t;
    t.year = 2016, t.month = 12, t.day = 22, t.hour = 9, t.minute = 5, t.second = 3;
    c.clock.setLocalTime(t);
    LogCapture log;
    WriteLog("图片%s加载失败!", "a%d.png");
    WriteLogText("100%s");
    EXPECT_EQ(log.dir.path() + "/Game20161222.log", EngineLogPath(2016, 12, 22));
    const std::string first =
        "2016/12/22     09:05:03      图片a%d.png加载失败!\r\n"
        "2016/12/22     09:05:03      100%s\r\n";
    EXPECT_EQ(log.text(), first);
    t.day = 23, t.hour = 0;
    c.clock.setLocalTime(t);
    WriteLog("next");
    EXPECT_EQ(log.text(), first + "2016/12/23     00:05:03      next\r\n");
    std::ifstream second(log.dir / "Game20161223.log", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(second), {}),
              "2016/12/23     00:05:03      next\r\n");
}

TEST(EngineLog, LongMessagesAreCutAt1023BytesOnACharacterBoundary) {
    LogCapture log;
    std::string text(1022, 'x');
    text += "中";  // three bytes, would end at 1025
    WriteLogText(text);
    const std::string got = log.text();
    const size_t start = got.find("x");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(got.substr(start), std::string(1022, 'x') + "\r\n");
    // The printf forms are cut at 1023 bytes too, and also never inside a character.
    LogCapture again;
    WriteLog("%s", std::string(2000, 'y').c_str());
    EXPECT_NE(again.text().find(std::string(1023, 'y') + "\r\n"), std::string::npos);
    LogCapture third;
    WriteLog("%s", text.c_str());
    RenderLog("%s", text.c_str());
    const std::string cut = std::string(1022, 'x') + "\r\n";
    const std::string lines = third.text();
    ASSERT_EQ(lines.size(), 2 * (29 + cut.size())) << lines.substr(1000);
    EXPECT_EQ(lines.substr(29, cut.size()), cut);
    EXPECT_EQ(lines.substr(29 + cut.size() + 29), cut);
}

TEST(EngineUtil, ToLowerAsciiLeavesDoubleByteCharactersAlone) {
    // 丄 is 0x81 'A' in GBK: lowering the GBK form would have to skip its trail byte.
    ASSERT_EQ(platform::utf8ToGbk("丄"),
              "\x81"
              "A");
    struct Case {
        std::string in, out;
    } cases[] = {
        {"ABC丄", "abc丄"},
        {"中A.PNG", "中a.png"},  // a letter right after a multi-byte character
        {"Zé", "zé"},
        {"", ""},
        {"@[`{AZ", "@[`{az"},  // the neighbours of A-Z
    };
    for (auto& c : cases) {
        std::string s = c.in;
        ToLowerAscii(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
}

TEST(EngineUtil, PathSplitting) {
    EXPECT_EQ(SplitFileExtension("res\\PGCHG.PNG"), ".png");
    EXPECT_EQ(SplitFileExtension("res.d/name"), "");
    EXPECT_EQ(SplitFileExtension("a/b.c.WAV"), ".wav");
    EXPECT_EQ(SplitFileTitle("res\\sub/PGCHG.png"), "PGCHG");
    EXPECT_EQ(SplitFileTitle("noext"), "noext");
    EXPECT_EQ(SplitFileTitle("a.b.c"), "a.b");
}

TEST(EngineUtil, TextHelpersOfTheTags) {
    EXPECT_EQ(StrToInt(" -42px"), -42);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("x1"), 0);
    EXPECT_EQ(StrToInt("\t\n\v\f\r 9"), 9);  // every blank atoi skips, and only those
    EXPECT_EQ(StrToInt("\x0E"
                       "9"),
              0);
    EXPECT_EQ(StrToInt("\x08"
                       "9"),
              0);
    EXPECT_EQ(StrToInt("99999999999"), INT_MAX);
    EXPECT_EQ(StrToInt("-99999999999"), INT_MIN);
    EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(UnquoteText("a\"bc"), "a\"bc");
    EXPECT_EQ(UnquoteText("a\"bc\"d"), "bc");
    EXPECT_EQ(UnquoteText("\"x\"y\"z"), "x\"y");
    EXPECT_EQ(UnquoteText("plain"), "plain");

    struct Case {
        std::string text;
        std::vector<std::string> pieces;
    } cases[] = {
        {"1,2,", {"1", "2"}}, {"1,,2", {"1", "", "2"}}, {"", {}}, {",", {""}}, {"abc", {"abc"}},
    };
    for (auto& c : cases) {
        std::vector<std::string> list{"kept"};
        // The count of the whole list; an empty text adds nothing and counts 0.
        EXPECT_EQ(SplitCommaList(c.text, list), c.text.empty() ? 0 : c.pieces.size() + 1) << c.text;
        c.pieces.insert(c.pieces.begin(), "kept");
        EXPECT_EQ(list, c.pieces) << c.text;
    }
}

TEST(EngineUtil, ReadWholeFileLogsWhatItCannotOpen) {
    LogCapture log;
    log.dir.put("Sub/Data.BIN", std::string("a\0b", 3));
    std::string out = "old";
    EXPECT_TRUE(ReadWholeFile(log.dir.path() + "\\sub\\data.bin", &out));
    EXPECT_EQ(out, std::string("a\0b", 3));
    EXPECT_FALSE(ReadWholeFile(log.dir / "none.bin", &out));
    EXPECT_TRUE(out.empty());
    EXPECT_NE(log.text().find("文件" + log.dir.path() + "/none.bin 打开失败!"), std::string::npos);
    // No file named: false, and no line.
    const std::string before = log.text();
    out = "old";
    EXPECT_FALSE(ReadWholeFile("", &out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(log.text(), before);
}

}  // namespace
}  // namespace hqlv::engine

#include "engine/core/block_pool.h"

namespace hqlv::engine {
namespace {

TEST(EngineUtil, GrowBufferKeepsTheOldElements) {
    std::vector<int> b(10);
    for (int i = 0; i < 10; ++i) b[i] = i + 1;
    GrowBuffer(b, 0);
    ASSERT_EQ(b.size(), 20u);
    EXPECT_EQ(b[9], 10);
    EXPECT_EQ(b[10], 0);
    GrowBuffer(b, 3);
    EXPECT_EQ(b.size(), 23u);
}

TEST(BlockPool, BlocksHoldOneFreeRunAndAreCounted) {
    BlockPool pool(16, 32);
    EXPECT_EQ(pool.defaultBlockSize(), 768u);
    EXPECT_EQ(pool.blockCount(), 1u);
    EXPECT_EQ(pool.bytesAllocated(), 768u);
    ASSERT_NE(pool.first(), nullptr);
    const BlockPool::FreeRun run = pool.first()->run(0);
    EXPECT_EQ(run.length, 760u);
    EXPECT_EQ(run.next, BlockPool::kNoRun);
    EXPECT_EQ(pool.first()->bytes[767], 0);

    BlockPool::Block* b = pool.AllocBlock(8);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->run(0).length, 0u);
    EXPECT_EQ(pool.first()->next, b);
    EXPECT_EQ(pool.AllocBlock(7), nullptr);
    EXPECT_EQ(pool.AllocBlock(int64_t(UINT32_MAX) + 1), nullptr);
    EXPECT_EQ(pool.blockCount(), 2u);
    EXPECT_EQ(pool.bytesTotal(), 776u);
    EXPECT_EQ(pool.AllocBlock()->size, 768u);
    EXPECT_EQ(b->next->size, 768u);
    EXPECT_EQ(b->run(765).next, BlockPool::kNoRun);  // a head past the block reads as none
    pool.FreeBlocks();
    EXPECT_EQ(pool.blockCount(), 0u);
    EXPECT_EQ(pool.first(), nullptr);
}

}  // namespace
}  // namespace hqlv::engine
