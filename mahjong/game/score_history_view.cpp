#include "mahjong/game/score_history_view.h"

#include <QApplication>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cstring>

#include "framework/app/game_app.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "framework/app/ui_trace.h"
#include "framework/web/web_view.h"
#include "framework/widgets/tab_strip.h"
#include "mahjong/game/dialog_units.h"
#include "mahjong/game/panes_ex.h"
#include "mahjong/game/silver_tally.h"
#include "mahjong/panes/advert_bet.h"
#include "mahjong/panes/mj_panes.h"
#include "netlib/log.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {
namespace {

constexpr int kBrowserItem = 135;
constexpr int kNameX = 15, kTotalX = 158, kTotalUnitX = 190, kRoundX = 260, kRoundUnitX = 290;
constexpr int kFirstRow = 45, kRowStep = 32;
// Closed up: an amount's room before its unit, the room between two columns, the room after
// the last unit.
constexpr int kUnitGap = 4, kColumnGap = 8, kRightMargin = 3;
// Parts of the picture: a stretch of its bands with no title (from kBandX), its left end
// with the first title, half the width of the amount titles around their centres (158 and
// 260), its right end.
constexpr int kBandX = 60, kBandWidth = 60, kLeftEnd = 50, kTitleHalf = 16, kRightEnd = 9;

std::vector<std::string> CodePoints(const std::string& utf8) {
    std::vector<std::string> out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        n = std::min(n, utf8.size() - i);
        out.push_back(utf8.substr(i, n));
        i += n;
    }
    return out;
}

// A name of up to this many bytes is drawn whole; a longer one keeps its first kNameCutBytes.
constexpr size_t kNameWholeBytes = 12, kNameCutBytes = 10;

}  // namespace

std::string BoardName(const std::string& gbk) {
    if (gbk.size() <= kNameWholeBytes) return framework::GbkToUtf8(gbk);
    return framework::GbkToUtf8(framework::GbkCut(gbk, kNameCutBytes)) + "…";
}

std::string FitBoardName(const std::string& name, int room, const TextWidth& width,
                         bool mayStayWhole) {
    if (mayStayWhole && width(name) <= room) return name;
    const std::vector<std::string> chars = CodePoints(name);
    for (size_t keep = chars.size(); keep-- > 0;) {
        // The end first, up to three characters, then the start and the end evenly.
        const size_t tail = std::max(std::min<size_t>(keep, 3), keep - keep / 2),
                     head = keep - tail;
        std::string fitted;
        for (size_t i = 0; i < head; ++i) fitted += chars[i];
        fitted += "…";
        for (size_t i = chars.size() - tail; i < chars.size(); ++i) fitted += chars[i];
        if (width(fitted) <= room) return fitted;
    }
    return "…";
}

