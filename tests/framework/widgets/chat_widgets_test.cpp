// The chat pane's widgets under Qt's offscreen platform: the rendered runs of the chat
// display, the chat view's hooks and sends against the in-process game server, the face
// picker, link clicks and the skinned button.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTimer>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "builders.h"
#include "framework/app/comm_thread.h"
#include "framework/app/game_app.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/text_edge.h"
#include "framework/panes/game_frame.h"
#include "framework/widgets/chat_rich_edit.h"
#include "framework/widgets/chat_view.h"
#include "framework/widgets/face_picker.h"
#include "framework/widgets/skin_button.h"
#include "netlib/message.h"
#include "platform/core/clock.h"
#include "platform/core/process.h"
#include "platform/ui/cursor.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"
#include "tools/server/game_server.h"

namespace hqlv::framework {
namespace {

using testing::Record;
using testing::SharedQtApp;
using testing::Words;

bool Pump(const std::function<bool()>& pred, int ms = 3000) {
    for (int waited = 0; !pred(); waited += 5) {
        if (waited > ms) return false;
        platform::ui::processUiEvents(5);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void WriteFace(const QString& path, QColor c) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(c);
    ASSERT_TRUE(img.save(path, "BMP"));
}

// The document as rows: "text|twips|colour|face|effects|anchor" and "[face n]".
std::vector<std::string> Runs(QTextDocument* doc) {
    std::vector<std::string> rows;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment f = it.fragment();
            QTextCharFormat cf = f.charFormat();
            if (cf.isImageFormat()) {
                rows.push_back("[face " + std::to_string(cf.property(kChatTwipsProperty).toInt()) +
                               "]");
                continue;
            }
            std::string fx;
            if (cf.fontWeight() >= QFont::Bold) fx += 'b';
            if (cf.fontItalic()) fx += 'i';
            if (cf.fontUnderline()) fx += 'u';
            QStringList fam = cf.fontFamilies().toStringList();
            rows.push_back(f.text().toStdString() + "|" +
                           std::to_string(cf.property(kChatTwipsProperty).toInt()) + "|" +
                           std::to_string(platform::ui::FromQColor(cf.foreground().color())) + "|" +
                           (fam.isEmpty() ? std::string("-") : fam.first().toStdString()) + "|" +
                           fx + "|" +
                           (cf.isAnchor() ? cf.anchorHref().toStdString() : std::string()));
        }
        if (b.next().isValid()) rows.push_back("\\n");
    }
    return rows;
}

class ChatDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        SharedQtApp();
        ASSERT_TRUE(dir.isValid());
        for (int n : {0, 7, 12, 123})
            WriteFace(dir.path() + "/" + QString::number(n) + ".bmp", Qt::red);
        std::ofstream(dir.path().toStdString() + "/13.bmp") << "BM not a picture";
        edit.SetFaceFolder(dir.path().toStdString());
        edit.SetSizeCap(300);
        edit.SetDefaultFont();
    }
    std::vector<std::string> Render(const std::string& markup, bool links = true) {
        edit.ClearText();
        edit.SetLinkEnabled(links);
        edit.AppendTaggedText(markup);
        return Runs(edit.document());
    }
    QApplication& qapp = SharedQtApp();  // before any widget
    QTemporaryDir dir;
    CChatRichEdit edit;
};

TEST_F(ChatDisplay, RenderingTable) {
    using V = std::vector<std::string>;
    const std::string def = "|180|0|宋体||";
    struct Case {
        const char* markup;
        bool links;
        V runs;
    } cases[] = {
        {"<>abc", true, {"abc|180|0|宋体||"}},
        {"<s=5000>x", true, {"x|300|0|宋体||"}},
        {"<s=abc>x", true, {"x|0|0|宋体||"}},
        {"<c=255>red<>black", true, {"red|180|255|宋体||", "black|180|0|宋体||"}},
        {"<x=1,c=255>t", true, {"t|180|255|宋体||"}},
        {"<ac=255>t", true, {"t|180|0|宋体||"}},
        {"<e=bu>t", true, {"t|180|0|宋体|bu|"}},
        {"<e=i,f=黑体>t", true, {"t|180|0|黑体|i|"}},
        {"<e=l,l=target>name", true, {"name|180|0|宋体|u|name"}},
        {"<e=l,l=target>name", false, {"name|180|0|宋体||"}},
        {"<z=12>hi", true, {"[face 12]", "hi|180|0|宋体||"}},
        {"<z=1234>", true, {"[face 123]"}},
        {"<z=qz系统通知> 您", true, {"[face 0]", " 您|180|0|宋体||"}},  // the notice icon
        {"<z=99>gone", true, {"gone|180|0|宋体||"}},                    // a missing face: text only
        {"<z=13>bad", true, {"bad|180|0|宋体||"}},                      // an unreadable one too
        {"a<b>c", true, {"a|180|0|宋体||", "c|180|0|宋体||"}},
        {"<c=1>a\r\nb", true, {"a|180|1|宋体||", "\\n", "b|180|1|宋体||"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markup);
        EXPECT_EQ(Render(c.markup, c.links), c.runs);
    }
    // Untagged text gets the control's default format; "a<b" is shown whole.
    V plain = Render("a<b");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].substr(0, plain[0].find('|')), "a<b");
    EXPECT_EQ(plain[0].substr(plain[0].find('|'), 7), "|180|0|");
}

