#include "mahjong/panes/advert_bet_view.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QTreeWidgetItem>

#include <cstring>

#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_settings.h"
#include "framework/panes/player_records.h"
#include "framework/web/web_view.h"
#include "framework/widgets/report_list.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/panes/mj_panes.h"
#include "mahjong/scene/game_info.h"
#include "platform/core/diag.h"
#include "platform/core/profile.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {
namespace {

constexpr int kBrowserItem = 135;
constexpr int kListId = 1;
constexpr uint32_t kListBkColour = 0xFFFFF0;  // the application's list colour

}  // namespace

uint32_t AdvertTabColour(uint32_t setting, uint32_t skinValue, uint32_t fallback) {
    if (setting != 0) return setting;
    return skinValue != 0 ? skinValue : fallback;
}

bool AdvertResultsTabShown(bool optionBit8, bool watcher) {
    return !optionBit8 || watcher;
}

std::array<QPoint, 5> AdvertTabPolygon(int i, int n, int width, int height) {
    const int w = n > 0 ? width / n : width;
    const int left = i * w, right = left + w - 1, slant = height / 2, bottom = height - 1;
    return {QPoint(left, bottom), QPoint(left + slant, 0), QPoint(right - slant, 0),
            QPoint(right, bottom), QPoint(left, bottom)};
}

CAdvertBetView::CAdvertBetView(QWidget* parent) : framework::CGameFormView("advert", parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    auto* placeholder = new QWidget(this);
    framework::web::SetItemId(placeholder, kBrowserItem);
    if (BrowserEnginePrepared()) {
        browser_ = new framework::web::CHtmlCtrl(this);
        if (browser_->CreateFromStatic(kBrowserItem, this)) {
            browser_->SetHostListFile(framework::GetAdvertDomainFile());
            page_ = browser_;
        } else {
            delete browser_;
            browser_ = nullptr;
        }
    } else {
        platform::diagf("advert pane: no browser engine, the page stays blank");
    }
    if (!page_) page_ = placeholder;
    LoadSettings();
    list_ = new framework::CSortListCtrl(this);
    list_->setObjectName(QString::number(kListId));
    QPalette pal = list_->palette();
    pal.setColor(QPalette::Base, platform::ui::ToQColor(kListBkColour));
    list_->setPalette(pal);
    list_->SetColumnSpec(kAdvertResultColumns);
    list_->ApplyColumnSpec();
    list_->SetExtendedStyle(kAdvertListStyle);
    ShowCurrent();
}

CAdvertBetView::~CAdvertBetView() = default;

void CAdvertBetView::LoadSettings() {
    framework::CGameApp* app = GetTheApp();
    LoadSettings(app ? app->GetGameIniPath() : std::string());
}

void CAdvertBetView::LoadSettings(const std::string& ini) {
    font_ = QApplication::font();
    bold_ = font_;
    bold_.setBold(true);
    framework::CGameApp* app = GetTheApp();
    labels_ = {"Vellor"};
    current_ = 0;
    const bool watcher = app && app->GetCmdField8() != 0;
    if (AdvertResultsTabShown(app && app->TestCmdField13Bit8(), watcher)) {
        labels_.push_back("战绩榜");
        current_ = 1;
    }
    auto number = [&ini](const char* key, int def) {
        return ini.empty() ? def : platform::getProfileInt("GAMESET", key, def, ini);
    };
    seconds_ = number("AdvertACSencond", 5);
    switches_ = AdvertAutoSwitch(number("AdvertACMaxCount", 3));
    framework::CSkinSettings* skin = app ? app->GetSkinSettings() : nullptr;
    auto skinColour = [skin](const char* key) {
        return skin ? skin->GetColor("CommColors", key, 0) : 0u;
    };
    selColour_ = AdvertTabColour(uint32_t(number("TabSelColor", 0)), skinColour("WaitBarfg"),
                                 kAdvertTabSelDefault);
    unselColour_ = AdvertTabColour(uint32_t(number("TabUnSelColor", 0)), skinColour("WaitBarbg"),
                                   kAdvertTabUnSelDefault);
}

bool CAdvertBetView::PostScoreBoardText(const std::string& text) {
    return PostTextCopy(hwnd(), kMsgScoreBoardText, text);
}

void CAdvertBetView::Navigate(const platform::Message& msg) {
    if (!msg.w) return;
    url_ = reinterpret_cast<const char*>(msg.w);
    FreePostedText(msg);
    if (browser_) browser_->NavigateWithPost(url_, 0, "", "", nullptr, 0);
}

intptr_t CAdvertBetView::handleMessage(const platform::Message& msg) {
    if (msg.id == kMsgScoreBoardText) {
        Navigate(msg);
        return 0;
    }
    if (msg.id == framework::kMsgGameEntered) {
        Navigate(msg);
        // The rows' picture list, one pixel wide, sets their height.
        framework::CGameApp* app = GetTheApp();
        list_->SetRowImageSize(1, app && app->IsSmallScreen() ? 16 : 24);
        RebuildResults();
        ShowCurrent();
        StartReturnTimer();
        OnGameEntered();
        return 1;
    }
    return framework::CGameFormView::handleMessage(msg);
}

void CAdvertBetView::RebuildResults() {
    // Totals, deal columns and rows all start again.
    results_ = AdvertBetResults();
    if (framework::CGameApp* app = GetTheApp())
        for (int c = 0; c < 8; ++c) {
            const framework::PlayerRecord& r = app->seat(c);
            results_.AddPlayer(r.userId(), r.chair(), framework::GbkToUtf8(r.name()));
        }
    FillList();
}