BoardLayout ScoreBoardLayout(int left, int y0, int paneWidth,
                             const std::array<std::string, 4>& gbkNames,
                             const std::array<int64_t, 4>& totals,
                             const std::array<int32_t, 4>& rounds, const TextWidth& width) {
    std::array<std::string, 4> total, round;
    int widestTotal = 0, widestRound = 0;
    for (size_t c = 0; c < 4; ++c) {
        total[c] = framework::Format("%lld", static_cast<long long>(totals[c]));
        round[c] = framework::Format("%d", rounds[c]);
        widestTotal = std::max(widestTotal, width(total[c]));
        widestRound = std::max(widestRound, width(round[c]));
    }
    const int unit = width("两");
    int halfTotal = (widestTotal + 1) / 2, halfRound = (widestRound + 1) / 2;
    // The board's own places, when the pane and the texts allow them.
    int nameX = kNameX, totalX = kTotalX, totalUnitX = kTotalUnitX, roundX = kRoundX,
        roundUnitX = kRoundUnitX;
    const bool fits = kRoundUnitX + unit + kRightMargin <= paneWidth &&
                      kTotalX + halfTotal + kUnitGap <= kTotalUnitX &&
                      kTotalUnitX + unit + kColumnGap <= kRoundX - halfRound &&
                      kRoundX + halfRound + kUnitGap <= kRoundUnitX;
    BoardLayout out;
    if (fits) {
        out.slices.push_back({0, 0, std::min(paneWidth, kBoardWidth)});
    } else {
        out.closedUp = true;
        // Each amount column at least as wide as its title in the picture.
        halfTotal = std::max(halfTotal, kTitleHalf);
        halfRound = std::max(halfRound, kTitleHalf);
        roundUnitX = paneWidth - kRightMargin - unit;
        roundX = roundUnitX - kUnitGap - halfRound;
        totalUnitX = roundX - halfRound - kColumnGap - unit;
        totalX = totalUnitX - kUnitGap - halfTotal;
        nameX = std::clamp(paneWidth * kNameX / kBoardWidth, 4, kNameX);
        // The picture's bands across the pane (a stretch of them that holds no title), its
        // left end with the first title, each amount title over its amounts, its right end.
        for (int x = 0; x < paneWidth; x += kBandWidth)
            out.slices.push_back({x, kBandX, std::min(kBandWidth, paneWidth - x)});
        out.slices.push_back({0, 0, std::min(kLeftEnd, paneWidth)});
        out.slices.push_back({totalX - kTitleHalf, kTotalX - kTitleHalf, 2 * kTitleHalf});
        out.slices.push_back({roundX - kTitleHalf, kRoundX - kTitleHalf, 2 * kTitleHalf});
        out.slices.push_back({paneWidth - kRightEnd, kBoardWidth - kRightEnd, kRightEnd});
    }
    const int nameRoom = totalX - halfTotal - kColumnGap - nameX;
    out.nameRoom = nameRoom;
    for (size_t c = 0; c < 4; ++c) {
        const int y = y0 + kFirstRow + kRowStep * int(c);
        std::string name = BoardName(gbkNames[c]);
        if (out.closedUp && width(name) > nameRoom) {
            // The columns closed up to the pane leave the names less room than the board's
            // own places do; drawn as cut, the name would run under the totals. The whole
            // name is fitted instead, never shown whole (one that fitted whole would be here
            // only when it is over 12 bytes).
            name = FitBoardName(framework::GbkToUtf8(gbkNames[c]), nameRoom, width, false);
        }
        out.texts.push_back({name, left + nameX, y});
        out.texts.push_back({total[c], left + totalX - width(total[c]) / 2, y});
        out.texts.push_back({"两", left + totalUnitX, y});
        out.texts.push_back({round[c], left + roundX - width(round[c]) / 2, y});
        out.texts.push_back({"两", left + roundUnitX, y});
    }
    return out;
}

CAdHistoryView::CAdHistoryView(QWidget* parent) : framework::CGameFormView("score", parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The browser takes the place of the template's placeholder.
    auto* placeholder = new QWidget(this);
    placeholder->setGeometry(DluRect(18, 7, 31, 14));
    framework::web::SetItemId(placeholder, kBrowserItem);
    if (BrowserEnginePrepared()) {
        browser_ = new framework::web::CHtmlCtrl(this);
        if (browser_->CreateFromStatic(kBrowserItem, this)) {
            page_ = browser_;
        } else {
            delete browser_;
            browser_ = nullptr;
        }
    } else {
        platform::diagf("score history: no browser engine, the advert page stays blank");
    }
    if (!page_) page_ = placeholder;
    tabs_ = new framework::CCustomTabCtrl(this);
    tabs_->setGeometry(DluRect(7, 52, 125, 16));
    tabs_->InsertItem(0, "Vellor", 4);
    tabs_->InsertItem(1, "积分榜", 5);
    tabs_->SetCurSel(0);
    tabs_->ModifyStyle(0, 0x400 | 0x4);
    tabs_->model().notify = [this](const framework::TabNotify& n) {
        return n.code == framework::kTabSelChanged ? OnTabChange(n) : 0;
    };
    board_ = framework::LoadProgramBitmap(kScoreBoardBitmap);
    font_ = QApplication::font();
    font_.setPixelSize(14);
    font_.setBold(true);
}

CAdHistoryView::~CAdHistoryView() = default;

QWidget* CAdHistoryView::browser() const {
    return page_;
}

bool CAdHistoryView::PostScoreBoardText(const std::string& text) {
    return PostTextCopy(hwnd(), kMsgScoreBoardText, text);
}

