// The real browser engine, offscreen, against the tests' HTTP server on 127.0.0.1 (names
// under "localhost" reach it through the engine's own loopback rule).
#include "framework/web/web_view.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineUrlScheme>

#include <unistd.h>

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPointer>
#include <QQuickWindow>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "app_fixture.h"
#include "framework/web/host_filter.h"
#include "tests/framework/http_test_server.h"

namespace hqlv::framework::web {
namespace {

// The engine starts slowly on a busy machine: waits for what it causes are generous.
constexpr int kEngineMs = 60000;

using hqlv::framework::testing::Answer;
using hqlv::framework::testing::HttpServer;

// The client's application under the stand-in hall: links reach the hall as the client
// sends them (the hall channel), and old links are signed by the hall's answer.
class WebView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.ApplyHallCommandLine(testing::CommandLine(hall.target.handle(), 0)));
        ASSERT_TRUE(app.CreateCommThread());  // the window the hall's sign answer goes to
    }
    testing::ClientFolders folders;
    testing::TestHall hall;
    testing::TestApp app{"WebView" + std::to_string(getpid()), 21303, 2, 1};
};

// Records what the before-navigate step saw and answered.
class RecordingCtrl : public CHallHtmlCtrl {
public:
    using CHallHtmlCtrl::CHallHtmlCtrl;
    bool OnBeforeNavigate2(const std::string& url, bool mainFrame) override {
        bool cancel = CHallHtmlCtrl::OnBeforeNavigate2(url, mainFrame);
        seen.push_back({url, mainFrame, cancel});
        return cancel;
    }
    struct Seen {
        std::string url;
        bool mainFrame;
        bool cancelled;
    };
    std::vector<Seen> seen;
    bool Saw(const std::string& part) const {
        return std::any_of(seen.begin(), seen.end(),
                           [&](const Seen& s) { return s.url.find(part) != std::string::npos; });
    }
};

// The requests that reached the server with `part` in them.
int Requests(HttpServer& server, const std::string& part) {
    auto seen = server.seen();
    return int(std::count_if(seen.begin(), seen.end(), [&](const std::string& r) {
        return r.find(part) != std::string::npos;
    }));
}