TEST_F(ChatDisplay, LinksDetectionAndTheLinkMap) {
    edit.SetLinkEnabled(true);
    edit.AppendTaggedText("<e=l,l=first>更多");
    edit.AppendTaggedText("<e=lp,l=second>更多");
    int pass = 0;
    EXPECT_EQ(edit.FindLink("更多", &pass), "second");  // the last target counts
    EXPECT_EQ(pass, 1);
    pass = 1;
    EXPECT_EQ(edit.FindLink("http://x.test/", &pass), "");
    EXPECT_EQ(pass, 0);  // a detected address never passes the identity
    // Addresses become anchors only while detection is on.
    edit.SetAutoUrlDetect(true);
    EXPECT_EQ(Render("<>go http://x.test/a now"),
              (std::vector<std::string>{"go |180|0|宋体||",
                                        "http://x.test/a|180|0|宋体|u|http://x.test/a",
                                        " now|180|0|宋体||"}));
    edit.SetAutoUrlDetect(false);
    EXPECT_EQ(Render("<>go http://x.test/a"),
              (std::vector<std::string>{"go http://x.test/a|180|0|宋体||"}));
    // Clearing keeps the links known.
    edit.ClearText();
    EXPECT_EQ(edit.FindLink("更多", &pass), "second");
}

TEST_F(ChatDisplay, KeepsTheNewestLinesAndShowsTheLast) {
    edit.resize(200, 80);
    edit.SetMaxLines(5);
    for (int i = 0; i < 40; ++i) edit.AppendTaggedText("line " + std::to_string(i) + "\r\n");
    EXPECT_LE(edit.document()->blockCount(), 5);
    QString text = edit.toPlainText();
    EXPECT_TRUE(text.contains("line 39"));
    EXPECT_FALSE(text.contains("line 30\n"));
    EXPECT_EQ(edit.verticalScrollBar()->value(), edit.verticalScrollBar()->maximum());
    edit.SetMaxLines(1);
    edit.AppendTaggedText("last");
    EXPECT_EQ(edit.toPlainText(), "last");
}

TEST_F(ChatDisplay, AFloodOfFacesHoldsEachPictureOnce) {
    // Trimming drops old lines; the pictures they showed must not pile up behind them.
    edit.SetMaxLines(3);
    for (int i = 0; i < 50; ++i) edit.AppendTaggedText("<z=7><z=12><z=7>x\r\n");
    std::set<QString> names;
    int faces = 0;
    for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                ++faces;
                names.insert(it.fragment().charFormat().toImageFormat().name());
            }
    EXPECT_GE(faces, 6);
    EXPECT_EQ(names.size(), 2u);
    for (const QString& name : names)
        EXPECT_TRUE(edit.document()->resource(QTextDocument::ImageResource, QUrl(name)).isValid());
    // Clearing drops the pictures with the text; a later face is loaded again.
    edit.ClearText();
    edit.AppendTaggedText("<z=12>y");
    EXPECT_EQ(Runs(edit.document()), (std::vector<std::string>{"[face 12]", "y|180|0|宋体||"}));
    QTextCharFormat shown = edit.document()->begin().begin().fragment().charFormat();
    EXPECT_TRUE(edit.document()
                    ->resource(QTextDocument::ImageResource, QUrl(shown.toImageFormat().name()))
                    .isValid());
}

TEST_F(ChatDisplay, AFacePathOfMoreThan260CharactersIsNotLoaded) {
    // Nested folders so that "<folder>7.bmp" takes exactly 260 characters.
    std::string folder = dir.path().toStdString() + "/";
    const size_t want = 260 - std::string("7.bmp").size();
    while (folder.size() < want) {
        size_t part = std::min<size_t>(want - folder.size() - 1, 100);
        if (part == 0) {
            folder.insert(folder.size() - 1, "x");  // one more character in the last name
            continue;
        }
        folder += std::string(part, 'd') + "/";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    }
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    ASSERT_EQ(folder.size() + 5, 260u);
    WriteFace(QString::fromStdString(folder + "7.bmp"), Qt::red);
    WriteFace(QString::fromStdString(folder + "12.bmp"), Qt::red);
    edit.SetFaceFolder(folder);
    EXPECT_EQ(Render("<z=7>a"), (std::vector<std::string>{"[face 7]", "a|180|0|宋体||"}));
    EXPECT_EQ(Render("<z=12>b"), (std::vector<std::string>{"b|180|0|宋体||"}));  // 261
}

