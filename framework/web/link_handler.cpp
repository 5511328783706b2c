#include "framework/web/link_handler.h"

namespace hqlv::framework::web {
namespace {

bool StartsNoCase(std::string_view s, std::string_view p) {
    if (s.size() < p.size()) return false;
    for (size_t i = 0; i < p.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != static_cast<unsigned char>(p[i])) return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view s, std::string_view p) {
    return s.size() == p.size() && StartsNoCase(s, p);
}

// A hall command's full form: "%s//%s/" of the scheme and the command's name.
bool IsAppCommand(std::string_view url, std::string_view name) {
    const std::string full = "kvoapp://" + std::string(name) + "/";
    return EqualsNoCase(url, full);
}

}  // namespace

bool IsOldLink(std::string_view url) {
    return StartsNoCase(url, "kvoold:");
}
bool IsNewLink(std::string_view url) {
    return StartsNoCase(url, "kvonew:");
}
bool IsBlank(std::string_view url) {
    return EqualsNoCase(url, "about:blank");
}
bool IsHttpLink(std::string_view url) {
    return StartsNoCase(url, "http:");
}
bool IsAppLink(std::string_view url) {
    return StartsNoCase(url, "kvoapp:");
}
bool IsChangeClothing(std::string_view url) {
    return IsAppCommand(url, "changeclothing");
}
bool IsBecomeMember(std::string_view url) {
    return IsAppCommand(url, "becomemember");
}
bool IsMemberClose(std::string_view url) {
    return IsAppCommand(url, "memberclose");
}

LinkKind ClassifyLink(std::string_view url) {
    if (IsOldLink(url)) return LinkKind::kOld;
    if (IsNewLink(url)) return LinkKind::kNew;
    if (IsBlank(url)) return LinkKind::kBlank;
    if (IsHttpLink(url)) return LinkKind::kHttp;
    if (IsAppLink(url)) {
        if (IsChangeClothing(url)) return LinkKind::kChangeClothing;
        if (IsBecomeMember(url)) return LinkKind::kBecomeMember;
        if (IsMemberClose(url)) return LinkKind::kMemberClose;
        return LinkKind::kOtherApp;
    }
    return LinkKind::kOther;
}

std::string ToHttpUrl(std::string_view url) {
    size_t colon = url.find(':');
    if (colon == std::string_view::npos) return "http";
    return "http" + std::string(url.substr(colon));
}

int CHallLinkHandler::Handle(std::unique_ptr<CHallLinkHandler>& self) {
    if (!self) return 0;
    CHallLinkHandler& h = *self;
    switch (h.kind_) {
        case LinkKind::kOld:
        case LinkKind::kNew:
            if (h.owner_) h.owner_->PostLink(std::move(self));
            return 1;
        case LinkKind::kChangeClothing:
            h.host_.PostToHall(kHallMsgChangeClothing, uintptr_t(h.host_.UserId()));
            return 1;
        case LinkKind::kBecomeMember:
            h.host_.PostToHall(kHallMsgBecomeMember, uintptr_t(h.host_.UserId()));
            return 1;
        case LinkKind::kMemberClose:
            return 1;
        default:
            return 0;
    }
}

int CHallLinkHandler::Open() {
    std::string http = ToHttpUrl();
    int withSign = host_.Standalone() ? 0 : 1;
    if (kind_ == LinkKind::kNew) {
        host_.OpenWebPage(http, withSign);
    } else if (kind_ == LinkKind::kOld && owner_) {
        owner_->NavigateTo(host_.BuildWebUrl(http, withSign != 0));
    }
    return 1;
}

}  // namespace hqlv::framework::web