TEST_F(WebView, FilterLinksAndPostAgainstTheEngine) {
    HttpServer server;
    const std::string port = server.base().substr(server.base().rfind(':'));
    const std::string pages = "http://pages.localhost" + port;
    const std::string evil = "http://evil.localhost" + port;
    const std::string list = folders.dir + "pages-domain.dat";  // this process's own
    ASSERT_TRUE(WriteHostListFile(list, {"pages.localhost"}, HostListKey()));

    // Each with what only its own click makes the hook see (the engine's canonical form).
    struct Trick {
        const char* text;
        std::string href;
        const char* seen;
    } tricks[] = {
        {"q", evil + "?q.pages.localhost", "/?q.pages.localhost"},
        {"h", evil + "#h.pages.localhost", "/#h.pages.localhost"},
        {"b", evil + "\\b.pages.localhost/", "/b.pages.localhost/"},
        {"u", "http://pages.localhost@evil.localhost" + port + "/u", "pages.localhost@evil."},
        {"plain", evil + "/plain", "/plain"},
    };
    std::string body = "<html><body>";
    for (const auto& t : tricks) body += "<a href='" + t.href + "'>" + t.text + "</a> ";
    body += "<a href='" + evil + "/blank' target='_blank'>blank</a> ";
    body += "<a href='KVOOLD://pages.localhost" + port + "/old'>old</a> ";
    body += "<a href='kvonew://pages.localhost" + port + "/run'>new</a> ";
    body += "<a href='kvoapp://changeclothing/'>clo\"thes\\</a> ";  // quoted into the script
    body += "<a href='kvoapp://changeclothing'>noslash</a> ";
    body += "<iframe src='" + evil + "/frame'></iframe></body></html>";
    server.Script("/start", {200, body});
    server.Script("/sub", {200, "<html>sub</html>"});
    server.Script("/old?uid=123456&sign=S", {200, "<html><a href='http://sub.pages.localhost" +
                                                      port + "/sub'>sub</a></html>"});
    server.Script("/post", {200, "<html>posted</html>"});

    RecordingCtrl view(nullptr);
    view.resize(400, 300);
    view.SetHostListFile(list);
    view.EnableHostFilter(1);
    // The engine's load signals come late at times: every step waits for what it causes
    // (the hook's call, the hall's message, the server's request), clicking again until
    // the page is ready for it.
    auto clickUntil = [&](const char* text, auto done) {
        return QTest::qWaitFor(
            [&] {
                if (done()) return true;
                view.ClickLinkByText(text);
                QTest::qWait(150);
                return bool(done());
            },
            kEngineMs);
    };
    view.NavigateWithPost(pages + "/start", 0, {}, {}, nullptr, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.Saw("/frame"); }, kEngineMs));
    for (const auto& s : view.seen)
        if (s.url.find("/frame") != std::string::npos) {
            EXPECT_FALSE(s.mainFrame);
            EXPECT_TRUE(s.cancelled);
        }
    EXPECT_TRUE(view.seen.at(0).mainFrame);
    EXPECT_FALSE(view.seen.at(0).cancelled);  // the program's own load passes the hook too

    for (const auto& t : tricks) {
        ASSERT_TRUE(clickUntil(t.text, [&] { return view.Saw(t.seen); })) << t.text;
        for (const auto& s : view.seen)
            if (s.url.find(t.seen) != std::string::npos) {
                EXPECT_TRUE(s.cancelled) << s.url;
            }
    }
    view.ClickLinkByText("blank");
    ASSERT_TRUE(clickUntil("new", [&] { return !app.browserPages.empty(); }));
    EXPECT_EQ(app.browserPages.at(0), "http://pages.localhost" + port + "/run");
    // The engine hands the command on as written: without its '/' it is none.
    ASSERT_TRUE(clickUntil("noslash", [&] { return view.Saw("kvoapp:"); }));
    EXPECT_TRUE(hall.Posts(1, 1000).empty()) << view.seen.back().url;
    ASSERT_TRUE(clickUntil("clo\"thes\\", [&] { return !hall.Posts().empty(); }));
    EXPECT_EQ(hall.Posts().size(), 1u);
    EXPECT_EQ(hall.Posts()[0].id, kHallMsgChangeClothing);
    EXPECT_EQ(hall.Posts()[0].w, 123456u);
    ASSERT_TRUE(clickUntil("old", [&] { return Requests(server, "GET /old?uid=123456&sign=S "); }));
    // The old link's page links on to the allowed sub-domain.
    ASSERT_TRUE(clickUntil("sub", [&] { return Requests(server, "GET /sub "); }));
    EXPECT_GE(Requests(server, "\r\nHost: sub.pages.localhost"), 1);

    view.NavigateWithPost(pages + "/post", 0, "",
                          "X-Hqlv-Test: yes\r\nX-Other: two\nBad line\r\nX-Third:  3", "a=1&b=2",
                          0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests(server, "POST /post "); }, kEngineMs));
    std::string posted;
    for (const auto& r : server.seen())
        if (r.rfind("POST /post ", 0) == 0) posted = r;
    ASSERT_FALSE(posted.empty());
    EXPECT_NE(posted.find("\r\nX-Hqlv-Test: yes\r\n"), std::string::npos);
    EXPECT_NE(posted.find("\r\nX-Other: two\r\n"), std::string::npos);
    EXPECT_NE(posted.find("\r\nX-Third: 3\r\n"), std::string::npos);
    EXPECT_EQ(posted.find("Bad line"), std::string::npos);
    EXPECT_EQ(posted.substr(posted.size() - 7), "a=1&b=2");
    EXPECT_EQ(Requests(server, "\r\nHost: evil.localhost"), 0);
}

