// The framework's window pieces under Qt's offscreen platform: message boxes, the
// communication thread's relay, panes, the splitter's bars, the main frame's handling of
// server messages and hall records, and sign requests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <regex>
#include <thread>

#include "builders.h"
#include "framework/app/comm_thread.h"
#include "framework/app/game_app.h"
#include "framework/app/settings_files.h"
#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/hall/hall_records.h"
#include "framework/hall/hall_sign.h"
#include "framework/panes/form_view.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/msgbox_dlg.h"
#include "framework/panes/table_view.h"
#include "framework/widgets/owner_draw_menu.h"
#include "hqlv/config.h"
#include "netlib/log.h"
#include "netlib/message.h"
#include "platform/core/bytes.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/message.h"
#include "platform/ui/ui_loop.h"
#include "qt_test_app.h"

namespace hqlv::framework {
namespace {

QApplication* g_app = nullptr;

QApplication& qtApp() {
    if (!g_app) g_app = &testing::SharedQtApp();
    return *g_app;
}

// The application goes at the end of the program, with what the font system keeps.
class QtEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        // Whichever test made it (the kit's tests share it too).
        delete QCoreApplication::instance();
        g_app = nullptr;
    }
};
[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

bool Pump(const std::function<bool()>& pred, int ms = 3000) {
    for (int waited = 0; !pred(); waited += 5) {
        if (waited > ms) return false;
        platform::ui::processUiEvents(5);
        // Boxes delete themselves later, which a running event loop does on its own.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(MsgBoxDialog, CountdownPressesTheButtonTheStyleAllows) {
    qtApp();
    CGameMsgBoxDlg ok;
    ok.SetText("一行");
    ok.SetSeconds(2);
    ok.SetStyle(0);
    ok.OnCountdownTick();  // a tick before the box is set up changes nothing
    EXPECT_EQ(ok.GetSeconds(), 2);
    ok.InitDialog();
    const auto made = ok.findChildren<QWidget*>().size();
    ok.InitDialog();  // set up once only
    EXPECT_EQ(ok.findChildren<QWidget*>().size(), made);
    EXPECT_FALSE(ok.cancelButton()->isEnabled());
    EXPECT_EQ(ok.countdownItem()->text(), "2");
    ok.OnCountdownTick();
    EXPECT_EQ(ok.countdownItem()->text(), "1");
    ok.OnCountdownTick();
    EXPECT_EQ(ok.result(), kMsgBoxOk);
    EXPECT_EQ(ok.GetSeconds(), 0);

    CGameMsgBoxDlg question;
    question.SetSeconds(1);
    question.SetStyle(33);
    question.InitDialog();
    EXPECT_TRUE(question.cancelButton()->isEnabled());
    question.OnCountdownTick();
    EXPECT_EQ(question.result(), kMsgBoxCancel);
}

TEST(MsgBoxDialog, LongTextGrowsTheBoxAndMovesTheButtons) {
    qtApp();
    CGameMsgBoxDlg shortBox;
    shortBox.SetText("短");
    shortBox.InitDialog();
    EXPECT_EQ(shortBox.appliedExtraHeight(), 0);
    CGameMsgBoxDlg longBox;
    longBox.SetText("第一行\r\n第二行\r\n第三行\r\n第四行");
    longBox.SetButtonTexts("查看成绩", "退出");
    longBox.InitDialog();
    EXPECT_GT(longBox.appliedExtraHeight(), 0);
    EXPECT_EQ(longBox.height(), shortBox.height() + longBox.appliedExtraHeight());
    EXPECT_EQ(longBox.okButton()->y(), shortBox.okButton()->y() + longBox.appliedExtraHeight());
    EXPECT_EQ(longBox.okButton()->text(), "查看成绩");
    EXPECT_EQ(longBox.cancelButton()->text(), "退出");

    CGameMsgBoxDlg single;
    single.SetSingleButton(true);
    single.SetExtraWidth(40);
    single.InitDialog();
    EXPECT_TRUE(single.cancelButton()->isHidden());
    EXPECT_EQ(single.okButton()->x(), (single.width() - single.okButton()->width()) / 2);
    EXPECT_EQ(single.appliedExtraHeight(), 0);  // an extra width turns fitting off
}

TEST(MsgBoxDialog, ModelessBoxOpensItsLinkAndClosesTheMainWindow) {
    qtApp();
    int closed = 0;
    std::string opened;
    int flag = -1;
    auto* box = new CGameMsgBoxModelessDlg(
        nullptr, [&] { ++closed; },
        [&](const std::string& link, int f) {
            opened = link;
            flag = f;
        });
    box->SetText("本局结束");
    box->SetSeconds(0);  // modeless: 10
    box->SetLink("http://r/result", 1);
    box->Show();
    EXPECT_EQ(box->GetSeconds(), 10);
    box->okButton()->click();
    EXPECT_TRUE(Pump([&] { return closed == 1; }));
    EXPECT_EQ(opened, "http://r/result");
    EXPECT_EQ(flag, 1);

    opened.clear();
    auto* timed = new CGameMsgBoxModelessDlg(
        nullptr, [&] { ++closed; }, [&](const std::string& l, int) { opened = l; });
    timed->SetSeconds(1);
    timed->SetStyle(65);
    timed->SetLink("http://x", 0);
    timed->Show();
    timed->OnCountdownTick();  // Cancel: no link
    EXPECT_TRUE(Pump([&] { return closed == 2; }));
    EXPECT_EQ(opened, "");
}

// The countdown's one-second timer runs while there are seconds to count; a modal box given
// no seconds has none running.
TEST(MsgBoxDialog, TheOneSecondTimerRunsOnlyWithACountdown) {
    qtApp();
    for (int seconds : {3, 0}) {
        SCOPED_TRACE(seconds);
        CGameMsgBoxDlg box;
        box.SetSeconds(seconds);
        box.InitDialog();
        auto* timer = box.findChild<QTimer*>();
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->isActive(), seconds > 0);
        if (timer->isActive()) {
            EXPECT_EQ(timer->interval(), 1000);
        }
    }
}

// The icon item shows the style's icon: information, stop, exclamation, question; a style
// outside the table shows none.
TEST(MsgBoxDialog, TheIconFollowsTheStyle) {
    qtApp();
    struct Case {
        int style;
        std::optional<QStyle::StandardPixmap> icon;
    } cases[] = {{0, QStyle::SP_MessageBoxInformation},
                 {16, QStyle::SP_MessageBoxCritical},
                 {48, QStyle::SP_MessageBoxWarning},
                 {65, QStyle::SP_MessageBoxInformation},
                 {33, QStyle::SP_MessageBoxQuestion},
                 {1, std::nullopt},
                 {64, std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        CGameMsgBoxDlg box;
        box.SetStyle(c.style);
        box.InitDialog();
        const QPixmap shown = box.iconItem()->pixmap();
        if (!c.icon) {
            EXPECT_TRUE(shown.isNull());
            continue;
        }
        const QImage want =
            box.style()->standardIcon(*c.icon).pixmap(box.iconItem()->size()).toImage();
        ASSERT_FALSE(want.isNull());
        EXPECT_EQ(shown.toImage(), want);
    }
}

// A box comes up set up whichever way it is shown: its maker gives the texts, the style and
// the seconds and shows it, with no set-up call of its own.
TEST(MsgBoxDialog, EveryWayOfShowingTheBoxSetsItUp) {
    qtApp();
    enum Way { kShow, kOpen, kExec, kDoModal, kModelessShow };
    for (Way way : {kShow, kOpen, kExec, kDoModal, kModelessShow}) {
        SCOPED_TRACE(int(way));
        int closed = 0;
        CGameMsgBoxDlg plain;
        CGameMsgBoxDlg* box = &plain;
        if (way == kModelessShow)
            box = new CGameMsgBoxModelessDlg(
                nullptr, [&] { ++closed; }, nullptr);
        box->SetText("第一行\r\n第二行\r\n第三行\r\n第四行");
        box->SetButtonTexts("好", "不");
        box->SetStyle(33);
        box->SetSeconds(7);
        // What the box looked like when it first showed.
        bool made = false, cancelOn = false, modal = false;
        QString okText, cancelText, count, text;
        int grown = 0;
        auto look = [&] {
            made = box->okButton() != nullptr;
            if (!made) return;
            okText = box->okButton()->text();
            cancelText = box->cancelButton()->text();
            cancelOn = box->cancelButton()->isEnabled();
            count = box->countdownItem()->text();
            text = box->textItem()->text();
            grown = box->appliedExtraHeight();
            modal = QApplication::activeModalWidget() == box;
        };
        switch (way) {
            case kShow:
                box->show();
                look();
                break;
            case kOpen:
                box->open();
                look();
                break;
            case kModelessShow:
                static_cast<CGameMsgBoxModelessDlg*>(box)->Show();
                look();
                break;
            case kExec:
            case kDoModal:
                QTimer::singleShot(0, box, [&] {
                    look();
                    box->okButton()->click();
                });
                EXPECT_EQ(way == kExec ? box->exec() : box->DoModal(), kMsgBoxOk);
                EXPECT_TRUE(modal);
                break;
        }
        ASSERT_TRUE(made);
        EXPECT_EQ(okText, "好");
        EXPECT_EQ(cancelText, "不");
        EXPECT_TRUE(cancelOn);
        EXPECT_EQ(count, "7");
        EXPECT_EQ(text, "第一行\n第二行\n第三行\n第四行");
        EXPECT_GT(grown, 0);
        CGameMsgBoxDlg oneLine;
        oneLine.InitDialog();
        EXPECT_EQ(box->height(), oneLine.height() + grown);
        // Shown again, the box is not built a second time.
        const auto children = box->findChildren<QWidget*>().size();
        box->hide();
        box->show();
        EXPECT_EQ(box->findChildren<QWidget*>().size(), children);
        if (way == kModelessShow) {
            box->okButton()->click();
            EXPECT_TRUE(Pump([&] { return closed == 1; }));
        } else {
            box->hide();
        }
    }
}

std::atomic<int> g_freed{0};

platform::Message ServerMessage(uint32_t objectId, int code, std::vector<uint8_t> body) {
    auto* env = new netlib::YrnEnvelope;
    env->objectId = objectId;
    auto* rec = new netlib::YrnRecord;
    rec->head[1] = code;
    rec->length = int32_t(body.size());
    if (!body.empty()) {
        rec->data = new uint8_t[body.size()];
        std::memcpy(rec->data, body.data(), body.size());
    }
    return netlib::YrnMakeSocketMessage(env, rec);
}

TEST(CommThread, RelaysToTheTargetAndFreesWhatNobodyTakes) {
    platform::MessageLoop frameLoop;
    std::atomic<int> got{0};
    platform::FunctionTarget frame([&](const platform::Message& m) -> intptr_t {
        if (m.id == netlib::kMsgSocketEvent) {
            ++got;
            netlib::YrnFreeSocketMessage(netlib::YrnEnvelopeOf(m), netlib::YrnRecordOf(m));
        }
        return 0;
    });
    platform::Handle h = frame.attach(frameLoop);
    ASSERT_TRUE(frameLoop.start());
    CGameCommThread comm;
    ASSERT_TRUE(comm.Start());
    // Before the frame exists: freed by the thread (the sanitiser's leak check sees it).
    ASSERT_TRUE(platform::postToThread(comm.threadId(), ServerMessage(1, 5, {1, 2, 3})));
    platform::Message target;
    target.id = kMsgCommSetTarget;
    target.w = h;
    ASSERT_TRUE(platform::postToThread(comm.threadId(), target));
    ASSERT_TRUE(platform::postToThread(comm.threadId(), ServerMessage(1, 6, {4})));
    ASSERT_TRUE(Pump([&] { return got == 1; }));
    // The frame goes away: the relay fails and the thread frees the blocks.
    frame.detach();
    ASSERT_TRUE(platform::postToThread(comm.threadId(), ServerMessage(1, 7, {5, 6})));
    ASSERT_TRUE(Pump([&] { return comm.dropped() == 2; }));
    EXPECT_EQ(comm.relayed(), 1);
    // Wait texts with no dialog are freed as well.
    ASSERT_TRUE(platform::postToThread(comm.threadId(), MakeTextMessage(kMsgCommWaitText, "x", 0)));
    comm.Stop(1000);
    frameLoop.quit();
    frameLoop.join();
}

TEST(CommThread, SignWindowHandsOnlyWholeAnswersToTheBroker) {
    QTemporaryDir dir;
    setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
    CGameCommThread comm;
    ASSERT_TRUE(comm.Start());
    CHallSignBroker broker;
    const platform::Handle h = comm.OpenSignWindow(&broker);
    ASSERT_NE(h, 0u);
    const uint32_t id = broker.Begin(1001);
    auto answer = [&](std::vector<uint8_t> plain) {
        PadHallRecord(plain);
        auto coded = EncryptHallData(plain.data(), plain.size());
        intptr_t r = -1;
        EXPECT_TRUE(platform::hallChannel().sendCopyData(h, h, kHallSignAnswer, coded->data(),
                                                         coded->size(), 3000, &r));
        return r;
    };
    EXPECT_EQ(answer(std::vector<uint8_t>(48, 1)), 0);  // not an answer
    EXPECT_EQ(answer(BuildHallSignAnswer({1001, "sig", id})), 1);
    std::string sign;
    EXPECT_TRUE(broker.Wait(id, 0, &sign));
    EXPECT_EQ(sign, "sig");
    comm.Stop(1000);
    unsetenv("HQLV_RUNTIME_DIR");
}

TEST(CommThread, WaitBarColoursStepTowardsTheBackground) {
    auto c = WaitBarColors(0x000000, 0x0C0C0C, 3);
    EXPECT_EQ(c[3], 0x000000u);
    EXPECT_EQ(c[2], 0x040404u);
    EXPECT_EQ(c[4], 0x040404u);
    EXPECT_EQ(c[0], 0x0C0C0Cu);
    EXPECT_EQ(c[5], 0x080808u);
    auto d = WaitBarColors(0x1A462E, 0x429473);
    for (uint32_t v : d)
        for (int ch = 0; ch < 3; ++ch) {
            int x = (v >> (8 * ch)) & 0xFF, f = (0x1A462E >> (8 * ch)) & 0xFF,
                b = (0x429473 >> (8 * ch)) & 0xFF;
            EXPECT_GE(x, std::min(f, b));
            EXPECT_LE(x, std::max(f, b));
        }
    // Bright indexes 1 to 5 are taken as given; others fall back to 3.
    for (int bright : {1, 5}) EXPECT_EQ(WaitBarColors(0x000000, 0x0C0C0C, bright)[bright], 0u);
    EXPECT_EQ(WaitBarColors(0x000000, 0x0C0C0C, 1)[0], 0x0C0C0Cu);
    EXPECT_EQ(WaitBarColors(0x000000, 0x0C0C0C, 0), c);
    EXPECT_EQ(WaitBarColors(0x000000, 0x0C0C0C, 6), c);
    auto r = c;
    RotateWaitBar(r, 1);
    EXPECT_EQ(r[4], c[3]);
    EXPECT_EQ(r[0], c[5]);
    RotateWaitBar(r, 0);
    EXPECT_EQ(r, c);
}

// The wait dialog takes the current skin's bar colours as it is made, with no further call;
// without an application (and so without a skin) it keeps its own.
TEST(CommThread, TheWaitDialogTakesTheCurrentSkinAsItStarts) {
    qtApp();
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString() + "/";
    ASSERT_TRUE(platform::makeFolders(root + "skins/red"));
    ASSERT_TRUE(platform::writeFile(root + "skins/red/skin.ini",
                                    "[CommColors]\r\nWaitBarfg=255 0 0\r\nWaitBarbg=0 0 255\r\n"));
    struct App : CGameApp {
        CSkinSettings own;
        explicit App(const std::string& r)
            : CGameApp("HqLv", 21303, 2, 1), own(r + "HqLv.ini", r) {}
        CSkinSettings* GetSkinSettings() override { return &own; }
    };
    {
        App app(root);
        app.own.SetSkinPath(root + "skins/red/skin.ini");
        CCommWaitDlg dlg;
        EXPECT_EQ(dlg.barColors(), WaitBarColors(0x0000FF, 0xFF0000));
    }
    ASSERT_EQ(CGameApp::Current(), nullptr);
    CCommWaitDlg plain;
    EXPECT_EQ(plain.barColors(), WaitBarColors(0x1A462E, 0x429473));
}

// A text for the hall goes as an encrypted record of kind 11 while the hall window lives, with
// the main window's handle (none here) and the text and value in their places; with the hall
// gone nothing is sent and the answer is 0.
TEST(HallMessages, TextToTheHallOnlyWhileItsWindowLives) {
    qtApp();
    CGameApp app("HqLv", 21303, 2, 1);
    ASSERT_TRUE(app.ApplyHallCommandLine(testing::EntryLine{}.line()));
    platform::RecordingHallChannel hall;
    platform::HallChannel* prev = platform::setHallChannel(&hall);
    EXPECT_EQ(app.SendTextToHall("你好", 7), 0);
    EXPECT_TRUE(hall.calls.empty());
    hall.alive.insert(app.HallWindow());
    EXPECT_EQ(app.SendTextToHall("你好", 7), 1);
    platform::setHallChannel(prev);
    ASSERT_EQ(hall.calls.size(), 1u);
    const auto& call = hall.calls[0];
    EXPECT_EQ(call.type, platform::RecordingHallChannel::Call::CopyData);
    EXPECT_EQ(call.to, app.HallWindow());
    EXPECT_EQ(call.msg, kHallText);
    auto plain = DecryptHallData(call.data.data(), call.data.size());
    ASSERT_TRUE(plain);
    ASSERT_GE(plain->size(), 544u);
    EXPECT_EQ(LoadWordLE(plain->data(), plain->size(), 1), app.GetUserID());
    EXPECT_EQ(LoadWordLE(plain->data(), plain->size(), 4), 7);
    EXPECT_EQ(GbkToUtf8(reinterpret_cast<const char*>(plain->data() + 20)), "你好");
}

TEST(Panes, SizeStepsAndWidenedCells) {
    qtApp();
    CGameFormView pane("p");
    EXPECT_FALSE(pane.OnSize(0, 10));
    EXPECT_TRUE(pane.OnSize(100, 50));
    EXPECT_FALSE(pane.OnSize(100, 50));
    EXPECT_TRUE(pane.OnSize(100, 51));
    EXPECT_EQ(CGameFormView::WidenedCell(QRect(10, 10, 100, 50)), QRect(9, 9, 102, 52));
    platform::Message entered;
    entered.id = kMsgGameEntered;
    EXPECT_EQ(platform::send(pane.hwnd(), entered), true);
    EXPECT_EQ(pane.gameEnteredCount(), 1);
}

TEST(Panes, SplitterBarsAndTiling) {
    qtApp();
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::black);
    CSkinSplitterWnd split(Qt::Horizontal);
    split.SetDrawMode(2);
    {
        QPainter p(&img);
        platform::ui::DrawContext dc(p);
        split.OnDrawSplitter(dc, QRect(0, 0, 5, 20));  // no pictures: the plain bar only
    }
    EXPECT_EQ(QColor(img.pixel(2, 10)), QColor(0xC8, 0xD0, 0xD4));
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(QColor(9, 9, 9));
    tile.setPixel(0, 0, qRgb(200, 0, 0));
    split.SetBarBitmaps(tile, std::nullopt);
    {
        QPainter p(&img);
        platform::ui::DrawContext dc(p);
        split.OnDrawSplitter(dc, QRect(2, 3, 5, 20));
    }
    // Anchored at the origin: the red corner lands on multiples of 4.
    EXPECT_EQ(QColor(img.pixel(4, 4)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(img.pixel(4, 8)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(img.pixel(3, 4)), QColor(9, 9, 9));
    EXPECT_EQ(QColor(img.pixel(8, 4)), QColor(0, 0, 0));  // right of the bar: untouched
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        qtApp();
        ASSERT_TRUE(dir.isValid());
        setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
        testing::EntryLine e;
        e.chairNo = 1;
        e.optionB = optionB;
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
        frame = std::make_unique<CGameFrameWnd>(app);
        ASSERT_TRUE(frame->Create());
    }
    void TearDown() override {
        frame.reset();
        unsetenv("HQLV_RUNTIME_DIR");
    }
    void copyData(uint32_t kind, std::vector<uint8_t> plain) {
        PadHallRecord(plain);
        auto coded = EncryptHallData(plain.data(), plain.size());
        frame->OnCopyData(kind, coded->data(), coded->size());
    }
    QTemporaryDir dir;
    int optionB = 0;
    CGameApp app{"HqLv", 21303, 2, 1};
    std::unique_ptr<CGameFrameWnd> frame;
};

// The modeless boxes on screen whose text is `text`.
int BoxesWithText(const QString& text) {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = dynamic_cast<CGameMsgBoxModelessDlg*>(w);
        if (box && box->isVisible() && box->textItem() && box->textItem()->text() == text) ++n;
    }
    return n;
}

// The first visible modeless box whose text begins with `prefix`.
CGameMsgBoxModelessDlg* FindBox(const QString& prefix) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = dynamic_cast<CGameMsgBoxModelessDlg*>(w);
        if (box && box->isVisible() && box->textItem() &&
            box->textItem()->text().startsWith(prefix))
            return box;
    }
    return nullptr;
}

