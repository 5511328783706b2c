#pragma once
// CMJTableDraw: what the table shows at each of the four view positions: the player, the
// folder of that player's voice sounds, the started highlight and the banker mark. This
// game draws the table with the engine scene, which reads the seats from here; the GDI
// painting of scene mode 1 is a hook that a GDI table view fills.
#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "mahjong/scene/gdi_surface.h"
#include "mahjong/scene/seat_geometry.h"

namespace hqlv::mahjong {

class CMJGameInfo;
struct MJRect;

// One seated player of the framework's table record, as the GDI table view reloads it.
struct MJSeatEntry {
    int chair = -1;
    int userId = 0;
    std::string name;
};
// A seat record's name holds at most this many bytes before its terminating zero.
constexpr size_t kSeatNameBytes = 127;

struct MJSeatRecord {
    int nameX = 0, nameY = 0;      // GDI mode
    int bankerX = 0, bankerY = 0;  // GDI mode
    int userId = 0;
    int chair = 0;
    int voiceKind = 0;  // 0 or 1 choose a voice list; other values none
    int highlight = 0;  // started: the name is drawn yellow
    int banker = 0;
    std::string voiceFolder;  // ends with '/'
    std::string name;
};

class CMJTableDraw : public CSeatGeometry {
public:
    CMJTableDraw();
    ~CMJTableDraw() override = default;

    virtual CMJGameInfo* GetGameInfo();
    virtual void CreateFonts();
    virtual void LayoutAllSeats();
    virtual void LoadBankerBitmap();
    virtual void LoadSeatData();
    virtual void PickRandomSound();
    // Paints the seat's name and banker picture into the GDI surface and keeps where.
    virtual void LayoutSeatText(int view);
    virtual void SetAllHighlights(int value);
    virtual void SetAllBankers(int value);
    virtual void SetBanker(int chair, int value);
    virtual void DrawSeatInfo(int view);
    virtual void RefreshAll();
    virtual void HighlightChair(int chair);
    virtual void Redraw() { RefreshAll(); }

    // The seat of a chair gets a name (empty: the player left) and is drawn again; a
    // chair without a view position changes nothing.
    void SetSeatName(int chair, const std::string& name);
    // Empties the four seat records (the scene does this before it reloads them).
    void ClearSeats();

    // ---- the GDI table view of scene mode 1
    // The surface the seats are painted on (null: none).
    void SetGdiSurface(CMJGdiSurface* surface) { m_pGdi = surface; }
    // The text box of a view position around the scene's table; empty outside 0 to 3.
    virtual void GetSeatRect(int view, MJRect& out);
    // The framework's table record (notification 211028): the four seats emptied and
    // drawn, then every player with a user id and a name at a chair of the table takes
    // the seat of its chair, highlighted when its status word (table words 5-8 by chair)
    // has bit 2.
    void ReloadSeats(std::span<const MJSeatEntry> players, std::span<const int32_t> tableWords);
    const MJGdiFont& SeatFont(int view) const { return m_fonts[size_t(view & 3)]; }

    // The record of a view position; null outside 0 to 3.
    const MJSeatRecord* Seat(int view) const;
    MJSeatRecord* SeatMutable(int view);
    // The voice folder of a view position; empty outside 0 to 3.
    std::string GetVoiceFolder(int view) const;
    bool HasBankerBitmap() const { return m_bBankerBitmap; }
    // Seats painted since construction (GDI mode) — the GDI view counts its repaints.
    int GdiSeatsDrawn() const { return m_nGdiDrawn; }

protected:
    // The voice base folder: the program folder and "Sound/".
    std::string VoiceBase() const;
    // Paints a seat into the GDI table view (scene mode 1).
    virtual void PaintSeatGdi(int view);

    std::array<MJSeatRecord, 4> m_seats{};
    std::array<MJGdiFont, 4> m_fonts{};
    CMJGdiSurface* m_pGdi = nullptr;
    bool m_bBankerBitmap = false;
    int m_nGdiDrawn = 0;
    std::mt19937 m_random;
};

}  // namespace hqlv::mahjong
