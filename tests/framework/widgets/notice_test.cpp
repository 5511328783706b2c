// The notice download against the tests' own HTTP server on 127.0.0.1: the marker over
// every chunk split, refused answers that leave nothing behind, overlapping and cut
// downloads, and a frame that goes away while a download runs.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "builders.h"
#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/panes/game_frame.h"
#include "framework/widgets/chat_rich_edit.h"
#include "framework/widgets/chat_view.h"
#include "framework/widgets/notice_download.h"
#include "http_test_server.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

using testing::Answer;
using testing::HttpServer;
using State = NoticeMarker::State;

TEST(NoticeMarkerTest, EverySplitOfTheFirstEightBytes) {
    const std::pair<std::string, State> answers[] = {
        {"<notify>hello", State::kAccepted},
        {"<NOTIFY>x", State::kAccepted},
        {"<NoTiFy>", State::kAccepted},
        {"<notifx>abc", State::kRefused},
        {"<html>err", State::kRefused},
        {"<notif", State::kRefused},
        {"", State::kRefused},
        {"x<notify>", State::kRefused},
    };
    for (const auto& [text, want] : answers) {
        // Every way to cut the answer into two or three chunks.
        for (size_t a = 0; a <= text.size(); ++a)
            for (size_t b = a; b <= text.size(); ++b) {
                NoticeMarker m;
                m.Feed(std::string_view(text).substr(0, a));
                m.Feed(std::string_view(text).substr(a, b - a));
                m.Feed(std::string_view(text).substr(b));
                EXPECT_EQ(m.Finish(), want) << text << " cut at " << a << "," << b;
            }
    }
    NoticeMarker early;
    EXPECT_EQ(early.Feed("<x"), State::kRefused);  // a wrong byte decides at once
    NoticeMarker undecided;
    EXPECT_EQ(undecided.Feed("<noti"), State::kUndecided);
}

std::string Notice(char fill, size_t size) {
    std::string s = "<notify>";
    s.append(size - s.size(), fill);
    return s;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Part files left in a folder (of one notice number when given).
int PartFiles(const QString& dir, int number = -1) {
    int n = 0;
    std::string prefix = number < 0 ? "" : std::to_string(number) + "_";
    for (auto& e : std::filesystem::directory_iterator(dir.toStdString()))
        n += e.path().extension() == ".part" && e.path().filename().string().rfind(prefix, 0) == 0;
    return n;
}

class NoticeDownloads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::shared_ptr<NoticeDownloadRecord> Record() {
        auto r = MakeNoticeRecord(0, http.base(), 21, 7, dir.path().toStdString() + "/");
        r->timeoutSeconds = 10;
        return r;
    }
    QTemporaryDir dir;
    HttpServer http;
};

TEST_F(NoticeDownloads, PathsOfTheRecord) {
    auto r = MakeNoticeRecord(5, "http://n.test", 21, 7, "/tmp/x/");
    EXPECT_EQ(r->path, "/notify/game/21.txt");
    EXPECT_EQ(r->localFile, "/tmp/x/7_21.txt");
    EXPECT_EQ(NoticeAddress(*r), "http://n.test//notify/game/21.txt");
}