// Boxes made without a main window have no parent: end them so that no test sees
// another's.
void DeleteBoxes() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = dynamic_cast<CGameMsgBoxModelessDlg*>(w)) delete box;
}

class IdleFrame : public Frame {
protected:
    IdleFrame() { optionB = 0xC0; }
};

TEST_F(IdleFrame, IdleTimerRunsAfterEntryAndItsExpiryAsksToLeave) {
    CGameTableView* table = frame->GetGameTableView();
    ASSERT_NE(table, nullptr);
    // Before the game is entered there are no idle seconds: nothing starts.
    table->StartIdleTimer();
    EXPECT_FALSE(table->idleTimerRunning());
    table->OnEnteredGame();
    EXPECT_EQ(table->idleSeconds(), 120);
    table->StartIdleTimer();
    EXPECT_TRUE(table->idleTimerRunning());
    table->StopIdleTimer();
    EXPECT_FALSE(table->idleTimerRunning());
    table->RestartIdleTimer();
    ASSERT_TRUE(table->idleTimerRunning());

    const QString text = "由于您长时间没有开始，系统请您离开游戏！";
    DeleteBoxes();
    ASSERT_EQ(BoxesWithText(text), 0);
    platform::Message expiry;
    expiry.id = platform::kTimerMessage;
    expiry.w = kTimerIdle;
    platform::send(frame->hwnd(), expiry);
    EXPECT_FALSE(table->idleTimerRunning());
    EXPECT_EQ(BoxesWithText(text), 1);
    // The timer was killed: no second box from the same expiry.
    platform::ui::processUiEvents(20);
    EXPECT_EQ(BoxesWithText(text), 1);
    DeleteBoxes();
}