// ---- the chat view against the in-process game server

// Frees what the connection's socket delivers (the test has no communication thread).
struct DrainLoop {
    platform::MessageLoop loop;
    DrainLoop() {
        loop.setThreadHandler([](const platform::Message& m) {
            if (m.id == netlib::kMsgSocketEvent)
                netlib::YrnFreeSocketMessage(netlib::YrnEnvelopeOf(m), netlib::YrnRecordOf(m));
        });
        loop.start();
    }
    ~DrainLoop() {
        loop.quit();
        loop.join();
    }
};

struct RecordingRunner : platform::RecordingProcessRunner {
    std::mutex mu;
    std::atomic<int> count{0};
    bool openUrl(std::string_view url) override {
        std::lock_guard<std::mutex> g(mu);
        bool r = platform::RecordingProcessRunner::openUrl(url);
        ++count;
        return r;
    }
};

struct ChatApp : CGameApp {
    ChatApp() : CGameApp("HqLv", 21303, 2, 1) {}
    void SetFrame(CGameFrameWnd* f) { frame_ = f; }
};

class ChatViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        SharedQtApp();
        ASSERT_TRUE(dir.isValid());
        hqlv::server::ServerOptions opt;
        opt.port = 0;
        opt.log = [](const std::string&) {};
        server = std::make_unique<hqlv::server::GameServer>(opt);
        ASSERT_TRUE(server->Start());
        ASSERT_TRUE(app.ApplyHallCommandLine("77|127.0.0.1|3|4242|0|1001|5|0|0|0|title|" +
                                             std::to_string(server->Port()) + "|0|0|0"));
        *app.SeatMutable(0) = Record(1001, 0, "我自己");
        *app.SeatMutable(1) = Record(2002, 1, "<c=255>管理员");
        platform::setClock(&clock);
        view = std::make_unique<CGameChatView>();
        view->resize(300, 200);
    }
    void TearDown() override {
        view.reset();
        platform::setClock(nullptr);
        platform::setProcessRunner(nullptr);
        server->Stop();
    }
    void Connect() {
        CGameConnection* conn = app.GetConnection();
        conn->InitCodec();
        conn->SetOwnerThread(drain.loop.threadId());
        int flag = 0;
        ASSERT_NE(conn->Connect("", "127.0.0.1", server->Port(), &flag), 0);
        ASSERT_TRUE(server->WaitForClients(1, 3000));
    }
    // The text of the n-th request with that id (GBK bytes from byte 48).
    std::string SentText(int id, int nth) {
        auto r = server->WaitForRequest(id, 3000, nth);
        if (!r || r->body.size() <= 48) return "<none>";
        return std::string(reinterpret_cast<const char*>(r->body.data() + 48));
    }
    int Count(int id) {
        int n = 0;
        for (auto& r : server->Received()) n += r.id == id;
        return n;
    }
    QTemporaryDir dir;
    std::unique_ptr<hqlv::server::GameServer> server;
    DrainLoop drain;
    ChatApp app;
    platform::ManualClock clock{100000};
    std::unique_ptr<CGameChatView> view;
};

TEST_F(ChatViewTest, InjectedNameAndTextStayLiteralAndFacesStillShow) {
    WriteFace(dir.path() + "/7.bmp", Qt::green);
    view->SetFaceFolder(dir.path().toStdString());
    Words chat(128);
    chat.w(0, 2002).text(48, "<c=255,s=3000>【系统】<e=l,l=http://x>点我\r\n<><z=7>");
    view->ShowPlayerChat({chat.data(), chat.bytes.size()});
    std::vector<std::string> runs = Runs(view->display()->document());
    ASSERT_EQ(runs.size(), 4u) << ::testing::PrintToString(runs);
    EXPECT_EQ(runs[0], " ＜c=255>管理员说：|180|0|宋体||");  // the name is literal text
    EXPECT_EQ(runs[1], "＜c=255,s=3000>【系统】＜e=l,l=http://x>点我  |180|8421440|宋体||");
    EXPECT_EQ(runs[2], "[face 7]");
    EXPECT_EQ(runs[3], "\\n");
    int pass = 1;
    EXPECT_EQ(view->display()->FindLink("点我", &pass), "");
}

