// The turn clock in the table centre: a hand that steps towards the seat whose turn it is
// (one engine message 210042 every 100 ms) and two digits with the seconds left, counted
// down by the table view's one-second timer.
#include <algorithm>
#include <cstdlib>

#include "engine/core/apply_callbacks.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/render/plane.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/scene_effects.h"
#include "rules/common.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;
constexpr int kPathLength = 10;  // the entries of a ClockPath
constexpr int kHandFrame = 56;
constexpr int kDigitWidth = 8, kDigitHeight = 17;

// The positions between start and end; → the number of steps (0: no animation).
int MakePath(int start, int end, int32_t (&path)[kPathLength]) {
    std::fill(std::begin(path), std::end(path), -1);
    const int d = std::abs(end - start);
    if (d == 4) {
        for (int i = 0; i < 4; ++i)
            path[i] = (start - 1 - i) < 0 ? start - 1 - i + 8 : start - 1 - i;
        return 4;
    }
    if (d == 6) {
        path[0] = 7;
        path[1] = end;
        return 2;
    }
    if (d == 2) {
        path[0] = end > start ? start + 1 : start - 1;
        path[1] = end;
        return 2;
    }
    return 0;
}

// The deal state's turn: the view of the chair to move and the seconds its turn gives (the
// turn's own when that seat holds its drawn tile, else those of the wait for claims and the
// draw). A chair without a seat on the screen is logged with who asked; → false.
bool RecordTurn(const CMJGameScene2& scene, const CMJGameInfo& info, const char* who, int& view,
                int& seconds) {
    const int chair = info.RoundWord(13);
    view = scene.ChairToView(chair);
    if (view < 0 || view > 3) {
        engine::WriteLog("%s: chair %d has no view", who, chair);
        return false;
    }
    seconds = info.DealFlagBit8() ? info.RoundWord(18) : info.RoundWord(39);
    return true;
}

}  // namespace

void CMJGameScene2::ClockReset() {
    m_clock = ClockWords{};
    m_nClockPos = 0;
    m_nSelectMode = 0;
    m_clock.layout[0] = 4;
    m_clock.layout[1] = 4;
    m_clock.layout[2] = 24;
    m_clock.layout[3] = 25;
}

void CMJGameScene2::GetClockRect(MJRect& out) const {
    MJRect c;
    GetCentreRect(c);
    out.left = c.left + 10;
    out.right = out.left + GetClockSize();
    out.top = c.top + (c.bottom - c.top - GetClockSize()) / 2;
    out.bottom = out.top + GetClockSize();
}

int CMJGameScene2::QZ_GetPointTo() {
    if (m_nClockPos % 2 != 0) engine::WriteLogText("Error:QZ_GetPointTo():nPointTo%2==1");
    return m_nClockPos;
}

void CMJGameScene2::SetCountdown(int n) {
    m_clock.seconds = n;
    m_bCountdownEndHeld = 0;
    if (n > 0 && m_clock.shown) DrawClock();
}

void CMJGameScene2::SetClockHand(int position) {
    m_nClockPos = position;
    m_clock.drawn = position;
}

void CMJGameScene2::QZ_MoveClockHand(int start, int end) {
    m_nClockPos = end;
    if (start == 2 * kOwnView || end == 2 * kOwnView) RebindTileControls();
    if (start == end) return;
    if (end % 2 != 0) engine::WriteLogText("QZ_MoveClockHand()ERROR,nEnd%2==1");
    ClockPath path;
    const int steps = MakePath(start, end, path.entries);
    m_bHandMoved = 1;
    engine::GameKernel* k = Kernel();
    // Another distance has no path: the drawn position stays.
    if (!k || !m_made.clockHand || steps == 0) return;
    // A move that starts while another still steps queues behind it in the clock's Event:
    // the hand shows every step of the first move, then every step of this one.
    if (++m_nPathSerial == 0) ++m_nPathSerial;  // 0 is no path
    path.serial = m_nPathSerial;
    engine::Apply a =
        engine::MakeApplyTimer(100, 210042, engine::MessageData::Number(path.serial), 0);
    a.p[1] = uint32_t(steps);
    a.callback = &engine::ApplyDeliverMessage;
    a.eventId = m_made.clockEvent;
    a.level = 2;
    if (k->PostCallbackApply(m_made.clockHand, std::move(a))) m_clockPaths.push_back(path);
}

void CMJGameScene2::QZ_Moveing(const engine::MessageData& data) {
    // The step names its move's path by the serial the move gave it; a step of no move the
    // scene made has no path to read.
    auto it = std::find_if(m_clockPaths.begin(), m_clockPaths.end(), [&](const ClockPath& p) {
        return !data.empty() && p.serial == data.word();
    });
    if (it == m_clockPaths.end()) {
        engine::WriteLogText("一个错误的数据QZ_Moveing");
        return;
    }
    // The moves step one after another: the paths before this one belong to moves that
    // ended without taking all their steps (their Applies were cancelled).
    it = m_clockPaths.erase(m_clockPaths.begin(), it);
    for (int32_t& entry : it->entries) {
        if (entry < 0 || entry > 8) continue;
        m_clock.drawn = entry == 8 ? 0 : entry;
        entry = -1;
        DrawClock();
        break;
    }
    // The path goes with its last step.
    if (std::none_of(std::begin(it->entries), std::end(it->entries),
                     [](int32_t e) { return e >= 0 && e <= 8; }))
        m_clockPaths.erase(it);
}