TEST_F(NoticeDownloads, AcceptedAnswersLandWhole) {
    std::string big = Notice('a', 5000);
    http.Script("//notify/game/21.txt", {200, big, {3, 1000, 1000}, 0, "", {}});
    auto r = Record();
    ASSERT_TRUE(RunNoticeDownload(*r)) << r->error;
    EXPECT_EQ(r->done, 1);
    EXPECT_EQ(ReadAll(r->localFile), big);
    EXPECT_EQ(PartFiles(dir.path()), 0);
    EXPECT_EQ(TakeNoticeText(*r), big);
    EXPECT_FALSE(std::filesystem::exists(r->localFile));  // taken once
    EXPECT_EQ(TakeNoticeText(*r), "");
    // Another client of the installation writes the same file name: whether it replaced the
    // file or took it already, this download's own text is what it hands over.
    for (bool replaced : {true, false}) {
        SCOPED_TRACE(replaced ? "replaced" : "taken");
        http.Script("//notify/game/21.txt", {200, "<notify>mine", {}, 0, "", {}});
        auto own = Record();
        ASSERT_TRUE(RunNoticeDownload(*own)) << own->error;
        if (replaced) {
            std::FILE* f = std::fopen(own->localFile.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fputs("<notify>theirs", f);
            std::fclose(f);
        } else {
            std::filesystem::remove(own->localFile);
        }
        EXPECT_EQ(TakeNoticeText(*own), "<notify>mine");
        EXPECT_FALSE(std::filesystem::exists(own->localFile));
    }
    // Capital marker, and a redirect to another http address.
    http.Script("//notify/game/21.txt", {302, "", {}, 0, http.base() + "/moved", {}});
    http.Script("/moved", {200, "<NOTIFY>大写", {}, 0, "", {}});
    auto again = Record();
    ASSERT_TRUE(RunNoticeDownload(*again)) << again->error;
    EXPECT_EQ(ReadAll(again->localFile), "<NOTIFY>大写");
    // The largest answer taken (one byte more is refused below).
    http.Script("//notify/game/21.txt", {200, Notice('m', kNoticeMaxBytes), {}, 0, "", {}});
    auto largest = Record();
    ASSERT_TRUE(RunNoticeDownload(*largest)) << largest->error;
    EXPECT_EQ(ReadAll(largest->localFile).size(), kNoticeMaxBytes);
}

// Redirects are followed five deep and no deeper.
TEST_F(NoticeDownloads, FiveRedirectsAreFollowedASixthIsNot) {
    for (int hops : {5, 6}) {
        SCOPED_TRACE(hops);
        const std::string name = "hops" + std::to_string(hops) + "-";
        for (int i = 0; i < hops; ++i)
            http.Script("/" + name + std::to_string(i),
                        {302, "", {}, 0, http.base() + "/" + name + std::to_string(i + 1), {}});
        http.Script("/" + name + std::to_string(hops), {200, "<notify>far", {}, 0, "", {}});
        auto r = Record();
        r->path = name + "0";  // "<base>/<name>0"
        EXPECT_EQ(RunNoticeDownload(*r), hops == 5) << r->error;
        EXPECT_EQ(std::filesystem::exists(r->localFile), hops == 5);
        if (hops == 5) {
            EXPECT_EQ(TakeNoticeText(*r), "<notify>far");
        }
    }
}

TEST_F(NoticeDownloads, RefusedAnswersLeaveNothing) {
    struct Case {
        const char* name;
        Answer answer;
    } cases[] = {
        {"404", {404, "<notify>page", {}, 0, "", {}}},
        {"500", {500, "<notify>page", {}, 0, "", {}}},
        {"marker", {200, "<html>nope</html>", {}, 0, "", {}}},
        // Refused at its start: never read as far as the size limit.
        {"bigpage", {200, "<html>" + std::string(kNoticeMaxBytes, 'p'), {}, 0, "", {}}},
        {"short", {200, "<notif", {}, 0, "", {}}},
        {"empty", {200, "", {}, 0, "", {}}},
        {"cut", {200, Notice('c', 2000), {}, 5000, "", {}}},
        {"large", {200, Notice('l', kNoticeMaxBytes + 1), {}, 0, "", {}}},
        {"ftp", {302, "", {}, 0, "ftp://127.0.0.1/x", {}}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = std::string("/") + c.name;
        http.Script(path, c.answer);
        auto r = Record();
        r->path = path;
        r->baseUrl = http.base();
        r->path = path.substr(1);  // "<base>/<name>"
        EXPECT_FALSE(RunNoticeDownload(*r));
        EXPECT_EQ(r->done, 0);
        EXPECT_FALSE(r->error.empty());
        // The log says an answer was no notice only of one that was no notice.
        const std::string name = c.name;
        EXPECT_EQ(r->error == "answer is no notice (it does not begin with <notify>)",
                  name == "marker" || name == "bigpage" || name == "short" || name == "empty")
            << r->error;
        EXPECT_FALSE(std::filesystem::exists(r->localFile));
        EXPECT_EQ(PartFiles(dir.path()), 0);
    }
    // Nobody listening.
    auto r = Record();
    r->baseUrl = "http://127.0.0.1:1";
    EXPECT_FALSE(RunNoticeDownload(*r));
    // Not http at all.
    r->baseUrl = "file:///etc";
    EXPECT_FALSE(RunNoticeDownload(*r));
    EXPECT_FALSE(r->error.empty());
    // No notice server named: nothing is asked, nothing is left and nothing is an error.
    auto none = Record();
    none->baseUrl.clear();
    const int asked = http.requests();
    EXPECT_FALSE(RunNoticeDownload(*none));
    EXPECT_EQ(none->done, 0);
    EXPECT_TRUE(none->error.empty()) << none->error;
    EXPECT_EQ(http.requests(), asked);
    EXPECT_EQ(PartFiles(dir.path()), 0);
    // A local file that cannot be made: nothing is fetched.
    auto nowhere = Record();
    int before = http.requests();
    nowhere->localFile = dir.path().toStdString() + "/missing/7_21.txt";
    EXPECT_FALSE(RunNoticeDownload(*nowhere));
    EXPECT_EQ(nowhere->error.rfind("cannot create", 0), 0u) << nowhere->error;
    EXPECT_EQ(http.requests(), before);
    EXPECT_EQ(PartFiles(dir.path()), 0);
}

// ---- through the main frame

struct NoticeApp : CGameApp {
    NoticeApp() : CGameApp("HqLv", 21303, 2, 1) {}
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
};

class NoticeFrame : public NoticeDownloads {
protected:
    void SetUp() override {
        NoticeDownloads::SetUp();
        testing::SharedQtApp();
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        testing::EntryLine e;
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
        std::vector<uint8_t> hall(kHallRecordBytes, 0);
        // The notice number names the local file: one of this process's own (the test
        // programs run side by side and share the temp folder).
        int32_t number = getpid();
        std::memcpy(hall.data() + 12, &number, 4);
        std::string base = http.base();
        std::copy(base.begin(), base.end(), hall.begin() + 148);
        app.SetHallRecord(hall.data(), hall.size());
        frame = std::make_unique<CGameFrameWnd>(app);
        ASSERT_TRUE(frame->Create());
        app.SetFrame(frame.get());
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        WaitThreads();
        unsetenv("HQLV_RUNTIME_DIR");
    }
    static void WaitThreads(int count = 0) {
        for (int i = 0; i < 1000 && NoticeThreadsRunning() > count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void PumpFor(int ms) {
        for (int i = 0; i < ms / 10; ++i) platform::ui::processUiEvents(10);
    }
    std::string ChatText() {
        auto* chat = dynamic_cast<CGameChatView*>(frame->GetChatView());
        return chat ? chat->display()->toPlainText().toStdString() : "";
    }
    NoticeApp app;
    std::unique_ptr<CGameFrameWnd> frame;
    const std::string path = "//notify/game/77.txt";
};

TEST_F(NoticeFrame, OverlappingDownloadsShowOneWholeText) {
    std::promise<void> release;
    Answer held{200, Notice('A', 3000), {3}, 0, "", release.get_future().share()};
    http.Script(path, held);
    http.Script(path, {200, Notice('B', 3000), {}, 0, "", {}});
    frame->StartNoticeDownload();
    for (int i = 0; i < 300 && http.requests() < 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    frame->StartNoticeDownload();
    WaitThreads(1);  // the second is done; its 0x8617 waits in the queue
    release.set_value();
    WaitThreads(0);
    PumpFor(300);
    EXPECT_EQ(frame->noticesShown(), 1);
    std::string text = ChatText();
    size_t a = std::count(text.begin(), text.end(), 'A');
    size_t b = std::count(text.begin(), text.end(), 'B');
    EXPECT_TRUE((a == 2992 && b == 0) || (a == 0 && b == 2992)) << a << " " << b;
    EXPECT_EQ(PartFiles(QString::fromStdString(GetTempFolder()), getpid()), 0);
}

TEST_F(NoticeFrame, ACutDownloadBehindAFinishedOneChangesNothing) {
    http.Script(path, {200, Notice('W', 1500), {}, 0, "", {}});
    http.Script(path, {200, Notice('C', 1500), {}, 4000, "", {}});
    frame->StartNoticeDownload();
    WaitThreads(0);
    frame->StartNoticeDownload();
    WaitThreads(0);
    PumpFor(300);
    EXPECT_EQ(frame->noticesShown(), 1);
    std::string text = ChatText();
    EXPECT_EQ(std::count(text.begin(), text.end(), 'W'), 1492);
    EXPECT_EQ(std::count(text.begin(), text.end(), 'C'), 0);
}

// The notice interval's downloads follow one another: each shows its text, also when
// another client of the installation took the shared file before this frame read it.
TEST_F(NoticeFrame, DownloadsOneAfterAnotherEachShowTheirText) {
    http.Script(path, {200, Notice('E', 200), {}, 0, "", {}});
    http.Script(path, {200, Notice('F', 300), {}, 0, "", {}});
    const std::string local = GetTempFolder() + std::to_string(getpid()) + "_77.txt";
    frame->StartNoticeDownload();
    WaitThreads(0);
    ASSERT_TRUE(std::filesystem::exists(local));
    std::filesystem::remove(local);  // another client was first
    PumpFor(100);
    EXPECT_EQ(frame->noticesShown(), 1);
    frame->StartNoticeDownload();
    WaitThreads(0);
    PumpFor(100);
    EXPECT_EQ(frame->noticesShown(), 2);
    std::string text = ChatText();
    EXPECT_EQ(std::count(text.begin(), text.end(), 'E'), 192);
    EXPECT_EQ(std::count(text.begin(), text.end(), 'F'), 292);
    EXPECT_FALSE(std::filesystem::exists(local));
}

TEST_F(NoticeFrame, FrameDestroyedMidDownload) {
    std::promise<void> release;
    http.Script(path, {200, Notice('D', 100), {}, 0, "", release.get_future().share()});
    frame->StartNoticeDownload();
    for (int i = 0; i < 300 && http.requests() < 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    app.SetFrame(nullptr);
    frame.reset();
    release.set_value();
    WaitThreads(0);
    EXPECT_EQ(NoticeThreadsRunning(), 0);
    PumpFor(50);
}

}  // namespace
}  // namespace hqlv::framework
