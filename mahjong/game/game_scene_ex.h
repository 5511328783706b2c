#pragma once
// CGameSceneEx: this game's table scene. Its logical screen is 744 × 710, stretched to
// the table pane.
#include "mahjong/scene/discard_choice.h"
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

class CGameResultDlg;

inline constexpr int kSceneWidth = 744;
inline constexpr int kSceneHeight = 710;

class CGameSceneEx : public CMJGameScene2 {
public:
    void OnAttach() override;

    // ---- this game's scene layer (game_scene_ex.cpp)
    // The ten weights of section "AI" (read once, at the scene's start; never written).
    void LoadAutoPlayWeights() override;
    const AutoPlayWeights& Weights() const { return m_weights; }
    void SetWeights(const AutoPlayWeights& w) { m_weights = w; }
    // The own-hand record (0-31) the automatic player discards.
    virtual int ChooseDiscard();
    virtual int ScoreHand(const CandidateHand& hand, const UnseenCounts& unseen,
                          const ShapeCounts& exposed, int skip) const;
    // 211080: the mahjong layer's lay-down, the winner's voice, the silver tallies and,
    // unless automatic play is on, the result dialog.
    void OnGameEnd(MJData result) override;
    // 229500: a player back (1) or gone (2), the non-dealers followed the dealer (6).
    void OnPlayerBackOrLeave(MJData record) override;
    void LayoutToolbar() override;
    // The rebuild's step of this game: every seat's standing tiles as the entry's state
    // counts them, the button frames laid out, the claim buttons off and a player's toolbars
    // shown.
    void RestoreLayerState() override;
    virtual void SlideToolbarIn();
    virtual void SlideToolbarOut();
    void OnToolbarPointer(int over) override;
    // The pointer's moves also tell a slid-out small-screen toolbar that the pointer has gone.
    void OnMouseMove(uint32_t flags, int x, int y) override;
    void OnToolbarSlideInEnd() override;
    // 210064 ends the program; every code answers 1.
    int OnOtherMessage(uint32_t code, engine::MessageData& data, uint32_t target) override;
    int IsToolbarOut() const { return m_bToolbarOut; }
    // Automatic play is on when either its switch or its notice says so.
    bool AutoPlayShown() const;

    // ---- this game's claim buttons and automatic play (game_scene_ex_play.cpp)
    // The peng press also turns the gang button off once the claim went out.
    void OnBtnPeng() override;
    // Entering the gang choice with one gang the hand can make picks its tile at once.
    void OnBtnGang() override;
    // One step of automatic play: the offered buttons in this game's order, else the
    // scored discard.
    void AutoPlayTick() override;

protected:
    // ---- state of this game's scene layer
    // The result dialog, shown modally over the table view (tests take it instead).
    virtual void RunResultDialog(CGameResultDlg& dialog);
    // The end of the program (210064).
    virtual void QuitProgram();
    // The x of the second entry of the toolbar's list (its right end piece), from which the
    // small-screen toolbar's places when slid in are measured.
    int ToolbarListX() const;
    AutoPlayWeights m_weights;
    int m_bToolbarOut = 0;

    // ---- state of this game's automatic play
};

}  // namespace hqlv::mahjong
