// The object family on a headless engine: every row of its tables with the effect read
// back from the engine, and the three kinds of call error for each function.
#include <cmath>
#include <functional>

#include "builtin_test_fixture.h"
#include "log_capture.h"

namespace hqlv::engine::test {
namespace {

using ObjectFamily = BuiltinTest;

// Too few arguments (kind 1), an entity, picture or engine operation missing or a value the
// engine cannot hold (kind 10), an unknown word or an angle out of range (kind 20), for every
// function. The plane p is 4 × 3 at (-100000, -100000), z 1.
TEST_F(ObjectFamily, CallErrors) {
    const std::string p = NewPlane(), i = NewImage(), c = NewPlane();
    struct Row {
        int kind;
        const char* function;
        std::vector<std::string> args;
    } rows[] = {
        {1, "操作实体", {p}},
        {1, "读取实体", {p}},
        {1, "绑定实体", {p}},
        {1, "解除绑定", {p}},
        {1, "贴图", {p}},
        {1, "操作图片", {i}},
        {1, "操作平面", {p}},
        {1, "操作实体", {}},
        {1, "绑定实体", {}},
        {1, "操作实体", {p, "坐标", "1"}},
        {1, "操作实体", {p, "位移"}},
        {1, "操作实体", {p, "半透明"}},
        {1, "操作实体", {p, "图层"}},
        {1, "操作实体", {p, "图层升降"}},
        {1, "操作实体", {p, "角度"}},
        {1, "操作实体", {p, "旋转"}},
        {1, "操作实体", {p, "绕点旋转", "1", "2"}},
        {1, "操作实体", {p, "宽高", "1"}},
        {1, "操作实体", {p, "放缩", "1"}},
        {1, "操作图片", {i, "载入"}},
        {1, "操作图片", {i, "背景色"}},
        {1, "操作平面", {p, "宽高", "1"}},
        {1, "操作平面", {p, "底色"}},
        {1, "操作平面", {p, "背景色"}},
        {1, "操作平面", {p, "边界色"}},
        {1, "操作平面", {p, "文字", "0", "0"}},
        {1, "操作平面", {p, "贴图", "0", "0", "tiles"}},
        {10, "操作实体", {"0", "显示"}},
        {10, "操作实体", {"99999", "显示"}},
        {10, "操作实体", {"-1", "显示"}},
        {10, "读取实体", {"99999", "宽度"}},
        {10, "绑定实体", {p, "99999"}},
        {10, "绑定实体", {"99999", p}},
        {10, "解除绑定", {"0", p}},
        {10, "解除绑定", {"x", p}},
        {10, "贴图", {i, "tiles"}},
        {10, "贴图", {"99999", "tiles"}},
        {10, "操作图片", {p, "跳帧"}},
        {10, "操作图片", {"99999", "跳帧"}},
        {10, "操作平面", {i, "底色", "1"}},
        {10, "操作平面", {"99999", "底色", "1"}},
        {10, "读取实体", {p, "儿子", "0"}},
        {10, "读取实体", {p, "儿子"}},  // link 0, which p does not have
        {10, "读取实体", {p, "儿子", "-1"}},
        {20, "操作实体", {p, "飞"}},
        {10, "操作实体", {p, "坐标", "2147483646", "0"}},   // right edge one past the int range
        {10, "操作实体", {p, "坐标", "0", "-2147483647"}},  // top edge likewise
        {10, "操作实体", {p, "位移", "0", "-2147383647"}},  // from -100000
        {10, "操作实体", {p, "宽高", "2147483647", "1"}},   // side + 1 past the int range
        {10, "操作实体", {p, "放缩", "0", "2147483644"}},   // 3 high
        {10, "操作实体", {p, "图层", "2147483646"}},        // the engine stacks up to 2 above
        {10, "操作实体", {p, "图层升降", "2147483645"}},    // from 1
        {20, "操作实体", {p, "半透明", "nan"}},
        {20, "操作实体", {p, "半透明", "inf"}},
        {20, "操作实体", {p, "角度", "inf"}},
        {20, "操作实体", {p, "角度", "1e10"}},
        {20, "操作实体", {p, "旋转", "nan"}},
        {20, "操作实体", {p, "旋转", "1000000001"}},
        {20, "操作实体", {p, "绕点旋转", "0", "0", "nan"}},
        {10, "操作实体", {p, "绕点旋转", "2147483647", "0", "180"}},
        {10, "操作实体", {p, "绕点旋转", "-1073791825", "0", "180"}},  // lands at -2147483650
        {20, "读取实体", {p, "体重"}},
        {20, "绑定实体", {p, c, "胡说"}},
        {20, "绑定实体", {p, p}},
        {20, "操作平面", {p, "变"}},
        {10, "操作平面", {p, "宽高", "5", "65536"}},
        {10, "操作平面", {p, "宽高", "65536", "1"}},
        {10, "操作平面", {p, "宽高", "8193", "8192"}},
    };
    for (const Row& r : rows) {
        ExpectKind(r.function, r.args, r.kind);
        EXPECT_EQ(Find(p)->GetX(), -100000) << r.function << r.args.size();
    }
    // Nothing of the refused values reached the entity.
    Entity* e = Find(p);
    EXPECT_EQ(e->GetWidth(), 4);
    EXPECT_EQ(e->GetHeight(), 3);
    EXPECT_EQ(e->GetAlpha(), 1.0);
    EXPECT_EQ(e->GetZ(), 1);
    EXPECT_EQ(e->GetRotation(), 0.0);
    EXPECT_EQ(e->GetChildCount(), 0u);
}

TEST_F(ObjectFamily, EverySubCommandOfOperateEntity) {
    struct Row {
        std::vector<std::string> args;
        std::function<void(Entity&)> check;
    } rows[] = {
        {{"坐标", "100", "-200"},
         [](Entity& e) {
             EXPECT_EQ(e.GetX(), 100);
             EXPECT_EQ(e.GetY(), -200);
         }},
        {{"坐标", "1000000", "-1000000"}, [](Entity& e) { EXPECT_EQ(e.GetX(), 1000000); }},
        {{"坐标", "2000000", "-2000000"}, [](Entity& e) { EXPECT_EQ(e.GetY(), -2000000); }},
        // The 4 × 3 box's edges at the ends of the int range.
        {{"坐标", "2147483645", "-2147483646"},
         [](Entity& e) {
             EXPECT_EQ(e.GetRight(), INT32_MAX);
             EXPECT_EQ(e.GetTop(), INT32_MIN);
         }},
        {{"坐标", "-2147483646", "2147483645"},
         [](Entity& e) {
             EXPECT_EQ(e.GetLeft(), INT32_MIN);
             EXPECT_EQ(e.GetBottom(), INT32_MAX);
         }},
        {{"位移", "2147483635", "0"}, [](Entity& e) { EXPECT_EQ(e.GetRight(), INT32_MAX); }},
        {{"位移", "5", "-7"},
         [](Entity& e) {
             EXPECT_EQ(e.GetX(), 15);
             EXPECT_EQ(e.GetY(), 13);
         }},
        {{"显示"}, [](Entity& e) { EXPECT_TRUE(e.IsVisible()); }},
        {{"显示", "隐藏"}, [](Entity& e) { EXPECT_FALSE(e.IsVisible()); }},
        {{"半透明", "0.25"}, [](Entity& e) { EXPECT_EQ(e.GetAlpha(), 0.25); }},
        {{"图层", "7"}, [](Entity& e) { EXPECT_EQ(e.GetZ(), 7); }},
        {{"图层升降", "-3"}, [](Entity& e) { EXPECT_EQ(e.GetZ(), -2); }},
        {{"图层", "-1000000"}, [](Entity& e) { EXPECT_EQ(e.GetZ(), -1000000); }},
        {{"图层升降", "999999"}, [](Entity& e) { EXPECT_EQ(e.GetZ(), 1000000); }},
        {{"图层", "2147483645"}, [](Entity& e) { EXPECT_EQ(e.GetZ(), INT32_MAX - 2); }},
        {{"图层", "-2147483648"}, [](Entity& e) { EXPECT_EQ(e.GetZ(), INT32_MIN); }},
        {{"角度", "30.5"}, [](Entity& e) { EXPECT_EQ(e.GetRotation(), 30.5); }},
        {{"角度", "30", "旋转", "-10.5"}, [](Entity& e) { EXPECT_EQ(e.GetRotation(), 19.5); }},
        {{"绕点旋转", "0", "20", "90"},
         [](Entity& e) {  // (10, 20) about (0, 20), a quarter turn counter-clockwise on screen
             EXPECT_EQ(e.GetX(), 0);
             EXPECT_EQ(e.GetY(), 10);
             EXPECT_EQ(e.GetRotation(), 90.0);
         }},
        {{"宽高", "30", "0"},
         [](Entity& e) {
             EXPECT_EQ(e.GetWidth(), 30);
             EXPECT_EQ(e.GetHeight(), 0);
         }},
        {{"宽高", "32767", "1"}, [](Entity& e) { EXPECT_EQ(e.GetWidth(), 32767); }},
        {{"宽高", "0", "32767"}, [](Entity& e) { EXPECT_EQ(e.GetHeight(), 32767); }},
        {{"宽高", "40000", "1"}, [](Entity& e) { EXPECT_EQ(e.GetWidth(), 40000); }},
        {{"宽高", "2147483646", "1"}, [](Entity& e) { EXPECT_EQ(e.GetWidth(), INT32_MAX - 1); }},
        {{"宽高", "1", "2147483646"}, [](Entity& e) { EXPECT_EQ(e.GetHeight(), INT32_MAX - 1); }},
        {{"宽高", "1", "-1"}, [](Entity& e) { EXPECT_EQ(e.GetHeight(), -1); }},
        {{"放缩", "-5", "0"}, [](Entity& e) { EXPECT_EQ(e.GetWidth(), -1); }},
        {{"放缩", "2", "-3"},
         [](Entity& e) {
             EXPECT_EQ(e.GetWidth(), 6);
             EXPECT_EQ(e.GetHeight(), 0);
         }},
    };
    for (const Row& r : rows) {
        const std::string id = NewPlane(4, 3);
        Find(id)->SetPosition(10, 20);
        std::vector<std::string> args{id};
        args.insert(args.end(), r.args.begin(), r.args.end());
        ExpectOk("操作实体", args);
        Entity* e = Find(id);
        r.check(*e);
        EXPECT_FALSE(e->GeometryChanged()) << r.args[0];               // pushed to the canvas
        EXPECT_EQ(run->GetArgCount(), int(args.size())) << r.args[0];  // no results
    }
}

TEST_F(ObjectFamily, MoveAndShowArePushedOnceAtTheEnd) {
    const std::string id = NewPlane(4, 3, 255);
    scene.GetCanvas()->TakeDirtyRects();
    ExpectOk("操作实体", {id, "坐标", "100", "200", "显示"});
    Entity* e = Find(id);
    EXPECT_EQ(e->GetX(), 100);
    EXPECT_EQ(e->GetY(), 200);
    EXPECT_TRUE(e->IsVisible());
    EXPECT_FALSE(e->GeometryChanged());
    EXPECT_TRUE(scene.GetCanvas()->HasDirtyRects());
}

TEST_F(ObjectFamily, ChangesBeforeAFailingSubCommandStayAndReachTheCanvas) {
    const std::string id = NewPlane();
    ExpectKind("操作实体", {id, "坐标", "5", "6", "半透明", "nan", "显示"}, 20);
    Entity* e = Find(id);
    EXPECT_EQ(e->GetX(), 5);
    EXPECT_FALSE(e->GeometryChanged());
    EXPECT_FALSE(e->IsVisible());
    ExpectKind("操作实体", {id, "显示", "坐标", "7"}, 1);
    EXPECT_TRUE(e->IsVisible());
    // Each step and the angle it leaves are both held to a billion degrees.
    ExpectKind("操作实体", {id, "角度", "1000000000", "旋转", "1"}, 20);
    EXPECT_EQ(e->GetRotation(), 1e9);
    ExpectKind("操作实体", {id, "角度", "-1000000000", "旋转", "1500000000"}, 20);
    EXPECT_EQ(e->GetRotation(), -1e9);
    ExpectKind("操作实体", {id, "绕点旋转", "0", "0", "-1"}, 20);
}

TEST_F(ObjectFamily, DeleteEndsTheCallAndTakesOwnedChildren) {
    const std::string p = NewPlane(), owned = NewPlane(), loose = NewPlane();
    ExpectOk("绑定实体", {p, owned, "删除"});
    ExpectOk("绑定实体", {p, loose, "显示"});
    ExpectOk("操作实体", {p, "删除", "显示", "胡说"});
    EXPECT_EQ(Find(p), nullptr);
    EXPECT_EQ(Find(owned), nullptr);
    ASSERT_NE(Find(loose), nullptr);
    EXPECT_EQ(Find(loose)->GetParent(), nullptr);
    ExpectKind("操作实体", {p, "显示"}, 10);
}

// The edges of a 4-wide entity at this centre end at the top of the int range.
constexpr int kRightmost = INT32_MAX - 2;

TEST_F(ObjectFamily, ChildrenThatFollowAreCheckedToo) {
    const std::string p = NewPlane(), c = NewPlane(), shown = NewPlane();
    ExpectOk("绑定实体", {p, c, "位置", "放缩"});
    ExpectOk("绑定实体", {p, shown, "显示"});  // not moved with p
    Find(p)->SetPosition(0, 0);
    Find(c)->SetPosition(kRightmost - 1000, 0);
    Find(shown)->SetPosition(kRightmost, 0);
    ExpectKind("操作实体", {p, "位移", "1001", "0"}, 10);
    ExpectKind("操作实体", {p, "坐标", "1001", "0"}, 10);
    EXPECT_EQ(Find(p)->GetX(), 0);
    EXPECT_EQ(Find(c)->GetX(), kRightmost - 1000);
    ExpectOk("操作实体", {p, "位移", "1000", "0"});
    EXPECT_EQ(Find(c)->GetX(), kRightmost);
    EXPECT_EQ(Find(shown)->GetX(), kRightmost);
    // One wider, the child's right edge would leave the range.
    ExpectKind("操作实体", {p, "放缩", "1", "0"}, 10);
    ExpectKind("操作实体", {p, "宽高", "5", "3"}, 10);
    EXPECT_EQ(Find(p)->GetWidth(), 4);
    EXPECT_EQ(Find(c)->GetWidth(), 4);
    ExpectOk("操作实体", {p, "宽高", "3", "3"});
    EXPECT_EQ(Find(c)->GetWidth(), 3);
    Find(c)->SetZ(INT32_MAX - 2);
    ExpectKind("操作实体", {p, "图层升降", "1"}, 10);
    ExpectKind("操作实体", {p, "图层", "2"}, 10);  // from 1
    EXPECT_EQ(Find(p)->GetZ(), 1);
    ExpectOk("操作实体", {p, "图层", "0"});
    EXPECT_EQ(Find(c)->GetZ(), INT32_MAX - 3);
}

// A turn carries the children linked to turn with it, and theirs: a child turned half round
// a far parent lands twice as far away, so a chain of turns would carry a centre past the int
// range. Every box is checked where the turn leaves it, and every centre on the way: one past
// the range there would wrap, and the turn would go on from the wrapped place.
TEST_F(ObjectFamily, TurnsCheckEveryCentreTheyCarry) {
    struct Row {
        const char* childLink;  // child to parent, grandchild to child
        const char* grandLink;
        int grandX;  // the parent at (10, 0), the child at (0, 0)
        std::vector<std::string> turn;
        int kind;
        int childX, grandAt;  // after the call
    } rows[] = {
        // Moved along with the child to INT32_MAX on the way, the grandchild ends at
        // -2147483607; one further, it would pass the top of the range on the way.
        {"位置", "位置", INT32_MAX - 20, {"角度", "180"}, 0, 20, -2147483607},
        {"位置", "位置", INT32_MAX - 19, {"角度", "180"}, 10, 0, INT32_MAX - 19},
        // Ends with its right edge at the top of the range, or one past it.
        {"位置", "位置", -2147483625, {"角度", "180"}, 0, 20, kRightmost},
        {"位置", "位置", -2147483626, {"角度", "180"}, 10, 0, -2147483626},
        {"位置", "位置", -2147483626, {"旋转", "180"}, 10, 0, -2147483626},
        {"位置", "位置", -2147483626, {"绕点旋转", "10", "0", "180"}, 10, 0, -2147483626},
        {"位置", "显示", -2147483626, {"角度", "180"}, 0, 20, -2147483626},  // not carried
        {"显示", "位置", -2147483626, {"角度", "180"}, 0, 0, -2147483626},
    };
    for (const Row& r : rows) {
        const std::string p = NewPlane(), c = NewPlane(), g = NewPlane();
        Find(p)->SetPosition(10, 0);
        Find(c)->SetPosition(0, 0);
        Find(g)->SetPosition(r.grandX, 0);
        ExpectOk("绑定实体", {p, c, r.childLink});
        ExpectOk("绑定实体", {c, g, r.grandLink});
        std::vector<std::string> args{p};
        args.insert(args.end(), r.turn.begin(), r.turn.end());
        if (r.kind == 0) {
            ExpectOk("操作实体", args);
        } else {
            ExpectKind("操作实体", args, r.kind);
            EXPECT_EQ(Find(p)->GetRotation(), 0.0);
        }
        EXPECT_EQ(Find(c)->GetX(), r.childX) << r.turn[0] << r.grandX;
        EXPECT_EQ(Find(g)->GetX(), r.grandAt) << r.turn[0] << r.grandX;
    }
    // The same on the other axis, turned about where the child has been carried to: one
    // short of the range's end it lands inside, one past it would pass the end on the way.
    const struct {
        int grandY, kind, childY, grandAt;
    } others[] = {
        {INT32_MAX - 20, 0, 20, -2147483607},
        {INT32_MAX - 19, 10, 0, INT32_MAX - 19},
    };
    for (const auto& r : others) {
        const std::string p = NewPlane(), c = NewPlane(), g = NewPlane();
        Find(p)->SetPosition(0, 10);
        Find(c)->SetPosition(0, 0);
        Find(g)->SetPosition(0, r.grandY);
        ExpectOk("绑定实体", {p, c, "位置"});
        ExpectOk("绑定实体", {c, g, "位置"});
        if (r.kind == 0) {
            ExpectOk("操作实体", {p, "角度", "180"});
        } else {
            ExpectKind("操作实体", {p, "角度", "180"}, r.kind);
        }
        EXPECT_EQ(Find(c)->GetY(), r.childY) << r.grandY;
        EXPECT_EQ(Find(g)->GetY(), r.grandAt) << r.grandY;
    }
    // An angle the entity has already turns nothing: a child that half a turn would carry
    // past the range stays where it is.
    {
        const std::string p = NewPlane(), c = NewPlane();
        Find(p)->SetPosition(10, 0);
        Find(p)->SetRotation(90);
        Find(c)->SetPosition(-2147483626, 0);
        ExpectOk("绑定实体", {p, c, "位置"});
        ExpectOk("操作实体", {p, "角度", "90"});
        EXPECT_EQ(Find(c)->GetX(), -2147483626);
        ExpectKind("操作实体", {p, "角度", "270"}, 10);
    }
    // A grandchild that turns with the child but is not moved by it turns about the child's
    // new centre (10, 10): from (-999970, 999990) to about (999990, 999990), in the range.
    const std::string p = NewPlane(), c = NewPlane(), g = NewPlane();
    Find(p)->SetPosition(10, 0);
    Find(c)->SetPosition(0, 0);
    Find(g)->SetPosition(-999970, 999990);
    ExpectOk("绑定实体", {p, c, "位置"});
    scene.GetKernel().LinkChildEntity(Find(c), Find(g), LINK_ROTATE);
    ExpectOk("操作实体", {p, "角度", "90"});
    EXPECT_NEAR(Find(g)->GetX(), 999990, 3);
    EXPECT_NEAR(Find(g)->GetY(), 999990, 3);
    // Half a turn about the child's new centre (0, 20) brings one at the top of the range to
    // 40 - INT32_MAX, inside it; about the child's old place it would land past the bottom.
    const std::string q = NewPlane(), d = NewPlane(), h = NewPlane();
    Find(q)->SetPosition(0, 10);
    Find(d)->SetPosition(0, 0);
    Find(h)->SetPosition(0, INT32_MAX);
    ExpectOk("绑定实体", {q, d, "位置"});
    scene.GetKernel().LinkChildEntity(Find(d), Find(h), LINK_ROTATE);
    ExpectOk("操作实体", {q, "角度", "180"});
    EXPECT_EQ(Find(d)->GetY(), 20);
    EXPECT_EQ(Find(h)->GetY(), 40 - INT32_MAX);
}

TEST_F(ObjectFamily, ReadEveryWord) {
    const std::string id = NewPlane(5, 4), child = NewPlane();
    Entity* e = Find(id);
    e->SetPosition(10, 20);
    e->SetAlpha(0.25);
    e->SetZ(3);
    e->SetRotation(12.5);
    ExpectOk("绑定实体", {id, child});
    struct Row {
        std::vector<std::string> words;
        std::vector<std::string> values;
    } rows[] = {
        {{"坐标"}, {"10", "20"}},
        {{"左边", "右边", "上边", "下边"}, {"7", "13", "18", "22"}},
        {{"宽度", "高度"}, {"5", "4"}},
        {{"显示"}, {"FALSE"}},
        {{"半透明"}, {"0.250000"}},
        {{"图层"}, {"3"}},
        {{"角度"}, {"12.500000"}},
        {{"老爸"}, {"0"}},
        {{"类型"}, {"4096"}},
        {{"儿子", "0", "宽度"}, {child, "5"}},
        {{"坐标", "宽度"}, {"10", "20", "5"}},
    };
    for (const Row& r : rows) {
        std::vector<std::string> args{id};
        args.insert(args.end(), r.words.begin(), r.words.end());
        ExpectOk("读取实体", args);
        EXPECT_EQ(Results(), r.values) << r.words[0];
        for (const ValueString& v : run->Values()) EXPECT_EQ(v.type(), kValueText);
    }
    ExpectOk("读取实体", {child, "老爸", "类型"});
    EXPECT_EQ(Results(), (std::vector<std::string>{id, "4096"}));
    e->Show();
    ExpectOk("读取实体", {id, "显示"});
    EXPECT_EQ(Results(), std::vector<std::string>{"TRUE"});
    ExpectOk("读取实体", {NewImage(), "类型"});
    EXPECT_EQ(Results(), std::vector<std::string>{"1"});
}

TEST_F(ObjectFamily, LinkFlagsOfEveryOption) {
    struct Row {
        std::vector<std::string> options;
        uint32_t flags;
    } rows[] = {
        {{}, 0x1802E},
        {{"显示"}, 0x4},
        {{"位置"}, 0x18002},
        {{"半透明"}, 0x8},
        {{"放缩"}, 0x40},
        {{"刷新"}, 0x20},
        {{"删除"}, 0x1},
        {{"全部"}, 0x1C06F},
        {{"标准"}, 0x1802E},
        {{"记忆显示"}, 0x1000},
        {{"位置", "删除"}, 0x18003},
    };
    for (const Row& r : rows) {
        const std::string p = NewPlane(), c = NewPlane();
        std::vector<std::string> args{p, c};
        args.insert(args.end(), r.options.begin(), r.options.end());
        ExpectOk("绑定实体", args);
        ASSERT_EQ(Find(p)->GetChildCount(), 1u);
        EXPECT_EQ(Find(p)->Children()[0].flags, r.flags) << r.options.size();
        EXPECT_EQ(Find(c)->GetParent(), Find(p));
    }
}

TEST_F(ObjectFamily, LinksThatWouldLoopAreRefused) {
    const std::string a = NewPlane(), b = NewPlane(), c = NewPlane();
    ExpectOk("绑定实体", {a, b});
    ExpectOk("绑定实体", {b, c});
    ExpectKind("绑定实体", {c, a}, 20);  // a is c's grandparent
    ExpectKind("绑定实体", {b, a}, 20);
    ExpectKind("绑定实体", {a, a}, 20);
    EXPECT_EQ(Find(a)->GetParent(), nullptr);
    EXPECT_EQ(Find(c)->GetChildCount(), 0u);
    // The walks still end.
    ExpectOk("操作实体", {a, "显示", "位移", "1", "1"});
    EXPECT_TRUE(Find(c)->IsVisible());
}

// Work on linked entities counts against the statement budget. Each sub-command of 操作实体
// and its push count a statement for every entity linked below, by links of any kind (删除 ends
// the call before the push); the push walks, for the entity and each below, the shown items of
// a layer, a statement for every kLinkStepsPerStatement of the longest. 绑定实体 counts the
// parent's ancestors and the links of the new and the old parent, 解除绑定 a statement for
// each id after the first and the parent's links it looks through, a statement for every
// kLinkStepsPerStatement steps.
TEST_F(ObjectFamily, LinkedWorkCounts) {
    ASSERT_EQ(kLinkStepsPerStatement, 64u);
    // A head and n entities linked below it, each to the one before; ids in order.
    const auto chain = [&](int n, const std::string& option) {
        std::vector<std::string> ids{NewPlane()};
        for (int k = 0; k < n; ++k) {
            ids.push_back(NewPlane());
            std::vector<std::string> args{ids[ids.size() - 2], ids.back()};
            if (!option.empty()) args.push_back(option);
            ExpectOk("绑定实体", args);
        }
        return ids;
    };
    // A parent and n children.
    const auto flat = [&](int n) {
        std::vector<std::string> ids{NewPlane()};
        for (int k = 0; k < n; ++k) {
            ids.push_back(NewPlane());
            ExpectOk("绑定实体", {ids[0], ids.back()});
        }
        return ids;
    };
    const auto charged = [&](const std::string& function, const std::vector<std::string>& args) {
        const uint64_t before = m->GetExecutedCount();
        Call(function, args);
        return m->GetExecutedCount() - before;
    };
    const std::vector<std::string> three = chain(3, ""), owned = chain(3, "删除");
    const std::string alone = NewPlane();
    EXPECT_EQ(charged("操作实体", {three[0], "旋转", "1"}), 6u);
    EXPECT_EQ(charged("操作实体", {three[0], "旋转", "1", "位移", "1", "1"}), 9u);
    EXPECT_EQ(charged("操作实体", {three[1], "显示"}), 4u);
    EXPECT_EQ(charged("操作实体", {owned[0], "旋转", "1"}), 6u);
    EXPECT_EQ(charged("操作实体", {alone, "旋转", "1"}), 0u);
    EXPECT_EQ(charged("操作实体", {owned[0], "删除"}), 3u);
    // The start of an animation sets the image's frame and pushes it, with what is linked below.
    const std::string played = NewImage();
    for (int k = 0; k < 3; ++k) ExpectOk("绑定实体", {played, NewPlane()});
    EXPECT_EQ(charged("操作图片", {played, "播放"}), 3u);
    EXPECT_EQ(charged("操作图片", {played, "跳帧", "1"}), 3u);
    // A parent 63 links deep walks 63 steps up, one 64 deep one more.
    EXPECT_EQ(charged("绑定实体", {chain(63, "").back(), NewPlane()}), 0u);
    EXPECT_EQ(charged("绑定实体", {chain(64, "").back(), NewPlane()}), 1u);
    // A parent of 64 links, and a child taken from one: a step for each link.
    const std::vector<std::string> many = flat(63);
    EXPECT_EQ(charged("绑定实体", {many[0], NewPlane()}), 0u);
    EXPECT_EQ(charged("绑定实体", {many[0], NewPlane()}), 1u);
    EXPECT_EQ(charged("绑定实体", {alone, many[1]}), 1u);
    // Each id looks through the links left: 64, then 63 and 62 besides its own statement.
    EXPECT_EQ(charged("解除绑定", {many[0], many[2], many[3], "99999"}), 1u + 1u + 1u);
    EXPECT_EQ(charged("解除绑定", {"99999", many[4], many[5]}), 1u);
    EXPECT_EQ(charged("解除绑定", {many[0], many[4]}), 0u);
    // Shown on the screen, each image joins its layer's drawing order: with 63 there, a push
    // of one walks less than a statement's worth, with 64 a statement's.
    std::vector<std::string> shown;
    for (int k = 0; k < 64; ++k) {
        shown.push_back(NewImage());
        ExpectOk("操作实体", {shown.back(), "坐标", "100", "100", "显示"});
    }
    ExpectOk("操作实体", {shown[0], "隐藏"});
    EXPECT_EQ(charged("操作实体", {shown[1], "坐标", "101", "100"}), 0u);
    ExpectOk("操作实体", {shown[0], "显示"});
    EXPECT_EQ(charged("操作实体", {shown[1], "坐标", "101", "100"}), 1u);
    EXPECT_EQ(charged("操作实体", {three[0], "旋转", "1"}), 3u + 3u + 4u);
}

TEST_F(ObjectFamily, UnlinkTakesEachFurtherId) {
    const std::string p = NewPlane(), c1 = NewPlane(), c2 = NewPlane(), c3 = NewPlane();
    for (const std::string& c : {c1, c2, c3}) ExpectOk("绑定实体", {p, c});
    ExpectOk("解除绑定", {p, c1, c3, "99999"});
    ASSERT_EQ(Find(p)->GetChildCount(), 1u);
    EXPECT_EQ(Find(p)->GetChild(0), Find(c2));
    EXPECT_EQ(Find(c1)->GetParent(), nullptr);
    EXPECT_EQ(Find(c3)->GetParent(), nullptr);
}

// Only a parent id of 0 is refused: unlinking from a parent that does not exist changes
// nothing, and the kernel writes one log line for each id it was asked to unlink.
TEST_F(ObjectFamily, UnlinkFromAParentThatDoesNotExistGoesOn) {
    const std::string p = NewPlane(), c = NewPlane();
    ExpectOk("绑定实体", {p, c});
    LogCapture log;
    ExpectOk("解除绑定", {"99999", c, p});
    EXPECT_EQ(Find(c)->GetParent(), Find(p));
    const std::string lines = log.text();
    size_t found = 0;
    for (size_t at = lines.find("父体不存在"); at != std::string::npos;
         at = lines.find("父体不存在", at + 1))
        ++found;
    EXPECT_EQ(found, 2u);
}

// An unknown sub-command of 操作图片 is no sub-command at all: the call is not handled by the
// family (and so ends as an unsupported function), no error of its own is reported and the
// image keeps its frame.
TEST_F(ObjectFamily, AnUnknownImageSubCommandIsNotHandled) {
    const std::string i = NewImage();
    ExpectOk("操作图片", {i, "跳帧", "2"});
    EXPECT_EQ(Call("操作图片", {i, "变形"}), kScriptNotHandled);
    EXPECT_TRUE(m->kinds.empty());
    EXPECT_EQ(Image(i)->GetFrame(), 2u);
    // Called from a run, it fails as a function no family and no loaded script answers.
    Prepare("操作图片", {i, "变形"});
    EXPECT_EQ(m->CallFunction(run.get()), kScriptError);
    EXPECT_TRUE(m->kinds.empty());
}

TEST_F(ObjectFamily, PasteDrawsTheFrameAtItsPlaceAndSize) {
    struct Row {
        std::vector<std::string> args;  // after the plane id
        std::vector<uint32_t> pixels;   // 4 × 3, row by row
    } rows[] = {
        {{"tiles"}, {kRed, kRed, 0, 0, kRed, kRed, 0, 0, 0, 0, 0, 0}},
        {{"tiles", "1", "1", "0"}, {0, kGreen, kGreen, 0, 0, kGreen, kGreen, 0, 0, 0, 0, 0}},
        {{"tiles", "-1", "2"}, {kBlue, kBlue, 0, 0, kBlue, kBlue, 0, 0, 0, 0, 0, 0}},  // no y
        {{"tiles", "0", "3", "2", "1", "1"}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kRed}},
        {{"dot", "0", "0", "0", "4", "3"}, std::vector<uint32_t>(12, 0xFFFFFFFF)},
        // Any size is held: one far wider than the plane covers it, a negative one draws
        // nothing.
        {{"dot", "0", "0", "0", "40000", "3"}, std::vector<uint32_t>(12, 0xFFFFFFFF)},
        {{"dot", "0", "0", "0", "-1", "3"}, std::vector<uint32_t>(12, 0)},
    };
    for (const Row& r : rows) {
        const std::string id = NewPlane(4, 3);
        std::vector<std::string> args{id};
        args.insert(args.end(), r.args.begin(), r.args.end());
        ExpectOk("贴图", args);
        EXPECT_EQ(Plane(id)->State()->pixels, r.pixels) << r.args.size();
    }
}

TEST_F(ObjectFamily, ImageFrames) {
    struct Row {
        std::vector<std::string> args;  // after the image id
        uint32_t from, frame;
    } rows[] = {
        {{"跳帧"}, 0, 1},       {{"跳帧", "2"}, 0, 2},     {{"跳帧", "4"}, 0, 1},
        {{"跳帧", "-1"}, 0, 2}, {{"跳帧", "65536"}, 0, 1}, {{"切帧"}, 1, 2},
        {{"切帧", "2"}, 2, 1},  {{"切帧", "-1"}, 0, 2},    {{"切帧", "-4"}, 1, 0},
    };
    for (const Row& r : rows) {
        const std::string id = NewImage();
        Image(id)->SetFrame(r.from);
        std::vector<std::string> args{id};
        args.insert(args.end(), r.args.begin(), r.args.end());
        ExpectOk("操作图片", args);
        EXPECT_EQ(Image(id)->GetFrame(), r.frame) << r.args[0] << r.args.size();
        EXPECT_EQ(Image(id)->State()->srcY, int(r.frame) * 2);
    }
}

TEST_F(ObjectFamily, ImageLoadAndBackColour) {
    const std::string id = NewImage();
    ExpectOk("操作图片", {id, "背景色", "255"});
    EXPECT_EQ(Image(id)->GetColorWord(), 255u);
    ExpectOk("操作图片", {id, "载入", "dot"});
    ImageState* s = Image(id)->State();
    EXPECT_EQ(s->resourceId, dot);
    EXPECT_EQ(s->width, 1);
    EXPECT_EQ(s->tint, 255u);
    ExpectOk("操作图片", {id, "载入", "tiles", "2"});
    EXPECT_EQ(Image(id)->State()->resourceId, tiles);
    EXPECT_EQ(Image(id)->State()->srcY, 4);
    EXPECT_FALSE(Image(id)->GeometryChanged());
}

TEST_F(ObjectFamily, PlayModes) {
    struct Row {
        std::vector<std::string> args;  // after 播放
        int ticks;
        size_t running;
    } rows[] = {
        {{}, 20, 1},             // endless
        {{"帧数"}, 20, 1},       // a mode word without a count: endless
        {{"跳舞", "2"}, 20, 1},  // another word: endless
        {{"帧数", "2"}, 5, 0},
        {{"时间", "250"}, 5, 0},
        {{"轮数", "1"}, 10, 0},
    };
    for (const Row& r : rows) {
        const std::string id = NewImage();
        std::vector<std::string> args{id, "播放"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const size_t before = scene.GetKernel().GetActiveApplyCount();
        ExpectOk("操作图片", args);
        for (int t = 0; t < r.ticks; ++t) Tick(100);
        EXPECT_EQ(scene.GetKernel().GetActiveApplyCount() - before, r.running) << args.size();
        scene.GetKernel().CancelAllApplies();
        scene.GetKernel().RunDueApplies();
    }
    const std::string counted = NewImage();
    ExpectOk("操作图片", {counted, "播放", "帧数", "2"});
    for (int t = 0; t < 6; ++t) Tick(100);
    EXPECT_EQ(Image(counted)->GetFrame(), 2u);
}

// Every 播放 starts one more animation, on the same image too, up to kMaxScriptAnimations
// that may still run; the next fails and starts nothing. Those that ended make room: the
// passes of a counted one done, or the image of endless ones gone.
TEST_F(ObjectFamily, AnimationsScriptsStartStopAtTheirBound) {
    GameKernel& k = scene.GetKernel();
    const std::string endless = NewImage(), counted = NewImage();
    ExpectOk("操作图片", {counted, "播放", "帧数", "1"});
    for (size_t n = 1; n < kMaxScriptAnimations; ++n) ExpectOk("操作图片", {endless, "播放"});
    EXPECT_EQ(k.LiveApplyIds().size(), kMaxScriptAnimations);
    ExpectKind("操作图片", {endless, "播放"}, 10);
    ExpectKind("操作图片", {counted, "播放"}, 10);
    EXPECT_EQ(k.LiveApplyIds().size(), kMaxScriptAnimations);
    // The counted one has shown its frame and ended: room for one.
    Tick(1000);
    ExpectOk("操作图片", {counted, "播放"});
    ExpectKind("操作图片", {counted, "播放"}, 10);
    ExpectOk("操作实体", {endless, "删除"});
    Tick(1);
    for (int n = 0; n < 3; ++n) ExpectOk("操作图片", {counted, "播放"});
}

// 操作图片 with 播放 is done whether or not the engine takes the animation: an image that is
// not on the canvas takes no Applies, and the call still succeeds.
TEST_F(ObjectFamily, PlayOfAnImageOffTheCanvasStartsNothingAndSucceeds) {
    auto* loose = static_cast<ImageEntity*>(
        scene.GetKernel().CreateEntity(ENT_IMAGE, 0, 0, 2, 2, 0.0, 1, false, 1.0));
    loose->SetImage(tiles, 0, 0, 2, 2, kNoColour);
    ExpectOk("操作图片", {std::to_string(loose->GetId()), "播放"});
    Tick(1000);
    EXPECT_EQ(scene.GetKernel().GetActiveApplyCount(), 0u);
    EXPECT_EQ(loose->GetFrame(), 0u);
}

// A picture name that finds nothing is no failure: the paste draws nothing and the image
// loses its picture (it then draws nothing either).
TEST_F(ObjectFamily, NamesThatFindNoPictureDrawNothingAndSucceed) {
    const std::string plane = NewPlane(2, 2, 255);
    ExpectOk("贴图", {plane, "nothing"});
    ExpectOk("操作平面", {plane, "贴图", "0", "0", "nothing", "0", "边界色", "0"});
    for (uint32_t px : Plane(plane)->State()->pixels) EXPECT_EQ(px, 0xFF000000u);
    const std::string image = NewImage();
    ASSERT_EQ(Image(image)->State()->resourceId, tiles);
    ExpectOk("操作图片", {image, "载入", "nothing"});
    EXPECT_EQ(Image(image)->State()->resourceId, 0u);
    ExpectOk("操作图片", {image, "载入", "tiles", "1"});
    EXPECT_EQ(Image(image)->State()->resourceId, tiles);
    EXPECT_EQ(Image(image)->State()->srcY, 2);
}

// A plane side below 1 leaves the plane as it is, as the plane itself does; a size the plane
// cannot hold (as for 创建平面) leaves it too, and fails.
TEST_F(ObjectFamily, PlaneSidesBelowOneLeaveThePlaneAsItIs) {
    const std::string plane = NewPlane(3, 2, 255);
    for (const auto& [w, h] : {std::pair{"0", "5"}, {"5", "0"}, {"-4", "2"}, {"0", "0"}}) {
        ExpectOk("操作平面", {plane, "宽高", w, h});
        EXPECT_EQ(Plane(plane)->State()->width, 3) << w << "x" << h;
        EXPECT_EQ(Plane(plane)->State()->height, 2) << w << "x" << h;
        EXPECT_EQ(Plane(plane)->State()->pixels.size(), 6u);
    }
    ExpectOk("操作平面", {plane, "宽高", "4096", "2"});
    EXPECT_EQ(Plane(plane)->State()->width, 4096);
    ExpectOk("操作平面", {plane, "宽高", "4097", "2"});
    EXPECT_EQ(Plane(plane)->State()->width, 4097);
    ExpectOk("操作平面", {plane, "宽高", "65535", "2"});
    EXPECT_EQ(Plane(plane)->State()->width, 65535);
    for (const auto& [w, h] : {std::pair{"65536", "2"}, {"2", "65536"}, {"8193", "8192"}}) {
        ExpectKind("操作平面", {plane, "宽高", w, h}, 10);
        EXPECT_EQ(Plane(plane)->State()->width, 65535) << w << "x" << h;
        EXPECT_EQ(Plane(plane)->State()->pixels.size(), 131070u);
    }
}

// 儿子 without its index reads link 0, as a missing argument reads as 0.
TEST_F(ObjectFamily, AChildWithoutItsIndexIsTheFirstLink) {
    const std::string parent = NewPlane(), first = NewPlane(), second = NewPlane();
    ExpectOk("绑定实体", {parent, first});
    ExpectOk("绑定实体", {parent, second});
    ASSERT_EQ(Call("读取实体", {parent, "儿子"}), kScriptContinue);
    EXPECT_EQ(Results(), std::vector<std::string>{first});
    ASSERT_EQ(Call("读取实体", {parent, "儿子", "1", "宽度"}), kScriptContinue);
    EXPECT_EQ(Results(), (std::vector<std::string>{second, "4"}));
}

TEST_F(ObjectFamily, PlaneSubCommands) {
    const std::string id = NewPlane(4, 3);
    ExpectOk("操作平面", {id, "底色", "255"});
    for (uint32_t px : Plane(id)->State()->pixels) EXPECT_EQ(px, kRed);
    ExpectOk("操作平面",
             {id, "底色", std::to_string(0xFF00FF), "边界色", std::to_string(0xFF0000)});
    const std::vector<uint32_t> border{kBlue, kBlue, kBlue, kBlue, kBlue, 0,
                                       0,     kBlue, kBlue, kBlue, kBlue, kBlue};
    EXPECT_EQ(Plane(id)->State()->pixels, border);
    ExpectOk("操作平面", {id, "背景色", "65280"});
    EXPECT_EQ(Plane(id)->State()->back, 65280u);
    ExpectOk("操作平面", {id, "贴图", "1", "1", "tiles", "1"});
    EXPECT_EQ(Pixel(id, 1, 1), kGreen);
    EXPECT_EQ(Pixel(id, 2, 2), kGreen);
    ExpectOk("操作平面", {id, "宽高", "8", "6"});
    EXPECT_EQ(Plane(id)->State()->width, 8);
    EXPECT_EQ(Plane(id)->State()->height, 6);
    EXPECT_EQ(Plane(id)->State()->pixels.size(), 48u);
    ExpectOk("操作平面", {id, "宽高", "4096", "1"});
    EXPECT_EQ(Plane(id)->State()->width, 4096);
    ExpectOk("操作平面", {id, "宽高", "1", "4096"});
    EXPECT_EQ(Plane(id)->State()->width, 1);
    EXPECT_EQ(Plane(id)->State()->height, 4096);
}

// The picture of 操作平面 贴图 lands with its top-left corner at x, y, each from its own value.
TEST_F(ObjectFamily, PlanePasteTakesXThenY) {
    const std::string id = NewPlane(4, 3);
    ExpectOk("操作平面", {id, "贴图", "2", "0", "tiles", "2"});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Pixel(id, x, y), x >= 2 && y <= 1 ? kBlue : 0u) << x << "," << y;
}

TEST_F(ObjectFamily, PlaneTextDrawsIntoThePixelsAtItsPlace) {
    const std::string id = NewPlane(40, 40);
    ExpectOk("操作平面", {id, "文字", "20", "20", "<color=255>WW"});
    int inked = 0, outside = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) (x < 20 || y < 20 ? outside : inked) += Pixel(id, x, y) != 0;
    }
    EXPECT_GT(inked, 0);
    EXPECT_EQ(outside, 0);
}

