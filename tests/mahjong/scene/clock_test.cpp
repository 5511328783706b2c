// The turn clock: the hand's paths on the engine clock, moves that overlap, the second's
// count with its sounds, the digits drawn from any count, the start of a deal and the turn
// timers.
#include <gtest/gtest.h>

#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/render/plane.h"
#include "handler_scene.h"
#include "mahjong/scene/scene_effects.h"
#include "rules/common.h"

namespace hqlv::mahjong::test {
namespace {

#define NEED_ASSETS() \
    if (!HaveAssets()) GTEST_SKIP() << "the build wrote no table pictures (programs off)"

class ClockTest : public HandlerTest {
protected:
    void Begin() {
        Start();
        scene.ClockReset();
        scene.SetHandMoved(0);
        scene.SetCountdownSound(1);
        scene.steps.clear();
        scene.rebinds = 0;
        Run(10);
        host.sounds.clear();
        applies = scene.GetKernel().GetActiveApplyCount();
    }
    size_t applies = 0;  // the Applies running before the test's moves (the notice's blink)
    std::vector<int> Drawn() const {
        std::vector<int> out;
        for (const auto& s : scene.steps) out.push_back(s.drawn);
        return out;
    }
    const engine::ImageState* Cell(uint32_t id) {
        auto* e = static_cast<engine::ImageEntity*>(scene.GetKernel().FindEntity(id));
        return e ? e->State() : nullptr;
    }
};

TEST_F(ClockTest, PathsStepEvery100MsAndRebindAtTheOwnSeat) {
    NEED_ASSETS();
    struct Case {
        int start, end;
        std::vector<int> drawn;
        int rebinds;
    };
    const Case cases[] = {
        {6, 4, {5, 4}, 1},       {0, 6, {7, 6}, 1},       {6, 0, {7, 0}, 1},
        {2, 6, {1, 0, 7, 6}, 1}, {6, 2, {5, 4, 3, 2}, 1}, {0, 4, {7, 6, 5, 4}, 0},
        {4, 0, {3, 2, 1, 0}, 0}, {0, 2, {1, 2}, 0},       {2, 0, {1, 0}, 0},
        {6, 6, {}, 1},           {4, 4, {}, 0},           {0, 3, {}, 0},
        {1, 0, {}, 0},
    };
    for (const Case& c : cases) {
        Begin();
        scene.SetClockHand(c.start);
        scene.QZ_MoveClockHand(c.start, c.end);
        EXPECT_EQ(scene.GetClockPosition(), c.end);  // at once
        EXPECT_EQ(scene.rebinds, c.rebinds) << c.start << "→" << c.end;
        const uint32_t from = engine::GetCachedTimeMs();
        Run(600);
        EXPECT_EQ(Drawn(), c.drawn) << c.start << "→" << c.end;
        for (size_t i = 0; i < scene.steps.size(); ++i)
            EXPECT_EQ(scene.steps[i].at - from, 100 * (i + 1)) << c.start << "→" << c.end;
        // Without a path the drawn position stays where it was.
        EXPECT_EQ(scene.Clock().drawn, c.drawn.empty() ? c.start : c.end);
        EXPECT_EQ(scene.rebinds, c.rebinds);
        // The path went with its Apply.
        EXPECT_EQ(scene.GetKernel().GetActiveApplyCount(), applies);
        EXPECT_EQ(scene.IsHandMoved(), c.start != c.end);
    }
    EXPECT_NE(Log().find("QZ_MoveClockHand()ERROR,nEnd%2==1"), std::string::npos);
}

// A move that starts while another still steps waits for it: the hand passes every step of
// the first move, then every step of the second, each step a frame of its own at least
// 100 ms after the one before.
TEST_F(ClockTest, AMoveThatStartsDuringAnotherFollowsItStepByStep) {
    NEED_ASSETS();
    struct Case {
        const char* name;
        int start, first, wait, second;
        std::vector<int> drawn;
    };
    const Case cases[] = {
        {"a claim's four steps, then the claimer's quick discard",
         2,
         6,
         150,
         4,
         {1, 0, 7, 6, 5, 4}},
        {"two moves before the engine runs (a flower without replacement)",
         4,
         0,
         0,
         6,
         {3, 2, 1, 0, 7, 6}},
        {"a long move after a short one", 6, 4, 110, 0, {5, 4, 3, 2, 1, 0}},
        {"a move after the first one's last step", 6, 4, 210, 2, {5, 4, 3, 2}},
    };
    for (const Case& c : cases) {
        Begin();
        scene.SetClockHand(c.start);
        // The drawn position after every 10 ms frame that changed it.
        std::vector<int> frames;
        auto run = [&](uint32_t ms) {
            for (uint32_t t = 0; t < ms; t += 10) {
                Run(10);
                if (scene.Clock().drawn != (frames.empty() ? c.start : frames.back()))
                    frames.push_back(scene.Clock().drawn);
            }
        };
        scene.QZ_MoveClockHand(c.start, c.first);
        run(uint32_t(c.wait));
        scene.QZ_MoveClockHand(c.first, c.second);
        EXPECT_EQ(scene.GetClockPosition(), c.second) << c.name;  // the target at once
        run(1500);
        EXPECT_EQ(Drawn(), c.drawn) << c.name;
        EXPECT_EQ(frames, c.drawn) << c.name;  // no step shares a frame with another
        for (size_t i = 1; i < scene.steps.size(); ++i)
            EXPECT_GE(scene.steps[i].at - scene.steps[i - 1].at, 100u) << c.name << " " << i;
        EXPECT_EQ(scene.Clock().drawn, c.second) << c.name;
        EXPECT_EQ(scene.GetKernel().GetActiveApplyCount(), applies) << c.name;
        EXPECT_EQ(scene.PendingHandMoves(), 0u) << c.name;  // every path went with its last step
        EXPECT_EQ(Log().find("一个错误的数据QZ_Moveing"), std::string::npos) << c.name;
    }
}

// A move whose Apply was cancelled before its last step leaves its path behind; the next
// move's first step lets it go.
TEST_F(ClockTest, ACancelledMovesPathGoesWithTheNextMovesFirstStep) {
    NEED_ASSETS();
    Begin();
    scene.SetClockHand(2);
    scene.QZ_MoveClockHand(2, 6);
    Run(150);
    ASSERT_EQ(Drawn(), std::vector<int>{1});
    scene.GetKernel().CancelAppliesOfEntity(scene.Entities().clockHand, ~0u, 2);
    Run(20);
    EXPECT_EQ(scene.PendingHandMoves(), 1u);
    scene.QZ_MoveClockHand(6, 4);
    EXPECT_EQ(scene.PendingHandMoves(), 2u);
    Run(500);
    EXPECT_EQ(Drawn(), (std::vector<int>{1, 5, 4}));
    EXPECT_EQ(scene.PendingHandMoves(), 0u);
}

TEST_F(ClockTest, StepsOfNoRunningMoveAreRefused) {
    NEED_ASSETS();
    Begin();
    engine::MessageData none;
    scene.QZ_Moveing(none);
    EXPECT_NE(Log().find("一个错误的数据QZ_Moveing"), std::string::npos);
    int32_t foreign[10] = {3, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    scene.SetClockHand(6);
    scene.QZ_Moveing(engine::MessageData::Number(reinterpret_cast<uintptr_t>(foreign)));
    EXPECT_EQ(scene.Clock().drawn, 6);
    EXPECT_EQ(foreign[0], 3);
}

TEST_F(ClockTest, SecondsCountDownWithTheirSounds) {
    NEED_ASSETS();
    struct Case {
        int seconds, sounds, timeouts, standalone;
        int after;
        std::vector<int> played;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {6, 1, 0, 0, 5, {2900501}, {}},
        {7, 1, 0, 0, 6, {}, {}},
        {2, 1, 0, 0, 1, {2900101}, {}},
        {1, 1, 0, 0, 0, {2900001}, {"countdown end"}},
        {6, 0, 0, 0, 5, {}, {}},  // after a discard the count is silent
        {1, 0, 0, 0, 0, {}, {"countdown end"}},
        {0, 1, 0, 0, 0, {}, {}},
        {0, 1, 3, 0, 0, {}, {"auto"}},
        {1, 1, 3, 0, 0, {2900001}, {"countdown end", "auto"}},
        {9, 1, 2, 0, 8, {}, {}},
        {6, 1, 3, 1, 6, {}, {}},  // standalone: the clock stands
    };
    for (const Case& c : cases) {
        Begin();
        scene.SetCountdown(c.seconds);
        scene.SetCountdownSound(c.sounds);
        scene.SetTimeoutCount(c.timeouts);
        host.standalone = c.standalone;
        scene.calls.clear();
        scene.OnTimer(10000);
        EXPECT_EQ(scene.GetCountdown(), c.after) << c.seconds;
        EXPECT_EQ(host.sounds, c.played) << c.seconds;
        EXPECT_EQ(scene.calls, c.calls) << c.seconds;
    }
    // Another foreign timer is not the clock's.
    Begin();
    scene.SetCountdown(5);
    scene.OnTimer(10001);
    EXPECT_EQ(scene.GetCountdown(), 5);
}

TEST_F(ClockTest, DigitsShowTheCountClampedToTwoPlaces) {
    NEED_ASSETS();
    struct Case {
        int seconds, tens, units;
    };
    const Case cases[] = {{5, 0, 5}, {10, 1, 0}, {99, 9, 9}, {100, 9, 9}, {118, 9, 9}, {1, 0, 1}};
    Begin();
    scene.ClockStart();
    auto digits = [&] {
        return std::pair(Cell(scene.Entities().digits[0])->srcX / 8,
                         Cell(scene.Entities().digits[1])->srcX / 8);
    };
    for (const Case& c : cases) {
        scene.SetCountdown(c.seconds);  // drawn at once
        EXPECT_EQ(digits(), std::pair(c.tens, c.units)) << c.seconds;
        EXPECT_EQ(Cell(scene.Entities().digits[1])->width, 8);
        EXPECT_EQ(scene.GetCountdown(), c.seconds);  // the count keeps its value
    }
    // The clock second counts the last one down to 00.
    scene.OnTimer(10000);
    EXPECT_EQ(digits(), std::pair(0, 0));
    // A count set to 0 or below (the server's countdown end, a deal word of 0) is not drawn
    // at once; the next drawing (a resize, a skin change) shows 00.
    for (int ended : {0, -1, -30}) {
        scene.SetCountdown(7);
        scene.SetCountdown(ended);
        EXPECT_EQ(digits(), std::pair(0, 7)) << ended;
        scene.DrawClock();
        EXPECT_EQ(digits(), std::pair(0, 0)) << ended;
        EXPECT_EQ(scene.GetCountdown(), ended);
    }
}

// The turn passes on: a discard opens the claim window, the server ends it at once (229165)
// while the hand still steps, and the next seat draws. The digits show the claim seconds,
// 00 from the end on, then the turn's seconds from the draw on.
TEST_F(ClockTest, AnEndedCountdownShowsZeroUntilTheNextTurnsSeconds) {
    NEED_ASSETS();
    Begin();
    deal.Set(13, 1);  // chair 1 (view 2) moves first
    scene.ClockStart();
    ASSERT_EQ(scene.GetClockPosition(), 4);
    std::vector<int> shown;
    auto digits = [&] {
        return Cell(scene.Entities().digits[0])->srcX / 8 * 10 +
               Cell(scene.Entities().digits[1])->srcX / 8;
    };
    scene.onDraw = [&] { shown.push_back(digits()); };
    scene.OnNotify221170(Body(22, {{1, 1}, {21, 40}}));
    EXPECT_EQ(digits(), 8);  // the claim seconds, before any step or second
    scene.OnNotify229165({});
    Run(600);  // the hand's steps draw the clock again
    EXPECT_EQ(scene.Clock().drawn, 2);
    EXPECT_EQ(digits(), 0);
    scene.OnNotify229160(Body(10, {{0, 0}, {1, -1}, {2, 60}}));
    EXPECT_EQ(digits(), 15);  // the draw's turn seconds at once
    scene.OnTimer(10000);
    EXPECT_EQ(digits(), 14);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 8);
}

TEST_F(ClockTest, DrawPlacesTheClockAndCutsTheHandFrame) {
    NEED_ASSETS();
    Begin();
    engine::Entity* face = scene.GetKernel().FindEntity(scene.Entities().clockFace);
    scene.DrawClock();
    EXPECT_FALSE(face->IsVisible());  // not shown before the deal starts
    scene.ClockStart();
    for (int p = 0; p < 8; ++p) {
        scene.SetClockHand(p);
        scene.DrawClock();
        EXPECT_EQ(Cell(scene.Entities().clockHand)->srcX, p * 56);
    }
    MJRect r, c;
    scene.GetClockRect(r);
    scene.GetCentreRect(c);
    EXPECT_EQ(r.left, c.left + 10);
    EXPECT_EQ(r.right - r.left, 65);
    EXPECT_EQ(r.bottom - r.top, 65);
    EXPECT_EQ(r.top, c.top + (c.bottom - c.top - 65) / 2);
    EXPECT_TRUE(face->IsVisible());
    EXPECT_EQ(face->GetX(), r.left + 32 + 1);
    EXPECT_EQ(face->GetY(), r.top + 32 + 1);
    scene.ClockReset();
    scene.DrawClock();
    EXPECT_FALSE(face->IsVisible());
}

TEST_F(ClockTest, StartPointsAtTheFirstMover) {
    NEED_ASSETS();
    struct Case {
        int first, flags, moved;
        int hand, seconds, rebinds;
    };
    // Own chair 2: chair 3 at view 0, chair 1 at view 2.
    const Case cases[] = {
        {2, 0x100, 0, 6, 15, 1}, {2, 0, 0, 6, 8, 1},     {3, 0x100, 0, 0, 15, 0},
        {1, 0x1FF, 0, 4, 15, 0}, {1, 0xFF, 0, 4, 8, 0},  {3, 0x100, 1, 2, 0, 0},
        {-1, 0x100, 0, 2, 0, 0}, {9, 0x100, 0, 2, 0, 0},
    };
    for (const Case& c : cases) {
        Begin();
        deal.Set(13, c.first);
        deal.Set(14, c.flags);
        scene.SetClockHand(2);
        scene.SetHandMoved(c.moved);
        scene.ClockStart();
        EXPECT_EQ(scene.Clock().shown, 1);
        EXPECT_EQ(scene.Clock().started, 1);
        EXPECT_EQ(scene.IsCountdownSoundOn(), 1);
        EXPECT_EQ(scene.GetClockPosition(), c.hand) << c.first;
        EXPECT_EQ(scene.Clock().drawn, c.hand) << c.first;
        EXPECT_EQ(scene.GetCountdown(), c.seconds) << c.first;
        EXPECT_EQ(scene.rebinds, c.rebinds) << c.first;
    }
    EXPECT_NE(Log().find("ClockStart: chair 9 has no view"), std::string::npos);
}

TEST_F(ClockTest, TurnTimersAreStoppedOnlyWhenRunning) {
    NEED_ASSETS();
    Begin();
    scene.SetTurnTimer(10, 800);
    scene.SetTurnTimer(12, 800);
    EXPECT_EQ(host.timers, std::vector<int>{10 * 100000 + 800});
    EXPECT_EQ(scene.GetTurnTimer(10), 10u);
    EXPECT_EQ(scene.GetTurnTimer(11), 0u);
    scene.StopTurnTimers();
    EXPECT_EQ(host.killed, std::vector<int>{10});
    EXPECT_EQ(scene.GetTurnTimer(10), 0u);
    scene.SetTurnTimer(11, 800);
    scene.SetTurnTimer(10, 800);
    scene.StopTurnTimers();
    scene.StopTurnTimers();
    EXPECT_EQ(host.killed, (std::vector<int>{10, 10, 11}));
}

TEST_F(ClockTest, ResetClearsEveryWordButTheLayout) {
    NEED_ASSETS();
    Begin();
    scene.ClockStart();
    scene.SetCountdown(9);
    scene.SetClaimWindowOpen(1);
    scene.SetClockHand(5);
    EXPECT_EQ(scene.QZ_GetPointTo(), 5);
    EXPECT_NE(Log().find("Error:QZ_GetPointTo():nPointTo%2==1"), std::string::npos);
    scene.ClockReset();
    const auto& w = scene.Clock();
    EXPECT_EQ(w.shown + w.sounds + w.seconds + w.started + w.drawn + w.claimWindow, 0);
    EXPECT_EQ(scene.GetClockPosition(), 0);
    EXPECT_EQ(scene.GetSelectMode(), 0);
    EXPECT_EQ(w.layout[3], 25);
}

TEST_F(ClockTest, BlinkingPlaneTakesEachNewColourOverTheLastOne) {
    Start();
    engine::PlaneEntity* p = scene.CreatePlaneEntity(2, 50, 50, 4, 3, 0x123456);
    ASSERT_NE(p, nullptr);
    // A plane of each colour the blink took shows the pixel the blinking plane shows.
    engine::PlaneEntity* probe = scene.CreatePlaneEntity(2, 50, 50, 1, 1, 0);
    engine::Apply a;
    a.p[6] = 0x123456;
    rules::SeedRandom(7);
    int changes = 0;
    for (int i = 0; i < 40; ++i) {
        const uint32_t before = a.p[6];
        EXPECT_EQ(BlinkPlaneColour(p, a, scene.GetKernel(), 0), 0u);  // never finishes
        EXPECT_NE(a.p[6], 0xFF00FFu);
        EXPECT_NE(a.p[6], 0xFFFFFFu);
        changes += a.p[6] != before;
        probe->Create(1, 1, a.p[6]);
        for (int k = 0; k < 12; ++k) ASSERT_EQ(p->GetPixels()[k], probe->GetPixels()[0]) << i;
    }
    EXPECT_GT(changes, 30);
    // Another kind of entity is left alone.
    engine::Apply other;
    other.p[6] = 5;
    BlinkPlaneColour(scene.GetKernel().FindEntity(scene.Entities().clockHand), other,
                     scene.GetKernel(), 0);
    EXPECT_EQ(other.p[6], 5u);
}

}  // namespace
}  // namespace hqlv::mahjong::test
