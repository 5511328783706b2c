#include "framework/panes/player_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScreen>

#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/shared_utils.h"
#include "framework/app/ui_trace.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/player_info_dlg.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/report_list.h"
#include "netlib/log.h"
#include "platform/core/hall.h"
#include "platform/core/profile.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {

CGamePlayerView::CGamePlayerView(CGameApp& app, QWidget* parent)
    : CGameFormView("players", parent), app_(app), model_(app) {
    CreateList();
    CreateFonts();
    // The pane's initial update comes with it: its colours are there whoever makes it.
    OnInitialUpdate();
    list_->onContextMenu = [this](const QPoint& global, bool keyboard) {
        OnContextMenu(global, keyboard);
    };
    QObject::connect(list_, &QTreeWidget::itemClicked, list_, [this](QTreeWidgetItem* item) {
        const int row = list_->indexOfTopLevelItem(item);
        if (row >= 0 && size_t(row) < model_.rows().size())
            AddressInChat(model_.rows()[size_t(row)].userId);
    });
    QObject::connect(list_, &QTreeWidget::itemDoubleClicked, list_, [this](QTreeWidgetItem* item) {
        const int row = list_->indexOfTopLevelItem(item);
        if (row < 0 || size_t(row) >= model_.rows().size()) return;
        currentRow_ = row;
        currentUser_ = model_.rows()[size_t(row)].userId;
        ShowDetailsInHall(currentUser_);
    });
}

CGamePlayerView::~CGamePlayerView() = default;

void CGamePlayerView::CreateList() {
    list_ = new CSortListCtrl(this);
    list_->setObjectName("playerList");
    list_->AddExStyle(CSortListCtrl::kFullRowSelect);
    const int icon = app_.IsSmallScreen() ? 16 : 32;
    list_->setIconSize(QSize(icon, icon));
    list_->setFont(QApplication::font());
    // Each column keeps the width its column text gives, whatever the pane's width: what a
    // narrow pane cannot show is reached by the list's scroll bar, and a cell too narrow for
    // its text ends it with an ellipsis, as the list control does.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void CGamePlayerView::CreateFonts() {
    normal_ = QApplication::font();
    bold_ = normal_;
    bold_.setWeight(QFont::Bold);
}

void CGamePlayerView::OnInitialUpdate() {
    // The colours come from the user's own data file, not from the skin's description, even
    // where the skin has a "PLAYER" section: they go with the marks (friend, acquaintance,
    // unwelcome) this user gave other players, which are his and stay the same whichever
    // look he picks; a skin is a look, shared by every user of the machine. The game
    // layer's list adds no colours of its own: it runs this update.
    const std::string file = GetUserDataFile(app_.GetUserID());
    model_.SetColours(
        uint32_t(platform::getProfileInt("PLAYER", "FriendColor", kDefaultFriendColor, file)),
        uint32_t(platform::getProfileInt("PLAYER", "KnowColor", kDefaultKnowColor, file)),
        uint32_t(
            platform::getProfileInt("PLAYER", "UnwelcomeColor", kDefaultUnwelcomeColor, file)));
}

void CGamePlayerView::resizeEvent(QResizeEvent* e) {
    CGameFormView::resizeEvent(e);
    list_->setGeometry(rect());
}

void CGamePlayerView::OnGameEntered() {
    CGameFormView::OnGameEntered();
    model_.InitColumns();
    list_->DeleteAllColumns();
    list_->InsertColumns3(model_.columns());
    model_.Refill(true);
    Sync();
}

