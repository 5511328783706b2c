#pragma once
// CMJGameFrameWnd: the mahjong layer's main frame. The client area is a splitter of the
// table pane (seven ninths of the screen) and a column of panes: the operate bar, the
// score history, the player list, a tool row when the layout has one, and the chat. The
// frame hands the game-entered message to the panes in a fixed order, shows the player
// information the hall sends and decides whether the user may leave a running game. The
// panes come from factories; the mahjong layer's own make its five-row variant (operate
// bar, advert-bet pane, player list, the tool row of a layout with one, chat), this game's
// frame makes its own four.
#include <QWidget>

#include <string>

#include "framework/panes/form_view.h"
#include "framework/panes/game_frame.h"
#include "mahjong/app/mj_hooks.h"

namespace hqlv::mahjong {

class CMJGameApp;
class CMJGameTableView2;
class CMJGameTableView;

class CMJGameFrameWnd : public framework::CGameFrameWnd {
public:
    explicit CMJGameFrameWnd(CMJGameApp& app);
    ~CMJGameFrameWnd() override;

    QWidget* GetDialogBar() override { return dialogBar_; }
    framework::CTableViewHooks* GetTableView() override;
    // None with the fallback chat pane.
    framework::CChatViewHooks* GetChatView() override;
    framework::CPlayerListHooks* GetPlayerView() override;
    QWidget* GetToolView() override { return toolPane_; }
    int ApplySkin() override;
    // ConfirmClose: true = close.
    int ConfirmQuit() override;
    int GetPaneRowHeight() override;

    CMJGameTableView2* GetMJTableView() const { return mjTable_; }
    // Scene mode 1: the GDI table view stands where the engine host view would.
    CMJGameTableView* GetGdiTableView() const { return gdiTable_; }
    framework::CGameTableView* GetTablePane() const;
    CMJTableHooks* GetMJTableHooks() const;
    framework::CGameFormView* GetInfoPane() const { return info_; }
    framework::CGameFormView* GetOperateView() const { return operate_; }
    framework::CGameFormView* GetChatPane() const { return fallbackChat_ ? nullptr : chatPane_; }
    framework::CGameFormView* GetPlayerPane() const { return playerPane_; }
    CMJChatHooks* GetMJChat() const;
    CMJPlayerHooks* GetMJPlayers() const;
    CMJScoreHooks* GetScoreHooks() const;
    bool fallbackChat() const { return fallbackChat_; }
    // The table width and the pane heights the layout used.
    int tableWidth() const { return tableWidth_; }

    // 0x85B1: the panes in order, then the advert address to the score history.
    void OnGameEntered();
    // Ends the window and the program without the close questions and without the leave
    // notice (the server ended the game; the hall was told already).
    void DestroyWindowNow();
    // 0x8679: the hall's player record.
    void OnShowPlayerInfo(const uint8_t* data, size_t size);

    // The table pane takes seven ninths of the frame's width (10 less on a small screen),
    // the column of panes the rest, whatever width the frame is given.
    void LayoutColumns(int frameWidth);

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void CreateClient() override;
    void resizeEvent(QResizeEvent* e) override;

    // ---- the panes; null = could not be made (the tool row: none in this layout)
    virtual framework::CGameFormView* CreateOperatePane();
    virtual framework::CGameFormView* CreateInfoPane();
    virtual framework::CGameFormView* CreatePlayerPane();
    virtual framework::CGameFormView* CreateToolPane();
    virtual framework::CGameFormView* CreateChatPane();
    virtual framework::CGameFormView* CreateFallbackChatPane();
    // The exit-request dialog; → 1 (leave) or 2 (keep playing).
    virtual int DoExitRequestDialog();
    virtual int ConfirmBox(const std::string& text, int style);
    // The screen the layout is sized for.
    virtual QSize ScreenSize() const;

    CMJGameApp& mj_;
    QWidget* dialogBar_ = nullptr;
    CMJGameTableView2* mjTable_ = nullptr;
    CMJGameTableView* gdiTable_ = nullptr;
    framework::CGameFormView* operate_ = nullptr;
    framework::CGameFormView* info_ = nullptr;
    framework::CGameFormView* playerPane_ = nullptr;
    framework::CGameFormView* chatPane_ = nullptr;
    framework::CGameFormView* toolPane_ = nullptr;
    bool fallbackChat_ = false;
    int tableWidth_ = 0;
    int laidOutWidth_ = 0;  // the frame width the columns were last laid out for
};

}  // namespace hqlv::mahjong
