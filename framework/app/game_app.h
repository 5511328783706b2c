#pragma once
// CGameApp: the framework's application class, from which every game derives. It owns
// the start-up and shut-down spine (log, skin, hall command line, communication thread,
// connection to the game server), keeps the entry record and the player records, and
// offers the operations the panes and the notification handlers use. One object per
// process; Current() reaches it from everywhere.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/app/app_data.h"
#include "framework/app/comm_thread.h"
#include "framework/app/notify_handler.h"
#include "framework/app/skin_settings.h"
#include "framework/connection/game_connection.h"
#include "framework/hall/hall_sign.h"

#include <QImage>

class QApplication;

namespace hqlv::framework {

class CGameFrameWnd;

inline constexpr uint32_t kMsgWebPageOpened = 0x8618;

class CGameApp : public CGameAppData {
public:
    CGameApp(std::string gameCode, int defaultPort, int versionMajor, int versionMinor);
    ~CGameApp() override;

    static CGameApp* Current();

    // The whole life of the program: the Qt application, InitInstance, the main frame,
    // the message loop, ExitInstance. The program's exit code.
    int Run(int argc, char** argv);

    virtual bool InitInstance(const std::string& commandLine);
    virtual int ExitInstance();
    // Creates the main window (the framework's frame; games make their own).
    virtual CGameFrameWnd* CreateMainFrame();

    // ---- the virtual operations games override
    // The playing word of the main frame's table pane; 0 without one.
    int IsPlaying() override;
    // The router, the skin settings and the connection are the framework's own by default,
    // not none: start-up and shut-down call them unconditionally, and an application of the
    // framework alone then still connects, keeps its records from the framework's
    // notifications and loads its skin. A game returns its own.
    virtual CGameNotifyHandler* GetGameNotify() { return notify_.get(); }
    virtual CSkinSettings* GetSkinSettings() { return skin_.get(); }
    virtual CGameConnection* GetConnection() { return conn_.get(); }
    virtual bool IsQuickCatch() { return false; }
    virtual void PlaySoundId(int /*id*/, int /*flags*/) {}
    virtual bool IsSilent() { return false; }
    virtual int GetSeatCount() { return 8; }

    // ---- start-up pieces
    bool CreateCommThread();
    void StopCommThread();
    int ConnectGameServer();
    void CloseConnection();
    void ShowCommWait(const std::string& text, bool show);
    void ShowCommWaitTimed(const std::string& text, int seconds);
    // A pause of the UI thread that keeps the wait dialog, when shown, painting and turning;
    // the other windows' messages wait for the end of the pause.
    void PumpFor(int ms);
    // Repaints the main frame's table pane at once.
    void RefreshTableView();
    // The screens this small or smaller get the small layouts.
    static constexpr int kSmallScreenHeight = 601;

    // ---- message boxes
    int MessageBoxModal(const std::string& text, const std::string& ok, const std::string& cancel,
                        int* seconds, int style, int extraHeight = 0, int extraWidth = 0,
                        bool singleButton = false, bool focusOk = false);
    void MessageBoxModeless(const std::string& text, const std::string& ok,
                            const std::string& cancel, int seconds, int style, int extraHeight = 0,
                            int extraWidth = 0, bool singleButton = false, bool focusOk = false);
    // endsClient: the box tells that the table is over; when it goes, the client ends
    // (CGameFrameWnd::EndClient) instead of asking the frame to close.
    void MessageBoxModelessLink(const std::string& text, const std::string& ok,
                                const std::string& cancel, const std::string& link, int linkParam,
                                int seconds, int style, int extraHeight = 0, int extraWidth = 0,
                                bool singleButton = false, bool focusOk = false,
                                bool endsClient = false);

