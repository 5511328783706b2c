#pragma once
// The table scene: an engine object (GameBase) that shows the table. CMJGameScene is the
// mahjong layer's first scene (mode word 1: the GDI table view paints it); CMJGameScene2
// is the engine scene (mode word 2) that the notification router drives with one call
// per notification. Every operation acts through the host; none throws.
#include <cstdint>
#include <span>

#include "engine/core/game_base.h"
#include "mahjong/scene/scene_host.h"
#include "mahjong/scene/seat_geometry.h"

namespace hqlv::mahjong {

class CMJGameScene : public engine::GameBase {
public:
    CMJGameScene() = default;
    ~CMJGameScene() override = default;

    void SetSceneHost(CMJSceneHost* host);
    CMJSceneHost* GetSceneHost() const { return m_pHost; }
    // The scene's seat arithmetic (own chair from the host).
    CSeatGeometry& Geometry() { return m_geometry; }
    const CSeatGeometry& Geometry() const { return m_geometry; }

    // 1: the GDI table view; any other value: the engine table view.
    int GetSceneMode() const { return m_nSceneMode; }
    // 1 while a deal runs at the table.
    int IsGameRunning() const { return m_bGameRunning; }
    void SetGameRunning(int running) { m_bGameRunning = running; }

protected:
    CMJSceneHost* m_pHost = nullptr;
    CSeatGeometry m_geometry;
    int m_nSceneMode = 1;
    int m_bGameRunning = 0;
};

class CMJGameScene2 : public CMJGameScene {
public:
    CMJGameScene2();
    ~CMJGameScene2() override = default;

    // ---- the notification router's calls
    virtual void OnGameReset() {}                        // 211040 a new deal
    virtual void OnGameEnd(MJData) {}                    // 211080 the deal's result
    virtual void ResetForNextDeal() {}                   // after 211080
    virtual void ShowWaitTableNotice() {}                // 211300
    virtual void OnNotify221160(MJData) {}               // the answer to a see-tiles ask
    virtual void OnNotify221170(MJData) {}               // a seat discarded
    virtual void OnNotify221200(MJData) {}               // tiles of the watched hand
    virtual void OnNotify229160(MJData) {}               // a seat draws
    virtual void OnNotify229165(MJData) {}               // the countdown ends now
    virtual void OnNotify229170(MJData) {}               // peng announced
    virtual void OnNotify229175(MJData) {}               // chi announced
    virtual void OnNotify229180(MJData) {}               // gang announced
    virtual void OnNotify229185(MJData) {}               // peng meld laid
    virtual void OnNotify229190(MJData) {}               // chi meld laid
    virtual void OnNotify229195(uint32_t /*id*/, MJData) {}  // 229195 / 229197 / 229199
    virtual void OnNotify229210(MJData) {}               // flower replaced
    virtual void OnPlayerBackOrLeave(MJData) {}          // 229500
    virtual void OnTableDrawReset() {}                   // 211700
    virtual void OnNotify211920(MJData) {}               // nothing in this game

    // ---- the application's and the views' calls
    virtual void ResetTable() {}
    virtual void RebuildTable() {}
    virtual void Redraw(int /*parts*/) {}
    // Draws a seat's name and marks for a view position (the table-drawing object asks).
    virtual void DrawSeatInfo(int /*view*/) {}
    // A waited request went through: its body under the id of the notification that
    // announces its effect (the per-hand action record).
    virtual void RecordAction(uint32_t /*notifyId*/, MJData /*body*/) {}
    virtual void RefreshResult() {}
    virtual void LayoutToolbar() {}
    virtual void OnApplySkin() {}
};

}  // namespace hqlv::mahjong
