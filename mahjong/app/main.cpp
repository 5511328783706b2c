// hqlv: the client. The game hall starts it with one argument, the entry into a room.
#include <QCoreApplication>
#include <csignal>
#include <cstdlib>
#include <memory>

#include "engine/core/engine_log.h"
#include "engine/script/script_manager.h"
#include "framework/web/web_view.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/game/game_app_ex.h"

// Under the sanitizers: the browser engine frees with a mismatched delete, and it and
// fontconfig keep caches until exit. Those reports are the libraries', not ours.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore\nleak:libfontconfig\n";
}

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // The web panes: how the browser engine runs and the platform's link schemes are set
    // before the application exists; the engine itself starts with the first page.
    hqlv::framework::web::PrepareBrowserEngine();
    hqlv::framework::web::RegisterLinkSchemes();
    // Script resources compile when they load, so the interpreter is there before the
    // engine is made.
    hqlv::engine::InstallScriptManager();
    // The engine's lines go where the network library's day file goes when the operator
    // names a log folder, so two clients started from one program folder keep apart.
    if (const char* dir = std::getenv("HQLV_LOG_DIR"); dir && *dir)
        hqlv::engine::SetEngineLogFolder(dir);
    return hqlv::mahjong::RunClient([] { return std::make_unique<hqlv::mahjong::CGameAppEx>(); },
                                    argc, argv);
}