TEST_F(WebView, AdvertFlagsPlaceholderAndMemberClose) {
    // The schemes are known to the engine (a refused registration would only warn).
    for (const char* name : {"kvoold", "kvonew", "kvoapp"})
        EXPECT_EQ(QWebEngineUrlScheme::schemeByName(name).name(), QByteArray(name));
    {
        CAdvertHtmlCtrl ad(nullptr);
        EXPECT_TRUE(ad.OnBeforeNavigate2("kvoapp://changeclothing/", true));
        EXPECT_EQ(hall.Posts(1).size(), 1u);
        EXPECT_FALSE(ad.OnBeforeNavigate2("http://x.test/", true));  // filter off
        EXPECT_EQ(ad.failed(), 0);
        ad.OnDocumentComplete("about:blank");
        ad.OnDocumentComplete("");
        EXPECT_EQ(ad.loaded(), 0);
        ad.OnDocumentComplete("http://x.test/");
        EXPECT_EQ(ad.loaded(), 1);
        CAdvertHtmlCtrl cancelled(nullptr);
        cancelled.OnBeforeNavigate2("res://ieframe.dll/NAVCANCL.htm", true);
        EXPECT_EQ(cancelled.failed(), 1);
        cancelled.OnDocumentComplete("http://x.test/");
        EXPECT_EQ(cancelled.loaded(), 0);
        // A navigate error marks the advert failed and is never cancelled; the hall's
        // control lets it pass without a mark.
        CAdvertHtmlCtrl failed(nullptr);
        int cancel = 7;
        failed.OnNavigateError("http://x.test/", "", 404, cancel);
        EXPECT_EQ(cancel, 0);
        EXPECT_EQ(failed.failed(), 1);
        failed.OnDocumentComplete("http://x.test/");
        EXPECT_EQ(failed.loaded(), 0);
        CAdvertHtmlCtrl event(nullptr);
        CHallHtmlCtrl& asHall = event;
        EXPECT_FALSE(asHall.OnNavigateErrorEvent("http://x.test/", "", 0));
        EXPECT_EQ(event.failed(), 1);
        CHallHtmlCtrl plain(nullptr);
        EXPECT_FALSE(plain.OnNavigateErrorEvent("http://x.test/", "", 0));
    }
    QWidget parent;
    auto* placeholder = new QWidget(&parent);
    SetItemId(placeholder, 180);
    placeholder->setGeometry(5, 6, 70, 40);
    auto* ctrl = new CHallHtmlCtrl(nullptr);
    EXPECT_FALSE(ctrl->CreateFromStatic(181, &parent));
    EXPECT_EQ(ctrl->parentWidget(), nullptr);
    ASSERT_TRUE(ctrl->CreateFromStatic(180, &parent));
    EXPECT_EQ(FindItem(&parent, 180), ctrl);
    EXPECT_EQ(ctrl->geometry(), QRect(5, 6, 70, 40));
    // The member-close link goes to the parent only when asked; either way it is taken.
    struct Parent : QWidget {
        int links = 0;
        bool event(QEvent* e) override {
            if (e->type() == HallLinkEvent::kind()) {
                auto* l = static_cast<HallLinkEvent*>(e);
                if (l->handler && l->handler->IsMemberClose()) ++links;
                return true;
            }
            return QWidget::event(e);
        }
    } owner;
    auto* member = new CHallHtmlCtrl(&owner);
    EXPECT_TRUE(member->OnBeforeNavigate2("kvoapp://memberclose/", true));
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.links, 0);
    member->SetPostToParent(1);
    EXPECT_TRUE(member->OnBeforeNavigate2("kvoapp://memberclose/", true));
    EXPECT_TRUE(member->OnBeforeNavigate2("kvoapp://becomemember/", true));
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.links, 1);
    ASSERT_EQ(hall.Posts(2).size(), 2u);
    EXPECT_EQ(hall.Posts()[1].id, kHallMsgBecomeMember);
    // The hall gone: the command is still taken, and nothing reaches anyone.
    hall.endpoint.close();
    EXPECT_TRUE(member->OnBeforeNavigate2("kvoapp://changeclothing/", true));
    EXPECT_EQ(hall.Posts(3, 500).size(), 2u);
}

