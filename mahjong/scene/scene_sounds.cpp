// Sounds and timed effects around the actions: the seats' voices and tile names, the
// resource sounds, the dice, the opening flowers, the joker flash, and the stake panel in
// the table centre.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/apply_callbacks.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/render/plane.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "rules/common.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;

// The face sequence plays once: the die shows and steps through its frames (the player
// does not advance on drawing), ending on the face.
uint32_t PlayFramesOnce(engine::Entity* e, engine::Apply& a, engine::GameKernel&, uint32_t now) {
    auto* die =
        e && e->GetType() == engine::ENT_FRAMES ? static_cast<engine::FrameEntity*>(e) : nullptr;
    engine::FramePlayer* player = die ? die->Player() : nullptr;
    if (!player || !player->sequence) return 1;
    if (a.p[6] == 0) {
        a.p[6] = 1;
        a.p[7] = now;
        player->start = now;
        player->elapsed = 0;
        player->index = 0;
        die->Play();
        die->Show();
    }
    const bool done = now - a.p[7] >= player->sequence->total;
    if (!done) die->FrameAt(now);
    die->ApplyTransform();
    if (done) player->flags &= ~engine::FP_PLAYING;
    return done ? 1 : 0;
}

// The die stays a second on its face, then goes.
uint32_t HideAfterPause(engine::Entity* e, engine::Apply& a, engine::GameKernel&, uint32_t) {
    if (a.p[6] == 0) {
        a.p[6] = 1;
        a.p[3] = 1000;
        return 0;
    }
    if (e) {
        e->Hide();
        e->ApplyTransform();
    }
    return 1;
}

}  // namespace

std::string CMJGameScene2::GetActionSoundName(int code) {
    static const char* const kNames[14] = {"peng0", "peng1", "gang0", "gang1", "gang0",
                                           "gang2", "gang0", "gang2", "chi0",  "chi1",
                                           "hu0",   "hu1",   "hua0",  "hua1"};
    return code >= 0 && code < 14 ? kNames[code] : "";
}

std::string CMJGameScene2::GetSoundFolder(int view) const {
    CMJTableDraw* draw = m_pHost ? m_pHost->GetTableDraw() : nullptr;
    return draw ? draw->GetVoiceFolder(view) : std::string();
}

void CMJGameScene2::PlayActionSound(int view, const std::string& name) {
    engine::GameKernel* k = Kernel();
    // The window-drawn table has no engine: it plays the same file through the platform.
    const bool windowDrawn = m_nSceneMode == 1;
    // A view with no seat has no voice: nothing, rather than a file beside the program.
    if ((!k && !windowDrawn) || !m_pHost || m_pHost->IsSilent() || view < 0 || view > 3) return;
    const std::string folder = GetSoundFolder(view);
    if (folder.empty()) return;
    char file[256];
    std::snprintf(file, sizeof file, "%s.wav", name.c_str());
    if (windowDrawn)
        m_pHost->PlaySoundFile(folder + file);
    else
        k->GetSoundPlayer().PlayFile(folder + file);
}

void CMJGameScene2::PlayNumberSound(int view, int tile) {
    char name[32];
    std::snprintf(name, sizeof name, "%d", SortKey(tile));
    PlayActionSound(view, name);
}

int CMJGameScene2::PlaySoundRes(int id, int flags) {
    return m_geometry.PlaySoundRes(id, flags);
}