TEST(FrameConnection, LostConnectionAbortsTheTableGameAndShowsTheBox) {
    qtApp();
    struct Table : CTableViewHooks {
        int aborted = 0;
        void OnGameAborted() override { ++aborted; }
    };
    struct TableFrame : CGameFrameWnd {
        using CGameFrameWnd::CGameFrameWnd;
        Table table;
        CTableViewHooks* GetTableView() override { return &table; }
    };
    struct App : CGameApp {
        using CGameApp::CGameApp;
        void SetFrame(CGameFrameWnd* f) { frame_ = f; }
        int IsPlaying() override { return playing; }
        int playing = 0;
    } app("HqLv", 21303, 2, 1);
    TableFrame frame(app);
    app.SetFrame(&frame);
    platform::send(frame.hwnd(),
                   ServerMessage(app.GetConnection()->GetObjectId(), netlib::kNoticeClosed, {}));
    EXPECT_EQ(frame.table.aborted, 1);
    EXPECT_EQ(BoxesWithText("与服务器连接断开。"), 1);
    CGameMsgBoxModelessDlg* box = FindBox("与服务器连接断开。");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->cancelButton()->isEnabled());  // the information box with both buttons
    EXPECT_EQ(box->GetSeconds(), 30);
    // Lost while playing: the longer text, in a box 16 pixels taller.
    app.playing = 1;
    platform::send(frame.hwnd(),
                   ServerMessage(app.GetConnection()->GetObjectId(), netlib::kNoticeError, {}));
    EXPECT_EQ(frame.table.aborted, 2);
    box = FindBox("断线了！请尽快重入房间续玩。");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->cancelButton()->isEnabled());
    EXPECT_EQ(box->appliedExtraHeight(), 16);
    // The extra height of the application's boxes reaches the box.
    app.MessageBoxModeless("已超出限定时间，不能继续游戏。", "确定", "取消", 60, 65, 24);
    box = FindBox("已超出限定时间");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->appliedExtraHeight(), 24);
    app.SetFrame(nullptr);
}