TEST_F(WebView, RedirectIsFilteredAndViewMayGoMidLoad) {
    HttpServer server;
    const std::string port = server.base().substr(server.base().rfind(':'));
    const std::string pages = "http://pages.localhost" + port;
    const std::string list = folders.dir + "pages-domain.dat";
    ASSERT_TRUE(WriteHostListFile(list, {"pages.localhost"}, HostListKey()));
    Answer redirect;
    redirect.status = 302;
    redirect.location = "http://evil.localhost" + port + "/moved";
    server.Script("/redir", redirect);
    std::promise<void> release;
    Answer slow{200, "<html>slow</html>"};
    slow.hold = release.get_future().share();
    server.Script("/slow", slow);

    // The advert control's flags from the engine: a page that loads, one that cannot.
    server.Script("/ad", {200, "<html>ad</html>"});
    CAdvertHtmlCtrl ad(nullptr), gone(nullptr);
    ad.NavigateTo(pages + "/ad");
    gone.NavigateTo("http://127.0.0.1:9/");  // nobody listens there
    EXPECT_TRUE(QTest::qWaitFor([&] { return ad.loaded() && gone.failed(); }, kEngineMs));
    EXPECT_EQ(ad.failed() + gone.loaded(), 0);

    auto* view = new RecordingCtrl(nullptr);
    view->SetHostListFile(list);
    view->EnableHostFilter(1);
    // A redirect to an unlisted host asks the hook again and is refused there.
    view->NavigateTo(pages + "/redir");
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Saw("/moved"); }, kEngineMs));
    EXPECT_TRUE(view->seen.back().cancelled);
    EXPECT_EQ(Requests(server, "\r\nHost: evil.localhost"), 0);

    // The view goes while its page is still loading: the engine's late calls must not
    // reach it.
    view->NavigateTo(pages + "/slow");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests(server, "GET /slow "); }, kEngineMs));
    delete view;
    release.set_value();
    QTest::qWait(500);
}

// The filter's list comes through the view's own loader, once for every address it judges
// (never for a "javascript:" one), and no names refuse everything else.
TEST(WebViewFilter, EveryCheckLoadsTheListThroughTheView) {
    testing::SharedWebApp();
    struct Counting : CFixHtmlView {
        std::vector<std::string> names{"allowed.test"};
        int loads = 0;
        int LoadAllowedHosts(std::vector<std::string>& hosts) override {
            ++loads;
            hosts.insert(hosts.end(), names.begin(), names.end());
            return int(hosts.size());
        }
    } view;
    EXPECT_FALSE(view.OnBeforeNavigate2("http://other.test/", true));  // filter off
    EXPECT_EQ(view.loads, 0);
    view.EnableHostFilter(1);
    EXPECT_FALSE(view.OnBeforeNavigate2("http://www.allowed.test/x", true));
    EXPECT_EQ(view.loads, 1);
    EXPECT_TRUE(view.OnBeforeNavigate2("http://other.test/", true));
    EXPECT_EQ(view.loads, 2);
    EXPECT_FALSE(view.OnBeforeNavigate2("JavaScript:void(0)", true));
    EXPECT_TRUE(view.OnBeforeNavigate2("", true));
    EXPECT_EQ(view.loads, 2);
    view.names.clear();
    EXPECT_TRUE(view.OnBeforeNavigate2("http://allowed.test/", true));
    EXPECT_EQ(view.loads, 3);
    EXPECT_EQ(view.IsUrlAllowed("javascript:1"), 1);
    // The real loader reads the view's file, appending to what the list held.
    CFixHtmlView real;
    const std::string list =
        ::testing::TempDir() + "hqlv-view-list-" + std::to_string(getpid()) + ".dat";
    ASSERT_TRUE(WriteHostListFile(list, {"a.test", "b.test"}, HostListKey()));
    real.SetHostListFile(list);
    std::vector<std::string> hosts{"kept"};
    EXPECT_EQ(real.LoadAllowedHosts(hosts), 3);
    EXPECT_EQ(hosts, (std::vector<std::string>{"kept", "a.test", "b.test"}));
    std::remove(list.c_str());
    EXPECT_EQ(real.LoadAllowedHosts(hosts), 0);
}

