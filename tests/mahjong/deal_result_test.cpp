// The deal result dialog: statuses of the player rows, the items of a chair with their
// total, empty row and kongs, names read only inside their field, and the dialog's clicks.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>

#include "framework/app/text_edge.h"
#include "framework/widgets/report_list.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/result_dlg.h"
#include "rules/common.h"
#include "tests/framework/qt_test_app.h"
#include "tools/server/mahjong/deal.h"
#include "words.h"

namespace hqlv::mahjong {
namespace {

using Set = std::initializer_list<std::pair<size_t, int32_t>>;

std::vector<uint8_t> Result(Set set, const std::string& names = "") {
    std::vector<uint8_t> r = test::Words(413, {{169, -1}, {170, -1}});
    for (auto [i, v] : set) test::PutWord(r, i, v);
    std::memcpy(r.data() + kFanNamesOff, names.data(), std::min(names.size(), size_t(292)));
    return r;
}

// Four fan records; rec(k) lists the words of record k.
std::vector<uint8_t> Fans(std::initializer_list<std::pair<int, Set>> recs) {
    std::vector<uint8_t> f(kFanRecordsBytes, 0);
    for (int k = 0; k < 4; ++k) test::PutWord(f, size_t(k) * 43, 9);  // no chair
    for (auto& [k, set] : recs)
        for (auto [i, v] : set) test::PutWord(f, size_t(k) * 43 + i, v);
    return f;
}

int32_t WordOf(const std::vector<uint8_t>& r, size_t i) {
    int32_t v = 0;
    if ((i + 1) * 4 <= r.size()) std::memcpy(&v, r.data() + i * 4, 4);
    return v;
}

std::string SeatOf(int c) {
    return std::string("p") + char('0' + c);
}

std::array<std::string, 4> Statuses(const DealResult& r, int payerChair = -1) {
    auto rows = r.PlayerRows(SeatOf, [payerChair](int id) { return id == 55 ? payerChair : -1; });
    return {rows[0].status, rows[1].status, rows[2].status, rows[3].status};
}

TEST(DealResultRows, Statuses) {
    const struct {
        const char* what;
        std::vector<uint8_t> result;
        int payerChair;
        std::array<std::string, 4> want;
    } cases[] = {
        {"self-drawn", Result({{170, 2}, {167, 1}}), -1, {"", "", "自摸", ""}},
        {"won off a discard", Result({{170, 2}, {167, 1}, {169, 0}}), -1, {"放冲", "", "胡", ""}},
        {"win mark exactly 1 counts, 0 not",
         Result({{165, 0}, {166, 1}, {169, 3}, {170, 1}}),
         -1,
         {"", "胡", "", "放冲"}},
        {"contract payer", Result({{170, 2}, {167, 1}, {174, 55}}), 1, {"", "承包", "自摸", ""}},
        {"giver overwrites the payer",
         Result({{170, 2}, {167, 1}, {169, 1}, {174, 55}}),
         1,
         {"", "放冲", "胡", ""}},
        {"payer not there", Result({{170, 2}, {167, 1}, {174, 55}}), -1, {"", "", "自摸", ""}},
        {"payer chair beyond the rows", Result({{174, 55}}), 6, {"", "", "", ""}},
        {"drawn with a ready hand",
         Result({{0, 2}, {177, 1}, {179, 3}}),
         -1,
         {"", "听牌", "", "听牌"}},
        {"ready mark without a drawn deal", Result({{0, 3}, {177, 1}}), -1, {"", "", "", ""}},
        {"drawn deal: no giver status", Result({{0, 2}, {169, 1}}), -1, {"", "", "", ""}},
        {"giver beyond the rows", Result({{170, 0}, {165, 1}, {169, 9}}), -1, {"胡", "", "", ""}},
        {"giver below the rows", Result({{170, 0}, {165, 1}, {169, -2}}), -1, {"胡", "", "", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Statuses(DealResult(c.result, {}), c.payerChair), c.want) << c.what;
}

TEST(DealResultRows, NamesAmountsAndBanker) {
    DealResult r(Result({{4, 1}, {72, -8}, {81, 1200}}), {});
    auto rows = r.PlayerRows(SeatOf, [](int) { return -1; });
    EXPECT_EQ(rows[0], (ResultPlayerRow{"p0", "0两", "-8分", ""}));
    EXPECT_EQ(rows[1], (ResultPlayerRow{"p1(庄)", "1200两", "0分", ""}));
}

TEST(DealResultItems, RowsTotalEmptyRowAndKongs) {
    const std::string names = framework::Utf8ToGbk("平和|门清|自摸");
    DealResult r(Result({{170, 1}}, names),
                 Fans({{2, {{0, 1}, {3, 2}, {5, -4}, {6, 7}, {35, 13}, {36, 1}, {38, 3}}}}));
    const std::vector<FanRow> want = {{"平和", "2分"},  {"自摸", "4分"}, {"", "7分"},
                                      {"总计", "13分"}, {"", ""},        {"明杠", "1分"},
                                      {"暗杠", "3分"}};
    EXPECT_EQ(r.ItemsOf(1), want);
}

TEST(DealResultItems, NoTotalAtZeroAndAddedKongAndMostNegativePoints) {
    DealResult r(Result({}), Fans({{0, {{0, 3}, {34, INT32_MIN}, {35, 0}, {37, -2}}}}));
    const std::vector<FanRow> want = {{"", "2147483648分"}, {"", ""}, {"补杠", "-2分"}};
    EXPECT_EQ(r.ItemsOf(3), want);
}

TEST(DealResultItems, WordsAfterTheKongsAreNotRead) {
    DealResult r(Result({}), Fans({{0, {{0, 0}, {39, 5}, {40, 6}, {42, 7}}}}));
    EXPECT_EQ(r.ItemsOf(0), (std::vector<FanRow>{{"", ""}}));
}

TEST(ResultDialogAlone, WithoutAnApplicationShowsItemsWithoutFaces) {
    framework::testing::SharedQtApp();
    ASSERT_EQ(framework::CGameApp::Current(), nullptr);
    CGameResultDlg dlg(Result({{170, 1}}), Fans({{0, {{0, 1}, {3, 2}}}}));
    EXPECT_EQ(dlg.itemList()->rowCount(), 2);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "麻将");
}

TEST(DealResultItems, ChairsWithoutRecordOrOutsideTheTableShowNothing) {
    DealResult r(Result({}), Fans({{1, {{0, 7}, {3, 5}}}, {2, {{0, -1}, {3, 5}}}}));
    for (int chair : {-1, 4, 7, 0}) EXPECT_FALSE(r.ItemsOf(chair).has_value()) << chair;
}

TEST(DealResultNames, ReadInsideTheFieldOnlyAndAtMost32) {
    std::string unterminated(292, 'a');
    unterminated[100] = '|';
    std::vector<uint8_t> rec = Result({}, unterminated);
    rec.push_back('Z');  // bytes past the record never join a name
    DealResult r(rec, {});
    EXPECT_EQ(r.FanNames(),
              (std::vector<std::string>{std::string(100, 'a'), std::string(191, 'a')}));
    std::string bars(40, '|');
    EXPECT_EQ(DealResult(Result({}, bars), {}).FanNames().size(), 32u);
    EXPECT_EQ(DealResult(Result({}, "a||b|"), {}).FanNames(),
              (std::vector<std::string>{"a", "", "b"}));
    // 0x81 0x7C is one GBK character: its second byte is no separator.
    const auto gbkBar = DealResult(Result({}, "\x81\x7C|c|\xB0"), {}).FanNames();
    ASSERT_EQ(gbkBar.size(), 3u);
    EXPECT_EQ(gbkBar[0], framework::GbkToUtf8("\x81\x7C"));
    EXPECT_EQ(gbkBar[1], "c");
}

TEST(DealResultFirst, WinnerOrFirstReadyHand) {
    const struct {
        std::vector<uint8_t> result;
        int chair;
        bool noWinner;
    } cases[] = {
        {Result({{170, 2}}), 2, false},
        {Result({}), -1, true},
        {Result({{178, 1}, {179, 1}}), 2, true},
        {Result({{176, 0}, {177, 5}}), 1, true},
    };
    for (const auto& c : cases) {
        bool noWinner = false;
        EXPECT_EQ(DealResult(c.result, {}).FirstChairShown(&noWinner), c.chair);
        EXPECT_EQ(noWinner, c.noWinner);
    }
}

class ResultDialog : public testing::Test {
protected:
    void SetUp() override { framework::testing::SharedQtApp(); }
    CGameAppEx app;
};

// Faces by the chair's player, not by the chair's number: the first two players share
// portrait 5, one face in the application's lists, so the third chair's player (with his own
// picture) stands at index 1; the fourth, without a portrait file, shows the default face as
// the first two do; an empty chair shows no face.
struct PortraitApp : CGameAppEx {
    std::string folder;
    std::string PortraitFolder() const override { return folder; }
};

TEST(ResultDialogFaces, EachRowAndTheShownChairHaveTheirPlayersFace) {
    framework::testing::SharedQtApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PortraitApp app;
    app.folder = dir.path().toStdString() + "/";
    QImage own(32, 32, QImage::Format_RGB32);
    own.fill(QColor(10, 200, 30));
    ASSERT_TRUE(own.save(QString::fromStdString(app.folder + "7_0.bmp"), "BMP"));
    const int portraits[4] = {5, 5, 7, 9};
    for (int c = 0; c < 4; ++c) {
        framework::PlayerRecord* seat = app.SeatMutable(c);
        ASSERT_NE(seat, nullptr);
        seat->setWord(0, 1001 + c);
        seat->setWord(framework::PlayerRecord::kPortrait, portraits[c]);
    }
    app.LoadSeatPortraits();
    const QImage* shared = app.GetPortraitImage(app.GetPortraitIndex(5), true);
    const QImage* seventh = app.GetPortraitImage(app.GetPortraitIndex(7), true);
    ASSERT_TRUE(shared && seventh);
    ASSERT_NE(shared->pixel(8, 8), seventh->pixel(8, 8));
    // Chair 2 has won: its fans and its face show first.
    CGameResultDlg dlg(Result({{170, 2}}), Fans({{0, {{0, 2}, {3, 1}}}}));
    const QImage* want[4] = {shared, shared, seventh, shared};
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        const QIcon icon = dlg.playerList()->row(c)->icon(0);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.pixmap(16, 16).toImage().pixel(8, 8), want[c]->pixel(8, 8));
    }
    const QPixmap shown = dlg.icon()->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.toImage().pixel(16, 16),
              app.GetPortraitImage(app.GetPortraitIndex(7), false)->pixel(16, 16));
    // The fourth player gone: his row shows no face.
    app.SeatMutable(3)->setWord(0, 0);
    CGameResultDlg without(Result({{170, 2}}), Fans({{0, {{0, 2}, {3, 1}}}}));
    EXPECT_TRUE(without.playerList()->row(3)->icon(0).isNull());
    EXPECT_FALSE(without.playerList()->row(2)->icon(0).isNull());
}

