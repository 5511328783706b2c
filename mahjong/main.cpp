// hqlv: the client. The game hall starts it with one argument, the entry into a room.
#include <unistd.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdlib>

#include "framework/web/web_view.h"
#include "mahjong/game/game_app_ex.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // The web panes: the browser engine will not run its sandbox as root, and it must
    // know the platform's link schemes (and share contexts) before the application exists.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    hqlv::framework::web::RegisterLinkSchemes();
    hqlv::mahjong::CGameAppEx app;
    return app.Run(argc, argv);
}
