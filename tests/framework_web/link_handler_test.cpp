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

// Each address's kind, and each of the handler's tests of it (case ignored: the scheme
// tests look at the start only, the blank page and the hall commands at the whole address;
// every "kvoapp:" address is a hall link, a command or not); then what Handle takes.
TEST(LinkHandler, ClassifiesAndTakes) {
    struct Case {
        const char* url;
        LinkKind kind;
        int taken;
        uint32_t posted;  // 0: nothing to the hall
    } cases[] = {
        {"kvoold://h/p", LinkKind::kOld, 1, 0},
        {"KVOOLD://h/p", LinkKind::kOld, 1, 0},
        {"kvoold:", LinkKind::kOld, 1, 0},
        {"kvonew://h/p", LinkKind::kNew, 1, 0},
        {"kvonewx:", LinkKind::kOther, 0, 0},
        {"about:blank", LinkKind::kBlank, 0, 0},
        {"About:Blank", LinkKind::kBlank, 0, 0},
        {"about:blankx", LinkKind::kOther, 0, 0},
        {"about:blan", LinkKind::kOther, 0, 0},
        {"http://h/", LinkKind::kHttp, 0, 0},
        {"HTTP://h/", LinkKind::kHttp, 0, 0},
        {"http:", LinkKind::kHttp, 0, 0},
        {"https://h/", LinkKind::kOther, 0, 0},
        {"kvoapp://changeclothing/", LinkKind::kChangeClothing, 1, kHallMsgChangeClothing},
        {"KVOAPP://ChangeClothing/", LinkKind::kChangeClothing, 1, kHallMsgChangeClothing},
        {"kvoapp://changeclothing", LinkKind::kOtherApp, 0, 0},
        {"kvoapp://changeclothing//", LinkKind::kOtherApp, 0, 0},
        {"kvoapp://becomemember/", LinkKind::kBecomeMember, 1, kHallMsgBecomeMember},
        {"kvoapp://becomemember", LinkKind::kOtherApp, 0, 0},
        {"kvoapp://memberclose/", LinkKind::kMemberClose, 1, 0},
        {"kvoapp:memberclose/", LinkKind::kOtherApp, 0, 0},
        {"kvoapp://other/", LinkKind::kOtherApp, 0, 0},
        {"kvoapp:", LinkKind::kOtherApp, 0, 0},
        {"kvoold", LinkKind::kOther, 0, 0},
        {"", LinkKind::kOther, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyLink(c.url), c.kind) << c.url;
        FakeHost host;
        FakeOwner owner;
        auto h = std::make_unique<CHallLinkHandler>(&owner, c.url, host);
        const bool app = c.kind == LinkKind::kChangeClothing || c.kind == LinkKind::kBecomeMember ||
                         c.kind == LinkKind::kMemberClose || c.kind == LinkKind::kOtherApp;
        EXPECT_EQ(h->IsOldLink(), c.kind == LinkKind::kOld) << c.url;
        EXPECT_EQ(h->IsNewLink(), c.kind == LinkKind::kNew) << c.url;
        EXPECT_EQ(h->IsBlank(), c.kind == LinkKind::kBlank) << c.url;
        EXPECT_EQ(h->IsHttpLink(), c.kind == LinkKind::kHttp) << c.url;
        EXPECT_EQ(h->IsAppLink(), app) << c.url;
        EXPECT_EQ(h->IsChangeClothing(), c.kind == LinkKind::kChangeClothing) << c.url;
        EXPECT_EQ(h->IsBecomeMember(), c.kind == LinkKind::kBecomeMember) << c.url;
        EXPECT_EQ(h->IsMemberClose(), c.kind == LinkKind::kMemberClose) << c.url;
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
    FakeHost host;
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
    EXPECT_EQ(owner.navigated,
              (std::vector<std::string>{"http://h/p?uid=77&sign=S", "http://h/p"}));
    EXPECT_EQ(host.opened,
              (std::vector<std::pair<std::string, int>>{{"http://h/run", 1}, {"http://h/run", 0}}));
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
