#pragma once
// The client in-process as it runs for real: a stand-in hall window on the hall channel,
// the client's folders in a per-process place, and (with the local server) a CGameApp
// connected through its communication thread, with a main frame that carries a tool pane.
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/app/game_app.h"
#include "framework/hall/hall_records.h"
#include "framework/panes/game_frame.h"
#include "framework/web/host_filter.h"
#include "framework/web/tool_view.h"
#include "framework/web/web_view.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/message.h"
#include "platform/core/profile.h"
#include "platform/ui/ui_loop.h"

namespace hqlv::framework::web::testing {

inline constexpr int32_t kUser = 123456;  // the user of the hall's command line

// The one Qt application of the program, made the way the client makes it: the browser
// engine's way of running and the platform's link schemes set before it exists.
inline QApplication& SharedWebApp() {
    static int argc = 1;
    static char name[] = "test_framework_web";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    PrepareBrowserEngine();
    RegisterLinkSchemes();
    return *new QApplication(argc, argv);
}

// What the client's process has before anything else: the Qt application with the UI
// thread's dispatcher, and folders of its own: runtime (hall sockets), system (where the
// install root is named) and the install root with the hall's host list.
struct ClientFolders {
    std::string dir = "/tmp/hqlv-web-" + std::to_string(getpid()) + "/";
    ClientFolders() {
        SharedWebApp();
        platform::ui::uiDispatcher();
        setenv("HQLV_RUNTIME_DIR", (dir + "run").c_str(), 1);
        setenv("HQLV_SYSTEM_DIR", (dir + "system").c_str(), 1);
        platform::makeFolders(dir + "system/");
        platform::writeProfileString("SYSTEM", "ExePath", (dir + "root/GameHall").c_str(),
                                     dir + "system/vmkd.ini");
        platform::makeFolders(dir + "root/Share/advert/");
        WriteHostListFile(dir + "root/Share/advert/domain.dat", {"127.0.0.1", "localhost"},
                          HostListKey());
    }
    ~ClientFolders() { (void)std::system(("rm -rf '" + dir + "'").c_str()); }
};

// The hall as the client reaches it: the window of class "GameHallFrame". It keeps what
// is posted to it and the texts of kind 11, and answers the attach and sign requests.
struct TestHall {
    struct Post {
        uint32_t id;
        uintptr_t w;
    };
    std::mutex mu;
    std::vector<Post> posts;
    std::vector<std::pair<int32_t, std::string>> texts;  // value, text (GBK)
    platform::MessageLoop loop;
    platform::FunctionTarget target{[this](const platform::Message& m) { return OnMessage(m); }};
    platform::HallEndpoint endpoint;
    TestHall() {
        target.attach(loop);
        loop.start();
        endpoint.open(target.handle(), target.handle());
        endpoint.registerClass("GameHallFrame");
    }
    ~TestHall() {
        endpoint.close();
        loop.quit();
        loop.join();
        target.detach();
    }
    intptr_t OnMessage(const platform::Message& m) {
        if (m.id == kMsgHallSign) {
            auto plain = BuildHallSignAnswer({kUser, "S", uint32_t(m.l)});
            auto coded = EncryptHallData(plain.data(), plain.size());
            intptr_t answer = 0;
            platform::hallChannel().sendCopyData(platform::Handle(m.w), target.handle(),
                                                 kHallSignAnswer, coded->data(), coded->size(),
                                                 5000, &answer);
            return 0;
        }
        std::lock_guard<std::mutex> g(mu);
        if (m.id == platform::kCopyDataMessage) {
            const auto* cd = reinterpret_cast<const platform::CopyData*>(m.l);
            auto plain = cd->kind == kHallText ? DecryptHallData(cd->data, cd->size) : std::nullopt;
            if (plain && plain->size() >= 276) {
                int32_t value;
                std::memcpy(&value, plain->data() + 16, 4);
                texts.emplace_back(value, reinterpret_cast<const char*>(plain->data() + 20));
            }
            return 1;
        }
        if (m.id != kMsgHallAttach) posts.push_back({m.id, m.w});
        return 1;
    }
    std::vector<Post> Posts() {
        std::lock_guard<std::mutex> g(mu);
        return posts;
    }
    // The posts once n have arrived (the hall's loop takes them a moment after the post).
    std::vector<Post> Posts(size_t n, int ms = 5000) {
        // A short list is the caller's to judge.
        (void)QTest::qWaitFor([&] { return Posts().size() >= n; }, ms);
        return Posts();
    }
    std::vector<std::pair<int32_t, std::string>> Texts() {
        std::lock_guard<std::mutex> g(mu);
        return texts;
    }
};

// The application of the tests: pages it would open in the browser are only noted.
struct TestApp : CGameApp {
    using CGameApp::CGameApp;
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
    std::vector<std::string> browserPages;
    void OpenWebPage(const std::string& page, int) override { browserPages.push_back(page); }
};

// The hall's command line for kUser at table 17, chair 2, under this hall window.
inline std::string CommandLine(platform::Handle hall, int port) {
    return "77|127.0.0.1|301|" + std::to_string(hall) + "|0|123456|17|2|0|0|t|" +
           std::to_string(port) + "|4|16777410|0";
}

// The main frame of a game that has a tool pane: under the first row of the right column.
class ToolFrame : public CGameFrameWnd {
public:
    using CGameFrameWnd::CGameFrameWnd;
    QWidget* GetToolView() override { return tool_; }
    CGameToolView* tool() const { return tool_; }

protected:
    void CreateClient() override {
        CGameFrameWnd::CreateClient();
        tool_ = new CGameToolView();
        tool_->setFixedHeight(32);
        rightSplitter()->insertWidget(1, tool_);
        tool_->OnInitialUpdate();
    }

private:
    CGameToolView* tool_ = nullptr;
};

// The player at the screen: answers the modal dialogs as they come up, in order, from the
// event loop (so also while a dialog runs its own). Each step gets the dialog on top and
// says whether it dealt with it. Message boxes are answered OK and their texts kept; a
// dialog that no step expects is cancelled after 10 s and counted, so nothing hangs.
class ScriptedUser : public QObject {
public:
    using Step = std::function<bool(QWidget*)>;
    std::deque<Step> steps;
    std::vector<std::string> boxes;
    int unexpected = 0;
    ScriptedUser() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (w != top_) {
                top_ = w;
                since_.start();
            }
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                boxes.push_back(box->text().toStdString());
                box->done(QMessageBox::Ok);
            } else if (w && !steps.empty() && steps.front()(w)) {
                steps.pop_front();
            } else if (auto* d = qobject_cast<QDialog*>(w);
                       d && d != expected_ && since_.elapsed() > 10000) {
                ++unexpected;
                d->reject();
            }
        });
        timer_.start(30);
    }
    ~ScriptedUser() override { EXPECT_EQ(unexpected, 0); }
    // A step for a dialog of type D; `act` says whether it is done with it. What runs a
    // dialog of its own must go through Later: the user's timer does not fire again
    // while one of its steps waits.
    template <class D>
    void On(std::function<bool(D&)> act) {
        steps.push_back([this, act](QWidget* w) {
            auto* d = dynamic_cast<D*>(w);
            if (d) expected_ = w;
            return d && act(*d);
        });
    }
    template <class F>
    static void Later(QObject* context, F f) {
        QTimer::singleShot(0, context, f);
    }
    bool Done(int ms = 60000) {
        return QTest::qWaitFor([&] { return steps.empty(); }, ms);
    }

private:
    QTimer timer_;
    QWidget* top_ = nullptr;
    QWidget* expected_ = nullptr;  // the dialog a step has taken on
    QElapsedTimer since_;
};

}  // namespace hqlv::framework::web::testing
