#pragma once
// What the tool row and the advert-bet pane of the mahjong layer's default layout decide,
// apart from their windows: the deal-results table of the advert-bet pane (a row per
// seated player in chair order, a column per deal with the newest first, running totals),
// its automatic switches to the results tab, the tool bar's button places and the tool
// splitter's fixed bar.
#include <QPoint>
#include <QRect>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace hqlv::mahjong {

class AdvertBetResults {
public:
    struct Row {
        int userId = 0;
        int chair = 0;
        std::string name;
        std::vector<std::string> deals;  // newest first
        std::string total = "0";
    };

    // A seated player: only with a user id and a name; replaces the user's old row and
    // goes before the first row of a higher chair.
    void AddPlayer(int userId, int chair, const std::string& name);
    void RemovePlayer(int userId);
    // The rows follow these seats: a row whose user no longer sits on its chair goes, a
    // seated user without a row gets one (as AddPlayer); the others keep theirs.
    struct Seat {
        int userId = 0;
        int chair = 0;
        std::string name;
    };
    void SyncSeats(const std::vector<Seat>& seats);
    // Totals and deal columns cleared; every total "0".
    void Reset();
    // One deal result: nothing when the deal number is not positive. The changes are the
    // score changes (words 72-75) when silverHistory is false, else the silver changes
    // (words 80-83); totals are 64-bit.
    void OnDealResult(int dealNumber, bool silverHistory, std::span<const uint8_t> result);

    const std::vector<Row>& rows() const { return rows_; }
    // The column titles after "用户名" and "总成绩", newest first.
    const std::vector<std::string>& dealColumns() const { return columns_; }
    int64_t total(int chair) const { return chair >= 0 && chair < 4 ? totals_[size_t(chair)] : 0; }

private:
    std::vector<Row> rows_;
    std::vector<std::string> columns_;
    std::array<int64_t, 4> totals_{};
};

// The pane's automatic switches to the results tab: three at most, each starting the
// return timer.
class AdvertAutoSwitch {
public:
    explicit AdvertAutoSwitch(int left = 3) : left_(left) {}
    // The mouse is over tab `hovered` (current: the shown tab). → true when the return
    // timer is to start; *current becomes the hovered tab.
    bool OnHover(int hovered, int* current);
    // Timer 1: → the tab to show; *killTimer whether the timer stops.
    static int OnTimer(int current, bool mouseOverPane, bool* killTimer);
    int left() const { return left_; }

private:
    int left_;
};

// The browser engine starts only in a program prepared for it the way the client's start
// does (the platform's link schemes known before the application exists); elsewhere the
// panes' page areas stay blank rather than the engine failing the whole program.
bool BrowserEnginePrepared();

// The tool bar's safe-box and menu buttons for a client area of cx by cy.
std::pair<QRect, QRect> ToolButtonPlaces(int cx, int cy);

// The splitter's hit test: true ("nowhere") for a point in the gap between the row-3 and
// row-4 panes when the layout has a tool row.
bool ToolSplitterGap(bool hasToolRow, const QPoint& p, const QRect& row3, const QRect& row4);

}  // namespace hqlv::mahjong