void CMJGameScene2::RollDice() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    int values[4] = {};
    if (info) info->GetDealWords23(values);
    MJRect r;
    GetDiceRect(r);
    engine::GameKernel* k = Kernel();
    engine::FrameEntity* dice[4] = {};
    for (int i = 0; i < 4; ++i) {
        engine::Entity* e = EntityOf(m_made.dice[i]);
        if (e && e->GetType() == engine::ENT_FRAMES) dice[i] = static_cast<engine::FrameEntity*>(e);
        if (dice[i]) dice[i]->SetPosition(i % 2 ? r.left + 159 : r.left + 53, r.top + 49);
    }
    if (m_pHost && m_pHost->IsStandalone()) {
        char line[128];
        std::snprintf(line, sizeof line, "%d,%d,%d,%d\r\n", values[0], values[1], values[2],
                      values[3]);
        m_pHost->AppendChatLine(line);
        for (int& v : values) v = rules::RandomInRange(1, 6);
    }
    TakeTableShot("dice");
    // The window-drawn table rolls its two dice itself; without a window to roll on, the
    // dealing follows at once.
    if (m_nSceneMode == 1) {
        if (m_pGdiSurface)
            RollDiceGdi(*m_pGdiSurface, values[0], values[1]);
        else
            PostSceneMessage(0, 210002, engine::MessageData());
        return;
    }
    for (int i = 0; i < 4; ++i) {
        // Only faces 1 to 6 exist; another value rolls nothing.
        if (!dice[i] || values[i] < 1 || values[i] > 6) continue;
        const int index = (i % 2 ? 6 : 0) + values[i] - 1;
        // The twelve sequences are made with the dice themselves (CreateDiceEntities), before
        // any die exists.
        dice[i]->SetFrames(m_diceFaces[size_t(index)].get(), 1.0, 4);
    }
    if (!k) return;
    const uint32_t event = m_made.diceEvents[0];
    auto post = [&](int i, engine::ApplyCallback callback, uint32_t interval, bool last) {
        uint32_t id = 0;
        if (dice[i] && values[i] >= 1 && values[i] <= 6) {
            engine::Apply a =
                engine::MakeApplyTimer(interval, last ? 210002 : 0, engine::MessageData(), 0);
            a.callback = callback;
            a.eventId = event;
            a.level = 2;
            id = k->PostCallbackApply(dice[i]->GetId(), std::move(a));
        }
        // A die that does not roll still ends the roll, after the dice before it.
        if (!id && last) Wait(0, 210002, engine::MessageData(), 0, event);
    };
    const bool two = values[2] < 1 || values[3] < 1;
    post(0, &PlayFramesOnce, 60, false);
    post(1, &PlayFramesOnce, 60, false);
    post(0, &HideAfterPause, 30, false);
    post(1, &HideAfterPause, 30, two);
    if (two) return;
    post(2, &PlayFramesOnce, 60, false);
    post(3, &PlayFramesOnce, 60, false);
    post(2, &HideAfterPause, 30, false);
    post(3, &HideAfterPause, 30, true);
}

void CMJGameScene2::RevealOpeningFlowers() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    int view = info ? ChairToView(info->GetBankerChair()) : -1;
    int k = 0;
    if (view >= 0) {
        for (int seat = 0; seat < m_geometry.GetPlayerCount(); ++seat) {
            bool flowers = false;
            for (int i = 0; i < GetFlowerCount() && i < kFlowerRecords; ++i)
                flowers |= m_tiles.m_flowers[view][i].bPresent != 0;
            if (flowers) PostSceneMessage(uint32_t(300 * k++), 210005, ViewMessage(view));
            view = PrevView(view);
            if (view < 0 || view > 3) break;
        }
    }
    PostSceneMessage(uint32_t((3 * k + 3) * 100), 210006, engine::MessageData());
}

void CMJGameScene2::OnSeatFlowersRevealed(int view) {
    // Both steps refuse a view outside 0-3.
    BindFlowerTiles(view);
    if (CountFlowers(view)) PlaySoundRes(29103, 0x5);
}

void CMJGameScene2::BindFlowerTiles(int view) {
    if (view < 0 || view > 3) return;
    MJRect area;
    GetFlowerAreaBase(view, area);
    static const struct {
        const char* picture;
        int width, height;
    } kStrip[4] = {
        {"正面中图0", 33, 32}, {"正面中图1", 26, 36}, {"正面中图2", 33, 32}, {"正面中图3", 26, 36}};
    for (int i = 0; i < kFlowerRecords; ++i) {
        MJTileInfo& r = m_tiles.m_flowers[view][i];
        if (!r.bPresent || r.nObject) continue;
        MJBinding* bind = nullptr;
        engine::ImageEntity* e = BindRecord(r, kAreaFlower, view, i, bind);
        if (!e) continue;
        // The row's own strip: the flowers' layout gives every record its row's view.
        const int w = kStrip[view].width, h = kStrip[view].height;
        e->SetZ(r.nZ);
        e->SetImage(Picture(kStrip[view].picture), w * GetFaceIndex(r.nCode), 0, w, h, kMagentaKey);
        e->SetPosition(area.left + r.nX + w / 2 + 1, area.top + r.nY + h / 2 + 1);
        e->SetSize(w, h);
        e->Show();
        e->ApplyTransform();
    }
}

