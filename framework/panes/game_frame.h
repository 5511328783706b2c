#pragma once
// The main frame: a maximised window split into the panes, which receives everything
// that reaches the client from outside the UI thread: the server's messages (relayed by
// the communication thread), the hall's data records, its own timers (hall watchdog,
// delayed close, keep-alive) and the game entry, and which runs the close sequence.
#include <QCloseEvent>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "framework/panes/form_view.h"
#include "platform/core/hall.h"
#include "platform/ui/window.h"

namespace hqlv::framework {

class CGameApp;
class CTableViewHooks;
class CChatViewHooks;
class CPlayerListHooks;
class CGameTableView;
class CGamePlayerView;
class CGameChatView;

inline constexpr uint32_t kMsgEnterGameStart = 0x8615;
inline constexpr uint32_t kMsgEnterGame = 0x8616;
inline constexpr uint32_t kMsgHallGameData = 0x8679;
inline constexpr uint32_t kMsgClose = 0x0010;  // as the hall and the boxes post it
// w of kMsgClose from a box that tells the table is over: the client ends (EndClient).
inline constexpr uintptr_t kCloseEndsClient = 1;
inline constexpr uint32_t kMsgSkinMenu = 1828;  // w: const QRect* in client coordinates
inline constexpr uint32_t kMsgSkinCommand = 0x85B4;

enum FrameTimer : uint32_t {
    kTimerWatchdog = 1,
    kTimerNotice = 2,
    kTimerClose = 3,
    kTimerSkin = 4,
    kTimerKeepAlive = 5,
    // The table pane's idle timer; it runs on the main window, which handles its expiry.
    kTimerIdle = 1005,
};

// Seconds a player may stay idle at the table in rooms with the idle check.
inline constexpr int kIdleSeconds = 120;

class CGameFrameWnd : public platform::ui::Window {
public:
    explicit CGameFrameWnd(CGameApp& app);
    ~CGameFrameWnd() override;

    // Builds the window: the panes, the skin, the hall endpoint, timer 1; then tells the
    // application (which announces the window to the communication thread and the hall).
    virtual bool Create();
    // The handle the hall addresses this window by (its endpoint); 0 when there is none.
    platform::Handle hallHandle() const { return endpoint_ ? endpoint_->handle() : 0; }

    virtual QWidget* GetDialogBar() { return nullptr; }
    virtual CTableViewHooks* GetTableView();
    virtual CChatViewHooks* GetChatView();
    virtual CPlayerListHooks* GetPlayerView();
    virtual QWidget* GetToolView() { return nullptr; }
    virtual void OnHallData13(const uint8_t* /*data*/, size_t /*len*/) {}
    virtual int ApplySkin() { return 0; }
    virtual void OnConnectionLost();
    virtual void OnPlayerLeftTable(int chair);
    virtual int ConfirmQuit();
    virtual int GetPaneRowHeight();
    virtual void SetKeepAliveTimer(int seconds);
    virtual void StartKeepAlive();

    // Starts a download of the game's notice text (game entry and timer 2); the result
    // comes back as 0x8617 and goes to the chat pane.
    void StartNoticeDownload();
    void ShowNoticeText(const std::string& utf8Text);
    int noticesShown() const { return noticesShown_; }

    // The table is over (the box of an end-of-table notice went): the client ends now,
    // whatever dialog is open, without the running-game question. The leave notice goes
    // to the server while the connection stands, and the hall is told, as a close does.
    virtual void EndClient();
    bool endingClient() const { return ending_; }
    // Ends the process's event loops, the main one and any dialog's, whatever window is up;
    // nothing while the application's main loop is not running (it has not started, or a
    // test drives the windows without it).
    static void EndEventLoops();
    static void SetMainLoopRunning(bool running);

    // Applies the skin the skin settings name now (after a skin command).
    virtual void ChangeSkin();
    // A command of the skin menu: 20000 more skins, 20001 + n skin n.
    void OnSkinCommand(int command);

    // The table pane as the framework's table view (its idle timer runs on this window,
    // whose expiry asks the player to leave); null when the table pane is not one.
    CGameTableView* GetGameTableView();
    // The table pane's client width and height; 0 without a table pane of the framework's
    // kind.
    int GetTableViewWidth();
    int GetTableViewHeight();

    void ClearTableActive() { tableActive_ = false; }
    bool tableActive() const { return tableActive_; }
    uint32_t lastReceiveTick() const { return lastReceive_; }
    // The panes the frame made (the framework's own pane classes).
    const std::vector<CGameFormView*>& panes() const { return panes_; }
    CSkinSplitterWnd* mainSplitter() const { return split_; }
    CSkinSplitterWnd* rightSplitter() const { return right_; }

    // Hall data (a copy-data record from the hall); public for tests.
    void OnCopyData(uint32_t kind, const uint8_t* data, size_t size);

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void onTimer(uint32_t id) override;
    void closeEvent(QCloseEvent* e) override;
    // Creates the splitters and panes of the client area.
    virtual void CreateClient();
    void OnServerMessage(const platform::Message& msg);
    void OnHallTableState(const uint8_t* data, size_t size);
    void OnHallPlayerJoined(const uint8_t* data, size_t size);
    void OnHallPlayerLeft(const uint8_t* data, size_t size);
    void OnEnterGameStart();
    int OnEnterGame();
    void CheckHallAlive();

    CGameApp& app_;
    std::unique_ptr<platform::HallEndpoint> endpoint_;
    CSkinSplitterWnd* split_ = nullptr;
    CSkinSplitterWnd* right_ = nullptr;
    std::vector<CGameFormView*> panes_;
    bool tableActive_ = true;
    bool closing_ = false;
    bool ending_ = false;
    uint32_t lastReceive_ = 0;
    bool keepAliveSet_ = false;
    CGameTableView* table_ = nullptr;
    CGamePlayerView* players_ = nullptr;
    CGameChatView* chat_ = nullptr;
    int noticesShown_ = 0;
    // When the last download whose notice was shown began and ended.
    std::optional<
        std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>>
        shownNoticeSpan_;
};

}  // namespace hqlv::framework