    // ---- the hall
    platform::Handle HallWindow() const { return static_cast<platform::Handle>(GetHallWnd()); }
    bool PostToGameHall(uint32_t msg, uintptr_t w, intptr_t l);
    void AttachMainWindow(CGameFrameWnd* frame);
    void ReportToHall(platform::Handle window);
    int SendTextToHall(const std::string& text, int value);
    // 1 when the hall took the request (the client then closes); 0 when it is refused
    // (playing, room unknown) or could not reach the hall.
    int RequestRoomChange(int targetRoom);
    int SelectNextRoom();
    int SelectPrevRoom();
    void LeaveTable();
    // Sends a line of chat markup to the chat pane (0x85B5); false without one.
    bool SendChatViewMessage(const std::string& markup);
    // Opens a platform web page (with the signed user parameters when withSign is set) on a
    // short-lived thread; a wait text shows until the frame hears it is done (0x8618).
    virtual void OpenWebPage(const std::string& page, int withSign);
    // What the chat's welcome line names: the game and the room of the hall record.
    std::string GetWelcomeName() const { return GameDisplayNameText(); }
    std::string GetLocationText() const { return RoomNameText(); }
    // The server found the silver the user brings below the room's minimum (TooLittle) or
    // above its maximum (TooMuch); the record's third word is the silver carried, its
    // fourth the room's bound. Where the safe box may make up the difference the user is
    // asked (modal) and the tool pane moves the silver; otherwise a modeless notice.
    void CheckSilverTooLittle(const uint8_t* data, size_t length);
    void CheckSilverTooMuch(const uint8_t* data, size_t length);
    // The subsidy configuration could not be had (result 0): a system line in the chat.
    void OnDoleConfigFailed(int result, const std::string& text);
    // Claiming silver: a box on success, a system line in the chat on failure.
    void OnClaimSilverResult(int result, const std::string& text, int amount);
    // The sub-folders of "Sound/" in the program folder whose names begin with '0' and '1'.
    static void ScanSoundFiles(const std::string& programFolder, std::vector<std::string>& first,
                               std::vector<std::string>& second);
    int LaunchGameHall() override;

    // ---- links
    // Asks the hall for the sign text of platform links and waits up to 6 s; empty when
    // there is no hall window or no answer came.
    std::string RequestHallSign();
    CHallSignBroker& signBroker() { return signBroker_; }
    std::string BuildWebUrl(const std::string& page, bool withSign);
    std::string GetRulesUrl() const;
    std::string GetWebSkinUrl() const;
    std::string GetAdvertWindowUrl() const;
    std::string GetCofferUrl() const;
    // The activity list (keys in index order) and the configuration the server sent.
    void InitActivityList();
    void SetActivityConfig(bool enabled, const std::vector<ActivityEntry>& entries);
    // The signed page of activity `index`; its two numbers go to out1 and out2.
    std::string BuildSignedHallParams(int index, int* out1, int* out2);
    std::string GetGameIniPath() const;

    // The portrait pictures (32x32 and 16x16) by image index; null outside the lists.
    const QImage* GetPortraitImage(int index, bool small) const;
    // The folder portraits are read from (the platform's by default).
    virtual std::string PortraitFolder() const;

    // 1 when a player (not a looker-on) entered a table whose deal was already running: the
    // entry's answer brought the table's state. Set by each entry.
    int IsRejoining() const { return inGame_; }
    void SetInGame(int value) { inGame_ = value; }

    CGameFrameWnd* GetMainFrame() const { return frame_; }
    CCommWaitDlg* waitDialog() const { return wait_.get(); }
    CGameCommThread* commThread() const { return comm_.get(); }

protected:
    // Sets the small-screen flag from the primary screen's height (once the window system
    // is up; before, the flag stays as it is).
    void UpdateSmallScreen();
    // What every blocking wait of the UI thread runs: the wait dialog's texts and painting.
    void OnWaitPump();
    void CheckSilverBounds(const uint8_t* data, size_t length, bool tooLittle);
    bool AskStartGameHall() override;
    int AddPortraitImage(int portrait) override;
    int StartOwnProgram(const std::string& commandLine) override;

    std::unique_ptr<CSkinSettings> skin_;
    std::unique_ptr<CGameConnection> conn_;
    std::unique_ptr<CGameNotifyHandler> notify_;
    std::unique_ptr<CNotifyHost> notifyHost_;
    std::unique_ptr<GameConnectionHost> connHost_;
    std::unique_ptr<CGameCommThread> comm_;
    std::unique_ptr<CCommWaitDlg> wait_;
    CGameFrameWnd* frame_ = nullptr;
    CHallSignBroker signBroker_;
    std::vector<std::pair<std::string, std::string>> activityList_;  // (value, key)
    bool activityEnabled_ = false;
    std::map<int, ActivityEntry> activityConfig_;
    std::vector<QImage> portraits32_, portraits16_;
    platform::Handle signWindow_ = 0;
    QApplication* qapp_ = nullptr;
    int inGame_ = 0;
};

}  // namespace hqlv::framework