void CMJGameScene2::DrawClock() {
    engine::Entity* face = EntityOf(m_made.clockFace);
    if (!face) return;
    if (!m_clock.shown) {
        face->Hide();
        face->ApplyTransform();
        return;
    }
    MJRect r;
    GetClockRect(r);
    auto image = [&](uint32_t id) {
        engine::Entity* e = EntityOf(id);
        return e && e->GetType() == engine::ENT_IMAGE ? static_cast<engine::ImageEntity*>(e)
                                                      : nullptr;
    };
    const int drawn = std::clamp(m_clock.drawn, 0, 7);
    if (engine::ImageEntity* hand = image(m_made.clockHand))
        hand->SetImage(Picture("钟指针"), drawn * kHandFrame, 0, kHandFrame, kHandFrame,
                       kMagentaKey);
    // Two digits show 0-99; the count itself keeps any value.
    const int shown = std::clamp(m_clock.seconds, 0, 99);
    const uint32_t digits = Picture("数字");
    if (engine::ImageEntity* tens = image(m_made.digits[0]))
        tens->SetImage(digits, shown / 10 * kDigitWidth, 0, kDigitWidth, kDigitHeight, kMagentaKey);
    if (engine::ImageEntity* units = image(m_made.digits[1]))
        units->SetImage(digits, shown % 10 * kDigitWidth, 0, kDigitWidth, kDigitHeight,
                        kMagentaKey);
    const int w = r.right - r.left, h = r.bottom - r.top;
    face->SetPosition(r.left + w / 2 + 1, r.top + h / 2 + 1);
    face->Show();
    face->ApplyTransform();
}

void CMJGameScene2::ClockStart() {
    if (m_pHost) m_pHost->StartClockTimer();
    m_clock.shown = 1;
    m_clock.sounds = 1;
    m_clock.started = 1;
    if (m_bHandMoved) return;
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    int view = 0, seconds = 0;
    // A first mover without a seat leaves the hand where it is.
    if (!info || !RecordTurn(*this, *info, "ClockStart", view, seconds)) return;
    SetClockHand(2 * view);
    if (m_nClockPos == 2 * kOwnView) RebindTileControls();
    m_clock.seconds = seconds;
}

void CMJGameScene2::CleanUpClockWindow() {
    if (m_pHost) m_pHost->StopClockTimer();
    StopTurnTimers();
}

void CMJGameScene2::RestoreClockState() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    int view = 0, seconds = 0;
    if (!info || !RecordTurn(*this, *info, "RestoreClockState", view, seconds)) return;
    // The seat to move, with the seconds its turn gives.
    m_clock.shown = 1;
    m_clock.sounds = 1;
    m_clock.started = 1;
    SetClockHand(2 * view);
    m_clock.seconds = seconds;
}

void CMJGameScene2::ResumeClock() {
    if (!m_clock.shown) return;
    DrawClock();
    if (m_pHost) m_pHost->StartClockTimer();
    if (m_nClockPos == 2 * kOwnView) RebindTileControls();
}

void CMJGameScene2::SetTurnTimer(uint32_t id, uint32_t ms) {
    if (id != 10 && id != 11) return;
    if (m_pHost) m_pHost->SetViewTimer(id, ms);
    m_turnTimers[id - 10] = id;
}

uint32_t CMJGameScene2::GetTurnTimer(uint32_t id) const {
    return id == 10 || id == 11 ? m_turnTimers[id - 10] : 0;
}

void CMJGameScene2::StopTurnTimers() {
    for (uint32_t& t : m_turnTimers) {
        if (t && m_pHost) m_pHost->KillViewTimer(t);
        t = 0;
    }
}

void CMJGameScene2::OnCountdownTimer() {
    if (!m_pHost || m_pHost->IsStandalone()) return;
    if (m_clock.seconds > 0) {
        DecCountdown();
        DrawClock();
        if (m_clock.sounds && m_clock.seconds < 6) PlaySoundRes(29000 + m_clock.seconds, 1);
        if (m_clock.seconds == 0) OnCountdownEnd();
    }
    if (m_nTimeouts >= 3) AutoPlayTick();
}

uint32_t BlinkPlaneColour(engine::Entity* e, engine::Apply& a, engine::GameKernel&, uint32_t) {
    const uint32_t r = uint32_t(rules::RandomBelow(256)), g = uint32_t(rules::RandomBelow(256)),
                   b = uint32_t(rules::RandomBelow(256));
    const uint32_t colour = r | g << 8 | b << 16;  // red in the low byte, as the planes take it
    if (colour == kMagentaKey || colour == 0xFFFFFF) return 0;
    if (!e || e->GetType() != engine::ENT_PLANE) return 0;
    static_cast<engine::PlaneEntity*>(e)->ReplaceColor(a.p[6], colour);
    a.p[6] = colour;
    e->ApplyTransform();
    return 0;
}

}  // namespace hqlv::mahjong