TEST_F(ChatViewTest, SendsFloodRuleAndTheCutText) {
    Connect();
    view->inputBox()->setEditText("hello");
    view->SendChat();
    EXPECT_EQ(SentText(201211, 1), "hello");
    EXPECT_EQ(view->inputBox()->currentText(), "");
    EXPECT_EQ(view->inputBox()->count(), 1);
    // Within 2000 ms: not sent, the text stays in the box.
    clock.advance(1999);
    view->inputBox()->setEditText("again");
    view->SendChat();
    view->ShowOwnFace(3);
    EXPECT_EQ(view->inputBox()->currentText(), "again");
    clock.advance(1);
    // 80 characters: the first 61 GBK bytes, never half a character.
    std::string eighty = "a";
    for (int i = 0; i < 79; ++i) eighty += "字";
    view->inputBox()->setEditText(QString::fromStdString(eighty));
    view->SendChat();
    std::string sent = SentText(201211, 2);
    EXPECT_EQ(sent.size(), 61u);
    EXPECT_EQ(GbkToUtf8(sent), eighty.substr(0, 1 + 30 * 3));
    // The input history keeps what went, not what was typed.
    ASSERT_EQ(view->inputBox()->count(), 2);
    EXPECT_EQ(view->inputBox()->itemText(1).toStdString(), eighty.substr(0, 1 + 30 * 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Count(201211), 2);
    EXPECT_EQ(Count(201210), 0);
    // An empty input sends nothing.
    clock.advance(2000);
    view->inputBox()->setEditText("");
    view->SendChat();
    view->ShowOwnChat();
    // Own chat goes as table chat and shows at once, its tags made literal.
    clock.advance(2000);
    view->display()->ClearText();
    view->inputBox()->setEditText("<s=900>x<z=4>");
    view->ShowOwnChat();
    EXPECT_EQ(SentText(201210, 1), "<s=900>x<z=4>");
    EXPECT_EQ(Runs(view->display()->document())[0], " 我说：|180|0|宋体||");
    EXPECT_EQ(Runs(view->display()->document())[1], "＜s=900>x|180|8421440|宋体||");
    EXPECT_EQ(view->inputBox()->currentText(), "");
    // A long own chat: the table gets, the pane shows and the history keeps the same cut.
    clock.advance(2000);
    view->display()->ClearText();
    view->inputBox()->setEditText(QString::fromStdString(eighty));
    view->ShowOwnChat();
    EXPECT_EQ(GbkToUtf8(SentText(201210, 2)), eighty.substr(0, 1 + 30 * 3));
    EXPECT_EQ(Runs(view->display()->document())[1],
              eighty.substr(0, 1 + 30 * 3) + "|180|8421440|宋体||");
    EXPECT_EQ(view->inputBox()->itemText(view->inputBox()->count() - 1).toStdString(),
              eighty.substr(0, 1 + 30 * 3));
    // The own face goes as table chat and shows at once.
    clock.advance(2000);
    view->ShowOwnFace(3);
    EXPECT_EQ(SentText(201210, 3), "<><z=3>");
    EXPECT_TRUE(view->display()->toPlainText().endsWith("我说：\n"));
}

TEST_F(ChatViewTest, PickerShowsOnlyWritableNumberedFacesAndAClickSendsTheFace) {
    Connect();
    std::string folder = dir.path().toStdString() + "/";
    for (const char* f : {"3.bmp", "abc.bmp", "0.bmp", "5.bmp"})
        WriteFace(QString::fromStdString(folder + f), Qt::blue);
    ASSERT_EQ(chmod((folder + "5.bmp").c_str(), 0444), 0);
    std::ofstream(folder + "face.ini") << "[Remark]\r\n3=" << Utf8ToGbk("微笑") << "\r\n";
    view->SetFaceFolder(folder);
    view->OnFaceButton();
    CFacePickerWnd* picker = view->facePicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->faceNumbers(), std::vector<int>{3});
    int w = 0, h = 0;
    picker->GetSize(&w, &h);
    EXPECT_EQ(w, 240);
    EXPECT_EQ(h, 24);
    ASSERT_NE(picker->cell(0), nullptr);
    EXPECT_EQ(picker->cell(0)->toolTip(), "微笑");
    EXPECT_EQ(picker->cell(0)->geometry(), QRect(0, 0, 24, 24));
    picker->cell(0)->click();
    EXPECT_FALSE(picker->isVisible());
    ASSERT_TRUE(Pump([&] { return Count(201210) == 1; }));
    EXPECT_EQ(SentText(201210, 1), "<><z=3>");
}

