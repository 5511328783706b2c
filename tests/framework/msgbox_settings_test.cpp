#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "framework/app/paths.h"
#include "framework/app/settings_files.h"
#include "framework/app/shared_utils.h"
#include "framework/panes/msgbox_model.h"
#include "hqlv/config.h"

namespace hqlv::framework {
namespace {

struct FakeClock {
    uint32_t now = 0;
    MsgBoxCountdown::Clock fn() {
        return [this] { return now; };
    }
};

TEST(MsgBoxCountdown, StyleZeroPressesOkAfterTenSeconds) {
    FakeClock c;
    MsgBoxCountdown box(10, 0, false, c.fn());
    c.now = 9999;
    EXPECT_EQ(box.poll(), kMsgBoxNone);
    EXPECT_EQ(box.seconds(), 1);
    c.now = 10000;
    EXPECT_EQ(box.poll(), kMsgBoxOk);
    EXPECT_FALSE(box.running());
    c.now = 20000;
    EXPECT_EQ(box.poll(), kMsgBoxNone);
}

TEST(MsgBoxCountdown, QuestionStylePressesCancel) {
    FakeClock c;
    MsgBoxCountdown box(3, 33, false, c.fn());
    EXPECT_EQ(box.tick(), kMsgBoxNone);
    EXPECT_EQ(box.tick(), kMsgBoxNone);
    EXPECT_EQ(box.tick(), kMsgBoxCancel);
    EXPECT_EQ(box.tick(), kMsgBoxNone);
}

TEST(MsgBoxCountdown, ClockWrapAndLateTimers) {
    FakeClock c;
    c.now = 0xFFFFF000u;  // 4096 ms before the counter wraps
    MsgBoxCountdown box(5, 65, false, c.fn());
    c.now = 0x00000500u;  // 5376 ms later, across the wrap
    EXPECT_EQ(box.poll(), kMsgBoxCancel);
    FakeClock d;
    MsgBoxCountdown slow(30, 16, false, d.fn());
    d.now = 2500;  // one late timer covers two seconds, the half second is kept
    EXPECT_EQ(slow.poll(), kMsgBoxNone);
    EXPECT_EQ(slow.seconds(), 28);
    d.now = 3000;
    slow.poll();
    EXPECT_EQ(slow.seconds(), 27);
}

TEST(MsgBoxCountdown, ModelessDefaultsAndModalZero) {
    FakeClock c;
    MsgBoxCountdown modeless(0, 65, true, c.fn());
    EXPECT_EQ(modeless.seconds(), 10);
    MsgBoxCountdown negative(-3, 65, true, c.fn());
    EXPECT_EQ(negative.seconds(), 10);
    MsgBoxCountdown modal(0, 65, false, c.fn());
    c.now = 1000000;
    EXPECT_EQ(modal.poll(), kMsgBoxNone);
    EXPECT_FALSE(modal.running());
}

TEST(MsgBoxStyle, IconsAndCancel) {
    EXPECT_EQ(StyleOf(0).icon, MsgBoxIcon::kInformation);
    EXPECT_FALSE(StyleOf(0).cancelEnabled);
    EXPECT_EQ(StyleOf(16).icon, MsgBoxIcon::kStop);
    EXPECT_FALSE(StyleOf(48).cancelEnabled);
    EXPECT_TRUE(StyleOf(65).cancelEnabled);
    EXPECT_EQ(StyleOf(33).icon, MsgBoxIcon::kQuestion);
    EXPECT_EQ(StyleOf(1).icon, MsgBoxIcon::kNone);
    EXPECT_TRUE(StyleOf(1).cancelEnabled);
    EXPECT_EQ(FitExtraHeight(16, 50, 0, 0), 0);
    EXPECT_EQ(FitExtraHeight(80, 50, 0, 0), 30);
    EXPECT_EQ(FitExtraHeight(80, 50, 0, 10), 0);
    EXPECT_EQ(FitExtraHeight(80, 50, 7, 0), 7);
}

TEST(MachineId, FromEthernetAdaptersOnly) {
    std::vector<NetAdapter> two = {{6, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
                                   {24, {0xFF, 0xFF}},
                                   {6, {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}}};
    EXPECT_EQ(MachineIdFromAdapters(two), "001a2b3c4d5ea0b1c2d3e4f50000000");
    std::vector<NetAdapter> big(30, NetAdapter{6, std::vector<uint8_t>(6, 0x11)});
    EXPECT_EQ(MachineIdFromAdapters(big), std::string(31, '1'));
    EXPECT_EQ(MachineIdFromAdapters({{24, {1, 2}}}), "");
}

TEST(MachineId, FallsBackToStoredThenFreshUuid) {
    std::string stored = "stored-id   ";
    std::string written;
    MachineIdStore store{[&] { return stored; }, [&](const std::string& s) { written = s; },
                         [] { return std::string("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"); }};
    EXPECT_EQ(GetMachineID({}, store), "stored-id");
    EXPECT_EQ(written, "");
    stored = "   ";
    EXPECT_EQ(GetMachineID({}, store), "0f1e2d3c-4b5a-6978-8796-a5b4c3d");
    EXPECT_EQ(written, "0f1e2d3c-4b5a-6978-8796-a5b4c3d");
    EXPECT_EQ(GetMachineID({{6, {1}}}, store), "0100000000000000000000000000000");
}

TEST(MachineId, AUuidThatCouldNotBeMadeIsNeitherGivenNorStored) {
    int writes = 0;
    MachineIdStore store{[] { return std::string(); }, [&](const std::string&) { ++writes; },
                         [] { return std::string(); }};
    EXPECT_EQ(GetMachineID({}, store), "");
    EXPECT_EQ(writes, 0);
    // The next call that can make one stores it.
    store.newUuid = [] { return std::string("abc"); };
    EXPECT_EQ(GetMachineID({}, store), "abc");
    EXPECT_EQ(writes, 1);
}

// A machine without an id gets the utility library's unique id: 30 lower-case hexadecimal
// digits, stored as it is given.
TEST(MachineId, AFreshIdIsThirtyHexDigitsWrittenBackWhole) {
    const std::string a = MakeMachineUniqueId(), b = MakeMachineUniqueId();
    EXPECT_EQ(a.size(), 30u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos) << a;
    EXPECT_NE(a, b);
    std::string written;
    MachineIdStore store{[] { return std::string("   "); },
                         [&](const std::string& s) { written = s; }, MakeMachineUniqueId};
    const std::string id = GetMachineID({}, store);
    EXPECT_EQ(id.size(), 30u);
    EXPECT_EQ(written, id);
}

// The key the build signs links with has the fixed form of the deployment's keys.
TEST(SignedLinks, TheBuildsSigningKeyIsSixteenLowerCaseLettersAndDigits) {
    const std::string key = HQLV_LINK_SIGN_KEY;
    EXPECT_EQ(key.size(), 16u);
    EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](unsigned char c) {
        return std::islower(c) || std::isdigit(c);
    })) << key;
}

