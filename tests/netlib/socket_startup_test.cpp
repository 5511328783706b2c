// The socket layer's start-up: after it a write to a peer that has gone is an error the
// caller sees, not the end of the process; on a system that gives no sockets it fails.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "netlib/socket.h"
#include "tests/no_sockets.h"

using namespace hqlv::netlib;

TEST(SocketStartup, AWriteToAPeerThatWentIsAnError) {
    // In a process of its own, whose SIGPIPE starts at its default (ending the process).
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        if (YrnSocketStartup() != 1) _exit(2);
        struct sigaction now {};
        sigaction(SIGPIPE, nullptr, &now);
        if (now.sa_handler != SIG_IGN) _exit(3);
        int sv[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) _exit(4);
        close(sv[1]);
        const ssize_t n = write(sv[0], "x", 1);
        _exit(n == -1 && errno == EPIPE ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SocketStartup, NoSocketsFromTheSystemIsAFailure) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (!hqlv::testing::RefuseSockets()) _exit(2);
        _exit(YrnSocketStartup() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(YrnSocketStartup(), 1);
}
