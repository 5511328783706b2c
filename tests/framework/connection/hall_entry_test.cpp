#include "framework/connection/hall_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace hqlv::framework {
namespace {

class RecordingEntry : public HallEntry {
public:
    RecordingEntry() : HallEntry("HqLv", 21303, 2, 1) {}
    bool answer = false;
    int asked = 0, launched = 0;
    std::string started;

protected:
    bool AskStartGameHall() override {
        ++asked;
        return answer;
    }
    int LaunchGameHall() override {
        ++launched;
        return 1;
    }
    int StartOwnProgram(const std::string& line) override {
        started = line;
        return 1;
    }
};

TEST(HallCommandLine, FullLineFillsEveryField) {
    RecordingEntry e;
    ASSERT_EQ(e.CheckHallCommandLine(
                  "\"77|game.example.net|301|4242|9|123456|17|2|0|0|欢乐麻将|21400|16388|194|55\""),
              1);
    EXPECT_EQ(e.GetGameID(), 77);
    EXPECT_EQ(e.GetServerHost(), "game.example.net");
    EXPECT_EQ(e.GetRoomID(), 301);
    EXPECT_EQ(e.GetHallWnd(), 4242);
    EXPECT_EQ(e.GetCmdField4(), 9);
    EXPECT_EQ(e.GetUserID(), 123456);
    EXPECT_EQ(e.GetTableNo(), 17);
    EXPECT_EQ(e.GetChairNo(), 2);
    EXPECT_EQ(e.GetCmdField8(), 0);
    EXPECT_EQ(e.GetTitleText(), "欢乐麻将");
    EXPECT_EQ(e.GetServerPort(), 21400);
    EXPECT_EQ(e.GetCmdField12(), 16388);
    EXPECT_TRUE(e.IsSilverRoom());
    EXPECT_TRUE(e.IsLeaveForbidden());
    EXPECT_EQ(e.GetCmdField13(), 194);  // 0x80 | 0x40 | 0x2
    EXPECT_TRUE(e.TestCmdField13Bit2());
    EXPECT_FALSE(e.TestCmdField13Bit8());
    EXPECT_TRUE(e.TestCmdField13Bit40());
    EXPECT_TRUE(e.TestCmdField13Bit80());
    EXPECT_EQ(e.GetCmdField14(), 55);
    // Option words stand in the hall record at words 4, 73 and 77.
    EXPECT_EQ(e.HallWord(4), 16388);
    EXPECT_EQ(e.HallWord(73), 194);
    EXPECT_EQ(e.HallWord(77), 55);
    EXPECT_EQ(e.asked, 0);
}

TEST(HallCommandLine, NineFieldsAcceptedWithDefaults) {
    RecordingEntry e;
    ASSERT_EQ(e.CheckHallCommandLine("1|127.0.0.1|2|3|4|5|6|7|1"), 1);
    EXPECT_EQ(e.GetCmdField8(), 1);
    EXPECT_EQ(e.GetCmdField9(), 0);
    EXPECT_EQ(e.GetTitleText(), "");
    EXPECT_EQ(e.GetServerPort(), 21303);
    EXPECT_EQ(e.GetCmdField12(), 0);
    EXPECT_EQ(e.GetCmdField13(), 0);
    EXPECT_EQ(e.GetCmdField14(), 0);
}

TEST(HallCommandLine, EightFieldsAsksForTheHallAndEnds) {
    RecordingEntry e;
    EXPECT_EQ(e.CheckHallCommandLine("1|h|2|3|4|5|6|7"), 0);
    EXPECT_EQ(e.asked, 1);
    EXPECT_EQ(e.launched, 0);
    e.answer = true;
    EXPECT_EQ(e.CheckHallCommandLine(""), 0);
    EXPECT_EQ(e.CheckHallCommandLine("\""), 0);
    EXPECT_EQ(e.asked, 3);
    EXPECT_EQ(e.launched, 2);
    // Nothing of the refused lines was applied.
    EXPECT_EQ(e.GetTableNo(), -1);
    EXPECT_EQ(e.GetChairNo(), -1);
}

TEST(HallCommandLine, QuotesAndOddFields) {
    RecordingEntry e;
    // The first character is a quote, so the last character goes too, quote or not: the
    // port "2140X" loses its X.
    ASSERT_EQ(e.CheckHallCommandLine("\"1|h|2|3|4|5|6|7|0|0|t|2140X"), 1);
    EXPECT_EQ(e.GetServerPort(), 2140);
    // Port "0" and a non-numeric port give the default port.
    ASSERT_EQ(e.CheckHallCommandLine("1|h|2|3|4|5|6|7|0|0|t|0"), 1);
    EXPECT_EQ(e.GetServerPort(), 21303);
    RecordingEntry f;
    ASSERT_EQ(f.CheckHallCommandLine("1|h|2|3|4|5|6|7|0|0|t|port"), 1);
    EXPECT_EQ(f.GetServerPort(), 21303);
    // Non-numeric and empty fields convert to 0; signs and leading blanks as atoi does.
    RecordingEntry g;
    ASSERT_EQ(g.CheckHallCommandLine("abc||x| -12|+7|99999999999|6z|-1|"), 1);
    EXPECT_EQ(g.GetGameID(), 0);
    EXPECT_EQ(g.GetServerHost(), "");
    EXPECT_EQ(g.GetHallWnd(), -12);
    EXPECT_EQ(g.GetCmdField4(), 7);
    EXPECT_EQ(g.GetUserID(), 2147483647);  // clamped, not undefined
    EXPECT_EQ(g.GetTableNo(), 6);
    EXPECT_EQ(g.GetChairNo(), -1);
    EXPECT_EQ(g.GetCmdField8(), 0);
}

TEST(HallCommandLine, HostAndTitleAreBounded) {
    RecordingEntry e;
    std::string host(200, 'h');
    std::string title;
    for (int i = 0; i < 100; ++i) title += "麻";  // two wire bytes each
    ASSERT_EQ(e.CheckHallCommandLine("1|" + host + "|2|3|4|5|6|7|0|0|" + title + "|1"), 1);
    EXPECT_EQ(e.GetServerHost(), std::string(31, 'h'));
    // 127 wire bytes hold 63 whole characters; no half character is kept.
    std::string expect;
    for (int i = 0; i < 63; ++i) expect += "麻";
    EXPECT_EQ(e.GetTitleText(), expect);
}

TEST(HallCommandLine, ExtraFieldsIgnored) {
    RecordingEntry e;
    std::string line = "1|h|2|3|4|5|6|7|0|0|t|9|12|13|14";
    for (int i = 0; i < 40; ++i) {
        line += '|';
        line += std::to_string(100 + i);
    }
    ASSERT_EQ(e.CheckHallCommandLine(line), 1);
    EXPECT_EQ(e.GetCmdField14(), 14);
    HallCommandLine cl = SplitHallCommandLine(line);
    EXPECT_EQ(cl.pieces, 30);
    // Beyond the 30th piece nothing is split: the last kept piece is not a single field,
    // but only 15 fields are looked at.
    EXPECT_EQ(cl.field[14], "14");
}

TEST(HallCommandLine, TrailingBarGivesEmptyField) {
    HallCommandLine cl = SplitHallCommandLine("a|b|");
    EXPECT_EQ(cl.pieces, 3);
    EXPECT_TRUE(cl.present[2]);
    EXPECT_EQ(cl.field[2], "");
    EXPECT_FALSE(cl.present[3]);
    EXPECT_EQ(SplitHallCommandLine("").pieces, 1);
}

TEST(HallCommandLine, StandaloneSkipsTheCheck) {
    struct Standalone : RecordingEntry {
        Standalone() { SetStandalone(true); }
    } e;
    EXPECT_EQ(e.CheckHallCommandLine(""), 1);
    EXPECT_EQ(e.asked, 0);
}

TEST(HallCommandLine, RelaunchLineReadsBackTheSameEntry) {
    RecordingEntry e;
    ASSERT_EQ(
        e.CheckHallCommandLine("\"77|10.1.2.3|301|4242|9|123456|17|2|1|0|桌 5|21400|4|64|55\""), 1);
    ASSERT_EQ(e.RelaunchGame(), 1);
    EXPECT_EQ(e.started, "\"77|10.1.2.3|301|4242|9|123456|17|2|0|1|桌 5|21400|4|64|55\"");
    RecordingEntry back;
    ASSERT_EQ(back.CheckHallCommandLine(e.started), 1);
    EXPECT_EQ(back.GetGameID(), e.GetGameID());
    EXPECT_EQ(back.GetServerHost(), e.GetServerHost());
    EXPECT_EQ(back.GetRoomID(), e.GetRoomID());
    EXPECT_EQ(back.GetHallWnd(), e.GetHallWnd());
    EXPECT_EQ(back.GetCmdField4(), e.GetCmdField4());
    EXPECT_EQ(back.GetUserID(), e.GetUserID());
    EXPECT_EQ(back.GetTableNo(), e.GetTableNo());
    EXPECT_EQ(back.GetChairNo(), e.GetChairNo());
    EXPECT_EQ(back.GetCmdField8(), 0);
    EXPECT_EQ(back.GetCmdField9(), 1);
    EXPECT_EQ(back.GetTitleText(), e.GetTitleText());
    EXPECT_EQ(back.GetServerPort(), e.GetServerPort());
    EXPECT_EQ(back.GetCmdField12(), 4);
    EXPECT_EQ(back.GetCmdField13(), 64);
    EXPECT_EQ(back.GetCmdField14(), 55);
}

TEST(HallRecord, TextsAreBoundedAndWordsRead) {
    RecordingEntry e;
    std::string rec(kHallRecordBytes, 'A');  // no terminators anywhere
    rec[12] = 7;                             // word 3: notice number
    rec[13] = rec[14] = rec[15] = 0;
    e.SetHallRecord(reinterpret_cast<const uint8_t*>(rec.data()), rec.size() + 100);
    EXPECT_EQ(e.GetNoticeNumber(), 7);
    EXPECT_EQ(e.GetGameDisplayName(), std::string(64, 'A'));
    EXPECT_EQ(e.GetRoomName(), std::string(64, 'A'));
    // A short record is zero-filled behind its end.
    e.SetHallRecord(reinterpret_cast<const uint8_t*>("xy"), 2);
    EXPECT_EQ(e.GetNoticeNumber(), 0);
    EXPECT_EQ(e.HallWord(0), 'x' | 'y' << 8);
    EXPECT_EQ(e.HallWord(111), 0);  // past the record
}

// Field 14 of the command line stands in word 77; the enter parameter is word 76 (byte
// 304), which the command line leaves to the hall's record.
TEST(HallRecord, Field14StandsInWord77ApartFromTheEnterParamAtByte304) {
    RecordingEntry e;
    ASSERT_EQ(e.CheckHallCommandLine("1|h|2|3|4|5|6|7|0|0|t|0|4|0|55"), 1);
    EXPECT_EQ(e.GetCmdField14(), 55);
    EXPECT_EQ(e.HallWord(77), 55);
    EXPECT_EQ(e.GetEnterParam(), 0);
    std::string rec(kHallRecordBytes, '\0');
    rec[304] = 9;   // word 76: the enter parameter
    rec[308] = 12;  // word 77: field 14
    e.SetHallRecord(reinterpret_cast<const uint8_t*>(rec.data()), rec.size());
    EXPECT_EQ(e.GetEnterParam(), 9);
    EXPECT_EQ(e.GetCmdField14(), 12);
}

TEST(HallRecord, SpecialOptionNeedsAllThree) {
    RecordingEntry e;
    ASSERT_EQ(e.CheckHallCommandLine("1|h|2|3|4|5|6|7|0|0|t|0|4|16777216"), 1);
    EXPECT_TRUE(e.IsSpecialOption());
    ASSERT_EQ(e.CheckHallCommandLine("1|h|2|3|4|5|6|7|1|0|t|0|4|16777216"), 1);
    EXPECT_FALSE(e.IsSpecialOption());
    ASSERT_EQ(e.CheckHallCommandLine("1|h|2|3|4|5|6|7|0|0|t|0|0|16777216"), 1);
    EXPECT_FALSE(e.IsSpecialOption());
}

}  // namespace
}  // namespace hqlv::framework
