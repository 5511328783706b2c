#pragma once
// CAdHistoryView: the two-tab pane under the operate bar. Tab 0 shows the platform's
// advert page in a browser; tab 1 ("积分榜") draws the score board of the four chairs
// (name, silver over all deals, silver of the last deal) and turns back to the page by
// itself 5 seconds after it was chosen.
#include <QFont>
#include <QImage>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/panes/form_view.h"
#include "mahjong/app/mj_hooks.h"

namespace hqlv::framework {
class CCustomTabCtrl;
struct TabNotify;
namespace web {
class CHtmlCtrl;
}
}  // namespace hqlv::framework

namespace hqlv::mahjong {

inline constexpr int kScoreBoardBitmap = 276;
inline constexpr uint32_t kBackToPageTimer = 1001;
inline constexpr uint32_t kBackToPageMs = 5000;
inline constexpr uint32_t kScoreHistoryBk = 0x544506;

// The board's picture is 339 pixels wide; its columns hold the name from x 15, the total
// centred on 158 with its unit at 190, the last deal centred on 260 with its unit at 290.
inline constexpr int kBoardWidth = 339;

using TextWidth = std::function<int(const std::string&)>;

// A seated name (GBK) as the board draws it, in UTF-8: a name of more than 12 bytes is cut
// to its first 10 bytes followed by "…". A double-byte character across byte 10 is left out
// whole, so the cut keeps 9 bytes: half a character would decode as a stray '?'.
std::string BoardName(const std::string& gbk);

// A name (UTF-8) that is wider than `room`, or that may not stay whole, keeps its first and
// last characters around "…", as many as fit: its last three first (the names of a table
// often differ only at their end: "游戏玩家【乙】", "游戏玩家【丙】"), then as many of its
// first as of its last.
std::string FitBoardName(const std::string& name, int room, const TextWidth& width,
                         bool mayStayWhole = true);

struct BoardText {
    std::string text;  // UTF-8
    int x = 0, y = 0;
    bool operator==(const BoardText&) const = default;
};
// A vertical strip of the board's picture: drawn at x (from the pane's left), taken from
// the picture's srcX, width wide.
struct BoardSlice {
    int x = 0, srcX = 0, width = 0;
    bool operator==(const BoardSlice&) const = default;
};
struct BoardLayout {
    std::vector<BoardText> texts;
    std::vector<BoardSlice> slices;
    bool closedUp = false;
    int nameRoom = 0;  // what the names may take before the totals' column and its gap
};
// The score board for a pane paneWidth wide (left its left edge, y0 the board's top), its
// texts measured by width in the board's font. Where the pane holds the board's columns with
// their texts, they stand at the board's numbers and the picture is drawn whole. A narrower
// pane (the column of panes is two ninths of the screen) closes the columns up from the
// right: each amount column as wide as its widest text (or its title) and unit, the names
// taking the room left; the picture is laid as its bands across the pane, its left and right
// ends at the pane's, and each amount column's title over its amounts. Every name is drawn
// as BoardName cuts it; only where the columns are closed up and that still does not fit
// its room is it fitted further by FitBoardName. The slices are drawn in order, each over
// the ones before.
BoardLayout ScoreBoardLayout(int left, int y0, int paneWidth,
                             const std::array<std::string, 4>& gbkNames,
                             const std::array<int64_t, 4>& totals,
                             const std::array<int32_t, 4>& rounds, const TextWidth& width);

class CAdHistoryView : public framework::CGameFormView, public CMJScoreHooks {
public:
    explicit CAdHistoryView(QWidget* parent = nullptr);
    ~CAdHistoryView() override;

    bool PostScoreBoardText(const std::string& text) override;
    const std::string& advertUrl() const { return advertUrl_; }
    const std::string& scoreBoardText() const { return scoreBoard_; }
    int textsTaken() const { return textsTaken_; }

    // The tab strip's notification (a click on a tab).
    int OnTabChange(const framework::TabNotify& n);
    int selectedTab() const { return selected_; }
    bool backTimerRunning() const { return timerRunning_; }
    framework::CCustomTabCtrl* tabStrip() const { return tabs_; }
    QWidget* browser() const;
    // The score-board picture (the program's bitmap 276 unless set).
    void SetBoardPicture(std::optional<QImage> picture) { board_ = std::move(picture); }
    const std::optional<QImage>& boardPicture() const { return board_; }
    // The seated names (GBK) the board shows; the application's seats unless set.
    std::function<std::array<std::string, 4>()> seatNames;

    void onTimer(uint32_t id) override;
    // The board laid out for the pane as it is now, measured by width.
    BoardLayout Board(const TextWidth& width) const;

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::array<std::string, 4> Names() const;
    void PlaceBrowser();
    // Where the board's tab is on the screen, for the trace.
    void TraceBoardTab() const;

    framework::web::CHtmlCtrl* browser_ = nullptr;
    // Where the page goes: the browser, or a blank stand-in when none could be made.
    QWidget* page_ = nullptr;
    framework::CCustomTabCtrl* tabs_ = nullptr;
    int selected_ = 0;
    bool timerRunning_ = false;
    std::optional<QImage> board_;
    QFont font_;
    std::string advertUrl_;
    std::string scoreBoard_;
    int textsTaken_ = 0;
};

}  // namespace hqlv::mahjong