void CMJGameScene2::FlashJoker() {
    if (!m_pHost) return;  // no table view without the application
    MJTileInfo& r = m_tiles.m_hands[kOwnView][0];
    r.bJoker = 1;
    MJBinding* b = Binding(r.nObject);
    auto* e = b ? static_cast<engine::ImageEntity*>(EntityOf(b->entityId)) : nullptr;
    if (!e || e->GetType() != engine::ENT_IMAGE) return;
    const engine::ImageInfo joker = GetImageInfo(Picture("财神"), 0);
    e->SetImage(joker.resourceId, joker.sx, joker.sy, joker.width, joker.height, kMagentaKey);
    e->ApplyTransform();
    Wait(1000, 210062, engine::MessageData::Number(uintptr_t(r.nObject)), 0, 0);
}

void CMJGameScene2::FlyDrawnTile(int tile) {
    // The window-drawn table shows the tile in its slot at once: it has landed.
    if (m_nSceneMode == 1) {
        PostSceneMessage(0, 210058, engine::MessageData());
        return;
    }
    engine::Entity* entity = EntityOf(m_made.dragTile);
    if (!entity || entity->GetType() != engine::ENT_IMAGE) return;
    auto* e = static_cast<engine::ImageEntity*>(entity);
    const MJTileInfo& slot = m_tiles.m_hands[kOwnView][0];
    MJRect h;
    GetHandRect(kOwnView, h);
    const int w = m_metrics.largeWidth, ht = m_metrics.largeHeight;
    const int x = h.left + slot.nX + w / 2, y = h.top + slot.nY + ht / 2;
    if (IsJokerTile(tile)) {
        const engine::ImageInfo joker = GetImageInfo(Picture("财神"), 0);
        e->SetImage(joker.resourceId, joker.sx, joker.sy, joker.width, joker.height, kMagentaKey);
        e->SetSize(joker.width, joker.height);
    } else {
        e->SetImage(Picture("正面大图"), w * GetFaceIndex(tile), 0, w, ht, kMagentaKey);
        e->SetSize(w, ht);
    }
    e->SetZ(slot.nZ);
    e->SetPosition(x - 10, y - 10);
    e->Show();
    e->ApplyTransform();
    MoveTo(e, m_made.dragEvent, x, y, 4, 0, 210058, engine::MessageData(), 0);
}

void CMJGameScene2::OnDrawnTileLanded() {
    if (engine::Entity* e = EntityOf(m_made.dragTile)) {
        e->Hide();
        e->ApplyTransform();
    }
    BindHand(kOwnView);
    // The hand's own entity of the tile is bound now: a marked joker flashes on it.
    const MJTileInfo& slot = m_tiles.m_hands[kOwnView][0];
    if (slot.bPresent && IsJokerTile(slot.nCode) && !SortsJokers()) FlashJoker();
}

void CMJGameScene2::SetBankerMark(int view) {
    for (int v = 0; v < kViewCount; ++v) {
        for (int& word : m_seatIcons[size_t(v)])
            if (word == 1) word = 0;
        if (v == view)
            SetSeatIcon(v, 1);
        else
            ShowSeatIcons(v);
    }
}

std::string CMJGameScene2::FormatStakeText() const {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    char text[64];
    if (info && info->IsSilverHistory())
        std::snprintf(text, sizeof text, " %d 两", info->GetSilverAmount());
    else
        std::snprintf(text, sizeof text, " %d 分", info ? info->GetScoreAmount() : 0);
    return text;
}

void CMJGameScene2::ShowStakePanel() {
    CMJGameInfo* info = m_pHost ? m_pHost->GetGameInfo() : nullptr;
    PlaceWindMarks();
    SetBankerMark(info ? ChairToView(info->GetBankerChair()) : -1);
    SetFont(16, 400, "宋体");
    SetTextColor(0xFFFF);
    engine::Entity* entity = EntityOf(m_made.stake);
    if (!entity || entity->GetType() != engine::ENT_PLANE) return;
    auto* plane = static_cast<engine::PlaneEntity*>(entity);
    plane->Fill();
    const engine::ImageInfo buff = GetImageInfo(Picture("BUFF"), 0);
    plane->PasteImage(30 - 15, 50 - 15, buff.resourceId, 0, 0, 30, 30, 30, 30, 0.0, 1.0,
                      kMagentaKey);
    plane->SetTextColor(0xFFFF);
    plane->SetFont(16, 400, "宋体");
    plane->DrawText(30 + 30 / 2, 50, FormatStakeText());
    MJRect r;
    GetStakeTextRect(r);
    plane->SetPosition((r.right - r.left) / 2 + r.left + 1, (r.bottom - r.top) / 2 + r.top + 1);
    plane->Show();
    plane->ApplyTransform();
}

}  // namespace hqlv::mahjong