// A grid made and shown by anyone reads its faces as it first shows, sized to them before
// it is placed; a later showing keeps them until they are read again.
TEST_F(ChatViewTest, PickerReadsItsFacesWhenFirstShown) {
    std::string folder = dir.path().toStdString() + "/own/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    for (int n = 1; n <= 12; ++n)
        WriteFace(QString::fromStdString(folder + std::to_string(n) + ".bmp"), Qt::blue);
    CFacePickerWnd picker;
    picker.SetFaceFolder(folder);
    EXPECT_EQ(picker.faceCount(), 0);
    picker.ShowAt(QPoint(400, 300));
    EXPECT_EQ(picker.faceCount(), 12);
    EXPECT_EQ(picker.size(), QSize(240, 48));
    EXPECT_EQ(picker.pos(), QPoint(400 - 240, 300 - 48));
    picker.hide();
    WriteFace(QString::fromStdString(folder + "13.bmp"), Qt::blue);
    picker.ShowAt(QPoint(400, 300));
    EXPECT_EQ(picker.faceCount(), 12);
    EXPECT_EQ(picker.LoadFaces(), 13);
    picker.hide();
}

// The faces are read under the wait cursor, whoever shows the grid first: through the face
// button and for a grid shown by itself; the cursor is given back once they are read.
TEST_F(ChatViewTest, PickerReadsItsFacesUnderTheWaitCursor) {
    std::string folder = dir.path().toStdString() + "/waited/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    for (int n = 1; n <= 3; ++n)
        WriteFace(QString::fromStdString(folder + std::to_string(n) + ".bmp"), Qt::blue);
    // Each face's cell is a child the grid gains while it reads: the depth of the wait
    // cursors then.
    struct Watch : QObject {
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::ChildAdded && dynamic_cast<CFacePickerWnd*>(o))
                depths.push_back(platform::ui::WaitCursor::depth());
            return false;
        }
        std::vector<int> depths;
    } watch;
    QCoreApplication::instance()->installEventFilter(&watch);
    const int before = platform::ui::WaitCursor::depth();
    view->SetFaceFolder(folder);
    view->OnFaceButton();
    ASSERT_EQ(view->facePicker()->faceCount(), 3);
    ASSERT_EQ(watch.depths.size(), 3u);
    for (int depth : watch.depths) EXPECT_GT(depth, before);
    EXPECT_EQ(platform::ui::WaitCursor::depth(), before);
    view->facePicker()->hide();
    watch.depths.clear();
    CFacePickerWnd alone;
    alone.SetFaceFolder(folder);
    alone.ShowAt(QPoint(400, 300));
    ASSERT_EQ(alone.faceCount(), 3);
    ASSERT_EQ(watch.depths.size(), 3u);
    for (int depth : watch.depths) EXPECT_EQ(depth, before + 1);
    EXPECT_EQ(platform::ui::WaitCursor::depth(), before);
    alone.hide();
    QCoreApplication::instance()->removeEventFilter(&watch);
}

TEST_F(ChatViewTest, PickerTakesAtMost256Faces) {
    std::string folder = dir.path().toStdString() + "/many/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    for (int n = 1; n <= 257; ++n)
        WriteFace(QString::fromStdString(folder + std::to_string(n) + ".bmp"), Qt::blue);
    view->SetFaceFolder(folder);
    view->OnFaceButton();
    EXPECT_EQ(view->facePicker()->faceCount(), 256);
    int w = 0, h = 0;
    view->facePicker()->GetSize(&w, &h);
    EXPECT_EQ(h, 26 * 24);
    EXPECT_EQ(view->facePicker()->cell(255)->geometry(), QRect(5 * 24, 25 * 24, 24, 24));
}

TEST_F(ChatViewTest, NoticeLinkIsOpenedSignedAndAnUnknownTextUnsigned) {
    RecordingRunner runner;
    platform::setProcessRunner(&runner);
    view->ShowText("<notify><e=lp,l= http://a.test/x >更多<> http://b.test/y");
    // Links are off again after the notice.
    EXPECT_FALSE(view->display()->linkEnabled());
    EXPECT_EQ(view->display()->sizeCap(), 300);
    // A real click on the link's text.
    QTextCursor c = view->display()->document()->find("更多");
    ASSERT_FALSE(c.isNull());
    c.setPosition(c.selectionStart() + 1);
    view->show();
    QPoint at = view->display()->cursorRect(c).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, view->display()->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->display()->viewport(), &press);
    ASSERT_TRUE(Pump([&] { return runner.count >= 1; }));
    platform::send(view->hwnd(), MakeTextMessage(kMsgChatLink, "   ", 0));  // opens nothing
    platform::send(view->hwnd(), MakeTextMessage(kMsgChatLink, "http://b.test/y", 0));
    ASSERT_TRUE(Pump([&] { return runner.count >= 2; }));
    std::lock_guard<std::mutex> g(runner.mu);
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(runner.calls[0].argument, "http://a.test/x?uid=1001&sign=");
    EXPECT_EQ(runner.calls[1].argument, "http://b.test/y");
}

