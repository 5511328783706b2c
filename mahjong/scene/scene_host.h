#pragma once
// What the table scene and its data objects need from the application, the main frame and
// the game connection. The Qt side of the client implements it; tests implement it with
// recording doubles. All calls run on the UI thread. Texts are UTF-8.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hqlv::mahjong {

class CMJGameInfo;
class CMJTableDraw;
class CMJGameScene2;

// A notification or request body: the bytes and their count. Readers check the count.
using MJData = std::span<const uint8_t>;

// The mahjong requests the scene's actions send (the application's game connection).
// Every builder that takes a caller's body sends exactly the request's length from it and
// refuses (false) a body that holds fewer bytes.
class CMJRequests {
public:
    virtual ~CMJRequests() = default;
    virtual int SendKanPaiAsk() = 0;
    virtual int SendKanPaiAnswer(int askerUserId, int agree) = 0;
    virtual int SendPass(std::string& error, MJData body) = 0;
    virtual int SendHu(std::string& error, MJData body) = 0;
    virtual int QueryRequest(std::string& error, int id, MJData body, std::span<uint8_t> reply,
                             int* result) = 0;
    virtual int SendPengConfirm(std::string& error, MJData body, int* result) = 0;
    virtual int SendChiConfirm(std::string& error, MJData body, int* result) = 0;
    virtual void SendChi(std::string& error, MJData body) = 0;
    virtual void SendPeng(std::string& error, MJData body) = 0;
    virtual int SendGang(std::string& error, MJData body, std::span<uint8_t> reply) = 0;
    virtual int SendPlayTile(std::string& error, MJData body) = 0;
    virtual int SendPlayTileWait(std::string& error, MJData body) = 0;
    virtual void SendPlayTileNoWait(std::string& error, MJData body) = 0;
    virtual int SendDrawTile(std::string& error, MJData body, std::span<uint8_t> reply) = 0;
    virtual void SendDrawTileNoWait(std::string& error, MJData body) = 0;
    virtual int SendFlower(std::string& error, MJData body, std::span<uint8_t> reply) = 0;
    virtual int SendNetworkBroken() = 0;
    virtual int Send229500(int a) = 0;
    virtual int Send229505() = 0;
};

class CMJSceneHost {
public:
    virtual ~CMJSceneHost() = default;

    // ---- scene mode 1: the window buttons of the GDI table view
    // The start button shown (1) or hidden (0).
    virtual void ShowStartWindowButton(int show) = 0;
    // The picture cell the gang (kind 2) or chi (kind 3) window button stands at: the claim
    // strip's source x, 40 or 80 normally and 200 (the cancel picture) while the player
    // chooses tiles; 0 for another kind or without the view.
    virtual int GetClaimWindowCell(int kind) = 0;
    virtual void SetClaimWindowCell(int kind, int x) = 0;
    // The voices of the window-drawn table, which has no engine to play them: a wave file
    // (a full path) through the platform's file sound call, not waited for. Non-zero when
    // it started.
    virtual int PlaySoundFile(const std::string& path) = 0;

    // ---- the hall entry
    virtual int GetUserID() = 0;
    virtual int GetRoomID() = 0;
    virtual int GetTableNo() = 0;
    // The own chair; for a looker-on the watched chair; -1 before seating.
    virtual int GetChairNo() = 0;
    // Non-zero when the user looks on (command-line field 8).
    virtual int GetCmdField8() = 0;
    virtual int TestCmdField13Bit8() = 0;
    virtual int IsStandalone() = 0;
    virtual int IsPlaying() = 0;

    // ---- sound and settings
    // Plays a sound resource unless the sound is muted (then answers the mute value).
    virtual int PlaySoundId(int id, int flags) = 0;
    virtual bool IsSilent() = 0;
    virtual int IsQuickCatch() = 0;
    virtual int IsRejectKanPaiAsk() = 0;
    // The "Voice" setting: 0 dialect, 1 standard speech, 2 random.
    virtual int GetVoiceSetting() = 0;
    virtual std::string GetGameIniPath() = 0;
    // The program's folder, ending with '/'.
    virtual std::string GetProgramFolder() = 0;
    // The voice folders under the program's "Sound/" folder, names beginning with '0' and
    // '1' in the file system's order.
    virtual void ScanSoundFiles(std::vector<std::string>& list0,
                                std::vector<std::string>& list1) = 0;

