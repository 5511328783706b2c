// The wait dialog while the UI thread is blocked: against an in-process server that answers
// late, a sampler inside the wait sees the dialog up with its text and its bar turning and
// painted, and the dialog goes when the wait is over. The same during the start-up's connect
// and version check, in a pause, with an auto-hide time that runs out inside a wait; and
// other windows' messages wait for the end of the wait.
#ifdef HQLV_SERVER_EXE
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/app/comm_thread.h"
#include "framework/app/game_app.h"
#include "netlib/log.h"
#include "platform/core/clock.h"
#include "platform/core/hall.h"
#include "platform/core/wait_pump.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"
#include "tools/server/game_server.h"

namespace hqlv::framework {
namespace {

bool PumpUi(const std::function<bool()>& pred, int ms = 5000) {
    const uint32_t start = platform::tickMs();
    while (!pred()) {
        if (platform::tickElapsed(start, platform::tickMs()) > uint32_t(ms)) return false;
        platform::ui::processUiEvents(5);
    }
    return true;
}

struct Sample {
    bool visible;
    std::string text;
    int turns, painted;
    uint32_t at;  // the tick it was taken at
};

// Wraps the UI thread's wait pump: after each of its runs, what the dialog shows.
class Sampler {
public:
    explicit Sampler(CCommWaitDlg* dlg) : dlg_(dlg) {
        inner_ = platform::setWaitPump([this] {
            if (inner_) inner_();
            samples.push_back({dlg_->isVisible(), dlg_->text(), dlg_->turns(), dlg_->paintedTurns(),
                               platform::tickMs()});
        });
    }
    ~Sampler() { platform::setWaitPump(std::move(inner_)); }
    // The samples taken while the dialog showed `text`.
    std::vector<Sample> Showing(const std::string& text) const {
        std::vector<Sample> out;
        for (const Sample& s : samples)
            if (s.visible && s.text == text) out.push_back(s);
        return out;
    }
    std::vector<Sample> samples;

private:
    CCommWaitDlg* dlg_;
    platform::WaitPump inner_;
};

class WaitDialog : public ::testing::Test {
protected:
    void SetUp() override {
        testing::SharedQtApp();
        platform::ui::uiDispatcher();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        prevHall = platform::setHallChannel(&hall);
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|0|0|0|title|" +
                                             std::to_string(server.Port()) + "|0|0|0"));
        ASSERT_TRUE(app.CreateCommThread());
        ASSERT_NE(app.waitDialog(), nullptr);
    }
    void TearDown() override {
        app.StopCommThread();
        app.CloseConnection();
        server.Stop();
        platform::setHallChannel(prevHall);
        unsetenv("HQLV_RUNTIME_DIR");
    }
    // At least this many turns shown and painted in one stretch of samples.
    static int MostPainted(const std::vector<Sample>& s) {
        if (s.empty()) return 0;
        return s.back().painted;
    }

    QTemporaryDir dir;
    platform::RecordingHallChannel hall;
    platform::HallChannel* prevHall = nullptr;
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    CGameApp app{"WaitDlg" + std::to_string(getpid()), 21303, 2, 1};
};

TEST_F(WaitDialog, ShowsAndTurnsThroughALateAnswerAndGoesAfterIt) {
    ASSERT_EQ(app.ConnectGameServer(), 1);
    ASSERT_TRUE(PumpUi([&] { return !app.waitDialog()->isVisible(); }));
    server.SetReplyDelay(201130, 1500);
    const std::string text = "正在查询，请稍等......";
    Sampler sampler(app.waitDialog());
    app.ShowCommWait(text, true);
    const uint32_t start = platform::tickMs();
    app.GetConnection()->IsGameRunning();
    EXPECT_GE(platform::tickElapsed(start, platform::tickMs()), 1400u);
    app.ShowCommWait("", false);
    const std::vector<Sample> shown = sampler.Showing(text);
    ASSERT_FALSE(shown.empty()) << sampler.samples.size() << " samples, none with the text";
    // 1.5 s at a turn each 200 ms: at least five turns, each painted while blocked.
    EXPECT_GE(shown.back().turns - shown.front().turns, 5);
    EXPECT_GE(MostPainted(shown), 5);
    // The dialog stays up until the hide, then goes.
    ASSERT_TRUE(PumpUi([&] { return !app.waitDialog()->isVisible(); }));
}