TEST(FrameHall, AStandaloneClientNeverAttachesToTheHallNorConnects) {
    qtApp();
    QTemporaryDir dir;
    setenv("HQLV_RUNTIME_DIR", (dir.path() + "/run").toStdString().c_str(), 1);
    struct App : CGameApp {
        App() : CGameApp("HqLv", 21303, 2, 1) {}
        using CGameApp::SetStandalone;
    } app;
    ASSERT_TRUE(app.ApplyHallCommandLine(testing::EntryLine{}.line()));
    app.SetStandalone(true);
    platform::RecordingHallChannel hall;
    hall.alive.insert(app.HallWindow());
    platform::HallChannel* prev = platform::setHallChannel(&hall);
    {
        const int skinned = CSkinLibrary::instance().CallCount(CSkinLibrary::Call::kSkinWindow);
        CGameFrameWnd frame(app);
        ASSERT_TRUE(frame.Create());
        // The frame is skinned once as it is made, with flags 0x80.
        EXPECT_EQ(CSkinLibrary::instance().CallCount(CSkinLibrary::Call::kSkinWindow), skinned + 1);
        const auto& recent = CSkinLibrary::instance().RecentCalls();
        const auto it = std::find_if(recent.rbegin(), recent.rend(), [](const auto& c) {
            return c.call == CSkinLibrary::Call::kSkinWindow;
        });
        ASSERT_NE(it, recent.rend());
        EXPECT_EQ(it->window, static_cast<const void*>(static_cast<QWidget*>(&frame)));
        EXPECT_EQ(it->arg, 0x80);
    }
    platform::setHallChannel(prev);
    unsetenv("HQLV_RUNTIME_DIR");
    EXPECT_TRUE(hall.calls.empty());
    EXPECT_EQ(app.ConnectGameServer(), 1);
    EXPECT_EQ(app.GetConnection()->IsConnected(), 0);
}

