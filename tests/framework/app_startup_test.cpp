// The application's start and end: the socket layer's start-up failure ends the start with
// its box, the communication thread's stop keeps to its limit, a port of the hall's command
// line outside 1 to 65535 is refused without connecting anywhere, and the screen's scaling.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "builders.h"
#include "framework/app/comm_thread.h"
#include "framework/app/game_app.h"
#include "framework/panes/form_view.h"
#include "platform/core/diag.h"
#include "platform/core/hall.h"
#include "platform/core/message.h"
#include "qt_test_app.h"
#include "tests/no_sockets.h"

namespace hqlv::framework {
namespace {

using Clock = std::chrono::steady_clock;

class AppStart : public ::testing::Test {
protected:
    void SetUp() override {
        testing::SharedQtApp();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        setenv("HQLV_LOG_DIR", dir.path().toStdString().c_str(), 1);
        prevHall = platform::setHallChannel(&hall);
    }
    void TearDown() override {
        platform::setHallChannel(prevHall);
        unsetenv("HQLV_RUNTIME_DIR");
        unsetenv("HQLV_LOG_DIR");
    }
    QTemporaryDir dir;
    platform::RecordingHallChannel hall;
    platform::HallChannel* prevHall = nullptr;
};

// In a process of its own that the system gives no sockets, the start ends at the socket
// layer's start-up with the box that says so, after the command line was accepted.
TEST_F(AppStart, NoSocketsEndTheStartWithTheirBox) {
    CGameApp app("StartUp" + std::to_string(getpid()), 21303, 2, 1);
    const std::string line = testing::EntryLine{}.line();
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (!hqlv::testing::RefuseSockets()) _exit(2);
        _exit(app.InitInstance(line) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The day log of the start (in the test's log folder) tells why.
    std::string log;
    for (const auto& f : std::filesystem::directory_iterator(dir.path().toStdString()))
        if (f.is_regular_file()) {
            std::ifstream in(f.path(), std::ios::binary);
            log += std::string(std::istreambuf_iterator<char>(in), {});
        }
    EXPECT_NE(log.find("socket start-up: no socket: Permission denied"), std::string::npos) << log;
    EXPECT_NE(log.find("message box: Windows通信端口初始化失败。"), std::string::npos) << log;
    EXPECT_EQ(log.find("游戏大厅"), std::string::npos) << log;
}

// A message whose disposal holds the thread for `w` milliseconds.
void HoldThread(const platform::Message& m) {
    std::this_thread::sleep_for(std::chrono::milliseconds(m.w));
}

TEST_F(AppStart, TheCommunicationThreadStopsWithinItsLimitOrIsLetGo) {
    {
        // A thread that ends at once: joined well inside the limit.
        CGameCommThread comm;
        ASSERT_TRUE(comm.Start());
        const auto t0 = Clock::now();
        EXPECT_TRUE(comm.Stop(1000));
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
        EXPECT_TRUE(comm.Stop(1000));  // a second stop has nothing to do
    }
    // A thread busy for 2.5 s: the stop returns at its limit, and the thread, let go, ends
    // by itself later without touching what the stopped object held.
    auto comm = std::make_unique<CGameCommThread>();
    ASSERT_TRUE(comm->Start());
    platform::Message busy;
    busy.id = 0x7777;
    busy.w = 2500;
    busy.dispose = HoldThread;
    ASSERT_TRUE(platform::postToThread(comm->threadId(), busy));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto t0 = Clock::now();
    EXPECT_FALSE(comm->Stop(1000));
    const auto took = Clock::now() - t0;
    EXPECT_GE(took, std::chrono::milliseconds(950));
    EXPECT_LT(took, std::chrono::milliseconds(1800));
    // The object is usable again and goes at once; the old thread finishes on its own.
    EXPECT_EQ(comm->relayed(), 0);
    EXPECT_TRUE(comm->Start());
    EXPECT_TRUE(comm->Stop(1000));
    comm.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
}

TEST_F(AppStart, TheApplicationsStopOfTheThreadKeepsItsLimit) {
    CGameApp app("StopComm" + std::to_string(getpid()), 21303, 2, 1);
    ASSERT_TRUE(app.ApplyHallCommandLine(testing::EntryLine{}.line()));
    ASSERT_TRUE(app.CreateCommThread());
    ASSERT_NE(app.commThread(), nullptr);
    platform::Message busy;
    busy.id = 0x7777;
    busy.w = 2200;
    busy.dispose = HoldThread;
    ASSERT_TRUE(platform::postToThread(app.commThread()->threadId(), busy));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto t0 = Clock::now();
    app.StopCommThread();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1800));
    EXPECT_EQ(app.commThread(), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
}

// A listener that counts the connections made to it.
class CountingListener {
public:
    CountingListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 4);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~CountingListener() { ::close(fd_); }
    int port() const { return port_; }
    // Connections waiting to be taken now.
    int Pending() {
        int n = 0;
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) break;
            ::close(c);
            ++n;
        }
        return n;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(AppStart, APortOutsideTheRangeIsRefusedWithoutConnecting) {
    CountingListener server;
    ASSERT_GT(server.port(), 0);
    // The port 65536 above the listener's: its low 16 bits name the listener.
    for (int port : {server.port() + 65536, -server.port()}) {
        SCOPED_TRACE(port);
        CGameApp app("Port" + std::to_string(getpid()), 21303, 2, 1);
        std::string line = testing::EntryLine{}.line();
        line.replace(line.find("|title|0|"), 9, "|title|" + std::to_string(port) + "|");
        ASSERT_TRUE(app.ApplyHallCommandLine(line));
        ASSERT_EQ(app.GetServerPort(), port);
        ASSERT_TRUE(app.CreateCommThread());
        EXPECT_EQ(app.ConnectGameServer(), 0);
        EXPECT_EQ(server.Pending(), 0);
        EXPECT_EQ(app.GetConnection()->IsConnected(), 0);
        app.StopCommThread();
    }
    // The listener itself is reachable: a port inside the range gets there.
    CGameApp app("Port" + std::to_string(getpid()), 21303, 2, 1);
    std::string line = testing::EntryLine{}.line();
    line.replace(line.find("|title|0|"), 9, "|title|" + std::to_string(server.port()) + "|");
    ASSERT_TRUE(app.ApplyHallCommandLine(line));
    ASSERT_TRUE(app.CreateCommThread());
    EXPECT_EQ(app.ConnectGameServer(), 0);  // no game server answers there
    EXPECT_EQ(server.Pending(), 1);
    app.StopCommThread();
    app.CloseConnection();
}

TEST(ScreenScale, LengthsOfANinetySixDpiLayout) {
    const struct {
        int n;
        double dpi;
        int want;
    } rows[] = {{100, 96, 100},  {100, 120, 125}, {7, 120, 8}, {-7, 120, -8},
                {100, 144, 150}, {3, 72, 2},      {0, 144, 0}, {96, 97, 97}};
    for (const auto& r : rows) EXPECT_EQ(ScaleByDpi(r.n, r.dpi), r.want) << r.n << " " << r.dpi;
    testing::SharedQtApp();
    const QScreen* s = QGuiApplication::primaryScreen();
    ASSERT_NE(s, nullptr);
    for (int n : {0, 10, 160, 1001}) {
        EXPECT_EQ(ScaleX(n), ScaleByDpi(n, s->logicalDotsPerInchX())) << n;
        EXPECT_EQ(ScaleY(n), ScaleByDpi(n, s->logicalDotsPerInchY())) << n;
    }
}

}  // namespace
}  // namespace hqlv::framework