// No pane holds its page through a holder with a release of its own: the page is the view's
// Qt child and goes with the view, and the view with the dialog or pane it sits in.
TEST_F(WebView, PageGoesWithItsViewWithoutAHolder) {
    auto* dialog = new QWidget;
    auto* view = new CHallHtmlCtrl(dialog);
    view->NavigateTo("about:blank");
    ASSERT_TRUE(view->HasPage());
    QPointer<QWebEnginePage> page = view->page();
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page->parent(), view);
    QPointer<CHallHtmlCtrl> viewAlive = view;
    delete dialog;
    EXPECT_TRUE(viewAlive.isNull());
    EXPECT_TRUE(page.isNull());
}

// The processes below this one whose command line names the engine process type.
int HelperProcesses(const std::string& type) {
    std::vector<pid_t> family{getpid()};
    int found = 0;
    for (size_t i = 0; i < family.size(); ++i) {
        for (const auto& e : std::filesystem::directory_iterator("/proc")) {
            const std::string name = e.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::ifstream stat(e.path() / "stat");
            std::string line;
            std::getline(stat, line);
            const size_t close = line.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream rest(line.substr(close + 2));
            char state;
            pid_t parent = 0;
            rest >> state >> parent;
            if (parent != family[i]) continue;
            family.push_back(pid_t(std::stoi(name)));
            std::ifstream cmd(e.path() / "cmdline");
            const std::string args((std::istreambuf_iterator<char>(cmd)), {});
            if (args.find(std::string("--type=") + type + '\0') != std::string::npos) ++found;
        }
    }
    return found;
}

// The engine starts with the first page a view shows, not with the view: no helper process
// before, whatever the view went through; after, one renderer for every view's pages, no
// zygote without a sandbox, and a page made while its view is shown is drawn.
// Something dragged over and dropped on a view that shows nothing, or a context menu asked
// of it: no page is made for it, the engine does not start, and the drop is not taken.
TEST_F(WebView, DragOverAViewWithoutAPageStartsNothing) {
    CHallHtmlCtrl view(nullptr);
    view.resize(200, 100);
    view.show();
    QMimeData mime;
    mime.setText("east wind");
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDragMoveEvent move(QPoint(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
    QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &drop);
    EXPECT_FALSE(drop.isAccepted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&view, &leave);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(30, 30), view.mapToGlobal(QPoint(30, 30)));
    QCoreApplication::sendEvent(&view, &menu);
    QTest::qWait(300);
    EXPECT_FALSE(view.HasPage());
    EXPECT_EQ(HelperProcesses("renderer") + HelperProcesses("zygote"), 0);
}

TEST_F(WebView, EngineStartsWithTheFirstPageAndOneRendererServesAll) {
    CHallHtmlCtrl first(nullptr), second(nullptr);
    // Shown, hidden and shown again, closed and shown: still no page.
    first.resize(200, 100);
    first.show();
    second.show();
    second.hide();
    second.show();
    second.close();
    second.show();
    QTest::qWait(300);
    first.ClickLinkByText("none");  // nothing shown: nothing to click, no page made
    EXPECT_FALSE(first.HasPage());
    EXPECT_FALSE(second.HasPage());
    EXPECT_EQ(HelperProcesses("renderer") + HelperProcesses("zygote"), 0);

    HttpServer server;
    const std::string port = server.base().substr(server.base().rfind(':'));
    server.Script("/one", {200, "<html><body style='background:#00ff00'>one</body></html>"});
    server.Script("/two", {200, "<html>two</html>"});
    QSignalSpy firstDone(&first, &QWebEngineView::loadFinished),
        secondDone(&second, &QWebEngineView::loadFinished);
    first.NavigateTo("http://one.localhost" + port + "/one");
    second.NavigateTo("http://two.localhost" + port + "/two");
    EXPECT_TRUE(first.HasPage());
    EXPECT_TRUE(second.HasPage());
    // Made once: later calls keep the view's page.
    QWebEnginePage* const made = first.page();
    first.ClickLinkByText("none");
    EXPECT_EQ(first.page(), made);
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstDone.size() && secondDone.size(); }, kEngineMs));
    EXPECT_EQ(Requests(server, "GET /one "), 1);
    EXPECT_EQ(Requests(server, "GET /two "), 1);
    EXPECT_EQ(HelperProcesses("renderer"), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.grab().toImage().pixel(150, 80) == 0xFF00FF00; },
                                kEngineMs))
        << std::hex << first.grab().toImage().pixel(150, 80);
    const char* noSandbox = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
    if (noSandbox && std::string(noSandbox) == "1") {
        EXPECT_EQ(HelperProcesses("zygote"), 0);
    }
}