// The silver-range check's refusal carries the silver in hand and the room's bound (words
// 2 and 3): a reply too short to hold them shows no box and reads nothing past its end; a
// whole one shows the box. (The same app and server as the waits above.)
TEST_F(WaitDialog, ASilverRangeRefusalTooShortForItsWordsShowsNoBox) {
    ASSERT_EQ(app.ConnectGameServer(), 1);
    const std::string logs = dir.path().toStdString() + "/logs";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(logs)));
    netlib::YrnLogSetFolder(logs);
    auto boxes = [&] {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::ifstream in(netlib::YrnLogPathFor(local));
        std::stringstream text;
        text << in.rdbuf();
        size_t n = 0;
        for (size_t at = 0; (at = text.str().find("box: 客官", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    std::string text;
    server.SetReply(201161, server::Reply{210090, std::vector<uint8_t>(15, 1)});
    EXPECT_EQ(app.GetConnection()->CheckSilverRange(text), 0);
    EXPECT_EQ(boxes(), 0u);
    server.SetReply(201161, server::Reply{210090, std::vector<uint8_t>(16, 1)});
    EXPECT_EQ(app.GetConnection()->CheckSilverRange(text), 0);
    EXPECT_EQ(boxes(), 1u);
    netlib::YrnLogSetFolder("");
}

TEST_F(WaitDialog, TheStartUpsConnectAndVersionCheckShowTheConnectText) {
    server.SetReplyDelay(201001, 1500);
    Sampler sampler(app.waitDialog());
    ASSERT_EQ(app.ConnectGameServer(), 1);
    const std::vector<Sample> shown = sampler.Showing("正在连接游戏服务器......");
    ASSERT_FALSE(shown.empty());
    EXPECT_GE(MostPainted(shown), 5);
    ASSERT_TRUE(PumpUi([&] { return !app.waitDialog()->isVisible(); }));
}

TEST_F(WaitDialog, AutoHideTimeRunsOutInsideAWait) {
    Sampler sampler(app.waitDialog());
    app.ShowCommWaitTimed("一秒", 1);
    app.PumpFor(1500);  // the pause of the UI thread, under the dialog
    ASSERT_FALSE(sampler.Showing("一秒").empty());
    // Hidden by its own time while the thread was still paused.
    EXPECT_FALSE(sampler.samples.back().visible);
    EXPECT_FALSE(app.waitDialog()->autoHideRunning());
}

TEST_F(WaitDialog, OtherWindowsMessagesWaitForTheEndOfTheWait) {
    struct Counter : platform::ui::Window {
        int got = 0;
        intptr_t handleMessage(const platform::Message&) override { return ++got; }
    } other;
    platform::Message m;
    m.id = 0x7777;
    ASSERT_TRUE(platform::post(other.hwnd(), m));
    app.ShowCommWait("等", true);
    Sampler sampler(app.waitDialog());
    app.PumpFor(300);
    EXPECT_FALSE(sampler.Showing("等").empty());
    EXPECT_EQ(other.got, 0);
    ASSERT_TRUE(PumpUi([&] { return other.got == 1; }));
    app.ShowCommWait("", false);
    ASSERT_TRUE(PumpUi([&] { return !app.waitDialog()->isVisible(); }));
}

TEST_F(WaitDialog, WithoutTheThreadNothingPumpsAndThePauseStillLasts) {
    app.StopCommThread();
    EXPECT_FALSE(platform::hasWaitPump());
    EXPECT_FALSE(app.waitDialog()->isVisible());
    const uint32_t start = platform::tickMs();
    app.PumpFor(100);
    EXPECT_GE(platform::tickElapsed(start, platform::tickMs()), 100u);
}

}  // namespace
}  // namespace hqlv::framework
#endif
