// The handler alone; the real engine and the real hall take the links in web_view_test.
#include "framework/web/link_handler.h"

#include <gtest/gtest.h>

#include <vector>

namespace hqlv::framework::web {
namespace {

struct FakeHost : LinkHost {
    bool standalone = false;
    std::vector<uint32_t> posted;
    std::vector<std::pair<std::string, int>> opened;
    int UserId() override { return 77; }
    bool Standalone() override { return standalone; }
    bool PostToHall(uint32_t msg, uintptr_t w) override {
        if (w == 77) posted.push_back(msg);  // with the user id
        return true;
    }
    void OpenWebPage(const std::string& page, int withSign) override {
        opened.emplace_back(page, withSign);
    }
    std::string BuildWebUrl(const std::string& page, bool withSign) override {
        return withSign ? page + "?uid=77&sign=S" : page;
    }
};

// Keeps what the control would get with its message; drops it when the post "fails".
struct FakeOwner : LinkOwner {
    bool postWorks = true;
    std::vector<std::unique_ptr<CHallLinkHandler>> inbox;
    std::vector<std::string> navigated;
    bool PostLink(std::unique_ptr<CHallLinkHandler> h) override {
        if (!postWorks) return false;  // h is freed here, once
        inbox.push_back(std::move(h));
        return true;
    }
    void NavigateTo(const std::string& url) override { navigated.push_back(url); }
};

TEST(LinkHandler, ClassifiesAndTakes) {
    struct Case {
        const char* url;
        LinkKind kind;
        int taken;
        uint32_t posted;  // 0: nothing to the hall
    } cases[] = {
        {"kvoold://h/p", LinkKind::kOld, 1, 0},
        {"KVOOLD://h/p", LinkKind::kOld, 1, 0},
        {"kvonew://h/p", LinkKind::kNew, 1, 0},
        {"about:blank", LinkKind::kBlank, 0, 0},
        {"About:Blank", LinkKind::kBlank, 0, 0},
        {"about:blankx", LinkKind::kOther, 0, 0},
        {"http://h/", LinkKind::kHttp, 0, 0},
        {"HTTP://h/", LinkKind::kHttp, 0, 0},
        {"https://h/", LinkKind::kOther, 0, 0},
        {"kvoapp://changeclothing/", LinkKind::kChangeClothing, 1, kHallMsgChangeClothing},
        {"KVOAPP://ChangeClothing/", LinkKind::kChangeClothing, 1, kHallMsgChangeClothing},
        {"kvoapp://changeclothing", LinkKind::kOtherApp, 0, 0},
        {"kvoapp://becomemember/", LinkKind::kBecomeMember, 1, kHallMsgBecomeMember},
        {"kvoapp://memberclose/", LinkKind::kMemberClose, 1, 0},
        {"kvoapp://other/", LinkKind::kOtherApp, 0, 0},
        {"kvoold", LinkKind::kOther, 0, 0},
        {"", LinkKind::kOther, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyLink(c.url), c.kind) << c.url;
        FakeHost host;
        FakeOwner owner;
        auto h = std::make_unique<CHallLinkHandler>(&owner, c.url, host);
        EXPECT_EQ(CHallLinkHandler::Handle(h), c.taken) << c.url;
        const bool pageLink = c.kind == LinkKind::kOld || c.kind == LinkKind::kNew;
        EXPECT_EQ(h == nullptr, pageLink) << c.url;  // a page link went with its message
        EXPECT_EQ(owner.inbox.size(), pageLink ? 1u : 0u) << c.url;
        EXPECT_EQ(host.posted, c.posted ? std::vector<uint32_t>{c.posted} : std::vector<uint32_t>{})
            << c.url;
    }
    // A text shorter than a scheme is no link, whatever follows it in memory.
    EXPECT_EQ(ClassifyLink(std::string_view("kvoold://h").substr(0, 6)), LinkKind::kOther);
    EXPECT_EQ(ToHttpUrl("KVOOLD://h/p?a=1"), "http://h/p?a=1");
    EXPECT_EQ(ToHttpUrl("kvonew:x:y"), "http:x:y");
    EXPECT_EQ(ToHttpUrl("noscheme"), "http");
}

// Each test of an address on its own, case ignored: the scheme tests look at the start
// only, the blank page and the hall commands at the whole address; every "kvoapp:" address
// is a hall link, a command or not.
TEST(LinkHandler, EachTestOfAnAddress) {
    enum : unsigned {
        kOld = 1,
        kNew = 2,
        kBlank = 4,
        kHttp = 8,
        kApp = 16,
        kClothing = 32,
        kMember = 64,
        kClose = 128
    };
    const std::pair<const char*, unsigned> cases[] = {
        {"kvoold:", kOld},
        {"KvoOld://h/p", kOld},
        {"kvool", 0},
        {"kvonew:x", kNew},
        {"kvonewx:", 0},
        {"about:blank", kBlank},
        {"ABOUT:BLANK", kBlank},
        {"about:blan", 0},
        {"about:blank/", 0},
        {"http:", kHttp},
        {"Http://h/", kHttp},
        {"https://h/", 0},
        {"kvoapp:", kApp},
        {"kvoapp://other/", kApp},
        {"kvoapp://changeclothing/", kApp | kClothing},
        {"KVOAPP://CHANGECLOTHING/", kApp | kClothing},
        {"kvoapp://changeclothing", kApp},
        {"kvoapp://changeclothing//", kApp},
        {"kvoapp://becomemember/", kApp | kMember},
        {"kvoapp://becomemember", kApp},
        {"kvoapp://memberclose/", kApp | kClose},
        {"kvoapp:memberclose/", kApp},
        {"", 0},
    };
    FakeHost host;
    for (const auto& [url, want] : cases) {
        const CHallLinkHandler h(nullptr, url, host);
        EXPECT_EQ(h.IsOldLink(), (want & kOld) != 0) << url;
        EXPECT_EQ(h.IsNewLink(), (want & kNew) != 0) << url;
        EXPECT_EQ(h.IsBlank(), (want & kBlank) != 0) << url;
        EXPECT_EQ(h.IsHttpLink(), (want & kHttp) != 0) << url;
        EXPECT_EQ(h.IsAppLink(), (want & kApp) != 0) << url;
        EXPECT_EQ(h.IsChangeClothing(), (want & kClothing) != 0) << url;
        EXPECT_EQ(h.IsBecomeMember(), (want & kMember) != 0) << url;
        EXPECT_EQ(h.IsMemberClose(), (want & kClose) != 0) << url;
    }
    EXPECT_EQ(CHallLinkHandler(nullptr, "KVONEW://h/p?a", host).ToHttpUrl(), "http://h/p?a");
}

TEST(LinkHandler, PageLinksOpenSignedUnlessStandalone) {
    FakeHost host;
    FakeOwner owner;
    auto old = std::make_unique<CHallLinkHandler>(&owner, "kvoold://h/p", host);
    auto neu = std::make_unique<CHallLinkHandler>(&owner, "kvonew://h/run", host);
    CHallLinkHandler::Handle(old);
    CHallLinkHandler::Handle(neu);
    ASSERT_EQ(owner.inbox.size(), 2u);
    for (bool standalone : {false, true}) {
        host.standalone = standalone;
        EXPECT_EQ(owner.inbox[0]->Open(), 1);
        EXPECT_EQ(owner.inbox[1]->Open(), 1);
    }
    EXPECT_EQ(owner.navigated, (std::vector<std::string>{"http://h/p?uid=77&sign=S", "http://h/p"}));
    EXPECT_EQ(host.opened, (std::vector<std::pair<std::string, int>>{{"http://h/run", 1},
                                                                    {"http://h/run", 0}}));
    // A post that fails still takes the link; the handler is freed once (ASan watches).
    owner.postWorks = false;
    auto lost = std::make_unique<CHallLinkHandler>(&owner, "kvoold://h/p", host);
    EXPECT_EQ(CHallLinkHandler::Handle(lost), 1);
    EXPECT_EQ(lost, nullptr);
    // Without an owner there is nowhere to post: taken, the handler stays with the caller.
    auto orphan = std::make_unique<CHallLinkHandler>(nullptr, "kvonew://h/p", host);
    EXPECT_EQ(CHallLinkHandler::Handle(orphan), 1);
    EXPECT_NE(orphan, nullptr);
}

}  // namespace
}  // namespace hqlv::framework::web