void CGamePlayerView::Sync() {
    int selectedUser = 0;
    if (auto sel = list_->selectedItems(); !sel.isEmpty())
        selectedUser = sel.first()->data(0, kItemDataRole).toInt();
    const auto& rows = model_.rows();
    const int columns = list_->columnCount();
    while (list_->rowCount() > int(rows.size()))
        delete list_->takeTopLevelItem(list_->rowCount() - 1);
    while (list_->rowCount() < int(rows.size())) new QTreeWidgetItem(list_);
    const bool small = app_.IsSmallScreen();
    std::string trace;
    for (size_t i = 0; i < rows.size(); ++i) {
        const PlayerRow& r = rows[i];
        QTreeWidgetItem* item = list_->row(int(i));
        item->setData(0, kItemDataRole, r.userId);
        const RowLook look = model_.LookOf(int(i));
        for (int c = 0; c < columns; ++c) {
            item->setText(c, size_t(c) < r.cells.size() ? QString::fromStdString(r.cells[size_t(c)])
                                                        : QString());
            item->setFont(c, look.bold ? bold_ : normal_);
            if (look.colour)
                item->setForeground(c, platform::ui::ToQColor(*look.colour));
            else
                item->setData(c, Qt::ForegroundRole, QVariant());
        }
        const QImage* portrait = r.image >= 0 ? app_.GetPortraitImage(r.image, small) : nullptr;
        item->setIcon(0, portrait ? QIcon(QPixmap::fromImage(*portrait)) : QIcon());
        item->setSelected(selectedUser != 0 && r.userId == selectedUser);
    }
    if (!UiTraceEnabled()) return;
    for (size_t i = 0; i < rows.size(); ++i) {
        const PlayerRow& r = rows[i];
        if (!trace.empty()) trace += " | ";
        for (size_t c = 0; c < r.cells.size(); ++c) {
            if (c)
                trace += size_t(c) < model_.columns().size() ? " " + model_.columns()[c].title + "="
                                                             : " ";
            trace += r.cells[c];
        }
        if (model_.LookOf(int(i)).bold) trace += " (own)";
    }
    UiTrace("players", "rows " + std::to_string(rows.size()) + ": " + trace);
    // Where the rows are on the screen, for whoever drives the pane from outside.
    if (list_->isVisible() && list_->rowCount() > 0) {
        const QRect r = list_->visualItemRect(list_->row(0));
        const QPoint at = list_->viewport()->mapToGlobal(QPoint(r.left() + 20, r.center().y()));
        UiTrace("players", "row 0 at " + std::to_string(at.x()) + "," + std::to_string(at.y()) +
                               " step " + std::to_string(r.height()));
    }
}

// ---- hooks

void CGamePlayerView::AddPlayer(const PlayerRecord& record) {
    model_.AddPlayer(record);
    Sync();
}
void CGamePlayerView::RemovePlayer(const PlayerRecord& record) {
    model_.RemovePlayer(record.userId());
    Sync();
}
void CGamePlayerView::RemoveLookerOn(const PlayerRecord& record) {
    model_.RemoveLookerOn(record.userId());
    Sync();
}
void CGamePlayerView::OnSeatsAssigned(Body) {
    model_.Refill(false);
    Sync();
}
void CGamePlayerView::OnNotify211700(Body) {
    model_.Refill(false);
    Sync();
}
void CGamePlayerView::OnPlayersUpdate(Body b) {
    model_.OnPlayersUpdate(b);
    Sync();
}
void CGamePlayerView::OnSilverChanged(Body b) {
    model_.OnSilverChanged(b);
    Sync();
}
void CGamePlayerView::OnPrizeNotice(Body b) {
    model_.OnPrizeNotice(b);
    Sync();
}
void CGamePlayerView::OnSeatRecordChanged(Body b) {
    model_.OnSeatRecordChanged(b);
    Sync();
}
void CGamePlayerView::OnScoreAdded(Body b) {
    model_.OnScoreAdded(b);
    Sync();
}
void CGamePlayerView::UpdateScores(Body result) {
    model_.UpdateScores(result);
    Sync();
}
void CGamePlayerView::EnableRelationColours(bool on) {
    model_.EnableRelationColours(on);
    Sync();
}

// ---- the row menu

void CGamePlayerView::contextMenuEvent(QContextMenuEvent* e) {
    // Only what lies outside the list reaches the pane itself.
    OnContextMenu(e->globalPos(), e->reason() == QContextMenuEvent::Keyboard);
    e->accept();
}

void CGamePlayerView::OnContextMenu(const QPoint& global, bool fromKeyboard) {
    int row = -1;
    QPoint at = global;
    if (fromKeyboard) {
        const auto sel = list_->selectedItems();
        if (sel.isEmpty()) return;
        row = list_->indexOfTopLevelItem(sel.first());
        const QRect r = list_->visualItemRect(sel.first());
        const QSize icon = list_->iconSize();
        at = list_->viewport()->mapToGlobal(
            QPoint(r.left() + icon.width() / 2, r.top() + icon.height() / 2));
    } else {
        const QPoint local = list_->mapFromGlobal(global);
        if (!list_->rect().contains(local)) {
            list_->DeselectAll();
            return;
        }
        // The header's band and the space below the last row open nothing.
        if (local.y() < list_->header()->geometry().bottom() + 1) return;
        QTreeWidgetItem* item = list_->itemAt(list_->viewport()->mapFromGlobal(global));
        if (!item) return;
        row = list_->indexOfTopLevelItem(item);
    }
    if (row < 0 || size_t(row) >= model_.rows().size()) return;
    currentRow_ = row;
    currentUser_ = model_.rows()[size_t(row)].userId;
    ShowContextMenu(row, at);
}