    // ---- players
    virtual int GetSeatUserID(int chair) = 0;
    virtual std::string GetSeatName(int chair) = 0;
    // Word 17 of the seated player's record (0 or 1 choose a voice list).
    virtual int GetSeatVoiceKind(int chair) = 0;
    virtual std::string GetPlayerNameById(int userId) = 0;
    // A line of chat markup for the chat pane (with its colour tags and line end).
    virtual void AppendChatLine(const std::string& markup) = 0;

    // ---- screen and panes
    virtual int GetScreenWidth() = 0;
    virtual int GetScreenHeight() = 0;
    // 1 when the screen is lower than 601 pixels.
    virtual int IsSmallScreen() = 0;
    virtual int GetTableViewWidth() = 0;
    virtual int GetTableViewHeight() = 0;
    // Whether the skin has a bitmap of that name.
    virtual bool HasSkinBitmap(const std::string& name) = 0;

    // ---- the application's objects
    virtual CMJGameInfo* GetGameInfo() = 0;
    virtual CMJTableDraw* GetTableDraw() = 0;
    virtual CMJGameScene2* GetGameScene() = 0;
    virtual CMJRequests* GetRequests() = 0;

    // ---- the entry's room, the toolbar and the table view's timers
    // Non-zero when command-line field 13 has every one of the bits.
    virtual int TestCmdField13(uint32_t bits) = 0;
    // Command-line field 9 (the relaunch mark).
    virtual int GetCmdField9() = 0;
    // 1 when a player entered a table whose deal was already running.
    virtual int IsRejoining() = 0;
    // The game's code name (names the INI file and the screenshots).
    virtual std::string GetGameCode() = 0;
    // Writes a picture of the whole primary screen as a JPEG file; false when nothing was
    // written.
    virtual bool SaveScreenShotJpeg(const std::string& path, int quality) = 0;
    // The framework's table-change request (201300) and table-option request (201302);
    // non-zero when the change was made. error receives the answer's text.
    virtual int RequestChangeTable(std::string& error) = 0;
    virtual int RequestTableOption(std::string& error) = 0;
    // The table view. The scene (a library without a window system) has no window of the
    // view to look up: the view's timers, its clock timer id and its size reach it through
    // the host. Timers of the table view come back through the scene's OnTimer.
    virtual void SetViewTimer(uint32_t id, uint32_t ms) = 0;
    virtual void KillViewTimer(uint32_t id) = 0;
    // The id the table view runs its one-second turn clock under.
    virtual uint32_t GetClockTimerId() = 0;

    // ---- the game-event handlers and the turn clock
    // (Re)starts and stops the table view's one-second clock timer.
    virtual void StartClockTimer() = 0;
    virtual void StopClockTimer() = 0;
    // Whether the table view's clock timer runs now: the end of a deal, the table's stop
    // (211000) and an aborted game stop it; false without a table view.
    virtual bool IsClockTimerRunning() = 0;
    // The table view arms its idle timer (in rooms that ask an idle player to leave).
    virtual void StartIdleTimer() = 0;
    // The rebuild of a running deal makes the table pane usable for a player.
    virtual void EnableTablePane(int enable) = 0;
    // Scene mode 1: the table view's window button of a claim (kind 1 peng, 2 gang, 3 chi,
    // 4 hu, 5 pass) shown and enabled while the claim is on offer, else disabled and hidden.
    virtual void ShowClaimWindowButton(int kind, int on) = 0;
    // Writes a PNG picture of the table view after delayMs (0: now); false when nothing
    // will be written.
    virtual bool SaveTableShot(const std::string& path, int delayMs) = 0;

    // ---- the claim actions, the start button and automatic play
    // The platform's wait cursor around a waited request of the table.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // The machine id text a 221080 body carries (at most 32 bytes are used).
    virtual std::string GetMachineID() = 0;
    // The framework's start request: 201161 (the silver-range check) when checkSilver, else
    // 201160. 1 when it went through; error receives the answer's text.
    virtual int RequestStartGame(std::string& error, int checkSilver) = 0;
    // The start went through: the start record {user id, room id, table, chair} for the
    // router's start handler.
    virtual void OnOwnGameStarted(MJData record) = 0;
    // A message box of the framework (modeless) with a text.
    virtual void ShowMessageText(const std::string& text) = 0;
    // A point of the logical screen on the display (for the log line a scripted player
    // reads); false when the table view is not on the screen.
    virtual bool MapToScreen(int& x, int& y) = 0;
};

}  // namespace hqlv::mahjong