// The frame is shown maximised and lies where the platform puts any maximised window, with
// nothing of its own: the same place as a plain window maximised beside it, and a change of
// size, maximised or not, moves nothing of the frame's own accord.
TEST_F(Frame, MaximisedPlacementIsLeftToTheWindowManager) {
    EXPECT_TRUE(frame->isMaximized());
    QWidget plain;
    plain.showMaximized();
    platform::ui::processUiEvents(20);
    EXPECT_EQ(frame->geometry(), plain.geometry());
    EXPECT_EQ(frame->frameGeometry(), plain.frameGeometry());
    const QRect maximised = frame->geometry();
    QResizeEvent grown(maximised.size(), QSize(640, 480));
    QApplication::sendEvent(frame.get(), &grown);
    platform::ui::processUiEvents(20);
    EXPECT_EQ(frame->geometry(), maximised);
    EXPECT_TRUE(frame->isMaximized());
    frame->showNormal();
    const QRect placed(37, 41, 700, 500);
    frame->setGeometry(placed);
    platform::ui::processUiEvents(20);
    EXPECT_EQ(frame->geometry(), placed);
    frame->resize(650, 480);
    platform::ui::processUiEvents(20);
    EXPECT_EQ(frame->geometry(), QRect(placed.topLeft(), QSize(650, 480)));
}

TEST_F(Frame, NoNoticeTimerWithoutANoticeInterval) {
    ASSERT_EQ(app.GetNoticeInterval(), 0);
    platform::Message m;
    m.id = kMsgEnterGameStart;
    frame->onMessage(m);
    EXPECT_FALSE(frame->KillTimer(kTimerNotice));
}

// The hall's notice interval at the top of the range still starts the notice timer, at the
// longest period a timer keeps: in 32 bits its milliseconds wrapped to a negative period that
// no timer takes.
TEST_F(Frame, ANoticeIntervalAtTheTopOfTheRangeStillStartsTheTimer) {
    app.SetHallWord(70, INT32_MAX);
    ASSERT_EQ(app.GetNoticeInterval(), INT32_MAX);
    platform::Message m;
    m.id = kMsgEnterGameStart;
    frame->onMessage(m);
    EXPECT_TRUE(frame->KillTimer(kTimerNotice));
    app.SetHallWord(70, 0);
}

// A failed entry (no game server answers here) says so, asks the frame to close and goes no
// further: the entry answers 0, and no keep-alive starts for a game that was never entered.
TEST_F(Frame, AFailedEntryGoesNoFurtherThanItsMessage) {
    platform::Message m;
    m.id = kMsgEnterGame;
    EXPECT_EQ(frame->onMessage(m), 0);
    EXPECT_FALSE(frame->KillTimer(kTimerKeepAlive));
}

TEST_F(Frame, IdleTimerNeverStartsInARoomWithoutTheIdleCheck) {
    CGameTableView* table = frame->GetGameTableView();
    ASSERT_NE(table, nullptr);
    table->OnEnteredGame();
    EXPECT_EQ(table->idleSeconds(), 0);
    table->StartIdleTimer();
    EXPECT_FALSE(table->idleTimerRunning());
}

TEST_F(Frame, LayoutOfTheMainFrame) {
    ASSERT_EQ(frame->panes().size(), 5u);
    // Table, operation, score, players, chat: the player list is the fourth pane and the
    // only one.
    for (size_t i = 0; i < frame->panes().size(); ++i)
        EXPECT_EQ(dynamic_cast<CPlayerListHooks*>(frame->panes()[i]) != nullptr, i == 3) << i;
    EXPECT_EQ(frame->GetPlayerView(), dynamic_cast<CPlayerListHooks*>(frame->panes()[3]));
    EXPECT_EQ(frame->mainSplitter()->count(), 2);
    EXPECT_EQ(frame->rightSplitter()->count(), 4);
    EXPECT_EQ(frame->mainSplitter()->drawMode(), 2);
    QList<int> sizes = frame->mainSplitter()->sizes();
    ASSERT_EQ(sizes.size(), 2);
    double share = double(sizes[0]) / (sizes[0] + sizes[1]);
    EXPECT_NEAR(share, 7.0 / 9.0, 0.02);
    EXPECT_NE(frame->hallHandle(), 0u);
    EXPECT_EQ(frame->windowTitle(), "title");
}

