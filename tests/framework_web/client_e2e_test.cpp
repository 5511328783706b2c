// The safe box end to end, in process: the client's application connected to the local
// game server through its communication thread, its main frame with a tool pane, the safe
// box's page from the tests' own HTTP server and a scripted player at the dialogs. The
// server's 211420 notices reach the seat through the frame. Run once more under Xvfb (a
// ctest entry of its own), it leaves pictures of the frame and of the safe box with its
// page, the take dialog and the keypad.
#ifdef HQLV_WITH_SERVER
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "app_fixture.h"
#include "framework/app/paths.h"
#include "framework/panes/msgbox_dlg.h"
#include "framework/web/safebox_dialogs.h"
#include "framework/web/web_view.h"
#include "framework/widgets/hyperlink_static.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/skin_button.h"
#include "tests/framework/http_test_server.h"
#include "tools/server/game_server.h"

namespace hqlv::framework::web {
namespace {

using namespace testing;
using server::Reply;
using V = std::vector<std::string>;

bool OnXvfb() {
    return QGuiApplication::platformName() == "xcb";
}

// The windows as the screen shows them: the display's own pixels on Xvfb, else each
// window's picture at its place.
QImage Screen(std::initializer_list<QWidget*> windows) {
    QRect all;
    for (QWidget* w : windows) all |= w->frameGeometry();
    if (OnXvfb())
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, all.x(), all.y(), all.width(), all.height())
            .toImage();
    QImage img(all.size(), QImage::Format_RGB32);
    img.fill(Qt::darkGray);
    QPainter p(&img);
    for (QWidget* w : windows) p.drawPixmap(w->geometry().topLeft() - all.topLeft(), w->grab());
    return img;
}

void Save(const QImage& img, const char* name) {
    std::string path = std::string(HQLV_BUILD_DIR) + "/" + (OnXvfb() ? "xvfb-" : "") + name;
    EXPECT_TRUE(img.save(QString::fromStdString(path))) << path;
}

void Press(CSoftKeypadDlg& keypad, const std::string& digits) {
    for (char c : digits)
        for (int id = 230; id < 240; ++id)
            if (keypad.button(id)->text() == QString(QChar(c))) keypad.button(id)->click();
}

// What the player does in a dialog that opens another one: after the step has returned.
void ClickLater(QDialog& d, int id) {
    ScriptedUser::Later(&d, [&d, id] { static_cast<QPushButton*>(FindItem(&d, id))->click(); });
}

// The step of a take or save dialog: the amount typed, then OK.
void TypeAmount(ScriptedUser& user, const char* amount) {
    user.On<CDepositDlg>([amount](CDepositDlg& d) {
        d.combo()->setEditText(amount);
        ScriptedUser::Later(&d, [&d] { d.OnOK(); });
        return true;
    });
}

template <class D>
QWidget* Visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<D*>(w) && w->isVisible()) return w;
    return nullptr;
}

std::vector<uint8_t> Words(std::initializer_list<int32_t> words) {
    std::vector<uint8_t> b(24, 0);
    size_t at = 0;
    for (int32_t w : words) std::memcpy(b.data() + 4 * at++, &w, 4);
    return b;
}

class SafeBoxEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SharedWebApp();
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(app.ApplyHallCommandLine(CommandLine(hall.target.handle(), server.Port())));
        coffer.Script("/coffer", {200,
                                  "<html><body style='margin:0;background:#2a6fb8;color:"
                                  "white;font:bold 20px sans-serif'><div style='padding:"
                                  "14px'>COFFER</div></body></html>"});
        platform::writeProfileString("ADVERT", "CofferUrl", (coffer.base() + "/coffer").c_str(),
                                     app.GetGameIniPath());
        ASSERT_TRUE(app.CreateCommThread());
        ASSERT_EQ(app.ConnectGameServer(), 1);
        frame = std::make_unique<ToolFrame>(app);
        app.SetFrame(frame.get());
        ASSERT_TRUE(frame->Create());
        // The own seat as the hall's table state gives it, then the entry.
        PlayerRecord* seat = app.SeatMutable(2);
        seat->setWord(PlayerRecord::kUserId, 123456);
        seat->setWord(PlayerRecord::kChair, 2);
        seat->setWord(PlayerRecord::kSilver, 10000);  // what the local server gives everyone
        platform::Message enter;
        enter.id = kMsgEnterGame;
        platform::post(frame->hwnd(), enter);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return server.WaitForRequest(200110, 0).has_value(); }, 60000));
    }
    void TearDown() override {
        app.SetFrame(nullptr);
        frame.reset();
        std::remove(app.GetGameIniPath().c_str());
    }
    // The seat's silver once the server's notice has come through the frame.
    ::testing::AssertionResult SeatHas(int32_t silver) {
        if (QTest::qWaitFor([&] { return app.seat(2).word(PlayerRecord::kSilver) == silver; },
                            30000))
            return ::testing::AssertionSuccess();
        auto r = ::testing::AssertionFailure()
                 << "silver " << app.seat(2).word(PlayerRecord::kSilver);
        for (const auto& b : user.boxes) r << " | " << b;
        return r;
    }
    void Fix(int index, const char* text) {
        ASSERT_TRUE(platform::writeProfileString(
            "FIXDEPOSIT", ("Fix" + std::to_string(index)).c_str(), text, GetUserDataFile(kUser)));
    }
    // The response word of the n-th take request.
    int32_t TakeResponse(int nth) {
        auto take = server.WaitForRequest(200041, 5000, nth);
        int32_t r = INT32_MIN;
        if (take && take->body.size() >= 28) std::memcpy(&r, take->body.data() + 24, 4);
        return r;
    }

    ClientFolders folders;
    TestHall hall;
    server::GameServer server{server::ServerOptions{0, 2, 1, 4, 50, 0, [](const std::string&) {}}};
    hqlv::framework::testing::HttpServer coffer;
    TestApp app{"WebE2e" + std::to_string(getpid()), 21303, 2, 1};
    std::unique_ptr<ToolFrame> frame;
    ScriptedUser user;
};

// The amount word of the n-th request with that id.
int32_t AmountOf(server::GameServer& server, int id, int nth) {
    auto r = server.WaitForRequest(id, 10000, nth);
    int32_t amount = INT32_MIN;
    if (r && r->body.size() >= 24) std::memcpy(&amount, r->body.data() + 20, 4);
    return amount;
}

// The room's silver check finds too little or too much in hand: the box asks, and its OK
// brings the silver to the room's bound through the tool pane, which the server sees as a
// take or a save of the difference. Cancel moves nothing.
TEST_F(SafeBoxEndToEnd, TheSilverBoxsOkBringsTheSilverToTheRoomsBound) {
    ASSERT_TRUE(app.IsSpecialOption());
    server.SetReply(200043, Reply{60000, {}});  // no protection password
    std::vector<std::string> asked;
    auto answer = [&](bool ok) {
        user.On<CGameMsgBoxDlg>([&asked, ok](CGameMsgBoxDlg& box) {
            if (!box.textItem()) return false;
            asked.push_back(box.textItem()->text().toStdString());
            QPushButton* b = ok ? box.okButton() : box.cancelButton();
            ScriptedUser::Later(&box, [b] { b->click(); });
            return true;
        });
    };
    std::string text;
    // 10000 in hand, the room wants 15000: 5000 taken from the box.
    server.SetReply(201161, Reply{210090, Words({0, 0, 10000, 15000})});
    answer(true);
    EXPECT_EQ(app.GetConnection()->CheckSilverRange(text), 0);
    ASSERT_TRUE(user.Done());
    EXPECT_EQ(AmountOf(server, 200041, 1), 5000);
    ASSERT_TRUE(SeatHas(15000));
    // 15000 in hand, the room allows 8000: 7000 saved.
    server.SetReply(201161, Reply{210091, Words({0, 0, 15000, 8000})});
    answer(true);
    EXPECT_EQ(app.GetConnection()->CheckSilverRange(text), 0);
    ASSERT_TRUE(user.Done());
    EXPECT_EQ(AmountOf(server, 200042, 1), 7000);
    ASSERT_TRUE(SeatHas(8000));
    // Cancel: nothing more goes to the server.
    server.SetReply(201161, Reply{210090, Words({0, 0, 8000, 9000})});
    answer(false);
    EXPECT_EQ(app.GetConnection()->CheckSilverRange(text), 0);
    ASSERT_TRUE(user.Done());
    EXPECT_FALSE(server.WaitForRequest(200041, 500, 2));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0],
              "本房间最少需携带银子15000两\n您只携带了10000两\n仍少了5000两,是否从保险箱划银？");
    EXPECT_EQ(asked[1],
              "本房间最多可携带银子8000两\n您携带了15000两\n仍超了7000两,是否将银子存入保险箱？");
    EXPECT_EQ(user.boxes,
              (V{"设定成功。\r\n\r\n(已经从保险箱中取出 5000 两，\r\nt当前有银子 15000 两)",
                 "设定成功。\r\n\r\n(已经存入保险箱 7000 两，\r\nt当前有银子 8000 两)"}));
}