TEST_F(ResultDialog, DrawnWithoutReadyHandShowsTheNoteAndNoItems) {
    CGameResultDlg dlg(Result({{0, 2}}), Fans({{0, {{0, 0}, {3, 1}}}}));
    EXPECT_EQ(dlg.note()->text().toStdString(), "流局");
    EXPECT_EQ(dlg.itemList()->rowCount(), 0);
    EXPECT_EQ(dlg.playerList()->rowCount(), 4);
    EXPECT_EQ(dlg.playerList()->headerItem()->text(3).toStdString(), "状态");
}

TEST_F(ResultDialog, ReadyHandClearsTheNoteAndAClickShowsTheRowsItems) {
    CGameResultDlg dlg(Result({{0, 2}, {178, 1}}, "x|y"),
                       Fans({{0, {{0, 2}, {3, 1}}}, {1, {{0, 0}, {4, 6}, {35, 6}}}}));
    EXPECT_EQ(dlg.note()->text().toStdString(), "");
    ASSERT_EQ(dlg.itemList()->rowCount(), 2);
    EXPECT_EQ(dlg.itemList()->row(0)->text(0).toStdString(), "x");
    dlg.playerList()->setCurrentItem(dlg.playerList()->row(0));
    dlg.OnClickFanList(-1);  // an empty part of the list changes nothing
    EXPECT_EQ(dlg.itemList()->rowCount(), 2);
    dlg.OnClickFanList(0);
    ASSERT_EQ(dlg.itemList()->rowCount(), 3);
    EXPECT_EQ(dlg.itemList()->row(0)->text(0).toStdString(), "y");
    EXPECT_EQ(dlg.itemList()->row(1)->text(1).toStdString(), "6分");
}

