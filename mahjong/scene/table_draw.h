#pragma once
// CMJTableDraw: what the table shows at each of the four view positions: the player, the
// folder of that player's voice sounds, the started highlight and the banker mark. This
// game draws the table with the engine scene, which reads the seats from here; the GDI
// painting of scene mode 1 is a hook that a GDI table view fills.
#include <array>
#include <random>
#include <string>
#include <vector>

#include "mahjong/scene/seat_geometry.h"

namespace hqlv::mahjong {

class CMJGameInfo;

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
    virtual void CreateFonts() {}
    virtual void LayoutAllSeats();
    virtual void LoadBankerBitmap();
    virtual void LoadSeatData();
    virtual void PickRandomSound();
    virtual void LayoutSeatText(int /*view*/) {}
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
    virtual void PaintSeatGdi(int /*view*/) { ++m_nGdiDrawn; }

    std::array<MJSeatRecord, 4> m_seats{};
    bool m_bBankerBitmap = false;
    int m_nGdiDrawn = 0;
    std::mt19937 m_random;
};

}  // namespace hqlv::mahjong
