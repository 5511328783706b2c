#pragma once
// The player list pane: the people at the client's table in a report list (seated
// players in chair order, then lookers-on), kept in step with the application's player
// records by the notification handlers. A click addresses the player in the chat input,
// a double click asks the hall for the player's details, a right click opens the row's
// menu. The rows themselves live in PlayerListModel; this pane draws them.
#include <QFont>

#include <memory>

#include "framework/panes/form_view.h"
#include "framework/panes/pane_hooks.h"
#include "framework/panes/player_list_model.h"

namespace hqlv::framework {

class CGameApp;
class CSortListCtrl;
class COwnerDrawMenu;

// The request popup's answer to the list: w = asking user id, l = 1 agreed, 0 refused.
inline constexpr uint32_t kMsgPlayerInfoAnswer = 0x867A;
// The hall shows a player's details: w = main window, l = user id.
inline constexpr uint32_t kMsgHallPlayerDetails = 0x9108;

class CGamePlayerView : public CGameFormView, public CPlayerListHooks {
public:
    explicit CGamePlayerView(CGameApp& app, QWidget* parent = nullptr);
    ~CGamePlayerView() override;

    // ---- what the notification handlers call
    void AddPlayer(const PlayerRecord& record) override;
    void RemovePlayer(const PlayerRecord& record) override;
    void RemoveLookerOn(const PlayerRecord& record) override;
    void OnSeatsAssigned(Body b) override;
    void OnPlayersUpdate(Body b) override;
    void OnSilverChanged(Body b) override;
    void OnNotify211700(Body b) override;
    void OnPrizeNotice(Body b) override;
    void OnSeatRecordChanged(Body b) override;
    void OnScoreAdded(Body b) override;

    // ---- for the game layer
    virtual void AddLookerOn(const PlayerRecord& record) { AddPlayer(record); }
    virtual void UpdateScores(Body result);
    virtual void AdjustContextMenu(int /*userId*/, COwnerDrawMenu& /*menu*/) {}
    // The answer of a request popup (agreed or refused) for the asking user.
    virtual void OnPlayerInfoAnswer(int /*userId*/, bool /*agreed*/) {}
    void EnableRelationColours(bool on);
    bool IsInUserSet(int userId) const { return model_.IsInUserSet(userId); }
    // Shows a new request popup for the user, rising above the main window's corner.
    void ShowPlayerInfoDlg(int userId);

    // The relation colours from the user's data file; the pane runs it as it is made (again
    // later reads the file anew).
    void OnInitialUpdate();
    // A right click (screen point) or the menu key.
    void OnContextMenu(const QPoint& global, bool fromKeyboard);
    void OnCommand(int id);

    CSortListCtrl* list() const { return list_; }
    PlayerListModel& model() { return model_; }
    int currentRow() const { return currentRow_; }
    int currentUser() const { return currentUser_; }
    // The row menu while it is open; null otherwise.
    COwnerDrawMenu* openMenu() const;

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void OnGameEntered() override;
    void resizeEvent(QResizeEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // The list and the fonts are made as the pane is made (the window's creation is its
    // construction here), so they are plain members: a deriving pane is not yet there to
    // replace them. The list: whole-row selection, the portraits at the screen's size and
    // the default GUI font.
    void CreateList();
    // The normal font is the default GUI font; the bold one is the same at weight 700.
    void CreateFonts();
    // The rows as the model has them; selection and current row kept by user id.
    void Sync();
    void ShowContextMenu(int row, const QPoint& global);
    void AddressInChat(int userId);
    void ShowDetailsInHall(int userId);
    void CallPlayer(int userId);

    CGameApp& app_;
    PlayerListModel model_;
    CSortListCtrl* list_ = nullptr;
    QFont normal_, bold_;
    int currentRow_ = -1;
    int currentUser_ = 0;
    std::unique_ptr<COwnerDrawMenu> menu_;
};

}  // namespace hqlv::framework
