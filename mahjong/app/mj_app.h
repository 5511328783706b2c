#pragma once
// CMJGameApp: the mahjong layer's application. It chooses the scene mode, answers the
// virtual queries through which the router, the panes and the scene reach the mahjong
// objects (which this game's application owns), recovers from a failed waited request
// and carries the player count and the seat-geometry words into the three holders. It is
// also the host of the scene, of the router and of the request sender (small adapter
// objects over the application, so their names never meet the application's own).
#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "framework/app/game_app.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/scene/scene_host.h"

class QImage;

namespace hqlv::mahjong {

class CMJGameFrameWnd;
class CMJGameTableView2;
class CMJGameClient;
class CMJClientHost;

// A picture written as a JPEG file of its size; false when it is null or the file was not
// written.
bool SaveImageJpeg(const QImage& picture, const std::string& path, int quality);
// The whole primary screen as the platform shows it (GrabScreen), written as a JPEG file of
// the screen's size; false when there is no screen or the file was not written.
bool SaveScreenJpeg(const std::string& path, int quality);
// The JPEG writer's messages ("Can't open" a file) go to the platform's message box.
void ShowJpegMessagesInBoxes(const std::string& caption);

// Runs the client: the application that `make` builds goes from start-up to its end and is
// destroyed; then the sound device is let go of, once nothing is left that plays. The
// program's exit code.
int RunClient(const std::function<std::unique_ptr<framework::CGameApp>()>& make, int argc,
              char** argv);

class CMJGameApp : public framework::CGameApp {
public:
    CMJGameApp(std::string gameCode, int defaultPort, int versionMajor, int versionMinor);
    ~CMJGameApp() override;

    bool InitInstance(const std::string& commandLine) override;

    // ---- the mahjong objects (this game's application owns them)
    virtual CMJGameScene2* GetGameScene() { return nullptr; }
    virtual CMJTableDraw* GetTableDraw() { return nullptr; }
    virtual CMJGameInfo* GetGameInfo() { return nullptr; }
    virtual CMJGameClient* GetMJClient() { return nullptr; }

    // Engine mode: true exactly when the scene's game-running flag is 1; the GDI mode and
    // a program without the hall answer as the framework does.
    int IsPlaying() override;
    void PlaySoundId(int id, int flags) override;
    // The deal area is where the game data of the entry and of 201140 land, and the table
    // data after a player list's entries.
    std::span<uint8_t> GetTableDataBlock() override;
    virtual int IsRejectKanPaiAsk() { return 0; }
    // The modal settings dialog; → true when it ended with OK. This game's application
    // fills it; the mahjong layer has no settings of its own to offer.
    virtual bool DoGameSetDialog() { return false; }
    virtual int GetVoiceSetting() { return 0; }

    // Recovery after a waited mahjong request failed while connected: three tries of
    // 201140, 3000 ms apart, under the wait cursor; then the box and the end of the program.
    virtual void OnNetworkError();
    virtual void ShowPlayerInfo(const uint8_t* record, size_t size);
    // The player information dialog for a checked record (the dialog is the settings and
    // dialogs layer's; here a log line).
    virtual void ShowPlayerInfoDialog(const framework::PlayerRecord& record);

    void SetPlayerCount(int n);
    void SetSceneValue2(int v);
    void SetSceneValue3(int v);
    void SetSceneMode(int v);
    int GetSceneMode() const { return m_nSceneMode; }

    // Exit requests sent from a chair in this run (the exit-request dialog raises it).
    int& ExitRequestCount(int chair);
    std::string& ScoreBoardText() { return m_strScoreBoard; }
    CMJGameFrameWnd* GetMJFrame() const;
    CMJSceneHost& SceneHost() { return *m_sceneHost; }
    CMJRouterHost& RouterHost() { return *m_routerHost; }
    CMJClientHost& ClientHost() { return *m_clientHost; }

protected:
    // The 3000-ms pause between two tries: the wait's pump holds the messages of the
    // program's windows (no input, no timer), so the scene is not re-entered inside the
    // button handler that is waiting.
    virtual void NetworkPause(int ms);
    // The box after the third failure; → the button.
    virtual int NetworkErrorBox(const std::string& text);

    int m_nSceneMode = 1;
    std::string m_strScoreBoard;
    std::array<int, 8> m_exitRequests{};
    int m_exitRequestsOther = 0;
    std::unique_ptr<CMJSceneHost> m_sceneHost;
    std::unique_ptr<CMJRouterHost> m_routerHost;
    std::unique_ptr<CMJClientHost> m_clientHost;
};

}  // namespace hqlv::mahjong