// A paste at a size other than the picture's own counts the copy a keyed picture is first
// scaled into, up to kMaxScaledPixels, however small the plane and wherever the paste lands;
// at the picture's own size only the plane's pixels count (none here, on one pixel).
TEST_F(ObjectFamily, AScaledPasteCountsItsScaledCopy) {
    ResourceManager& rm = GetResourceManager();
    folder.put("keyed.bmp", Bmp24(4, 4, std::vector<uint32_t>(16, 0xFF00FF)));
    folder.put("plain.bmp", Bmp24(4, 4, std::vector<uint32_t>(16, 0x123456)));
    EnginePicture* pic = rm.GetPicture(rm.LoadImage(folder / "keyed.bmp", "", ".imge", true, 0));
    ASSERT_NE(pic, nullptr);
    pic->flags |= PIC_KEYED;
    ASSERT_NE(rm.GetPicture(rm.LoadImage(folder / "plain.bmp", "", ".imge", true, 0)), nullptr);
    const std::string p = NewPlane(1, 1);
    const struct {
        std::vector<std::string> args;  // after the plane id
        uint64_t charged;
    } rows[] = {
        {{"keyed"}, 0},
        {{"keyed", "0", "0", "0", "4", "4"}, 0},
        {{"keyed", "0", "0", "0", "2048", "2048"}, 2048 * 2048 / kPixelsPerStatement},
        {{"keyed", "0", "0", "0", "4096", "4"}, 16},
        {{"keyed", "0", "0", "0", "1", "4096"}, 4},  // a side of one pixel is scaled too
        {{"keyed", "0", "0", "0", "4096", "1"}, 4},
        {{"keyed", "0", "0", "0", "0", "4096"}, 16},  // a side of 0 is the picture's own
        {{"keyed", "0", "0", "0", "-4096", "4096"}, 0},  // a negative side draws nothing
        // A box that misses the plane is not drawn, so nothing is scaled.
        {{"keyed", "0", "100000", "0", "2048", "2048"}, 0},
        {{"keyed", "0", "-2049", "0", "2048", "2048"}, 0},
        {{"keyed", "0", "-2047", "0", "2048", "2048"}, 2048 * 2048 / kPixelsPerStatement},
        // The largest copy the draw makes, and one pixel past it (no copy: nothing drawn).
        {{"keyed", "0", "0", "0", "8192", "8192"}, 65536},
        {{"keyed", "0", "0", "0", "8192", "8193"}, 0},
        {{"keyed", "0", "0", "0", "65535", "65535"}, 0},
        // An opaque true-colour picture is copied straight, clipped to the plane.
        {{"plain", "0", "0", "0", "2048", "2048"}, 0},
        {{"nosuch", "0", "0", "0", "2048", "2048"}, 0},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args{p};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const uint64_t before = m->GetExecutedCount();
        ExpectOk("贴图", args);
        EXPECT_EQ(m->GetExecutedCount() - before, r.charged) << args[5] << " x " << args.back();
    }
}