TEST_F(ResultDialog, BothListsSelectWholeRows) {
    CGameResultDlg dlg(Result({}), {});
    for (const framework::CSortListCtrl* list : {dlg.itemList(), dlg.playerList()})
        EXPECT_EQ(list->extendedStyle(), framework::CSortListCtrl::kFullRowSelect);
}

TEST_F(ResultDialog, CaptionIsTheProgramsTitleElseTheTemplates) {
    EXPECT_EQ(CGameResultDlg(Result({}), {}).windowTitle().toStdString(), "麻将");
    ASSERT_TRUE(app.CheckHallCommandLine("77|127.0.0.1|301|5|0|1001|17|2|0|0|Room9|21303|0|0|0"));
    ASSERT_EQ(app.GetTitleText(), "Room9");
    EXPECT_EQ(CGameResultDlg(Result({}), {}).windowTitle().toStdString(), "Room9");
}

TEST_F(ResultDialog, WinnerOutsideTheTableShowsNoItems) {
    CGameResultDlg dlg(Result({{170, 5}}), Fans({{0, {{0, 5}, {3, 1}}}}));
    EXPECT_EQ(dlg.itemList()->rowCount(), 0);
    EXPECT_EQ(dlg.note()->text().toStdString(), "");
}

// A drawn deal as the local server ends one (four server-driven chairs, the first seed whose
// deal is drawn with a ready hand): the dialog shows the first ready chair's fans with their
// total and no note, every ready chair's row says 听牌, the others none; a click on a chair
// without a ready hand shows no fans. With HQLV_SHOT_DIR the dialog's picture is kept.
TEST_F(ResultDialog, AServersDrawnDealShowsTheReadyHandsFans) {
    std::vector<uint8_t> record;
    for (uint32_t seed = 1; seed < 400 && record.empty(); ++seed) {
        rules::SeedRandom(seed);
        uint64_t now = 1000;
        server::mj::DealOptions o;
        o.thinkMs = 0;
        server::mj::Deal deal(
            o, [&] { return now; }, [](const server::mj::Note&) {});
        for (int c = 0; c < 4; ++c) deal.SetSeat(c, 500 + c, true);
        ASSERT_TRUE(deal.Start());
        for (int step = 0; step < 5000 && !deal.Over(); ++step) {
            now += 500;
            deal.Tick();
        }
        ASSERT_TRUE(deal.Over()) << seed;
        const std::vector<uint8_t>& r = deal.Result();
        bool ready = false;
        for (size_t c = 0; c < 4; ++c) ready |= WordOf(r, 176 + c) > 0;
        if (WordOf(r, 0) == 2 && ready) record = r;
    }
    ASSERT_EQ(record.size(), kDealResultBytes + kFanRecordsBytes);
    const std::span<const uint8_t> all(record);
    CGameResultDlg dlg(all.first(kDealResultBytes), all.subspan(kDealResultBytes));
    EXPECT_EQ(dlg.note()->text().toStdString(), "");
    int first = -1;
    for (int c = 0; c < 4; ++c) {
        const bool ready = WordOf(record, 176 + size_t(c)) > 0;
        if (ready && first < 0) first = c;
        EXPECT_EQ(dlg.playerList()->row(c)->text(3).toStdString(), ready ? "听牌" : "") << c;
    }
    const int rows = dlg.itemList()->rowCount();
    ASSERT_GE(rows, 3);  // a fan, the total, the empty row
    EXPECT_FALSE(dlg.itemList()->row(0)->text(0).isEmpty());
    bool total = false;
    for (int i = 0; i < rows; ++i) total |= dlg.itemList()->row(i)->text(0) == "总计";
    EXPECT_TRUE(total);
    if (const char* dir = std::getenv("HQLV_SHOT_DIR"))
        dlg.grab().save(QString::fromStdString(std::string(dir) + "/drawn-deal-result.png"));
    for (int c = 0; c < 4; ++c) {
        if (WordOf(record, 176 + size_t(c)) > 0) continue;
        dlg.playerList()->setCurrentItem(dlg.playerList()->row(c));
        dlg.OnClickFanList(c);
        int fans = 0;
        for (int i = 0; i < dlg.itemList()->rowCount(); ++i)
            fans += dlg.itemList()->row(i)->text(1).endsWith("分") &&
                    dlg.itemList()->row(i)->text(0) != "明杠" &&
                    dlg.itemList()->row(i)->text(0) != "补杠" &&
                    dlg.itemList()->row(i)->text(0) != "暗杠";
        EXPECT_EQ(fans, 0) << c;
    }
}

}  // namespace
}  // namespace hqlv::mahjong