COwnerDrawMenu* CGamePlayerView::openMenu() const {
    COwnerDrawMenu* sub = menu_ ? menu_->GetSubMenu(0) : nullptr;
    return sub && sub->isVisible() ? sub : nullptr;
}

void CGamePlayerView::ShowContextMenu(int row, const QPoint& global) {
    auto plan = model_.MenuPlan(row);
    if (!plan) return;
    menu_ = std::make_unique<COwnerDrawMenu>();
    if (!menu_->LoadMenuId(130)) return;
    COwnerDrawMenu* menu = menu_->GetSubMenu(0);
    if (!menu) return;
    const int image = app_.GetPortraitIndex(app_.GetPlayerPortrait(plan->userId));
    menu->ModifyItem(plan->displayName, 1900, app_.GetPortraitImage(image, true));
    if (plan->silverFirst) {
        menu->RemoveItem(1904, kMfByCommand);
        menu->InsertItem(1902, kMfByCommand, 1904, plan->silver);
    }
    menu->SetItemText(1902, plan->level, kMfByCommand);
    menu->SetItemText(1903, plan->score, kMfByCommand);
    menu->SetItemText(1904, plan->silver, kMfByCommand);
    if (!plan->callEnabled) menu->EnableItem(1905, false);
    menu->SetDefaultItem(1901);
    AdjustContextMenu(plan->userId, *menu);
    if (UiTraceEnabled()) {
        std::string items;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                items += (items.empty() ? "" : " | ") + a->text().toStdString() +
                         (a->isEnabled() ? "" : " (off)");
        UiTrace("players", "menu: " + items);
    }
    menu->TrackPopup(global, hwnd());
}

intptr_t CGamePlayerView::handleMessage(const platform::Message& msg) {
    if (msg.id == kMsgCommand) {
        OnCommand(int(msg.w));
        return 0;
    }
    if (msg.id == kMsgPlayerInfoAnswer) {
        OnPlayerInfoAnswer(int(msg.w), msg.l == 1);
        return 0;
    }
    return CGameFormView::handleMessage(msg);
}

void CGamePlayerView::OnCommand(int id) {
    switch (id) {
        case 1900:
            if (model_.FindRow(currentUser_) >= 0) AddressInChat(currentUser_);
            break;
        case 1901:
            if (model_.FindRow(currentUser_) >= 0) ShowDetailsInHall(currentUser_);
            break;
        case 1905:
            CallPlayer(currentUser_);
            break;
        default:
            break;
    }
}

void CGamePlayerView::AddressInChat(int userId) {
    // The chat pane is asked for each time: a pane that went is simply not told.
    CGameFrameWnd* frame = app_.GetMainFrame();
    CChatViewHooks* chat = frame ? frame->GetChatView() : nullptr;
    const std::string text = app_.GetPlayerNameById(userId) + ",";
    UiTrace("players", "address: " + text);
    if (chat) chat->SetInputText(text);
}

void CGamePlayerView::ShowDetailsInHall(int userId) {
    CGameFrameWnd* frame = app_.GetMainFrame();
    UiTrace("players", "details: " + std::to_string(userId));
    if (app_.IsStandalone() || !frame) return;
    if (!platform::hallChannel().post(app_.HallWindow(), kMsgHallPlayerDetails, frame->hallHandle(),
                                      userId))
        netlib::YrnLogWrite("player list: the hall did not take the details of %d", userId);
}

void CGamePlayerView::CallPlayer(int userId) {
    if (!model_.CanCall(userId)) return;
    if (CGameConnection* conn = app_.GetConnection()) conn->CallPlayer(userId);
    PlayResourceSound(29013);
    const auto record = model_.CallRecord(userId);
    UiTrace("players", "call: " + std::to_string(userId));
    CGameFrameWnd* frame = app_.GetMainFrame();
    if (CChatViewHooks* chat = frame ? frame->GetChatView() : nullptr)
        chat->ShowCall(Body{record.data(), record.size()});
}

void CGamePlayerView::ShowPlayerInfoDlg(int userId) {
    PlayResourceSound(29015);
    CGamePlayerInfoDlg::Show(app_, hwnd(), userId);
}

}  // namespace hqlv::framework
