#pragma once
// CGameAppEx: the program's application object. It owns this game's connection, router,
// deal state, table scene and table-drawing object for the whole process, reads and
// writes the "GAMESET" settings and builds this game's main frame.
#include <QPointer>

#include <memory>
#include <string>

#include "mahjong/app/mj_app.h"
#include "mahjong/game/game_connect_ex.h"
#include "mahjong/game/game_info_ex.h"
#include "mahjong/game/game_notify_ex.h"
#include "mahjong/game/game_scene_ex.h"
#include "mahjong/game/table_draw_ex.h"

namespace hqlv::mahjong {

class CPlayerInfoDlg;

// The four settings of section "GAMESET".
struct GameSetValues {
    int silence = 0;
    int rejectKanPaiAsk = 0;
    int quickCatch = 0;
    int voice = 0;
};

class CGameAppEx : public CMJGameApp {
public:
    CGameAppEx();
    ~CGameAppEx() override;

    bool InitInstance(const std::string& commandLine) override;
    int ExitInstance() override;
    framework::CGameFrameWnd* CreateMainFrame() override;

    void LoadGameSet();
    void SaveGameSet();
    // The settings dialog: on OK the four values are kept and the voices chosen again;
    // nothing is written until the program ends. → true on OK.
    bool DoGameSetDialog() override;

    CMJGameScene2* GetGameScene() override { return &scene_; }
    CMJTableDraw* GetTableDraw() override { return &draw_; }
    CMJGameInfo* GetGameInfo() override { return &info_; }
    CMJGameClient* GetMJClient() override { return GetConnectEx(); }
    CGameConnectEx* GetConnectEx() { return static_cast<CGameConnectEx*>(conn_.get()); }
    CGameNotifyEx* GetNotifyEx() { return static_cast<CGameNotifyEx*>(notify_.get()); }
    CGameSceneEx& scene() { return scene_; }
    CTableDrawEx& tableDraw() { return draw_; }
    CGameInfoEx& gameInfo() { return info_; }

    bool IsQuickCatch() override { return settings_.quickCatch != 0; }
    bool IsSilent() override { return settings_.silence != 0; }
    int IsRejectKanPaiAsk() override { return settings_.rejectKanPaiAsk; }
    int GetVoiceSetting() override { return settings_.voice; }
    int GetSeatCount() override { return 8; }
    const GameSetValues& settings() const { return settings_; }
    void ShowPlayerInfoDialog(const framework::PlayerRecord& record) override;
    CPlayerInfoDlg* playerInfoDialog() const;
    void SetSettings(const GameSetValues& v) { settings_ = v; }

protected:
    // Runs the settings dialog on the values; → true on OK. The dialog belongs to the
    // settings and dialogs layer; until it is there the values stay as they are.
    virtual bool ExecGameSetDialog(GameSetValues& values);
    // The file the settings are read from and written to (the game's INI file).
    virtual std::string SettingsPath() { return GetGameIniPath(); }

    CGameInfoEx info_;
    CGameSceneEx scene_;
    CTableDrawEx draw_;
    GameSetValues settings_;
    // The main window owns the information window and deletes it with itself; the
    // application deletes one it made without a main window.
    QPointer<CPlayerInfoDlg> playerInfo_;
};

}  // namespace hqlv::mahjong