void CAdvertBetView::OnPlayerAdded(const framework::PlayerRecord& r) {
    results_.AddPlayer(r.userId(), r.chair(), framework::GbkToUtf8(r.name()));
    FillList();
}

void CAdvertBetView::OnPlayerRemoved(int userId) {
    results_.RemovePlayer(userId);
    FillList();
}

void CAdvertBetView::OnSeatLeft(const framework::PlayerRecord& r) {
    OnPlayerRemoved(r.userId());
}

void CAdvertBetView::OnSeatsReload() {
    std::vector<AdvertBetResults::Seat> seats;
    if (framework::CGameApp* app = GetTheApp())
        for (int c = 0; c < 8; ++c) {
            const framework::PlayerRecord& r = app->seat(c);
            seats.push_back({r.userId(), r.chair(), framework::GbkToUtf8(r.name())});
        }
    results_.SyncSeats(seats);
    FillList();
}

void CAdvertBetView::OnDealResult(MJData result) {
    auto* app = dynamic_cast<CMJGameApp*>(GetTheApp());
    CMJGameInfo* info = app ? app->GetGameInfo() : nullptr;
    if (!info) return;
    results_.OnDealResult(info->GetDealNumber(), info->IsSilverHistory(), result);
    FillList();
}

void CAdvertBetView::FillList() {
    list_->SetColumnSpec(kAdvertResultColumns);
    list_->ApplyColumnSpec();
    std::vector<framework::ColumnSpec> deals;
    for (const std::string& title : results_.dealColumns())
        deals.push_back({title, 50, framework::kColumnCentre});
    // The deals after the name and the total, newest first.
    for (size_t d = 0; d < deals.size(); ++d) list_->InsertColumn(2 + int(d), deals[d]);
    for (const AdvertBetResults::Row& row : results_.rows()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(row.name));
        item->setText(1, QString::fromStdString(row.total));
        for (size_t d = 0; d < row.deals.size(); ++d)
            item->setText(int(d) + 2, QString::fromStdString(row.deals[d]));
        item->setData(0, framework::kItemDataRole, row.userId);
    }
}

void CAdvertBetView::ShowCurrent() {
    const bool results = current_ == 1;
    list_->setVisible(results);
    page_->setVisible(!results);
}

void CAdvertBetView::StartReturnTimer() {
    SetTimer(kAdvertReturnTimer, uint32_t(std::max(0, seconds_)) * 1000u);
    timerRunning_ = true;
}

void CAdvertBetView::OnMouseAt(const QPoint& p) {
    int hovered = -1;
    if (p.y() >= 0 && p.y() < tabHeight_ && !labels_.empty()) {
        const int w = width() / int(labels_.size());
        if (w > 0 && p.x() >= 0) hovered = p.x() / w;
        if (hovered >= int(labels_.size())) hovered = -1;
    }
    if (switches_.OnHover(hovered, &current_)) StartReturnTimer();
    ShowCurrent();
    update();
}

void CAdvertBetView::mouseMoveEvent(QMouseEvent* e) {
    OnMouseAt(e->position().toPoint());
    framework::CGameFormView::mouseMoveEvent(e);
}

void CAdvertBetView::onTimer(uint32_t id) {
    if (id != kAdvertReturnTimer) return;
    const bool over =
        mouseOverPane ? mouseOverPane() : rect().contains(mapFromGlobal(QCursor::pos()));
    bool kill = false;
    current_ = AdvertAutoSwitch::OnTimer(current_, over, &kill);
    if (kill) {
        KillTimer(kAdvertReturnTimer);
        timerRunning_ = false;
    }
    ShowCurrent();
    update();
}

void CAdvertBetView::resizeEvent(QResizeEvent* e) {
    framework::CGameFormView::resizeEvent(e);
    const QRect below(0, tabHeight_, width(), std::max(0, height() - tabHeight_));
    page_->setGeometry(below);
    list_->setGeometry(below);
    update();
}

void CAdvertBetView::paintEvent(QPaintEvent*) {
    QImage back(size(), QImage::Format_RGB32);
    {
        QPainter bp(&back);
        platform::ui::DrawContext dc(bp);
        dc.FillSolidRect(rect(), kAdvertBetBack);
        const int n = int(labels_.size());
        auto drawTab = [&](int i, uint32_t colour) {
            const auto pts = AdvertTabPolygon(i, n, width(), tabHeight_);
            bp.setPen(Qt::NoPen);
            bp.setBrush(platform::ui::ToQColor(colour));
            bp.drawPolygon(QPolygon(QList<QPoint>(pts.begin(), pts.end())));
            bp.setPen(QColor(Qt::white));
            bp.setFont(i == current_ ? bold_ : font_);
            const QRect box(pts[0].x(), 0, pts[3].x() - pts[0].x() + 1, tabHeight_);
            bp.drawText(box, Qt::AlignCenter | Qt::TextSingleLine,
                        QString::fromStdString(labels_[size_t(i)]));
        };
        // The current tab last, over its neighbours' slants.
        for (int i = 0; i < n; ++i)
            if (i != current_) drawTab(i, unselColour_);
        if (current_ >= 0 && current_ < n) drawTab(current_, selColour_);
    }
    QPainter p(this);
    p.drawImage(0, 0, back);
    ShowCurrent();
}

}  // namespace hqlv::mahjong
