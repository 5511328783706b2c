#include "mahjong/scene/table_draw.h"

#include <ctime>

#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/scene_host.h"

namespace hqlv::mahjong {

CMJTableDraw::CMJTableDraw() : m_random(uint32_t(std::time(nullptr))) {
    CreateFonts();
}

void CMJTableDraw::CreateFonts() {
    // The side seats' names run along their edge: downward at the left, upward at the right.
    m_fonts = {DefaultGuiFont(2700), DefaultGuiFont(), DefaultGuiFont(900), DefaultGuiFont()};
}

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

namespace hqlv::mahjong {

namespace {

// The text cut to the seat record's size without splitting a UTF-8 character.
std::string CutName(const std::string& name) {
    if (name.size() <= kSeatNameBytes) return name;
    size_t n = kSeatNameBytes;
    while (n > 0 && (uint8_t(name[n]) & 0xC0) == 0x80) --n;
    return name.substr(0, n);
}

}  // namespace

void CMJTableDraw::GetSeatRect(int view, MJRect& out) {
    out = {};
    CMJGameScene2* scene = m_pHost ? m_pHost->GetGameScene() : nullptr;
    if (view < 0 || view > 3 || !scene) return;
    CMJGameInfo* info = GetGameInfo();
    const int w = info ? info->GetSizeA() : 250, h = info ? info->GetSizeB() : 24;
    MJRect hand;
    scene->GetHandRect(view, hand);
    // Along the inner edge of the seat's hand, in the strip before its showcase tile, centred
    // along the table's side.
    const int x = (scene->GetScreenWidth() - w) / 2, y = (scene->GetScreenHeight() - w) / 2;
    switch (view) {
        case 0:
            out = {hand.right, y, hand.right + h, y + w};
            break;
        case 1:
            out = {x, hand.bottom, x + w, hand.bottom + h};
            break;
        case 2:
            out = {hand.left - h, y, hand.left, y + w};
            break;
        default:
            out = {x, hand.top - h, x + w, hand.top};
            break;
    }
}

void CMJTableDraw::LayoutSeatText(int view) {
    MJSeatRecord* s = SeatMutable(view);
    if (!s || !m_pGdi) return;
    MJRect r;
    GetSeatRect(view, r);
    CMJGdiSurface& dc = *m_pGdi;
    dc.SelectFont(m_fonts[size_t(view)]);
    dc.SetTextColor(s->highlight ? kGdiYellow : kGdiWhite);
    int tw = 0, th = 0;
    dc.GetTextExtent(s->name, tw, th);
    int bw = 0, bh = 0;
    const bool banker = s->banker && m_bBankerBitmap && dc.BitmapSize("MJ_ZHUANG", bw, bh);
    const int rw = r.right - r.left, rh = r.bottom - r.top;
    // The name's start point before the turn: top-left across, top-right running down,
    // bottom-left running up; the banker picture follows the name 6 pixels on.
    switch (view) {
        case 0:
            s->nameX = r.left + (rw + th) / 2, s->nameY = r.top + (rh - tw) / 2;
            s->bankerX = r.left + (rw - bw) / 2, s->bankerY = s->nameY + tw + 6;
            break;
        case 2:
            s->nameX = r.left + (rw - th) / 2, s->nameY = r.top + (rh + tw) / 2;
            s->bankerX = r.left + (rw - bw) / 2, s->bankerY = s->nameY - tw - 6 - bh;
            break;
        default:
            s->nameX = r.left + (rw - tw) / 2, s->nameY = r.top + (rh - th) / 2;
            s->bankerX = s->nameX + tw + 6, s->bankerY = r.top + (rh - bh) / 2;
            break;
    }
    dc.TextOut(s->nameX, s->nameY, s->name);
    if (banker) dc.TransparentBlt(s->bankerX, s->bankerY, bw, bh, "MJ_ZHUANG", 0, 0, kGdiMagentaKey);
}

void CMJTableDraw::PaintSeatGdi(int view) {
    ++m_nGdiDrawn;
    if (!m_pGdi) return;
    LayoutSeatText(view);
    m_pGdi->Invalidate();
}

void CMJTableDraw::ReloadSeats(std::span<const MJSeatEntry> players,
                               std::span<const int32_t> tableWords) {
    ClearSeats();
    SetAllHighlights(0);
    for (int v = 0; v < 4; ++v) {
        if (v == 1 && m_nPlayerCount == 3) continue;
        DrawSeatInfo(v);
    }
    for (const MJSeatEntry& p : players) {
        if (!p.userId || p.name.empty()) continue;
        // The chair picks one of the four status words: nothing outside the table.
        if (p.chair < 0 || p.chair > 3) continue;
        const int view = ChairToView(p.chair);
        MJSeatRecord* s = SeatMutable(view);
        if (!s) continue;
        s->userId = p.userId;
        s->chair = p.chair;
        s->name = CutName(p.name);
        const size_t word = 5 + size_t(p.chair);
        if (word < tableWords.size() && (tableWords[word] & 4)) s->highlight = 1;
        DrawSeatInfo(view);
    }
}

}  // namespace hqlv::mahjong
