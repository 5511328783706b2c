#pragma once
// The hall link handler: a page about to navigate hands its target here. "kvoold:" and
// "kvonew:" page links are opened later (in the control or in the browser), "kvoapp:"
// commands go to the hall. A page link's handler travels inside the message to its
// control, which owns it from then on: it is freed exactly once, after it was opened or
// when the message could not be posted.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace hqlv::framework::web {

inline constexpr uint32_t kMsgHallLink = 0x85B9;
inline constexpr uint32_t kHallMsgChangeClothing = 0x86EF;
inline constexpr uint32_t kHallMsgBecomeMember = 0x86F0;

enum class LinkKind {
    kOld,
    kNew,
    kBlank,
    kHttp,
    kChangeClothing,
    kBecomeMember,
    kMemberClose,
    kOtherApp,
    kOther
};
// The tests of an address, case ignored. A hall command counts only in its full form
// "kvoapp://<name>/"; IsAppLink holds for every "kvoapp:" address, a command or not.
bool IsOldLink(std::string_view url);         // begins with "kvoold:"
bool IsNewLink(std::string_view url);         // begins with "kvonew:"
bool IsBlank(std::string_view url);           // is "about:blank"
bool IsHttpLink(std::string_view url);        // begins with "http:"
bool IsAppLink(std::string_view url);         // begins with "kvoapp:"
bool IsChangeClothing(std::string_view url);  // is "kvoapp://changeclothing/"
bool IsBecomeMember(std::string_view url);    // is "kvoapp://becomemember/"
bool IsMemberClose(std::string_view url);     // is "kvoapp://memberclose/"
// The one kind the tests above give, in their order.
LinkKind ClassifyLink(std::string_view url);
// Everything before the first ':' replaced by "http"; without ':' just "http".
std::string ToHttpUrl(std::string_view url);

class CHallLinkHandler;

// What the handler needs of the application (the real one reaches CGameApp).
class LinkHost {
public:
    virtual ~LinkHost() = default;
    virtual int UserId() = 0;
    virtual bool Standalone() = 0;
    virtual bool PostToHall(uint32_t msg, uintptr_t wParam) = 0;
    virtual void OpenWebPage(const std::string& page, int withSign) = 0;
    virtual std::string BuildWebUrl(const std::string& page, bool withSign) = 0;
};
LinkHost& AppLinkHost();

// The web control that owns the handler.
class LinkOwner {
public:
    virtual ~LinkOwner() = default;
    // Posts message 0x85B9 with the handler; the message owns it (also when this fails).
    virtual bool PostLink(std::unique_ptr<CHallLinkHandler> handler) = 0;
    virtual void NavigateTo(const std::string& url) = 0;
};

class CHallLinkHandler {
public:
    CHallLinkHandler(LinkOwner* owner, std::string url, LinkHost& host)
        : owner_(owner), url_(std::move(url)), host_(host), kind_(ClassifyLink(url_)) {}

    // 1 when the link was taken (the control cancels its own navigation). A page link
    // leaves `self` empty: its handler went with the message.
    static int Handle(std::unique_ptr<CHallLinkHandler>& self);
    int Open();

    const std::string& url() const { return url_; }
    LinkKind kind() const { return kind_; }
    bool IsOldLink() const { return web::IsOldLink(url_); }
    bool IsNewLink() const { return web::IsNewLink(url_); }
    bool IsBlank() const { return web::IsBlank(url_); }
    bool IsHttpLink() const { return web::IsHttpLink(url_); }
    bool IsAppLink() const { return web::IsAppLink(url_); }
    bool IsChangeClothing() const { return web::IsChangeClothing(url_); }
    bool IsBecomeMember() const { return web::IsBecomeMember(url_); }
    bool IsMemberClose() const { return web::IsMemberClose(url_); }
    std::string ToHttpUrl() const { return web::ToHttpUrl(url_); }

private:
    LinkOwner* owner_;
    std::string url_;
    LinkHost& host_;
    LinkKind kind_;
};

}  // namespace hqlv::framework::web