TEST_F(Frame, ServerMessagesOfAnotherConnectionAreDroppedAndFreed) {
    uint32_t id = app.GetConnection()->GetObjectId();
    auto entry = testing::Entry(55, 3, "新人");
    platform::Message foreign = ServerMessage(id + 1, 211011, entry);
    ASSERT_TRUE(platform::post(frame->hwnd(), foreign));
    platform::Message own = ServerMessage(id, 211011, entry);
    ASSERT_TRUE(platform::post(frame->hwnd(), own));
    ASSERT_TRUE(Pump([&] { return app.GetSeatUserID(3) == 55; }));
    EXPECT_NE(frame->lastReceiveTick(), 0u);
}

TEST_F(Frame, HallRecordsAreCheckedBeforeUse) {
    HallTableState s;
    s.table.setWord(0, 5);
    s.seated = {testing::Record(1001, 1, "我"), testing::Record(7, 0, "甲")};
    copyData(kHallTableState, BuildHallTableState(s));
    EXPECT_EQ(app.GetSeatUserID(0), 7);
    // A state announcing nine seats is refused whole.
    auto bad = BuildHallTableState(s);
    bad[444 + 8] = 9;
    s.seated[1] = testing::Record(8, 0, "乙");
    copyData(kHallTableState, bad);
    EXPECT_EQ(app.GetSeatUserID(0), 7);
    // Not a whole number of AES blocks: refused.
    std::vector<uint8_t> odd(33, 1);
    frame->OnCopyData(kHallPlayerJoined, odd.data(), odd.size());
    // A player who left another table changes nothing.
    platform::ByteWriter left;
    left.u32(4242);
    left.i32(7);
    left.i32(6);
    left.i32(0);
    copyData(kHallPlayerLeft, left.take());
    EXPECT_TRUE(frame->tableActive());
    PlayerRecord joined = testing::Record(600, 0, "看客", 1);
    copyData(kHallPlayerJoined, {joined.raw.begin(), joined.raw.end()});
    EXPECT_EQ(app.IsLookerOn(600), 1);
}

TEST_F(Frame, RoomChangeThatCannotReachTheHallFails) {
    RoomRecord here, there;
    here.setWord(0, 0);
    there.setWord(0, 9);
    app.SetRoomListMode(2);
    app.AppendRoom(here);
    app.AppendRoom(there);
    EXPECT_EQ(app.RequestRoomChange(9), 0);  // no hall window is listening
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(Frame, ActivityLinksWithoutAHall) {
    const ActivityEntry recharge{.index = 2, .valueA = 30, .valueB = 40, .text = "http://a/r?c=1"};
    const ActivityEntry bad{.index = 9, .valueA = 0, .valueB = 0, .text = ""};
    app.SetActivityConfig(true, {recharge, bad});
    int a = 0, b = 0;
    std::string url = app.BuildSignedHallParams(2, &a, &b);
    EXPECT_EQ(a, 30);
    EXPECT_EQ(b, 40);
    EXPECT_EQ(url.rfind("http://a/r?c=1&v_sign=", 0), 0u) << url;
    // The recharge link is signed with the build's key, the one the deployment checks it by.
    const size_t time = url.find("&unix_time=");
    ASSERT_NE(time, std::string::npos) << url;
    const SignedLinkInput signedBy{
        0, 77, "HqLv", 1001, std::atoll(url.c_str() + time + 11), HQLV_LINK_SIGN_KEY};
    EXPECT_EQ(url.substr(std::strlen("http://a/r?c=1"), RechargeSignature(signedBy).size()),
              RechargeSignature(signedBy))
        << url;
    // No hall window: the sign is empty, the rest is there.
    EXPECT_NE(url.find("&uid=1001&sign=&game_id=77&game_code=HqLv&hall_id=0"), std::string::npos)
        << url;
    EXPECT_EQ(app.BuildSignedHallParams(0, &a, &b),
              "?uid=1001&sign=&game_id=77&game_code=HqLv&hall_id=0");
    EXPECT_EQ(app.BuildSignedHallParams(7, &a, &b), "");
    EXPECT_EQ(app.GetAdvertWindowUrl(), "/advert/window/77/xy.htm");
}

// The first activity key's entry is kept as any other: its values and page make its link.
TEST_F(Frame, TheFirstActivityEntryIsKept) {
    app.SetActivityConfig(true, {{.index = 0, .valueA = 5, .valueB = 6, .text = "http://a/first"}});
    int a = 0, b = 0;
    EXPECT_EQ(app.BuildSignedHallParams(0, &a, &b).rfind("http://a/first", 0), 0u);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 6);
}

// A frame whose player list and chat pane record what reaches them.
struct HookedFrame : CGameFrameWnd {
    struct List : CPlayerListHooks {
        std::vector<int> added;
        void AddPlayer(const PlayerRecord& r) override { added.push_back(r.userId()); }
    };
    struct Chat : CChatViewHooks {
        int joined = 0;
        void OnPlayerJoined(const PlayerRecord&) override { ++joined; }
    };
    using CGameFrameWnd::CGameFrameWnd;
    List list;
    Chat chat;
    CPlayerListHooks* GetPlayerView() override { return &list; }
    CChatViewHooks* GetChatView() override { return &chat; }
    // A hall record as the hall sends it: padded to whole blocks and enciphered.
    void Send(uint32_t kind, std::vector<uint8_t> plain) {
        PadHallRecord(plain);
        auto coded = EncryptHallData(plain.data(), plain.size());
        ASSERT_TRUE(coded.has_value());
        OnCopyData(kind, coded->data(), coded->size());
    }
};

// A joined player's record too short to read adds nobody: no looker-on's place is taken,
// the list and the chat hear of no one; a whole record reaches both.
TEST(HallPlayerJoined, ARecordTooShortToReadAddsNobody) {
    qtApp();
    CGameApp app("HqLv", 21303, 2, 1);
    HookedFrame frame(app);
    const PlayerRecord whole = testing::Record(600, 0, "看客", 1);
    for (size_t n : {size_t(16), size_t(304)}) {
        frame.Send(kHallPlayerJoined, {whole.raw.begin(), whole.raw.begin() + std::ptrdiff_t(n)});
        EXPECT_TRUE(frame.list.added.empty()) << n;
        EXPECT_EQ(frame.chat.joined, 0) << n;
        EXPECT_EQ(app.IsLookerOn(600), 0) << n;
    }
    frame.Send(kHallPlayerJoined, {whole.raw.begin(), whole.raw.end()});
    EXPECT_EQ(frame.list.added, std::vector<int>{600});
    EXPECT_EQ(frame.chat.joined, 1);
    EXPECT_EQ(app.IsLookerOn(600), 1);
}