TEST(SignedLinks, Md5AndRechargeSource) {
    EXPECT_EQ(SignUrlParams(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(SignUrlParams("abc"), "900150983cd24fb0d6963f7d28e17f72");
    SignedLinkInput in{5, 77, "HqLv", 1001, 1700000000, "k"};
    EXPECT_EQ(RechargeSignature(in),
              "&v_sign=" +
                  SignUrlParams("hall_id5game_id77game_codeHqLvuser_id1001unix_time1700000000k") +
                  "&unix_time=1700000000");
    EXPECT_EQ(std::string(kActivityKeys[2]), "atv_recharge");
    EXPECT_EQ(std::string(kActivityKeys[1]), "atv_low");
}

}  // namespace
}  // namespace hqlv::framework

namespace hqlv::framework {
namespace {

TEST(SignedLinks, ActivityPagesCarryTheirParameters) {
    SignedLinkInput in{5, 77, "HqLv", 1001, 1700000000, "k"};
    auto web = [](const std::string& p) { return AppendQuery(p, "uid=1001&sign=S"); };
    EXPECT_EQ(BuildSignedActivityUrl(0, "http://a/p?x=1", in, web),
              "http://a/p?x=1&uid=1001&sign=S&game_id=77&game_code=HqLv&hall_id=5");
    std::string recharge = BuildSignedActivityUrl(2, "http://a/r?c=1", in, web);
    EXPECT_EQ(recharge, "http://a/r?c=1" + RechargeSignature(in) +
                            "&uid=1001&sign=S&game_id=77&game_code=HqLv&hall_id=5");
    EXPECT_NE(recharge.find("&v_sign="), std::string::npos);
    EXPECT_EQ(BuildSignedActivityUrl(7, "http://a/r", in, web), "");
    EXPECT_EQ(BuildSignedActivityUrl(-1, "http://a/r", in, web), "");
}

}  // namespace
}  // namespace hqlv::framework