// Called outside any run (as the built-in fuzzer and the host's own calls do), work counts
// against no budget: every sub-command of the call is done.
TEST_F(ObjectFamily, OutsideARunWorkStopsNoCall) {
    m->SetStatementBudget(10);
    const std::string p = NewPlane(1024, 1024);
    ExpectOk("操作平面", {p, "底色", "1", "底色", "2", "底色", "3"});
    EXPECT_EQ(static_cast<PlaneEntity*>(Find(p))->State()->base, 3u);
    ExpectOk("操作实体", {p, "坐标", "1", "1", "坐标", "2", "2"});
    EXPECT_EQ(Find(p)->GetX(), 2);
}

// A border counts the edges it walks; a text counts a statement a byte besides the plane's
// pixels, however little of it lands on the plane.
TEST_F(ObjectFamily, BorderAndTextCountTheirWork) {
    const std::string wide = NewPlane(65535, 1), small = NewPlane(4, 3);
    const struct {
        std::vector<std::string> args;
        uint64_t charged;
    } rows[] = {
        {{wide, "边界色", "255"}, 2 * (65535 + 1) / kPixelsPerStatement},
        {{small, "边界色", "255"}, 0},
        {{small, "文字", "0", "0", std::string(5000, 'a')}, 5000},
        {{small, "文字", "0", "0", ""}, 0},
        {{wide, "文字", "0", "0", "ab"}, 2 + 65535 / kPixelsPerStatement},
    };
    for (const auto& r : rows) {
        const uint64_t before = m->GetExecutedCount();
        ExpectOk("操作平面", r.args);
        EXPECT_EQ(m->GetExecutedCount() - before, r.charged) << r.args[1] << " " << r.args[0];
    }
}

TEST_F(ObjectFamily, PlaneChangesBeforeAFailingSubCommandStay) {
    const std::string id = NewPlane(2, 2);
    ExpectKind("操作平面", {id, "底色", "255", "宽高", "1", "65536", "底色", "0"}, 10);
    EXPECT_EQ(Pixel(id, 1, 1), kRed);
    EXPECT_EQ(Plane(id)->State()->width, 2);
    ExpectKind("操作平面", {id, "边界色", "0", "变", "底色", "255"}, 20);
    EXPECT_EQ(Pixel(id, 0, 0), 0xFF000000u);
}

}  // namespace
}  // namespace hqlv::engine::test