TEST_F(ChatViewTest, HooksMessagesAndLayout) {
    PlayerRecord looker = Record(6006, 0, "看客");
    view->OnPlayerJoined(looker);
    Words call(40);
    call.w(0, 2002).w(4, 1001);
    view->ShowCall({call.data(), call.bytes.size()});
    Words silver(27);  // one byte short: nothing
    view->ShowSilverNotice({silver.data(), silver.bytes.size()});
    platform::send(view->hwnd(), MakeTextMessage(kMsgChatAppend, "<c=255>第三行", 0));
    QString text = view->display()->toPlainText();
    EXPECT_EQ(text, " 看客进入旁观 \n ＜c=255>管理员呼叫 我自己\n第三行");
    platform::send(view->hwnd(), MakeTextMessage(kMsgChatInputText, "预设", 0));
    EXPECT_EQ(view->inputBox()->currentText(), "预设");
    platform::Message clear;
    clear.id = kMsgChatClear;
    platform::send(view->hwnd(), clear);
    EXPECT_EQ(view->display()->toPlainText(), "");
    // Layout: display over the input line, face button square at its right.
    view->resize(300, 200);
    view->ShowFaceButton(true);
    int b = view->inputBox()->height();
    EXPECT_EQ(view->display()->geometry(), QRect(0, 0, 300, 200 - b));
    EXPECT_EQ(view->faceButton()->geometry(), QRect(300 - b, 200 - b, b, b));
    view->ShowFaceButton(false);
    EXPECT_EQ(view->inputBox()->geometry().width(), 300);
    // History lines: trailing blanks cut.
    std::string hist = dir.path().toStdString() + "/hist.txt";
    std::ofstream(hist) << "one  \r\n" << Utf8ToGbk("二") << "\n";
    view->AddInputHistory(hist);
    view->AddInputHistory(hist + ".missing");
    ASSERT_EQ(view->inputBox()->count(), 2);
    EXPECT_EQ(view->inputBox()->itemText(0), "one");
    EXPECT_EQ(view->inputBox()->itemText(1), "二");
}

// The face button is the one way to the face picker, so it shows a face from its making: the
// game's icon once the game names one, and until then (or when the icon named is missing)
// a face of its own rather than an empty square that would not say what it opens.
TEST_F(ChatViewTest, TheFaceButtonShowsAFaceUntilAndUnlessTheGameNamesItsIcon) {
    const QImage own = view->faceButton()->iconIn();
    ASSERT_FALSE(own.isNull());
    const std::optional<QImage> icon = LoadProgramBitmap(152);
    ASSERT_TRUE(icon) << GetResourceBitmapPath(152);
    ASSERT_NE(own.convertToFormat(QImage::Format_ARGB32),
              icon->convertToFormat(QImage::Format_ARGB32));
    // A number the program has no picture of changes nothing.
    EXPECT_FALSE(view->SetFaceButtonIcon(999999));
    EXPECT_EQ(view->faceButton()->iconIn(), own);
    ASSERT_TRUE(view->SetFaceButtonIcon(152));
    EXPECT_EQ(view->faceButton()->iconIn().convertToFormat(QImage::Format_ARGB32),
              icon->convertToFormat(QImage::Format_ARGB32));
    // Once the game's icon shows, a missing one named later leaves it.
    EXPECT_FALSE(view->SetFaceButtonIcon(999999));
    EXPECT_EQ(view->faceButton()->iconIn().convertToFormat(QImage::Format_ARGB32),
              icon->convertToFormat(QImage::Format_ARGB32));
}

TEST_F(ChatViewTest, GameEnteredShowsTheInputAndTheWelcome) {
    EXPECT_FALSE(view->inputBox()->isVisibleTo(view.get()));
    platform::Message entered;
    entered.id = kMsgGameEntered;
    platform::send(view->hwnd(), entered);
    EXPECT_TRUE(view->inputBox()->isVisibleTo(view.get()));
    EXPECT_TRUE(view->display()->toPlainText().startsWith(" 欢迎来到"));
    EXPECT_TRUE(view->display()->toPlainText().contains("第6桌"));
}

