#include "mahjong/scene/table_draw.h"

#include <ctime>

#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/scene_host.h"

namespace hqlv::mahjong {

CMJTableDraw::CMJTableDraw() : m_random(uint32_t(std::time(nullptr))) {}

CMJGameInfo* CMJTableDraw::GetGameInfo() {
    return m_pHost ? m_pHost->GetGameInfo() : nullptr;
}

void CMJTableDraw::LayoutAllSeats() {
    for (int v = 0; v < 4; ++v) {
        if (v == 1 && m_nPlayerCount == 3) continue;
        LayoutSeatText(v);
    }
}

void CMJTableDraw::LoadBankerBitmap() {
    m_bBankerBitmap = m_pHost && m_pHost->HasSkinBitmap("MJ_ZHUANG");
}

const MJSeatRecord* CMJTableDraw::Seat(int view) const {
    return view >= 0 && view < 4 ? &m_seats[size_t(view)] : nullptr;
}

MJSeatRecord* CMJTableDraw::SeatMutable(int view) {
    return view >= 0 && view < 4 ? &m_seats[size_t(view)] : nullptr;
}

std::string CMJTableDraw::GetVoiceFolder(int view) const {
    const MJSeatRecord* s = Seat(view);
    return s ? s->voiceFolder : std::string();
}

void CMJTableDraw::ClearSeats() {
    m_seats.fill(MJSeatRecord{});
}

void CMJTableDraw::LoadSeatData() {
    if (!m_pHost) return;
    int own = OwnChair();
    auto fill = [&](int view, int chair) {
        MJSeatRecord& s = m_seats[size_t(view)];
        s.chair = chair;
        // Before seating there is no chair to take a record from.
        if (chair < 0) {
            s.userId = 0;
            s.voiceKind = 0;
            s.name.clear();
            return;
        }
        s.userId = m_pHost->GetSeatUserID(chair);
        s.voiceKind = m_pHost->GetSeatVoiceKind(chair);
        s.name = m_pHost->GetSeatName(chair);
    };
    fill(3, own);
    fill(0, own < 0 ? -1 : NextChair(own));
    if (m_nPlayerCount != 3) fill(1, own < 0 ? -1 : OppositeChair(own));
    fill(2, own < 0 ? -1 : PrevChair(own));
    PickRandomSound();
}

std::string CMJTableDraw::VoiceBase() const {
    return (m_pHost ? m_pHost->GetProgramFolder() : std::string()) + "Sound/";
}

void CMJTableDraw::PickRandomSound() {
    if (!m_pHost) return;
    std::vector<std::string> lists[2];
    m_pHost->ScanSoundFiles(lists[0], lists[1]);
    if (lists[0].empty() && lists[1].empty()) return;
    const std::string first[2] = {lists[0].empty() ? std::string() : lists[0].front(),
                                  lists[1].empty() ? std::string() : lists[1].front()};
    const std::string base = VoiceBase();
    for (int chair = 0; chair < m_nPlayerCount; ++chair) {
        MJSeatRecord* s = SeatMutable(ChairToView(chair));
        if (!s) continue;
        s->voiceFolder = base;
        int k = s->voiceKind;
        if (k == 0 || k == 1) {
            std::vector<std::string>& list = lists[k];
            if (!list.empty()) {
                // No two seats share a voice while folders remain.
                size_t i = m_random() % list.size();
                s->voiceFolder += list[i];
                list.erase(list.begin() + std::ptrdiff_t(i));
            } else {
                s->voiceFolder += first[k];
            }
        }
        s->voiceFolder += "/";
    }
}

void CMJTableDraw::SetAllHighlights(int value) {
    for (MJSeatRecord& s : m_seats) s.highlight = value;
}

void CMJTableDraw::SetAllBankers(int value) {
    for (MJSeatRecord& s : m_seats) s.banker = value;
}

void CMJTableDraw::SetBanker(int chair, int value) {
    if (MJSeatRecord* s = SeatMutable(ChairToView(chair))) s->banker = value;
}

void CMJTableDraw::DrawSeatInfo(int view) {
    if (!Seat(view)) return;
    if (m_nSceneMode == 1) {
        PaintSeatGdi(view);
        return;
    }
    if (CMJGameScene2* scene = m_pHost ? m_pHost->GetGameScene() : nullptr)
        scene->DrawSeatInfo(view);
}

void CMJTableDraw::RefreshAll() {
    SetAllBankers(0);
    SetAllHighlights(1);
    if (CMJGameInfo* info = GetGameInfo()) SetBanker(info->GetBankerChair(), 1);
    for (int v = 0; v < 4; ++v) {
        if (v == 1 && m_nPlayerCount == 3) continue;
        DrawSeatInfo(v);
    }
}

void CMJTableDraw::HighlightChair(int chair) {
    int view = ChairToView(chair);
    MJSeatRecord* s = SeatMutable(view);
    if (!s) return;
    s->highlight = 1;
    DrawSeatInfo(view);
}

void CMJTableDraw::SetSeatName(int chair, const std::string& name) {
    int view = ChairToView(chair);
    MJSeatRecord* s = SeatMutable(view);
    if (!s) return;
    s->name = name;
    DrawSeatInfo(view);
}

}  // namespace hqlv::mahjong