// How the engine is told to run: pages drawn in software, no OpenGL asked of X unless the
// user chose, one renderer, no zygote without a sandbox; flags the user gave stay, and none
// is given twice.
TEST_F(WebView, BrowserEngineRunsInSoftwareWithOneRenderer) {
    EXPECT_EQ(QQuickWindow::sceneGraphBackend(), "software");
    EXPECT_NE(BrowserEngineMode().find("software"), std::string::npos) << BrowserEngineMode();
    const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const std::string before = given ? given : "";
    const char* gl = std::getenv("QT_XCB_GL_INTEGRATION");
    const std::string glBefore = gl ? gl : "";
    auto count = [](const std::string& flags, const std::string& flag) {
        int n = 0;
        for (size_t at = flags.find(flag); at != std::string::npos; at = flags.find(flag, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(before, "--renderer-process-limit=1"), 1) << before;
    EXPECT_EQ(glBefore, "none");

    // As root the engine's sandbox is always off (it will not run there), and so its zygote.
    struct Case {
        const char* flags;    // given by the user
        const char* sandbox;  // QTWEBENGINE_DISABLE_SANDBOX, null: unset
        const char* gl;       // QT_XCB_GL_INTEGRATION, null: unset
        const char* want;     // as a user
        const char* wantRoot;
        const char* wantGl;
    } cases[] = {
        {"", "1", nullptr, "--renderer-process-limit=1 --no-zygote",
         "--renderer-process-limit=1 --no-zygote", "none"},
        {"--lang=de", nullptr, "glx", "--lang=de --renderer-process-limit=1",
         "--lang=de --renderer-process-limit=1 --no-zygote", "glx"},
        {"--renderer-process-limit=3 --no-zygote-sandbox", "0", "",
         "--renderer-process-limit=3 --no-zygote-sandbox",
         "--renderer-process-limit=3 --no-zygote-sandbox --no-zygote", "none"},
        // A longer flag that begins with one of ours is not ours.
        {"--renderer-process-limit-x", "1", nullptr,
         "--renderer-process-limit-x --renderer-process-limit=1 --no-zygote",
         "--renderer-process-limit-x --renderer-process-limit=1 --no-zygote", "none"},
        {"--no-sandbox --no-zygote", nullptr, "none",
         "--no-sandbox --no-zygote "
         "--renderer-process-limit=1",
         "--no-sandbox --no-zygote --renderer-process-limit=1", "none"},
    };
    const bool root = geteuid() == 0;
    for (const Case& c : cases) {
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", c.flags, 1);
        if (c.sandbox)
            setenv("QTWEBENGINE_DISABLE_SANDBOX", c.sandbox, 1);
        else
            unsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        if (c.gl)
            setenv("QT_XCB_GL_INTEGRATION", c.gl, 1);
        else
            unsetenv("QT_XCB_GL_INTEGRATION");
        const std::string mode = PrepareBrowserEngine();
        const std::string want = root ? c.wantRoot : c.want;
        EXPECT_EQ(std::string(std::getenv("QTWEBENGINE_CHROMIUM_FLAGS")), want) << c.flags;
        EXPECT_EQ(std::string(std::getenv("QT_XCB_GL_INTEGRATION")), c.wantGl) << c.flags;
        EXPECT_EQ(mode.find("no zygote") != std::string::npos,
                  want.find("--no-zygote") != std::string::npos)
            << mode;
        EXPECT_EQ(mode.find("no OpenGL") != std::string::npos, std::string(c.wantGl) == "none")
            << mode;
        EXPECT_EQ(mode, BrowserEngineMode());
    }
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", before.c_str(), 1);
    setenv("QT_XCB_GL_INTEGRATION", glBefore.c_str(), 1);
    if (root) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}

}  // namespace
}  // namespace hqlv::framework::web
