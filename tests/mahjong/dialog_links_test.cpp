// The links of the exit-answer popup and of the player-information window, built as the
// running client builds them: each is bound once the window shows, with its tooltip, its
// cursor (none on the requester's name) and its place shrunk to its text.
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QToolTip>

#include <map>

#include "framework/panes/player_records.h"
#include "framework/widgets/hyperlink_static.h"
#include "mahjong/game/exit_answer_dlg.h"
#include "mahjong/game/game_app_ex.h"
#include "mahjong/game/small_dialogs.h"
#include "platform/ui/ui_loop.h"
#include "platform/ui/window.h"
#include "tests/framework/qt_test_app.h"

namespace hqlv::mahjong {
namespace {

using framework::CHyperLinkStatic;

// The links of a window by their text, with the place each had before it was bound.
std::map<std::string, std::pair<CHyperLinkStatic*, QRect>> LinksOf(const QWidget& window) {
    std::map<std::string, std::pair<CHyperLinkStatic*, QRect>> out;
    // The link class has no meta-object of its own: every label is looked at.
    for (QLabel* label : window.findChildren<QLabel*>())
        if (auto* link = dynamic_cast<CHyperLinkStatic*>(label))
            out[link->text().toStdString()] = {link, link->geometry()};
    return out;
}

// Bound, shrunk to its text where it stood (never grown), with its text as tooltip.
void ExpectBound(CHyperLinkStatic* link, const QRect& before, bool hand) {
    const std::string name = link->text().toStdString();
    ASSERT_TRUE(link->bound()) << name;
    EXPECT_EQ(link->toolTip(), link->text()) << name;
    if (hand)
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << name;
    else
        EXPECT_FALSE(link->testAttribute(Qt::WA_SetCursor)) << name;
    const QSize text = link->fontMetrics().size(Qt::TextSingleLine, link->text());
    EXPECT_EQ(link->geometry(),
              QRect(before.topLeft(), QSize(std::min(text.width(), before.width()),
                                            std::min(text.height(), before.height()))))
        << name;
}

class DialogLinks : public testing::Test {
protected:
    void SetUp() override { framework::testing::SharedQtApp(); }
};

TEST_F(DialogLinks, PlayerInformationRefreshAndCloseAreLinks) {
    CPlayerInfoDlg dlg;
    dlg.postToHall = [](uint32_t, uintptr_t, intptr_t) {};
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, 7);
    r.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, "someone");
    dlg.SetPlayer(r.raw);
    auto links = LinksOf(dlg);
    ASSERT_EQ(links.size(), 2u);
    ASSERT_EQ(links.count("刷新"), 1u);
    ASSERT_EQ(links.count("关闭"), 1u);
    EXPECT_EQ(links["刷新"].first, dlg.link(0));
    EXPECT_EQ(links["关闭"].first, dlg.link(1));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    for (auto& [text, link] : links) ExpectBound(link.first, link.second, true);
    // Refilled for another player: the links stay as they were bound.
    const QRect refresh = dlg.link(0)->geometry();
    dlg.SetPlayer(r.raw);
    EXPECT_EQ(dlg.link(0)->geometry(), refresh);
    // Hovering 刷新 brings up its tooltip.
    CHyperLinkStatic* link = dlg.link(0);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), link->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(link, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "刷新");
    QToolTip::hideText();
}

// A double click on 刷新 is one click, as on a static control: the hall is asked once. The
// click after it asks again.
TEST_F(DialogLinks, ADoubleClickOnRefreshAsksTheHallOnce) {
    CPlayerInfoDlg dlg;
    int asked = 0;
    dlg.postToHall = [&](uint32_t, uintptr_t, intptr_t) { ++asked; };
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, 7);
    dlg.SetPlayer(r.raw);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    framework::testing::DoubleClick(dlg.link(0));
    EXPECT_EQ(asked, 1);
    QTest::mouseClick(dlg.link(0), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(asked, 2);
}

TEST_F(DialogLinks, ExitAnswerNameAgreeAndRefuse) {
    CGameAppEx app;
    framework::PlayerRecord r;
    r.setWord(framework::PlayerRecord::kUserId, 42);
    r.setWord(framework::PlayerRecord::kChair, 1);
    r.setText(framework::PlayerRecord::kNameOff, framework::PlayerRecord::kNameLen, "leaver");
    *app.SeatMutable(1) = r;
    platform::ui::Window owner;
    auto* popup = new CExitAnswerDlg(owner.hwnd(), 42, "家里有事");
    ASSERT_TRUE(popup->ShowPopup(267, nullptr));
    auto links = LinksOf(*popup);
    ASSERT_EQ(links.size(), 3u);
    for (const char* text : {"leaver", "同意", "拒绝"}) ASSERT_EQ(links.count(text), 1u) << text;
    EXPECT_EQ(links["leaver"].first, popup->nameLink());
    while (!popup->isVisible()) popup->OnSlideTick();
    ExpectBound(links["leaver"].first, links["leaver"].second, false);
    ExpectBound(links["同意"].first, links["同意"].second, true);
    ExpectBound(links["拒绝"].first, links["拒绝"].second, true);
    delete popup;
}

}  // namespace
}  // namespace hqlv::mahjong
