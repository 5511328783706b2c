#include "framework/hall/hall_records.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "builders.h"
#include "hqlv/config.h"

namespace hqlv::framework {
namespace {

using testing::Record;

// Reference AES-128-ECB block by block with the plain cipher, independent of the code
// under test's buffer handling.
std::vector<uint8_t> ReferenceEncrypt(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out(in.size());
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr,
                       reinterpret_cast<const unsigned char*>(HQLV_HALL_AES_KEY), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0;
    for (size_t i = 0; i < in.size(); i += 16)
        EVP_EncryptUpdate(ctx, out.data() + i, &n, in.data() + i, 16);
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

TEST(HallCipher, MatchesAesEcbAndRefusesPartialBlocks) {
    std::vector<uint8_t> plain(48);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7);
    auto enc = EncryptHallData(plain.data(), plain.size());
    ASSERT_TRUE(enc);
    EXPECT_EQ(*enc, ReferenceEncrypt(plain));
    auto dec = DecryptHallData(enc->data(), enc->size());
    ASSERT_TRUE(dec);
    EXPECT_EQ(*dec, plain);
    EXPECT_FALSE(EncryptHallData(plain.data(), 47));
    EXPECT_FALSE(DecryptHallData(plain.data(), 17));
}

class HallState : public ::testing::Test {
protected:
    HallState() : app("HqLv", 21303, 2, 1) { entry(1001, 2, 0, 0); }
    void entry(int uid, int chair, int looker, int optionB) {
        testing::EntryLine e;
        e.userId = uid;
        e.chairNo = chair;
        e.lookerOn = looker;
        e.optionB = optionB;
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
    }
    HallTableState state(int ownChair) {
        HallTableState s;
        s.hall.setWord(3, 17);
        s.hall.setWord(70, 300);
        s.hall.setWord(73, app.GetCmdField13());
        s.hall.setText(20, 64, Utf8ToGbk("红中癞子"));
        s.hall.setText(212, 68, Utf8ToGbk("新手房"));
        s.table.setWord(0, 5);
        s.seated = {Record(7, 0, "甲"), Record(1001, ownChair, "我"), Record(9, 3, "丙"),
                    Record(10, 1, "丁")};
        return s;
    }
    int apply(const HallTableState& s) {
        auto bytes = BuildHallTableState(s);
        auto parsed = ParseHallTableState(bytes.data(), bytes.size());
        if (!parsed) return -1;
        return app.ApplyHallTableState(*parsed);
    }
    CGameAppData app;
};

TEST_F(HallState, ByteLayoutOfTheTableState) {
    HallTableState s = state(2);
    s.texts = {"a", "b"};
    s.hall.setWord(80, 1);
    RoomRecord room;
    room.setWord(0, 31);
    s.rooms = HallRooms{1, {room}};
    auto bytes = BuildHallTableState(s);
    ASSERT_EQ(bytes.size() % 16, 0u);
    // 620 + 4 * 320 + 360 + 64 * 3 = 2452, padded to 2464.
    EXPECT_EQ(bytes.size(), 2464u);
    auto word = [&](size_t off) {
        return int32_t(bytes[off] | bytes[off + 1] << 8 | bytes[off + 2] << 16 |
                       bytes[off + 3] << 24);
    };
    EXPECT_EQ(word(12), 17);
    EXPECT_EQ(word(280), 300);
    EXPECT_EQ(word(328), 1);              // room count R
    EXPECT_EQ(word(444 + 8), 4);          // seated
    EXPECT_EQ(word(620 + 320 + 144), 2);  // second record's chair (word 36)
    EXPECT_EQ(bytes[1900], 'a');
    EXPECT_EQ(bytes[1901], '|');
    EXPECT_EQ(word(2260 + 8), 1);   // room head count
    EXPECT_EQ(word(2260 + 12), 1);  // mode
    EXPECT_EQ(word(2260 + 128), 31);
}

TEST_F(HallState, StoresSeatsByChairAndReportsOwnRecord) {
    EXPECT_EQ(apply(state(2)), 1);
    EXPECT_EQ(app.GetSeatUserID(3), 9);
    EXPECT_EQ(app.GetSeatUserID(1), 10);
    EXPECT_EQ(app.GetSeatedCount(), 4);
    EXPECT_EQ(app.GameDisplayNameText(), "红中癞子");
    EXPECT_EQ(app.RoomNameText(), "新手房");
    EXPECT_EQ(app.GetNoticeNumber(), 17);
    EXPECT_EQ(app.GetNoticeInterval(), 300);
    // Own record on another chair: the game is not entered.
    EXPECT_EQ(apply(state(4)), 0);
}

TEST_F(HallState, LookerFlagMustAgree) {
    entry(1001, 2, 1, 0);
    EXPECT_EQ(apply(state(2)), 0);
}

TEST_F(HallState, KindTwelveFilteredWithOptionBit40) {
    entry(1001, 2, 0, 0x40);
    HallTableState s = state(2);
    s.seated[2].setWord(PlayerRecord::kKind, 12);
    s.seated[1].setWord(PlayerRecord::kKind, 12);  // own chair: kept
    EXPECT_EQ(apply(s), 1);
    EXPECT_EQ(app.GetSeatUserID(3), 0);
    EXPECT_EQ(app.GetSeatedCount(), 3);
    entry(1001, 2, 0, 0x42);  // with bit 2 the filter is off
    s.hall.setWord(73, 0x42);
    EXPECT_EQ(apply(s), 1);
    EXPECT_EQ(app.GetSeatUserID(3), 9);
}

TEST_F(HallState, ANewStateReplacesSeatsAndLookersWhole) {
    HallTableState s = state(2);
    s.lookers = {Record(500, 0, "看客"), Record(501, 1, "看客2")};
    ASSERT_EQ(apply(s), 1);
    EXPECT_EQ(app.IsLookerOn(501), 1);
    HallTableState t = state(2);
    t.seated.resize(2);  // players 9 and 10 left
    t.lookers = {Record(502, 0, "新看客")};
    ASSERT_EQ(apply(t), 1);
    EXPECT_EQ(app.GetSeatUserID(3), 0);
    EXPECT_EQ(app.GetSeatUserID(1), 0);
    EXPECT_EQ(app.GetPlayerRecord(501), nullptr);
    EXPECT_EQ(app.IsLookerOn(502), 1);
}

TEST_F(HallState, TextPiecesStopAtTheFirstEmptyOne) {
    HallTableState s = state(2);
    s.hall.setWord(80, 1);
    s.texts = {"L0", "L1", "", "L3"};
    ASSERT_EQ(apply(s), 1);
    EXPECT_EQ(app.GetLevelTitle(0), "L0");
    EXPECT_EQ(app.GetLevelTitle(1), "L1");
    EXPECT_EQ(app.GetLevelTitle(3), "");
}

TEST_F(HallState, RoomBlockOnlyWhenCountsAgree) {
    app.SetRoomListMode(0);
    RoomRecord keep;
    keep.setWord(0, 99);
    app.AppendRoom(keep);
    HallTableState s = state(2);
    RoomRecord a, b;
    a.setWord(0, 1);
    b.setWord(0, 2);
    s.rooms = HallRooms{1, {a, b}};
    auto bytes = BuildHallTableState(s);
    bytes[328] = 3;  // R disagrees with the block's count of 2
    auto parsed = ParseHallTableState(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    app.ApplyHallTableState(*parsed);
    ASSERT_EQ(app.rooms().size(), 1u);
    EXPECT_EQ(app.rooms()[0].word(0), 99);
    EXPECT_EQ(apply(s), 1);
    ASSERT_EQ(app.rooms().size(), 2u);
    EXPECT_EQ(app.GetRoomListMode(), 1);
    // A room block (head and two rooms) one byte short is left unread; the rest stands.
    bytes = BuildHallTableState(s);
    const size_t end = 620 + 320 * s.seated.size() + 360 + 128 + 2 * 64;
    for (size_t len : {end, end - 1}) {
        parsed = ParseHallTableState(bytes.data(), len);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(bool(parsed->rooms), len == end);
    }
}

TEST_F(HallState, MalformedStatesAreRefused) {
    HallTableState s = state(2);
    auto bytes = BuildHallTableState(s);
    EXPECT_FALSE(ParseHallTableState(bytes.data(), 619));
    EXPECT_FALSE(ParseHallTableState(bytes.data(), 620 + 4 * 320 - 1));
    EXPECT_FALSE(ParseHallTableState(nullptr, 0));
    auto nine = bytes;
    nine[444 + 8] = 9;  // nine seated records, not all there
    EXPECT_FALSE(ParseHallTableState(nine.data(), nine.size()));
    auto lookers = bytes;
    lookers[444 + 12] = 65;
    EXPECT_FALSE(ParseHallTableState(lookers.data(), lookers.size()));
    for (size_t byte : {444 + 11, 444 + 15}) {  // a negative count of either kind
        auto negative = bytes;
        negative[byte] = 0x80;
        EXPECT_FALSE(ParseHallTableState(negative.data(), negative.size())) << byte;
    }
    // A negative count beside a positive one, the two summing to nothing: still refused.
    for (auto [seatedCount, lookerCount] : {std::pair{-1, 1}, std::pair{1, -1}}) {
        auto mixed = bytes;
        for (int b = 0; b < 4; ++b) {
            mixed[444 + 8 + size_t(b)] = uint8_t(uint32_t(seatedCount) >> (8 * b));
            mixed[444 + 12 + size_t(b)] = uint8_t(uint32_t(lookerCount) >> (8 * b));
        }
        EXPECT_FALSE(ParseHallTableState(mixed.data(), mixed.size())) << seatedCount;
    }
    auto huge = bytes;
    huge[444 + 11] = 0x7f;  // 2^31 - 1 seated records: their sum with the lookers-on stays sound
    huge[444 + 15] = 0x7f;
    EXPECT_FALSE(ParseHallTableState(huge.data(), huge.size()));
    auto textless = s;
    textless.hall.setWord(80, 1);
    auto t = BuildHallTableState(textless);
    EXPECT_FALSE(ParseHallTableState(t.data(), 620 + 4 * 320 + 100));
}

// A record that does not fit the table is left out alone and the state stands: a seated
// record whose chair is outside 0-7, and lookers-on beyond the sixty-four places; nine
// seated records that are all there are read, each placed by its own chair.
TEST_F(HallState, RecordsThatDoNotFitTheTableAreLeftOutAlone) {
    HallTableState s = state(2);
    const size_t seated = s.seated.size();
    ASSERT_GE(seated, 2u);
    for (int32_t bad : {8, -1, 1000}) {
        auto bytes = BuildHallTableState(s);
        for (int b = 0; b < 4; ++b)
            bytes[620 + 320 * 0 + 144 + size_t(b)] = uint8_t(uint32_t(bad) >> (8 * b));
        auto parsed = ParseHallTableState(bytes.data(), bytes.size());
        ASSERT_TRUE(parsed) << bad;
        EXPECT_EQ(parsed->seated.size(), seated - 1) << bad;
        EXPECT_EQ(parsed->seated[0].userId(), s.seated[1].userId()) << bad;
    }
    HallTableState crowd = state(2);
    crowd.lookers.clear();
    for (int i = 0; i < 66; ++i) crowd.lookers.push_back(Record(5000 + i, 0, "l", 1));
    crowd.seated.push_back(crowd.seated[0]);  // a ninth...
    for (int i = 0; i < 6; ++i) crowd.seated.push_back(crowd.seated[1]);
    ASSERT_GT(crowd.seated.size(), 8u);
    auto bytes = BuildHallTableState(crowd);
    auto parsed = ParseHallTableState(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->seated.size(), crowd.seated.size());
    ASSERT_EQ(parsed->lookers.size(), 64u);
    EXPECT_EQ(parsed->lookers[63].userId(), 5063);
    app.ApplyHallTableState(*parsed);
    EXPECT_EQ(app.looker(63).userId(), 5063);
    EXPECT_EQ(app.seat(crowd.seated[1].chair()).userId(), crowd.seated[1].userId());
}

TEST_F(HallState, PlayerJoinedAndLeftRecords) {
    EXPECT_FALSE(ParseHallPlayerJoined(nullptr, 0));
    PlayerRecord r = Record(5, 1, "x");
    EXPECT_FALSE(ParseHallPlayerJoined(r.raw.data(), 319));
    auto joined = ParseHallPlayerJoined(r.raw.data(), 320);
    ASSERT_TRUE(joined);
    EXPECT_EQ(joined->userId(), 5);
    for (int i = 0; i < kLookerCount; ++i)
        ASSERT_NE(app.AddLookerOn(Record(600 + i, 0, "l")), nullptr);
    EXPECT_EQ(app.AddLookerOn(*joined), nullptr);

    testing::Words left(16);
    left.w(0, 4242).w(1, 9).w(2, 5).w(3, 3);
    auto l = ParseHallPlayerLeft(left.data(), left.size());
    ASSERT_TRUE(l);
    EXPECT_EQ(l->hallWnd, 4242u);
    EXPECT_EQ(l->chair, 3);
    EXPECT_FALSE(ParseHallPlayerLeft(left.data(), 15));
}

TEST_F(HallState, ReportKindsAndLayouts) {
    app.SetNewerServerMajor(3);
    app.SetNewerServerMinor(4);
    HallReport r = BuildHallReport(app, 0x1234);
    EXPECT_EQ(r.kind, kHallReport);
    ASSERT_EQ(r.record.size(), 188u);
    testing::Words expect(188);
    expect.w(0, 0x1234).w(1, 1001).w(2, 5).w(3, 2).w(4, 3).w(5, 0).w(6, 0).w(7, 77).w(8, 4);
    EXPECT_EQ(r.record, expect.bytes);
    app.SetDisconnectedWhilePlaying(true);
    r = BuildHallReport(app, 0);
    EXPECT_EQ(r.kind, kHallReportDisconnected);
    EXPECT_EQ(r.record[24], 1);

    auto text = BuildHallText(app, 9, std::string(300, 'x'), -3);
    ASSERT_EQ(text.size(), 544u);
    EXPECT_EQ(text[16], 0xFD);
    EXPECT_EQ(text[20 + 254], 'x');
    EXPECT_EQ(text[20 + 255], 0);

    auto room = BuildRoomChange(app, 31);
    ASSERT_EQ(room.size(), 160u);
    testing::Words er(160);
    er.w(0, app.GetRoomListMode()).w(1, 1001).w(2, 77).w(3, 0).w(4, 5).w(5, 2).w(6, 31);
    EXPECT_EQ(room, er.bytes);
}

TEST(HallSign, AnswerCarriesRequestIdAndBoundedText) {
    HallSignAnswer a{1001, std::string(400, 's'), 0xABCDEF01};
    auto bytes = BuildHallSignAnswer(a);
    ASSERT_EQ(bytes.size(), 272u);
    EXPECT_EQ(bytes[268], 0x01);
    EXPECT_EQ(bytes[271], 0xAB);
    auto back = ParseHallSignAnswer(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->userId, 1001);
    EXPECT_EQ(back->sign.size(), 255u);
    EXPECT_EQ(back->requestId, 0xABCDEF01u);
    EXPECT_FALSE(ParseHallSignAnswer(bytes.data(), 271));
    // A text without a terminator inside its field stays within it.
    std::vector<uint8_t> full(272, 'z');
    back = ParseHallSignAnswer(full.data(), full.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sign.size(), 255u);
}

}  // namespace
}  // namespace hqlv::framework