TEST_F(SafeBoxEndToEnd, ToolPaneMovesSilverAndTheSafeBoxTakesAndSaves) {
    CGameToolView* tool = frame->tool();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(frame->GetToolView(), tool);
    QTest::qWait(300);
    Save(Screen({frame.get()}), "safebox-e2e-frame.png");
    QPoint ground = tool->mapTo(frame.get(), QPoint(tool->width() - 3, 2));
    EXPECT_EQ(frame->grab().toImage().pixelColor(ground),
              QColor(0xF0, 0xFF, 0xFF));  // the pane's ground beside its buttons

    EXPECT_EQ(tool->button(1)->geometry(), QRect(8, 8, 55, 16));  // the pane is 32 high
    EXPECT_EQ(tool->button(2)->geometry(), QRect(88, 9, 71, 15));

    // No user file yet: the defaults, in the menu too.
    auto menu = tool->BuildFixMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(tool->amounts(), kFixDefaults);
    EXPECT_EQ(menu->GetSubMenu(0)->actions().at(5)->text(), QString::fromUtf8("30000 两"));
    // The settings dialog writes what was typed (its folder made on the way); the menu
    // reads the file afresh; with Fix5 empty the others count for nothing.
    user.On<CFixDepositDlg>([](CFixDepositDlg& fix) {
        const char* typed[] = {"3000", "1000", "10000", "1000", "10000", "1"};
        for (int i = 0; i < 6; ++i) fix.box(i)->setText(typed[i]);
        fix.OnOK();
        return true;
    });
    tool->OnFixCommand(228);
    ASSERT_TRUE(user.Done());
    ASSERT_NE(tool->BuildFixMenu(), nullptr);
    const std::array<int32_t, 6> typed = {3000, 1000, 10000, 1000, 10000, 1};
    EXPECT_EQ(tool->amounts(), typed);
    Fix(5, "");
    tool->BuildFixMenu();
    EXPECT_EQ(tool->amounts(), kFixDefaults);
    Fix(5, "1");
    tool->BuildFixMenu();
    EXPECT_EQ(tool->amounts(), typed);
    tool->OnFixCommand(229);  // no command of this pane

    tool->OnFixCommand(222);  // 10000 -> 3000: saves 7000
    ASSERT_TRUE(SeatHas(3000));
    tool->OnFixCommand(222);  // equal: a box, nothing sent
    EXPECT_FALSE(server.WaitForRequest(200042, 300, 2));
    tool->OnFixCommand(223);  // 3000 -> 1000: saves 2000
    ASSERT_TRUE(SeatHas(1000));
    server.SetReply(200043, Reply{60000, {}});  // no protection password: response 0
    tool->OnFixCommand(222);
    ASSERT_TRUE(SeatHas(3000));
    EXPECT_EQ(TakeResponse(1), 0);
    server.SetReply(200043, Reply{10, Words({0, 12345678})});
    user.On<CSoftKeypadDlg>([](CSoftKeypadDlg& keypad) {
        Press(keypad, "0042");
        keypad.button(241)->click();
        return true;
    });
    tool->OnFixCommand(224);  // 3000 -> 10000: takes 7000 through the keypad
    ASSERT_TRUE(SeatHas(10000));
    EXPECT_EQ(TakeResponse(2), 42 + 1234 + 5678);
    EXPECT_EQ(user.boxes,
              (V{"设定成功。\r\n\r\n(已经存入保险箱 7000 两，\r\nt当前有银子 3000 两)",
                 "当前银子等于设定值。",
                 "设定成功。\r\n\r\n(已经存入保险箱 2000 两，\r\nt当前有银子 1000 两)",
                 "设定成功。\r\n\r\n(已经从保险箱中取出 2000 两，\r\nt当前有银子 3000 两)",
                 "设定成功。\r\n\r\n(已经从保险箱中取出 7000 两，\r\nt当前有银子 10000 两)"}));

    // Without the keypad's template the verification code answers; its link sends the
    // security page to the hall.
    SetDialogTemplate(175, false);
    user.On<CVerifyCodeDlg>([](CVerifyCodeDlg& code) {
        code.edit()->setText("4711");
        QTest::qWait(200);
        Save(Screen({&code}), "safebox-e2e-code.png");
        code.link()->onClick();
        ScriptedUser::Later(&code, [&code] { code.OnOK(); });
        return true;
    });
    tool->OnFixCommand(223);  // 10000 -> 1000 saves; then back up through the code
    ASSERT_TRUE(SeatHas(1000));
    tool->OnFixCommand(224);
    SetDialogTemplate(175, true);
    ASSERT_TRUE(SeatHas(10000));
    EXPECT_EQ(TakeResponse(3), 4711);
    ASSERT_EQ(hall.Texts().size(), 1u);  // sent before the link's call returned
    EXPECT_EQ(hall.Texts()[0], std::make_pair(1, std::string(kSecurityPageUrl)));

    // The safe box: its page, then take 500 through the take dialog and the keypad.
    user.boxes.clear();
    user.On<CSafeBoxDlg>([](CSafeBoxDlg& box) {
        QImage shot = box.grab().toImage();
        QColor top = shot.pixelColor(box.width() / 2, 40);
        if (top.blue() < 150 || top.red() > 100) return false;  // the page has not painted yet
        EXPECT_EQ(box.amountLabel()->text().toStdString(), "50000 两");
        ClickLater(box, 220);
        return true;
    });
    TypeAmount(user, "500");
    user.On<CSoftKeypadDlg>([](CSoftKeypadDlg& keypad) {
        Press(keypad, "1234");
        // The player moves the windows apart to see them all.
        QWidget* box = Visible<CSafeBoxDlg>();
        QWidget* take = Visible<CDepositTakeDlg>();
        if (!box || !take) return false;
        box->move(40, 40);
        take->move(40, 50 + box->frameGeometry().height());
        keypad.move(50 + box->frameGeometry().width(), 40);
        QTest::qWait(300);
        Save(Screen({box, take, &keypad}), "safebox-e2e-dialog.png");
        keypad.button(241)->click();
        return true;
    });
    QTest::mouseClick(tool->button(1), Qt::LeftButton);
    ASSERT_TRUE(user.Done());
    EXPECT_EQ(user.boxes, V{"银子已经成功划入 t"});
    EXPECT_EQ(TakeResponse(4), 1234 + 1234 + 5678);
    ASSERT_TRUE(SeatHas(10500));

    // A save the server cuts down (60092): the amount it allows replaces the typed one.
    server.SetReply(200042, Reply{60092, Words({1500, 500})});
    user.boxes.clear();
    user.On<CSafeBoxDlg>([](CSafeBoxDlg& box) {
        ClickLater(box, 221);
        return true;
    });
    TypeAmount(user, "2000");
    user.On<CDepositSaveDlg>([](CDepositSaveDlg& save) {
        if (save.combo()->currentText() == "2000") return false;  // the reply is not in yet
        EXPECT_EQ(save.combo()->currentText(), "1000");
        save.reject();
        return true;
    });
    user.On<CSafeBoxDlg>([](CSafeBoxDlg& box) {
        box.reject();
        return true;
    });
    QTest::mouseClick(tool->button(1), Qt::LeftButton);
    ASSERT_TRUE(user.Done());
    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_EQ(user.boxes[0], "确定要从【t】划出【2000两】银子到保险箱?");
    EXPECT_NE(user.boxes[1].find("系统只允许你转出1000两"), std::string::npos) << user.boxes[1];
}

}  // namespace
}  // namespace hqlv::framework::web
#endif