// The chat pane itself with tables at the top of the range: a player's table and the own
// table (entering, changing, the welcome) show the table a player counts from 1.
TEST_F(ChatViewTest, TablesAtTheTopOfTheRangeShowTheTableCountedFromOne) {
    PlayerRecord top = Record(2002, 1, "甲");
    top.setWord(PlayerRecord::kValue9, INT32_MAX);
    view->ShowTableEnter(top);
    PlayerRecord bottom = Record(2002, 1, "甲");
    bottom.setWord(PlayerRecord::kValue9, INT32_MIN);
    view->ShowTableLeave(bottom);
    app.SetTableNo(INT32_MAX);
    view->ShowTableChanged({});
    platform::Message entered;
    entered.id = kMsgGameEntered;
    platform::send(view->hwnd(), entered);
    const QStringList lines = view->display()->toPlainText().split('\n');
    ASSERT_GE(lines.size(), 5) << view->display()->toPlainText().toStdString();
    EXPECT_EQ(lines[0], " 甲进入第2147483648桌 ");
    EXPECT_EQ(lines[1], " 甲离开第-2147483647桌 ");
    EXPECT_EQ(lines[2], " 您已经被换到第2147483648桌");
    EXPECT_TRUE(lines[4].endsWith(" 第2147483648桌")) << lines[4].toStdString();
}

// ---- the skinned button

TEST(SkinButton, ColoursOffsetsAndStyles) {
    SharedQtApp();
    CSkinButton b;
    ColorRef before = b.color(3);
    EXPECT_EQ(b.SetColor(6, 0x123456), 3);
    EXPECT_EQ(b.SetColor(-1, 0x123456), 3);
    EXPECT_EQ(b.color(3), before);
    EXPECT_EQ(b.SetColor(2, platform::ui::Rgb(230, 100, 10)), 0);
    EXPECT_EQ(b.OffsetColor(2, 300), 5);
    EXPECT_EQ(b.OffsetColor(2, -256), 5);
    EXPECT_EQ(b.OffsetColor(6, 10), 3);
    EXPECT_EQ(b.OffsetColor(-1, 10), 3);
    EXPECT_EQ(b.SetColor(0, platform::ui::Rgb(10, 10, 10)), 0);
    EXPECT_EQ(b.OffsetColor(0, 5), 0);
    EXPECT_EQ(b.color(0), platform::ui::Rgb(15, 15, 15));
    EXPECT_EQ(b.color(2), platform::ui::Rgb(230, 100, 10));
    EXPECT_EQ(b.OffsetColor(2, 40), 0);
    EXPECT_EQ(b.color(2), platform::ui::Rgb(255, 125, 35));
    EXPECT_EQ(b.OffsetColor(2, -255), 0);  // the lowest channel (35) stops the shade
    EXPECT_EQ(b.color(2), platform::ui::Rgb(220, 90, 0));
    EXPECT_EQ(b.OffsetColor(2, 255), 0);
    EXPECT_EQ(b.OffsetColor(2, 255), 0);
    EXPECT_EQ(b.color(2), platform::ui::Rgb(255, 125, 35));
    EXPECT_EQ(b.SetPressedStyle(2), 6);
    EXPECT_EQ(b.SetPressedStyle(1), 0);
    EXPECT_EQ(b.pressedOffset(), QPoint(0, 2));
    EXPECT_EQ(b.SetPressedStyle(0), 0);
    EXPECT_EQ(b.pressedOffset(), QPoint(1, 1));
    b.ResetColors();
    EXPECT_EQ(b.color(3), before);
    EXPECT_EQ(GreyOf(platform::ui::Rgb(100, 200, 50)), 153);  // 29.9 + 117.4 + 5.7
    EXPECT_EQ(GreyOf(platform::ui::Rgb(1, 1, 1)), 1);
    EXPECT_EQ(GreyOf(platform::ui::Rgb(0, 0, 9)), 1);  // 1.026
}

TEST(SkinButton, CheckBoxTogglesAndSendsNoMenuCommand) {
    SharedQtApp();
    CSkinButton b;
    b.SetCheckBoxMode(true);
    QMenu menu;
    menu.addAction("x")->setData(77);
    b.SetMenu(&menu, 0);
    b.click();
    EXPECT_TRUE(b.GetCheck());
    EXPECT_FALSE(b.menuShown());
    // Checked counts as pressed: the "in" background while the pointer is away.
    b.SetColor(CSkinButton::kBkIn, 0x0000FF);
    b.SetColor(CSkinButton::kBkOut, 0x00FF00);
    b.SetColor(CSkinButton::kBkFocus, 0x00FF00);
    EXPECT_EQ(b.CurrentBackground(), 0x0000FFu);
    b.click();
    EXPECT_FALSE(b.GetCheck());
    // Pointer in: the "in" colours paint (the button is in no active window: it tracks
    // the pointer only when told to track always).
    b.SetAlwaysTrack(true);
    b.SetColor(CSkinButton::kBkIn, 0x0000FF);
    b.SetColor(CSkinButton::kBkOut, 0x00FF00);
    EXPECT_EQ(b.CurrentBackground(), 0x00FF00u);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&b, &enter);
    EXPECT_TRUE(b.pointerIn());
    EXPECT_EQ(b.CurrentBackground(), 0x0000FFu);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&b, &leave);
    EXPECT_FALSE(b.pointerIn());
}

