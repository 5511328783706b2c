// The link handler's view of the running application.
#include "framework/app/game_app.h"
#include "framework/web/link_handler.h"

namespace hqlv::framework::web {
namespace {

class CurrentAppHost : public LinkHost {
public:
    int UserId() override {
        auto* app = CGameApp::Current();
        return app ? app->GetUserID() : 0;
    }
    bool Standalone() override {
        auto* app = CGameApp::Current();
        return app && app->IsStandalone();
    }
    bool PostToHall(uint32_t msg, uintptr_t w) override {
        auto* app = CGameApp::Current();
        return app && app->PostToGameHall(msg, w, 0);
    }
    void OpenWebPage(const std::string& page, int withSign) override {
        if (auto* app = CGameApp::Current()) app->OpenWebPage(page, withSign);
    }
    std::string BuildWebUrl(const std::string& page, bool withSign) override {
        auto* app = CGameApp::Current();
        return app ? app->BuildWebUrl(page, withSign) : page;
    }
};

}  // namespace

LinkHost& AppLinkHost() {
    static CurrentAppHost host;
    return host;
}

}  // namespace hqlv::framework::web