intptr_t CAdHistoryView::handleMessage(const platform::Message& msg) {
    if (msg.id == kMsgScoreBoardText) {
        // The router's heap copy is only released: the board draws from the tallies.
        if (msg.w) scoreBoard_ = reinterpret_cast<const char*>(msg.w);
        ++textsTaken_;
        FreePostedText(msg);
        return 0;
    }
    if (msg.id == framework::kMsgGameEntered && msg.w) {
        advertUrl_ = reinterpret_cast<const char*>(msg.w);
        FreePostedText(msg);
        netlib::YrnLogWrite("advert page %s", advertUrl_.c_str());
        TraceBoardTab();
        if (browser_) browser_->NavigateWithPost(advertUrl_, 0, "", "", nullptr, 0);
        OnGameEntered();
        return 1;
    }
    return framework::CGameFormView::handleMessage(msg);
}

void CAdHistoryView::TraceBoardTab() const {
    if (!framework::UiTraceEnabled() || tabs_->model().count() < 2) return;
    const framework::TabRect& r = tabs_->model().item(1).shape;
    const QPoint at = tabs_->mapToGlobal(QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    framework::UiTrace("score", framework::Format("board tab at %d,%d", at.x(), at.y()));
}

int CAdHistoryView::OnTabChange(const framework::TabNotify& n) {
    selected_ = n.item;
    framework::UiTrace("score", framework::Format("tab %d", selected_));
    PlaceBrowser();
    update();
    if (selected_ != 0) {
        // Every switch to the board starts the five seconds afresh.
        SetTimer(kBackToPageTimer, kBackToPageMs);
        timerRunning_ = true;
    }
    return 0;
}

void CAdHistoryView::onTimer(uint32_t id) {
    if (id != kBackToPageTimer) return;
    KillTimer(kBackToPageTimer);
    timerRunning_ = false;
    if (selected_ != 0) {
        tabs_->SetCurSel(0);
        selected_ = 0;
        PlaceBrowser();
        update();
    }
}

void CAdHistoryView::resizeEvent(QResizeEvent* e) {
    framework::CGameFormView::resizeEvent(e);
    tabs_->setGeometry(0, 0, e->size().width(), tabs_->height());
    PlaceBrowser();
    update();
}

std::array<std::string, 4> CAdHistoryView::Names() const {
    if (seatNames) return seatNames();
    std::array<std::string, 4> names;
    if (framework::CGameApp* app = GetTheApp())
        for (int c = 0; c < 4; ++c) names[c] = app->seat(c).name();
    return names;
}

BoardLayout CAdHistoryView::Board(const TextWidth& width) const {
    return ScoreBoardLayout(rect().left(), rect().top() + tabs_->height(), rect().width(), Names(),
                            g_nTotalSilver, g_nRoundSilver, width);
}

void CAdHistoryView::PlaceBrowser() {
    // The page fills the pane under the tabs; with the board it stands out of sight. A
    // pane the page covers whole gets no drawing call, so the tab change moves it too.
    const QRect r = rect();
    const int y0 = r.top() + tabs_->height();
    if (selected_ == 0)
        page_->setGeometry(r.left(), y0, r.width(), r.bottom() + 1 - y0);
    else
        page_->setGeometry(-1, -1, 1, 1);
}

void CAdHistoryView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    const QRect r = rect();
    const int y0 = r.top() + tabs_->height();
    dc.FillSolidRect(r, kScoreHistoryBk);
    PlaceBrowser();
    if (selected_ == 0) return;
    dc.SetBkMode(true);
    dc.SetTextColor(0);
    dc.SelectFont(font_);
    const BoardLayout board =
        Board([&dc](const std::string& s) { return dc.GetTextExtent(s).width(); });
    const std::vector<BoardText>& texts = board.texts;
    if (board_)
        for (const BoardSlice& slice : board.slices)
            dc.TransparentBlt(r.left() + slice.x, y0, slice.width,
                              std::min(r.bottom() + 1 - y0, board_->height()), *board_, slice.srcX,
                              0, 0);
    if (framework::UiTraceEnabled()) {
        std::string line = "board:";
        for (const BoardText& t : texts) line += " " + t.text;
        framework::UiTrace("score", line);
    }
    for (const BoardText& t : texts) {
        QRect at(t.x, t.y, 1000, 100);
        dc.DrawText(t.text, at,
                    platform::ui::DT_LEFT | platform::ui::DT_TOP | platform::ui::DT_SINGLELINE |
                        platform::ui::DT_NOCLIP | platform::ui::DT_NOPREFIX);
    }
}

}  // namespace hqlv::mahjong