TEST(SkinButton, MenuCommandGoesToTheOwnerAndNothingElseHappens) {
    SharedQtApp();
    struct Owner : platform::ui::Window {
        std::vector<uintptr_t> commands;
        intptr_t handleMessage(const platform::Message& m) override {
            if (m.id == kMsgCommand) commands.push_back(m.w);
            return 0;
        }
    } owner;
    platform::RecordingProcessRunner runner;
    platform::setProcessRunner(&runner);
    CSkinButton b;
    QMenu menu;
    menu.addAction("x")->setData(77);
    b.SetMenu(&menu, owner.hwnd());
    b.SetURL("http://not.opened/");
    // Choose the first entry once the menu is up.
    QTimer::singleShot(50, [&] {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&menu, &down);
        QApplication::sendEvent(&menu, &enter);
    });
    b.click();
    EXPECT_FALSE(b.menuShown());
    ASSERT_TRUE(Pump([&] { return !owner.commands.empty(); }));
    EXPECT_EQ(owner.commands, std::vector<uintptr_t>{77});
    platform::setProcessRunner(nullptr);
    EXPECT_TRUE(runner.calls.empty());
}

TEST(SkinButton, ImageCentredAloneAndAtTheLeftBesideACaption) {
    SharedQtApp();
    CSkinButton b;
    b.resize(60, 24);
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    b.SetImages(red, std::nullopt);
    b.SetColor(CSkinButton::kBkOut, 0xFFFFFF);
    QImage alone = b.grab().toImage();
    EXPECT_EQ(alone.pixelColor(26 + 4, 8 + 4), QColor(Qt::red));
    EXPECT_EQ(alone.pixelColor(4 + 4, 8 + 4), QColor(Qt::white));
    b.SetColor(CSkinButton::kFgOut, 0x0000FF);  // red caption
    b.setText("WW");
    QImage beside = b.grab().toImage();
    bool redText = false;
    for (int y = 0; y < beside.height(); ++y)
        for (int x = 14; x < beside.width(); ++x)
            redText = redText || beside.pixelColor(x, y) == QColor(Qt::red);
    EXPECT_TRUE(redText);
    EXPECT_EQ(beside.pixelColor(4 + 4, 8 + 4), QColor(Qt::red));
    EXPECT_EQ(beside.pixelColor(26 + 4, 8 + 4).red(), beside.pixelColor(26 + 4, 8 + 4).blue());
}

TEST(SkinButton, UrlOpensAndGreyCopyKeepsBlack) {
    SharedQtApp();
    platform::RecordingProcessRunner runner;
    platform::setProcessRunner(&runner);
    CSkinButton b;
    b.SetURL("http://c.test/");
    b.click();
    platform::setProcessRunner(nullptr);
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].argument, "http://c.test/");
    QImage img(2, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgb(0, 0, 0));
    img.setPixel(1, 0, qRgb(100, 200, 50));
    QImage grey = GreyscaleCopy(img);
    EXPECT_EQ(grey.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(grey.pixel(1, 0), qRgb(153, 153, 153));
}

// ---- the main frame's chat pane

TEST(ChatFrame, TheFramesChatPaneIsTheChatView) {
    SharedQtApp();
    QTemporaryDir dir;
    setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
    ChatApp app;
    testing::EntryLine e;
    ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
    {
        CGameFrameWnd frame(app);
        ASSERT_TRUE(frame.Create());
        app.SetFrame(&frame);
        auto* chat = dynamic_cast<CGameChatView*>(frame.GetChatView());
        ASSERT_NE(chat, nullptr);
        EXPECT_EQ(frame.panes().back(), chat);
        EXPECT_TRUE(app.SendChatViewMessage("<c=255>系统"));
        EXPECT_EQ(chat->display()->toPlainText(), "系统");
        frame.ShowNoticeText("<notify>公告");
        EXPECT_EQ(frame.noticesShown(), 1);
        EXPECT_TRUE(chat->display()->toPlainText().endsWith("公告"));
        app.SetFrame(nullptr);
    }
    unsetenv("HQLV_RUNTIME_DIR");
}

}  // namespace
}  // namespace hqlv::framework
