#include "framework/web/tool_view.h"

#include <gtest/gtest.h>
#include <QResizeEvent>

#include "fake_safebox_ops.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/skin_button.h"
#include "web_test_app.h"

namespace hqlv::framework::web {
namespace {

using testing::FakeSafeBoxOps;
using V = std::vector<std::string>;

TEST(ToolView, ButtonsMenuAndCommands) {
    testing::SharedWebApp();
    FakeSafeBoxOps ops;
    CGameToolView view(ops);
    view.resize(200, 40);
    view.OnInitialUpdate();
    ASSERT_NE(view.button(1), nullptr);
    EXPECT_EQ(view.button(1)->geometry(), QRect(8, 12, 55, 16));
    EXPECT_EQ(view.button(2)->geometry(), QRect(88, 13, 71, 15));
    view.resize(200, 60);
    QResizeEvent e(QSize(200, 60), QSize(200, 40));
    QCoreApplication::sendEvent(&view, &e);
    EXPECT_EQ(view.button(1)->geometry().y(), 22);

    // Fix5 missing: the defaults; then the file's values, fresh every time.
    ops.settings["FIXDEPOSIT/Fix0"] = "5";
    auto menu = view.BuildFixMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(view.amounts(), kFixDefaults);
    QStringList texts;
    for (QAction* a : menu->GetSubMenu(0)->actions()) texts << a->text();
    EXPECT_TRUE(texts.contains(QString::fromUtf8("30000 两"))) << texts.join('|').toStdString();
    ops.settings["FIXDEPOSIT/Fix5"] = "3000";
    menu = view.BuildFixMenu();
    EXPECT_EQ(view.amounts()[0], 5);
    EXPECT_EQ(view.amounts()[5], 3000);

    view.OnFixCommand(227);  // 3000 = the silver in hand
    EXPECT_EQ(ops.boxes, V{"当前银子等于设定值。"});
    EXPECT_TRUE(ops.log.empty());
    view.OnFixCommand(222);  // 5: saves 2995
    EXPECT_EQ(ops.log, V{"save 2995"});
    view.OnFixCommand(229);  // not a command of this pane
    EXPECT_EQ(ops.log.size(), 1u);
}

TEST(ToolView, PicturesAndATestFrameScreenshot) {
    testing::SharedWebApp();
    EXPECT_EQ(ToolButtonImage(165).size(), QSize(55, 16));
    EXPECT_EQ(ToolButtonImage(166).size(), QSize(71, 15));
    EXPECT_NE(ToolButtonImage(165).pixel(0, 0), ToolButtonImage(166).pixel(0, 0));
    // This game's frame has no tool pane: a test frame puts one under a table area.
    FakeSafeBoxOps ops;
    QWidget frame;
    frame.resize(320, 240);
    QWidget table(&frame);
    table.setGeometry(0, 0, 320, 208);
    table.setStyleSheet("background: rgb(20,90,50)");
    CGameToolView view(ops, &frame);
    view.setGeometry(0, 208, 320, 32);
    view.OnInitialUpdate();
    frame.show();
    QImage shot = frame.grab().toImage();
    EXPECT_TRUE(shot.save(QString(HQLV_BUILD_DIR) + "/tool-view-frame.png"));
    EXPECT_EQ(shot.pixelColor(300, 230), QColor(0xF0, 0xFF, 0xFF));  // the pane's ground
    EXPECT_EQ(shot.pixelColor(10, 208 + 8 + 4), ToolButtonImage(165).pixelColor(2, 4));
}

}  // namespace
}  // namespace hqlv::framework::web