// A record that does not decipher (not whole blocks) is refused, as the log says, and goes
// no further: nothing is taken from it, whatever its kind.
TEST(HallPlayerJoined, ARecordThatDoesNotDecipherIsRefusedAndGoesNoFurther) {
    qtApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string logs = dir.path().toStdString();
    netlib::YrnLogSetFolder(logs);
    CGameApp app("HqLv", 21303, 2, 1);
    HookedFrame frame(app);
    const std::vector<uint8_t> odd(33, 1);
    for (uint32_t kind : {kHallTableState, kHallPlayerJoined, kHallPlayerLeft})
        frame.OnCopyData(kind, odd.data(), odd.size());
    frame.Send(kHallPlayerLeft, std::vector<uint8_t>(16, 0));
    // A kind the frame does not take is not looked at, whether it deciphers or not.
    constexpr uint32_t kOther = 99;
    frame.OnCopyData(kOther, odd.data(), odd.size());
    frame.Send(kOther, std::vector<uint8_t>(16, 0));
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string log;
    EXPECT_TRUE(platform::readFile(netlib::YrnLogPathFor(local), &log));
    netlib::YrnLogSetFolder("");
    for (uint32_t kind : {kHallTableState, kHallPlayerJoined, kHallPlayerLeft})
        EXPECT_NE(log.find("hall record of kind " + std::to_string(kind) + " refused (33 bytes)"),
                  std::string::npos)
            << kind << log;
    EXPECT_EQ(log.find("kind " + std::to_string(kOther)), std::string::npos) << log;
    // The one record that deciphers is the only one taken.
    const std::regex taken("hall record of kind [0-9]+, [0-9]+ bytes");
    const auto lines =
        std::distance(std::sregex_iterator(log.begin(), log.end(), taken), std::sregex_iterator());
    EXPECT_EQ(lines, 1) << log;
    EXPECT_TRUE(frame.list.added.empty());
    EXPECT_EQ(frame.chat.joined, 0);
}

// The watchdog ends a client whose hall is gone; a client started without a hall has none
// to look for and goes on.
TEST(FrameWatchdog, AClientWithoutAHallDoesNotLookForOne) {
    qtApp();
    struct App : CGameApp {
        App() : CGameApp("HqLv", 21303, 2, 1) {}
        using CGameApp::SetStandalone;
    };
    struct Frame : CGameFrameWnd {
        using CGameFrameWnd::CGameFrameWnd;
        using CGameFrameWnd::onTimer;
    };
    for (bool standalone : {false, true}) {
        SCOPED_TRACE(standalone ? "standalone" : "started by a hall that is gone");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        netlib::YrnLogSetFolder(dir.path().toStdString());
        App app;
        testing::EntryLine e;  // names a hall window nobody has
        ASSERT_TRUE(app.ApplyHallCommandLine(e.line()));
        app.SetStandalone(standalone);
        Frame frame(app);
        frame.onTimer(kTimerWatchdog);
        if (!standalone) {
            // The watchdog asked the program to quit while no main loop ran: the request
            // stands and would end at once every event loop that follows in this test
            // program (menus, dialogs). A main loop run once takes it back.
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        }
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::string log;
        platform::readFile(netlib::YrnLogPathFor(local), &log);
        netlib::YrnLogSetFolder("");
        EXPECT_EQ(log.find("the hall is gone") != std::string::npos, !standalone) << log;
    }
}

TEST(AppChat, SystemLinesGoToTheChatPaneBounded) {
    qtApp();
    struct Chat : CChatViewHooks {
        std::vector<std::string> lines;
        void AppendMarkup(const std::string& m) override { lines.push_back(m); }
    };
    struct ChatFrame : CGameFrameWnd {
        using CGameFrameWnd::CGameFrameWnd;
        Chat chat;
        CChatViewHooks* GetChatView() override { return &chat; }
    };
    struct App : CGameApp {
        using CGameApp::CGameApp;
        void SetFrame(CGameFrameWnd* f) { frame_ = f; }
    } app("HqLv", 21303, 2, 1);
    EXPECT_FALSE(app.SendChatViewMessage("x"));
    ChatFrame frame(app);
    app.SetFrame(&frame);
    app.OnDoleConfigFailed(1, "ignored");
    app.OnDoleConfigFailed(0, "");
    app.OnClaimSilverResult(0, "", 0);
    app.OnDoleConfigFailed(0, std::string(300, 'a'));
    app.SetFrame(nullptr);
    ASSERT_EQ(frame.chat.lines.size(), 3u);
    EXPECT_EQ(frame.chat.lines[0], " <z=qz系统通知> <c=255>获取低保活动配置失败!\r\n");
    EXPECT_EQ(frame.chat.lines[1], " <z=qz系统通知> <c=255>领取银子失败!\r\n");
    EXPECT_EQ(Utf8ToGbk(frame.chat.lines[2]).size(), 253u);  // 251 bytes and the line end
}

TEST(AppSounds, SoundFoldersByTheirFirstCharacter) {
    QTemporaryDir dir;
    std::string root = dir.path().toStdString() + "/";
    for (const char* f : {"Sound/0mandarin", "Sound/1local", "Sound/2other", "Sound/0two"})
        platform::makeFolders(root + f);
    platform::writeFile(root + "Sound/0file.wav", "RIFF");
    std::vector<std::string> first, second;
    CGameApp::ScanSoundFiles(root, first, second);
    std::sort(first.begin(), first.end());
    EXPECT_EQ(first, (std::vector<std::string>{"0mandarin", "0two"}));
    EXPECT_EQ(second, (std::vector<std::string>{"1local"}));
    first.clear();
    second.clear();
    CGameApp::ScanSoundFiles(root + "missing/", first, second);
    EXPECT_TRUE(first.empty() && second.empty());
}

