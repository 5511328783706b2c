#pragma once
// CGameResultDlg: the modal dialog at the end of a deal. One row per chair (name, silver,
// score, status) and, for one chair at a time, its scoring items; a click on a row shows
// that chair's items.
#include <QDialog>

#include <memory>

#include "mahjong/game/deal_result.h"

class QLabel;
class QPushButton;

namespace hqlv::framework {
class CSortListCtrl;
}

namespace hqlv::mahjong {

class CGameResultDlg : public QDialog {
public:
    // The result record and the four fan records as the table scene hands them over.
    CGameResultDlg(std::span<const uint8_t> result, std::span<const uint8_t> fans,
                   QWidget* parent = nullptr);
    ~CGameResultDlg() override;

    // The player list's click: item is the clicked row, -1 on an empty part.
    void OnClickFanList(int item);
    void ShowItemsOf(int chair);

    framework::CSortListCtrl* itemList() const { return items_; }
    framework::CSortListCtrl* playerList() const { return players_; }
    QLabel* note() const { return note_; }
    QLabel* shownName() const { return name_; }
    QLabel* icon() const { return icon_; }
    const DealResult& result() const { return result_; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void OnInitDialog();
    std::string SeatName(int chair) const;

    DealResult result_;
    QLabel* icon_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* note_ = nullptr;
    framework::CSortListCtrl* items_ = nullptr;
    framework::CSortListCtrl* players_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace hqlv::mahjong
