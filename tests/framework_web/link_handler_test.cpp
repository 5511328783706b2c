#include "framework/web/link_handler.h"

#include <gtest/gtest.h>

#include <vector>

namespace hqlv::framework::web {
namespace {

struct FakeHost : LinkHost {
    int uid = 77;
    bool standalone = false;
    bool hallThere = true;
    std::vector<std::pair<uint32_t, uintptr_t>> posted;
    std::vector<std::pair<std::string, int>> opened;
    int UserId() override { return uid; }
    bool Standalone() override { return standalone; }
    bool PostToHall(uint32_t msg, uintptr_t w) override {
        if (!hallThere) return false;
        posted.emplace_back(msg, w);
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

TEST(LinkHandler, Classifies) {
    struct Case {
        const char* url;
        LinkKind kind;
    } cases[] = {
        {"kvoold://h/p", LinkKind::kOld},
        {"KVOOLD://h/p", LinkKind::kOld},
        {"kvonew://h/p", LinkKind::kNew},
        {"about:blank", LinkKind::kBlank},
        {"About:Blank", LinkKind::kBlank},
        {"about:blankx", LinkKind::kOther},
        {"http://h/", LinkKind::kHttp},
        {"HTTP://h/", LinkKind::kHttp},
        {"https://h/", LinkKind::kOther},
        {"kvoapp://changeclothing/", LinkKind::kChangeClothing},
        {"KVOAPP://ChangeClothing/", LinkKind::kChangeClothing},
        {"kvoapp://changeclothing", LinkKind::kOtherApp},
        {"kvoapp://becomemember/", LinkKind::kBecomeMember},
        {"kvoapp://memberclose/", LinkKind::kMemberClose},
        {"kvoapp://other/", LinkKind::kOtherApp},
        {"kvoold", LinkKind::kOther},
        {"", LinkKind::kOther},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyLink(c.url), c.kind) << c.url;
}

TEST(LinkHandler, HttpForm) {
    EXPECT_EQ(ToHttpUrl("KVOOLD://h/p?a=1"), "http://h/p?a=1");
    EXPECT_EQ(ToHttpUrl("kvonew:x:y"), "http:x:y");
    EXPECT_EQ(ToHttpUrl("noscheme"), "http");
}

TEST(LinkHandler, OldLinkGoesWithItsMessageAndOpensSigned) {
    FakeHost host;
    FakeOwner owner;
    auto h = std::make_unique<CHallLinkHandler>(&owner, "KVOOLD://h/p", host);
    EXPECT_EQ(CHallLinkHandler::Handle(h), 1);
    EXPECT_EQ(h, nullptr);  // the message owns it now
    ASSERT_EQ(owner.inbox.size(), 1u);
    EXPECT_EQ(owner.inbox[0]->Open(), 1);
    EXPECT_EQ(owner.navigated, std::vector<std::string>{"http://h/p?uid=77&sign=S"});
    host.standalone = true;
    owner.inbox[0]->Open();
    EXPECT_EQ(owner.navigated.back(), "http://h/p");
    EXPECT_TRUE(host.opened.empty());
}

TEST(LinkHandler, NewLinkOpensInTheBrowser) {
    FakeHost host;
    FakeOwner owner;
    auto h = std::make_unique<CHallLinkHandler>(&owner, "kvonew://h/run", host);
    ASSERT_EQ(CHallLinkHandler::Handle(h), 1);
    owner.inbox.at(0)->Open();
    ASSERT_EQ(host.opened.size(), 1u);
    EXPECT_EQ(host.opened[0], std::make_pair(std::string("http://h/run"), 1));
    EXPECT_TRUE(owner.navigated.empty());
}

TEST(LinkHandler, FailedPostStillTakesTheLinkAndFreesOnce) {
    FakeHost host;
    FakeOwner owner;
    owner.postWorks = false;
    auto h = std::make_unique<CHallLinkHandler>(&owner, "kvoold://h/p", host);
    EXPECT_EQ(CHallLinkHandler::Handle(h), 1);
    EXPECT_EQ(h, nullptr);  // ASan would report a second free or a leak
}

TEST(LinkHandler, HallCommands) {
    FakeHost host;
    struct Case {
        const char* url;
        int taken;
        uint32_t msg;  // 0: nothing posted
    } cases[] = {
        {"kvoapp://changeclothing/", 1, kHallMsgChangeClothing},
        {"kvoapp://becomemember/", 1, kHallMsgBecomeMember},
        {"kvoapp://memberclose/", 1, 0},
        {"kvoapp://changeclothing", 0, 0},
        {"kvoapp://other/", 0, 0},
        {"http://h/", 0, 0},
        {"about:blank", 0, 0},
    };
    for (const auto& c : cases) {
        host.posted.clear();
        auto h = std::make_unique<CHallLinkHandler>(nullptr, c.url, host);
        EXPECT_EQ(CHallLinkHandler::Handle(h), c.taken) << c.url;
        EXPECT_NE(h, nullptr) << c.url;  // stays with the caller
        if (c.msg) {
            ASSERT_EQ(host.posted.size(), 1u) << c.url;
            EXPECT_EQ(host.posted[0], std::make_pair(c.msg, uintptr_t(77)));
        } else {
            EXPECT_TRUE(host.posted.empty()) << c.url;
        }
    }
    host.hallThere = false;
    auto h = std::make_unique<CHallLinkHandler>(nullptr, "kvoapp://changeclothing/", host);
    EXPECT_EQ(CHallLinkHandler::Handle(h), 1);
    EXPECT_TRUE(host.posted.empty());
}

}  // namespace
}  // namespace hqlv::framework::web