TEST(SkinChange, MenuItemsAndTheSkinCommand) {
    qtApp();
    QTemporaryDir dir;
    std::string root = dir.path().toStdString() + "/";
    for (const char* name : {"blue", "red"}) {
        platform::makeFolders(root + "skins/" + name);
        platform::writeFile(root + "skins/" + name + "/skin.ini",
                            Utf8ToGbk(std::string("[SKIN]\r\nName=") + name + "\r\n"));
    }
    struct App : CGameApp {
        App(const std::string& root) : CGameApp("HqLv", 21303, 2, 1) {
            skin_ = std::make_unique<CSkinSettings>(root + "HqLv.ini", root);
        }
    } app(root);
    CSkinSettings* skin = app.GetSkinSettings();
    skin->SetSkinPath(root + "skins/red/skin.ini");
    ASSERT_TRUE(skin->Load());
    auto items = skin->SkinMenuItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, "blue");
    EXPECT_EQ(items[0].command, 20001);
    EXPECT_FALSE(items[0].checked);
    EXPECT_TRUE(items[1].checked);
    EXPECT_EQ(items[2].command, 0);
    EXPECT_EQ(items[3].text, "更多皮肤...");
    EXPECT_EQ(items[3].command, 20000);
    // The owner-drawn skin menu: skins, separator, "更多皮肤..." last; 32781 gone.
    COwnerDrawMenu top;
    COwnerDrawMenu* menu = skin->BuildSkinMenu(top);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->itemCount(), 4);
    EXPECT_EQ(menu->actionAt(0)->text(), "blue");
    EXPECT_FALSE(menu->actionAt(0)->isChecked());
    EXPECT_TRUE(menu->actionAt(1)->isChecked());
    EXPECT_TRUE(menu->actionAt(2)->isSeparator());
    EXPECT_EQ(menu->actionAt(3)->data().toInt(), 20000);
    EXPECT_EQ(menu->FindItem(32781).first, nullptr);

    CGameFrameWnd frame(app);
    platform::Message open;
    open.id = kMsgSkinMenu;  // without the button's rectangle no menu opens
    intptr_t shown = -1;
    EXPECT_TRUE(platform::send(frame.hwnd(), open, &shown));
    EXPECT_EQ(shown, 0);
    // With the button's rectangle the menu opens just under the button, its right edge on the
    // frame's right edge.
    frame.setGeometry(100, 50, 400, 300);
    const QRect button(10, 20, 30, 15);
    QRect menuAt;
    QTimer::singleShot(50, [&] {
        if (QWidget* m = QApplication::activePopupWidget()) {
            menuAt = m->geometry();
            m->close();
        }
    });
    open.w = reinterpret_cast<uintptr_t>(&button);
    EXPECT_TRUE(platform::send(frame.hwnd(), open, &shown));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(menuAt.right(), frame.frameGeometry().right());
    EXPECT_EQ(menuAt.top(), frame.frameGeometry().top() + button.bottom() + 1);
    frame.OnSkinCommand(20002);  // the current skin: nothing
    EXPECT_EQ(skin->GetSkinPath(), root + "skins/red/skin.ini");
    frame.OnSkinCommand(20009);  // no such skin
    frame.OnSkinCommand(20001);
    EXPECT_EQ(skin->GetSkinPath(), root + "skins/blue/skin.ini");
    EXPECT_TRUE(
        Pump([&] { return CSkinLibrary::instance().path() == root + "skins/blue/skin.ini"; }));
    CSkinLibrary::instance().Unload();
}

TEST(Portraits, FromTheFolderWithTheDefaultForMissingOnes) {
    qtApp();
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    QImage pic(40, 40, QImage::Format_RGB32);
    pic.fill(QColor(200, 10, 10));
    pic.setPixel(0, 0, qRgb(0x00, 0x80, 0x80));  // the mask colour 0x808000
    ASSERT_TRUE(pic.save(QString::fromStdString(folder + "7_0.bmp"), "BMP"));
    platform::writeFile(folder + "8_0.bmp", "BM broken");
    struct App : CGameApp {
        std::string folder;
        explicit App(std::string f) : CGameApp("HqLv", 21303, 2, 1), folder(std::move(f)) {}
        std::string PortraitFolder() const override { return folder; }
    } app(folder);
    int seven = app.AddPortrait(7);
    int missing = app.AddPortrait(3);
    int broken = app.AddPortrait(8);
    EXPECT_EQ(app.AddPortrait(3), missing);  // asked again: not retried
    EXPECT_EQ(app.GetPortraitIndex(7), seven);
    const QImage* big = app.GetPortraitImage(seven, false);
    const QImage* small = app.GetPortraitImage(seven, true);
    ASSERT_TRUE(big && small);
    EXPECT_EQ(big->size(), QSize(32, 32));
    EXPECT_EQ(small->size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(big->pixel(0, 0)), 0);
    EXPECT_EQ(QColor(big->pixel(16, 16)).red(), 200);
    const QImage* def = app.GetPortraitImage(missing, false);
    ASSERT_TRUE(def);
    EXPECT_EQ(*def, *app.GetPortraitImage(broken, false));  // both the default picture
    EXPECT_EQ(app.GetPortraitImage(99, false), nullptr);
}

TEST(HallSign, AnswersFindTheirRequestByIdOnly) {
    CHallSignBroker broker;
    uint32_t a = broker.Begin(1001);
    uint32_t b = broker.Begin(1001);
    EXPECT_NE(a, b);
    EXPECT_FALSE(broker.Answer({1001, "x", 999}));  // no such request
    std::thread answer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        broker.Answer({1001, "sign-b", b});
    });
    std::string sign;
    EXPECT_TRUE(broker.Wait(b, 5000, &sign));
    answer.join();
    EXPECT_EQ(sign, "sign-b");
    // Request a times out; its late answer touches nothing.
    EXPECT_FALSE(broker.Wait(a, 10, &sign));
    EXPECT_EQ(sign, "");
    EXPECT_FALSE(broker.Answer({1001, "late", a}));
    EXPECT_EQ(broker.waiting(), 0u);
    // An answer for another user releases the request without a text.
    uint32_t c = broker.Begin(1001);
    EXPECT_TRUE(broker.Answer({2002, "not yours", c}));
    EXPECT_FALSE(broker.Answer({1001, "again", c}));
    EXPECT_TRUE(broker.Wait(c, 10, &sign));
    EXPECT_EQ(sign, "");
}

}  // namespace
}  // namespace hqlv::framework
