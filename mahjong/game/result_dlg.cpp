#include "mahjong/game/result_dlg.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>

#include "framework/app/game_app.h"
#include "framework/app/shared_utils.h"
#include "framework/app/ui_trace.h"
#include "framework/widgets/report_list.h"
#include "mahjong/game/dialog_fit.h"
#include "mahjong/game/dialog_units.h"

namespace hqlv::mahjong {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The picture of the player on a chair: the face of the seat record's portrait number, from
// the application's face lists. The lists hold each portrait once, in the order they were
// first seen, so a chair's number is no index into them: two players without a portrait
// file share the one default face, and the chairs behind them would show none or another
// player's. An empty chair shows none.
const QImage* ChairFace(framework::CGameApp* app, int chair, bool small) {
    if (!app || chair < 0 || chair >= 4) return nullptr;
    const framework::PlayerRecord& seat = app->seat(chair);
    if (seat.userId() == 0) return nullptr;
    return app->GetPortraitImage(app->AddPortrait(seat.word(framework::PlayerRecord::kPortrait)),
                                 small);
}

void SetRow(QTreeWidgetItem* item, const std::vector<std::string>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) item->setText(int(i), Q(texts[i]));
}

}  // namespace

CGameResultDlg::CGameResultDlg(std::span<const uint8_t> result, std::span<const uint8_t> fans,
                               QWidget* parent)
    : QDialog(parent), result_(result, fans) {
    setWindowTitle("麻将");
    setFixedSize(DluX(234), DluY(205));
    ok_ = new QPushButton("确定", this);
    ok_->setGeometry(DluRect(88, 180, 50, 18));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    icon_ = new QLabel(this);
    icon_->setGeometry(DluRect(4, 6, 21, 21));
    name_ = new QLabel(this);
    name_->setGeometry(DluRect(32, 13, 57, 8));
    // A long name goes on over a second line beside the icon, short of the item list.
    name_->setWordWrap(true);
    note_ = new QLabel(this);
    note_->setGeometry(DluRect(11, 33, 69, 39));
    items_ = new framework::CSortListCtrl(this);
    items_->setGeometry(DluRect(97, 7, 121, 106));
    players_ = new framework::CSortListCtrl(this);
    players_->setGeometry(DluRect(7, 117, 213, 60));
    connect(players_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        OnClickFanList(players_->indexOfTopLevelItem(item));
    });
    OnInitDialog();
    FitDialogTexts(this);
}

CGameResultDlg::~CGameResultDlg() = default;

std::string CGameResultDlg::SeatName(int chair) const {
    framework::CGameApp* app = framework::CGameApp::Current();
    return app ? app->GetSeatName(chair) : std::string();
}

void CGameResultDlg::OnInitDialog() {
    // The caption is the window title the program was started with.
    if (framework::CGameApp* app = framework::CGameApp::Current();
        app && !app->GetTitleText().empty())
        setWindowTitle(QString::fromStdString(app->GetTitleText()));
    for (framework::CSortListCtrl* list : {items_, players_}) {
        list->AddExStyle(framework::CSortListCtrl::kFullRowSelect);
        list->setRootIsDecorated(false);
        list->DeleteAllColumns();
    }
    players_->InsertColumns2({{"用户名", 130}, {"银子", 70}, {"积分", 50}, {"状态", 50}});
    items_->InsertColumns3({{"名目", 100, 0}, {"番数", 60, 1}});

    framework::CGameApp* app = framework::CGameApp::Current();
    const auto rows =
        result_.PlayerRows([this](int c) { return SeatName(c); },
                           [app](int userId) { return app ? app->GetPlayerChair(userId) : -1; });
    for (int c = 0; c < 4; ++c) {
        auto* item = new QTreeWidgetItem(players_);
        SetRow(item, {rows[c].name, rows[c].silver, rows[c].score, rows[c].status});
        if (const QImage* face = ChairFace(app, c, true))
            item->setIcon(0, QIcon(QPixmap::fromImage(*face)));
    }
    bool noWinner = false;
    const int first = result_.FirstChairShown(&noWinner);
    if (noWinner) note_->setText("流局");
    if (first != -1 || !noWinner) ShowItemsOf(first);
}

void CGameResultDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    const QPoint ok = ok_->mapToGlobal(ok_->rect().center());
    framework::UiTrace("result", framework::Format("shown, ok at %d,%d", ok.x(), ok.y()));
}

void CGameResultDlg::OnClickFanList(int item) {
    if (item < 0) return;
    if (QTreeWidgetItem* focused = players_->currentItem())
        ShowItemsOf(players_->indexOfTopLevelItem(focused));
}

void CGameResultDlg::ShowItemsOf(int chair) {
    items_->clear();
    note_->clear();
    framework::CGameApp* app = framework::CGameApp::Current();
    const QImage* face = ChairFace(app, chair, false);
    if (face)
        icon_->setPixmap(QPixmap::fromImage(*face));
    else
        icon_->clear();
    name_->setText(Q(SeatName(chair)));
    const auto rows = result_.ItemsOf(chair);
    if (!rows) return;
    QTreeWidgetItem* last = nullptr;
    for (const FanRow& r : *rows) {
        last = new QTreeWidgetItem(items_);
        SetRow(last, {r.name, r.points});
        last->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (last) items_->scrollToItem(last);
    // A long name gets the room it needs.
    FitDialogTexts(this);
}

}  // namespace hqlv::mahjong
