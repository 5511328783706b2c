// hqlv: the client. The game hall starts it with one argument, the entry into a room.
#include <csignal>

#include "framework/game_app.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    hqlv::framework::CGameApp app("HqLv", 21303, 2, 1);
    return app.Run(argc, argv);
}
