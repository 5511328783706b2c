#pragma once
// The table scene: an engine object (GameBase) that shows the table. CMJGameScene is the
// mahjong layer's first scene (mode word 1: the GDI table view paints it); CMJGameScene2
// is the engine scene (mode word 2) that the notification router drives with one call
// per notification. Every operation acts through the host; none throws.
#include <array>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/game_base.h"
#include "mahjong/scene/gdi_surface.h"
#include "mahjong/scene/scene_host.h"
#include "mahjong/scene/seat_geometry.h"
#include "mahjong/scene/tile_records.h"

namespace hqlv::engine {
class AdvButton;
class ButtonFrame;
struct ButtonSkin;
class ControlData;
class Entity;
struct FrameSequence;
class ImageEntity;
class PlaneEntity;
}  // namespace hqlv::engine

namespace hqlv::mahjong {

class CMJToolButton;

// One entry of the per-deal action log: 80 bytes.
struct MJActionEntry {
    int32_t chair = 0;  // word 11 of the message body
    int32_t unused = 0;
    int32_t sequence = 0;   // the sequence counter after it was raised for this entry
    int32_t id = 0;         // the message id
    int32_t body[16] = {};  // the body's first 64 bytes (fewer when it is shorter)
};

class CMJGameScene : public engine::GameBase, public CMJTileTests {
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

    // ---- seat arithmetic (through the scene's geometry)
    virtual int NextChair(int chair) const { return m_geometry.NextChair(chair); }
    virtual int PrevChair(int chair) const { return m_geometry.PrevChair(chair); }
    virtual int ChairToView(int chair) const { return m_geometry.ChairToView(chair); }
    virtual int ViewToChair(int view) const { return m_geometry.ViewToChair(view); }
    virtual int NextView(int view) const { return m_geometry.NextView(view); }
    virtual int PrevView(int view) const { return m_geometry.PrevView(view); }
    // The two views beside a view; -1, -1 for a player count other than 3 or 4. A view that
    // is none of the four leaves both outputs as the caller set them.
    virtual void GetSideViews(int view, int& a, int& b) const {
        const int players = m_geometry.GetPlayerCount();
        if ((players == 3 || players == 4) && (view < 0 || view > 3)) return;
        m_geometry.AdjacentViews(view, a, b);
    }
    virtual void GetOtherViews(int view, int& a, int& b) const {
        m_geometry.OtherViews(view, a, b);
    }
    // The table view's size; 0 without a host (no main window).
    virtual int GetTableViewWidth() const { return m_geometry.GetTableViewWidth(); }
    virtual int GetTableViewHeight() const { return m_geometry.GetTableViewHeight(); }

    // ---- the action log of the deal
    virtual void RecordGameNotify(uint32_t id, MJData body);
    // Every id the log does not keep (empty in this game).
    virtual void OnOtherGameNotify(uint32_t /*id*/, MJData /*body*/) {}
    void ClearActionLog();
    const std::vector<MJActionEntry>& ActionLog() const { return m_actionLog; }
    int OwnActionCount() const { return m_nOwnActions; }

    // ---- constants of this game (a game layer may answer others)
    virtual uint32_t GetGameFlags() const { return 0x900C2100; }
    virtual int GetAlwaysOne() const { return 1; }
    virtual int GetTotalTiles() const { return 136; }
    virtual int GetFlowerCount() const { return 8; }
    virtual int GetHandSlotCount() const { return kHandSlotCount; }
    virtual int GetMaxHandTiles() const { return kMaxHandTiles; }
    // The deal's two joker tile ids (-1 for none) and whether a drawn joker is sorted in.
    virtual void GetJokers(int& a, int& b) const;
    int SortsJokers() const override { return 0; }

    // ---- tiles
    int TileShape(int id) const { return mahjong::TileShape(id); }
    int TileValue(int id) const { return mahjong::TileValue(id); }
    int GetFaceIndex(int id) const { return mahjong::GetFaceIndex(id); }
    int IsFlowerTile(int id) const override;
    int IsJokerTile(int id) const override;
    int IsJokerStandIn(int id) const override;
    int SortKey(int id) const override;
    // Claim checks on a 32-entry list (-1 empty): 1 when the rules allow the claim; out
    // receives the matching ids.
    virtual int CheckPeng(const int32_t* hand, int tile, int32_t* out) const;
    virtual int CheckGang(const int32_t* hand, int tile, int32_t* out) const;
    virtual int CheckChi(const int32_t* hand, int tile, int32_t* out) const;
    virtual int LoadHandCodes(int view, std::span<const int32_t> codes);
    virtual int LoadHandCodesFrom1(int view, std::span<const int32_t> codes);
    virtual void MoveTileToDrawSlot(int view);
    virtual void MarkChiChoices();
    virtual int MarkFlowerChoices();
    virtual void ClearChoiceMarks() { m_tiles.ClearChoiceMarks(); }
    virtual void ClearJokerMarks();
    // The claim buttons shown or hidden (the button operations' own Part fills it in).
    virtual void ShowAllClaimButtons(int /*show*/) {}
    // How far the table centre is raised: 30, 10 on a small screen.
    virtual int GetCentreLift() const;
    CMJTileAreas& Tiles() { return m_tiles; }
    // The highest of the view's first 18 records that is present with the hand flag; -1.
    virtual int LastHandIndex(int view) const { return m_tiles.TopOfConcealedHand(view); }
    // The four ids of the code's face (-1 each for no tile); OtherCopies leaves the code out.
    static void FaceCopies(int code, int32_t ids[4]);
    static void OtherCopies(int code, int32_t ids[3]);
    std::vector<int32_t>& ChiCandidates() { return m_chiCandidates; }

protected:
    CMJSceneHost* m_pHost = nullptr;
    CSeatGeometry m_geometry;
    int m_nSceneMode = 1;
    int m_bGameRunning = 0;
    CMJTileAreas m_tiles;
    std::vector<int32_t> m_chiCandidates;
    std::vector<MJActionEntry> m_actionLog;
    int m_nActionSequence = 0;
    int m_nOwnActions = 0;
    // The drag state's saved joker mark (cleared with the hand's joker marks).
    int m_nDragJoker = 0;
};

// One pooled entity binding: eleven words.
struct MJBinding {
    uint32_t entityId = 0;
    int32_t area = 0;  // 0 free
    int32_t unused = 0;
    int32_t view = 0;
    int32_t index = 0;
    int32_t face = 0;
    int32_t direction = 0;
    int32_t code = kHiddenTile;
    int32_t locked = 0;
    int32_t control = 0;  // tile control 1-31, 0 none
    int32_t selected = 0;
};

struct MJTileControl {
    uint32_t controlId = 0;
    int inUse = 0;
    MJBinding* binding = nullptr;
};

constexpr int kBindingCount = 336;
// The part code of Redraw that stands for the whole table.
constexpr int kRedrawAll = 100;
// How far the own row keeps from the logical screen's sides (the table cloth's frame).
constexpr int kOwnRowMargin = 12;
constexpr int kTileControlCount = 31;

// Scene words that the pictures bring (pixels).
struct MJTileMetrics {
    int largeWidth = 54, largeHeight = 77;
    int wall[5] = {13, 22, 17, 16, 10};
    int step[4] = {21, 26, 21, 26};
    int across[4] = {33, 25, 33, 25};
    int thickness[4] = {11, 11, 11, 11};
    int standing[3][3] = {{26, 23, 19}, {26, 25, 12}, {26, 23, 19}};
    int unset = 0;
    int claimCell[2] = {40, 40};
    int toolCell[2] = {30, 30};
};

struct MJRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class CMJGameScene2 : public CMJGameScene {
public:
    CMJGameScene2();
    ~CMJGameScene2() override = default;

    // ---- the notification router's calls
    virtual void OnGameReset();  // 211040 a new deal
    // The game-running flag (the application's IsPlaying): set by a new deal, cleared by
    // its result.
    virtual void MarkGameRunning() { SetGameRunning(1); }
    virtual void MarkGameStopped() { SetGameRunning(0); }
    virtual void OnGameEnd(MJData body);                    // 211080 the deal's result
    virtual void ResetForNextDeal();                        // after 211080
    virtual void ShowWaitTableNotice();                     // 211300
    virtual void OnNotify221160(MJData body);               // the answer to a see-tiles ask
    virtual void OnNotify221170(MJData body);               // a seat discarded
    virtual void OnNotify221200(MJData body);               // tiles of the watched hand
    virtual void OnNotify229160(MJData body);               // a seat draws
    virtual void OnNotify229165(MJData body);               // the countdown ends now
    virtual void OnNotify229170(MJData body);               // peng announced
    virtual void OnNotify229175(MJData body);               // chi announced
    virtual void OnNotify229180(MJData body);               // gang announced
    virtual void OnNotify229185(MJData body);               // peng meld laid
    virtual void OnNotify229190(MJData body);               // chi meld laid
    virtual void OnNotify229195(uint32_t id, MJData body);  // 229195 / 229197 / 229199
    virtual void OnNotify229210(MJData body);               // flower replaced
    virtual void OnPlayerBackOrLeave(MJData body);          // 229500
    virtual void OnTableDrawReset();                        // 211700
    virtual void OnNotify211920(MJData) {}                  // nothing in this game

    // ---- the application's and the views' calls
    virtual void ResetTable();
    virtual void RebuildTable();
    // Binds everything of an area again (an area code) or of the whole table (100: also
    // the background, the clock and the seats' name planes), after a release or a change.
    virtual void Redraw(int part);
    // The table cloth as the canvas's background (744 x 710 from the logical screen's corner).
    void SetTableBackground();
    // Draws a seat's name and marks for a view position (the table-drawing object asks).
    virtual void DrawSeatInfo(int view) { ShowSeatInfo(view); }
    // A waited request went through: its body under the id of the notification that
    // announces its effect (the per-hand action record).
    virtual void RecordAction(uint32_t notifyId, MJData body) { RecordGameNotify(notifyId, body); }
    virtual void RefreshResult() {}
    virtual void LayoutToolbar() {}
    virtual void OnApplySkin() {}

    // ---- engine life cycle: the engine's hooks call these in the host view's order
    void OnPrepare() override { LoadGameSettings(); }
    void OnStart() override { InitGameData(); }
    void OnStarted() override { OnGameStart(); }
    void OnCleanup() override { SaveGameSettings(); }
    virtual void LoadGameSettings();
    virtual void InitGameData();
    virtual void OnGameStart();
    virtual void SaveGameSettings();
    void OnTimer(uint32_t id) override;
    int OnMessage(uint32_t code, engine::MessageData& data, uint32_t target) override;
    void OnInitDone() override;

    // ---- records
    MJTileInfo* GetTileRecord(int area, int view, int index) {
        return m_tiles.GetTileRecord(area, view, index);
    }
    virtual void InsertDrawnTile(int view) { m_tiles.InsertDrawnTile(view, *this); }
    virtual void MarkGangChoices() { m_tiles.MarkGangChoices(); }

    // ---- pools
    virtual int AllocEntity();
    virtual int AllocControl();
    virtual void SetTileControl(MJBinding* binding);
    virtual void RebindTileControls();
    virtual void ReleaseBinding(MJTileInfo* record, MJBinding* binding);
    virtual void ReleaseRecordBinding(MJTileInfo* record);
    virtual void ReleaseAllBindings();
    virtual void CheckBindings();
    MJBinding* Binding(int index) {
        return index >= 1 && index <= kBindingCount ? &m_bindings[size_t(index)] : nullptr;
    }
    MJTileControl* TileControl(int index) {
        return index >= 1 && index <= kTileControlCount ? &m_tileControls[size_t(index)] : nullptr;
    }

    // ---- engine-message dispatchers (each answers the engine's free-the-data word)
    virtual int OnTileEvent(uint32_t code, engine::MessageData& data, uint32_t target);
    virtual int OnControlEvent(uint32_t code, engine::MessageData& data, uint32_t target);
    virtual int OnSystemEvent(uint32_t code, engine::MessageData& data, uint32_t target);
    virtual int OnEngineNotify(uint32_t code, engine::MessageData& data, uint32_t target);
    // Codes no dispatcher takes (the game layer quits on 210064).
    virtual int OnOtherMessage(uint32_t /*code*/, engine::MessageData& /*data*/,
                               uint32_t /*target*/) {
        return 1;
    }
    // The event code a tile control's click (slot 8) gets now; 0 none.
    virtual uint32_t TileClickCode() const;
    // Engine notifications whose work belongs to the clock, the toolbar's slide, the own
    // discard and the sort sweep.
    // 210042: one step of the clock hand; the data names the path of the move it belongs to.
    virtual void QZ_Moveing(const engine::MessageData& path);
    virtual void OnToolbarSlideInEnd() {}           // 210043
    virtual void OnToolbarPointer(int /*over*/) {}  // 210052 over the toolbar, 210053 gone
    virtual void OnOwnDiscardEnd();                 // 210059
    virtual void OnSortSweepEnd();                  // 210060

    // ---- handlers that later work fills in
    virtual void OnTileClickGang(MJTileInfo* record, MJBinding* binding);
    virtual void OnTileClickSelect(MJTileInfo* record, MJBinding* binding);
    virtual void OnTileClickDiscard(MJTileInfo* record, MJBinding* binding);
    virtual void OnTileDragStart(MJTileInfo* record, MJBinding* binding);
    virtual void OnTileDragMove(MJTileInfo* record, MJBinding* binding);
    virtual void OnTileDrop(MJTileInfo* record, MJBinding* binding);
    virtual void OnBtnStart();
    virtual void OnBtnChi();
    virtual void OnBtnPeng();
    virtual void OnBtnGang();
    virtual void OnBtnHu();
    virtual void OnBtnPass();
    // The toolbar's sort (and the deal start's): a sweep of sparks along the own hand, at
    // whose end (210060) the hand is sorted.
    virtual void SortHandButton();
    int IsSortSweepRunning();
    virtual void ToggleAutoPlay();
    // The toolbar's 托管 button; none before the set-up.
    CMJToolButton* AutoPlayButton();
    virtual void ChangeTable();
    virtual void RequestTableOption();
    virtual void OnCountdownTimer();  // the clock second (scene_clock.cpp)
    virtual void OnTurnTimer(uint32_t id);
    // The engine events' name for BindHandTiles.
    virtual void BindHand(int view) { BindHandTiles(view); }
    virtual void BindWallTiles();
    virtual void OnDiceDone() { StartDealAnimation(); }
    virtual void DealStep(int view);
    virtual void RevealOpeningFlowers();
    virtual void OnSeatFlowersRevealed(int view);
    virtual void OnDealingFinished();
    virtual void FlashJoker();
    // The own draw: the request and its answer; the drawn tile's flight is its last step.
    virtual int DrawTile();
    // The drawn tile flies into the own draw slot (record 0, set by the draw) and lands with
    // engine event 210058.
    virtual void FlyDrawnTile(int tile);
    virtual void OnDrawnTileLanded();
    virtual void CheckOwnGang();
    virtual void OfferHu(int flags);
    virtual void ShowStartButton();
    virtual void ShowToolbars(int show);
    virtual void HideResultEntities() {}
    // Automatic play is on (the automatic play's own work keeps the switch).
    virtual int IsAutoPlayOn() const;
    // The automatic-play notice's blink (100 ms steps), posted when the notice is made.
    void StartAutoPlayBlink();
    virtual void ShowAskButton();
    // The drawn tile has arrived in the own draw slot (system events 210007 and 210008, whose
    // eight-word record holds the tile in word 1, the hu flags in word 2, the wall record in
    // word 3 and, for 210008, the serial of the table that queued it in word 7, 0 for none).
    static constexpr size_t kReplacementTableWord = 7;
    // wallIndex: the wall record the tile came from; one outside the wall, or one marked
    // already, takes no record.
    virtual void OnDrawnTileArrived(int tile, int flags, int wallIndex);

    // ---- notices and seat panels
    virtual void ShowFloatingTip(const std::string& text);
    virtual void HideFloatingTip();
    virtual void ResetSeatPanels();
    virtual int ShowSeatIcons(int view);
    // The width the seat's name takes on its plane (half the character height a GBK byte).
    int SeatNameWidth(int view);
    virtual void SetSeatIcon(int view, int value);
    // Sizes a seat mark 30 x 30 and puts its centre 30 (farther: 60) to the right of a point
    // and 25 below it.
    virtual void PlaceSeatMark(engine::Entity* mark, int x, int y, int farther);
    int GetSeatIcon(int view, int i) const {
        return view >= 0 && view < 4 && i >= 0 && i < 10 ? m_seatIcons[size_t(view)][size_t(i)] : 0;
    }
    // The kind-1 icon of the seat-mark table: the banker mark.
    struct SeatMark {
        int kind = 0;
        std::string name, picture;
        int width = 0, height = 0;
    };
    const SeatMark& GetSeatMark(int i) const {
        return m_seatMarks[size_t(i < 0 || i >= 50 ? 0 : i)];
    }
    uint32_t WaitNoticeEntity() const { return m_nWaitNotice; }

    // ---- toolbar
    virtual void AskToSeeTiles();
    virtual void SaveScreenshot();
    virtual void ToggleMusic();
    virtual void NextSkin();
    virtual void GetButtonPicture(MJRect& out, uint32_t code) const;
    virtual void SetButtonEnabled(engine::ControlData* control, bool on);

    // ---- skins, pictures and set-up
    virtual void SetSkinFolder(const std::string& name);
    virtual void SetSoundFolder(const std::string& name);
    virtual void LoadSkinPictures(const std::string& name);
    virtual void ReleaseSkinPictures();
    virtual void SetTileMetrics();
    virtual uint32_t CreateImageButton(int x, int y, const engine::ImageInfo& info, uint32_t event,
                                       uint32_t key);
    virtual uint32_t CreateTextButton(int x, int y, const engine::ImageInfo& info, uint32_t event,
                                      const std::string& text, uint32_t textColour);
    // A toolbar button registered with the engine, hidden, its click bound to the event.
    CMJToolButton* MakeToolButton(uint32_t event, int x, int y, int width, int height);
    virtual void CreateToolbarButtons();
    virtual void CreateClockEntities();
    virtual void CreateTileEntities();
    virtual void CreateTileControls();
    virtual void CreateStakePlane();
    virtual void CreateSeatMarks();
    virtual void CreateSeatPanels();
    virtual void CreateDiceEntities();
    // The rolling sequence of dice picture n (0-11), null before the dice are made.
    const engine::FrameSequence* DiceFace(int n) const {
        return n >= 0 && n < 12 ? m_diceFaces[size_t(n)].get() : nullptr;
    }
    virtual void SetMouseBehaviour();
    virtual void CreateAutoPlayEntities();
    virtual void LoadAutoPlayWeights() {}
    // The picture of a name as loaded ("桌面", "正面大图", ...); 0 when none.
    uint32_t Picture(const std::string& description) const;
    const MJTileMetrics& Metrics() const { return m_metrics; }
    int GetStyleIndex() const { return m_nStyle; }
    const std::string& GetStyleName(int i) const {
        return m_styleNames[size_t(i < 0 || i > 2 ? 0 : i)];
    }
    const std::string& GetCurrentStyle() const { return m_currentStyle; }
    int GetMusicOn() const { return m_bMusic; }
    int GetTimeoutCount() const { return m_nTimeouts; }
    void SetTimeoutCount(int n) { m_nTimeouts = n; }
    int GetSelectMode() const { return m_nSelectMode; }
    void SetSelectMode(int mode) {
        m_nSelectMode = mode;
        RebindTileControls();
    }
    int GetClockPosition() const { return m_nClockPos; }
    void SetClockPosition(int p) { m_nClockPos = p; }

    // ---- table centre and stake text
    virtual int GetCentreWidth() const { return 212; }
    virtual int GetCentreHeight() const { return 120; }
    virtual void GetCentreRect(MJRect& out) const;
    virtual void GetStakeTextRect(MJRect& out) const;

    // What the creation steps made, for the toolbar and later work.
    struct Made {
        uint32_t start = 0, ask = 0, peng = 0, gang = 0, chi = 0, hu = 0, pass = 0;
        engine::ButtonFrame* operationBar = nullptr;
        engine::ButtonFrame* systemBar = nullptr;
        uint32_t toolButtons[5] = {};
        uint32_t arrow = 0, dragTile = 0, clockFace = 0, clockHand = 0, digits[2] = {};
        uint32_t stake = 0, windMarks[4] = {}, panels[4] = {}, icons[4][10] = {}, dice[4] = {};
        uint32_t autoPlay = 0, note = 0, hand = 0, particles[5] = {};
        uint32_t dragEvent = 0, clockEvent = 0, diceEvents[2] = {}, handEvent = 0;
    };
    const Made& Entities() const { return m_made; }

    // ---- table geometry (logical screen pixels; scene_geometry.cpp)
    // The step between the own standing tiles: the large tile's width, less where the row
    // would reach past the table cloth's frame (kOwnRowMargin from the screen's sides).
    virtual int GetOwnTileStep() const;
    virtual int GetHandLength(int view) const;
    virtual int GetHandThickness(int view) const;
    virtual void GetHandRect(int view, MJRect& out) const;
    virtual int GetMeldOffsetA(int view) const;
    virtual int GetMeldOffsetB(int view) const;
    virtual int GetOwnHandMidY() const;
    virtual int GetOwnHandMidY2() const { return GetOwnHandMidY() + 10; }
    virtual void GetDiceRect(MJRect& out) const;
    virtual void GetFlowerAreaBase(int view, MJRect& out) const;
    virtual void GetFlowerAreaRect(int view, MJRect& out) const;
    virtual void GetWallStacks(int stacks[4]) const;
    virtual int GetWallStacksOfView(int view) const;
    virtual void GetWallRect(int view, MJRect& out) const;
    virtual void GetWallTileRect(int index, MJRect& out) const;
    // The face-up wall tile the deal names, while it is present and face up; else empty.
    virtual void GetMarkedWallTileRect(MJRect& out) const;
    // The same tile at the large own-tile size, centred on it; empty with it.
    virtual void GetMarkedWallTileBigRect(MJRect& out) const;
    virtual int GetWallStartOffset(int view) const;
    virtual void LayoutWall();
    virtual void LayoutHands();
    virtual void LayoutFlowers();
    virtual int CountFlowers(int view) const;
    virtual void GetWindMarkPos(int view, int& x, int& y) const;
    virtual void PlaceWindMarks();
    virtual void PlaceDrawSlotTile(int view, int code);
    // The seat's name plane beside its hand, with the seat's icon row.
    virtual void ShowSeatInfo(int view);
    // The table shown again: idle (the start button), or a running deal rebuilt.
    virtual void RefreshIdleTable();
    virtual void RefreshRunningDeal();

    // ---- dealing and the table from the deal state (scene_dealing.cpp)
    virtual void StartDealAnimation();
    // The seats' dealt records (13 each, the banker's draw slot too) marked present and in
    // the hand, unbound: a new deal marks them at once, so that what the server sends while
    // the dice roll and the tiles are dealt changes the final hands and is not dealt over.
    void MarkDealtHands();
    // The view the dealing starts at: the banker's.
    int DealingFirstView() const;
    // fromDeal 1: the new deal's record (211040); 0: the running game's data (201140).
    virtual void FillOwnHandFromRound(int fromDeal = 0);
    virtual void FillTableFromRound();
    virtual void MarkWall();
    // The wall tiles the tail took past the head where the two met.
    void MarkWallPastTheHead();
    // The wall records the head has drawn from the start of a wall of `total` records.
    int HeadStretch(int start, int head, int total) const;
    // The meld updates a replayed deal calls with a 16-word work record (word 0 the view,
    // 3 the chair, 4 the giver, 5-8 the tiles, 10 and 11 -1); the tile-model updates fill them.
    // A view outside 0-3 changes nothing.
    virtual void AddPengMeld(int view, MJData record);
    virtual void AddChiMeld(int view, MJData record);
    virtual void AddExposedGangMeld(int view, MJData record);
    virtual void AddConcealedGangMeld(int view, MJData record);
    virtual void AddAddedGangMeld(int view, MJData record);
    // The table rebuilt from the entry's table state (a player's or a looker-on's): the
    // steps restore what that state holds and leave the rest as the reset left it.
    // The table window's clock timers stopped: the second and the turn timers.
    virtual void CleanUpClockWindow();
    // The clock shown at the seat to move, with the seconds the state gives its turn.
    virtual void RestoreClockState();
    // The restored clock drawn and its second running.
    virtual void ResumeClock();
    // Every chair's discards into its rows (a player's state only) and its flowers.
    virtual void RestoreSeatDiscards();
    virtual void RestoreSeatFlowers();
    // Every seat's standing tiles as many as the state's held count (the draw slot one of
    // them when the seat has drawn).
    virtual void RestoreHeldCounts();
    // This game's layer's step of the rebuild (nothing in the mahjong layer).
    virtual void RestoreLayerState() {}
    // 1 when the deal state's status word says a deal runs.
    int IsDealInProgress() const;
    // 1 while an action waits for the server's answer (the action handlers keep it).
    virtual int IsActionWaiting() const { return m_nActionWaits > 0; }

    // ---- hands (scene_hands.cpp)
    virtual void BindHandTiles(int view);
    virtual void SetHandTiles(int view, std::span<const int32_t> codes);
    virtual int GetHandCodes(int view, std::span<int32_t> out);
    virtual int CountHandByIndex(std::span<int32_t> counts);
    virtual int FindLastTile(int view, int code);
    virtual int FirstSelectedIndex(int view);
    virtual void RemoveTileFromHand(int view, int code);
    virtual int HandFlag(int view);
    virtual int IsHandKnown(int view);
    virtual int AnyLockedOwnTile();
    virtual void SelectOnly(int view, int index);
    virtual int GetSelectedOwnCodes(std::span<int32_t> out);
    virtual int CopyOwnHandExcept(std::span<int32_t> list, int start, int code);
    virtual void SortHand(MJTileInfo* records, int first, int last);
    virtual int HitTestOwnHand(int x, int y);
    virtual int HitTestOwnTile(int rx, int ry);
    virtual int GetDropIndex(int rx, int ry);
    virtual void MoveDraggedTile(int target, int x, int y);
    virtual void ResetOwnTilePositions();
    // The drag ends without a move: the tile goes back to its place and depth.
    virtual void CancelDrag();
    // An own tile's entity at the lifted (pointer over it) or the resting height.
    void LiftOwnTile(engine::Entity* e, int y);
    int IsDragging() const { return m_bDragging; }
    int DraggedIndex() const { return m_nDragIndex; }

    // ---- sounds and effects (scene_sounds.cpp)
    static std::string GetActionSoundName(int code);
    virtual std::string GetSoundFolder(int view) const;
    virtual void PlayActionSound(int view, const std::string& name);
    virtual void PlayNumberSound(int view, int tile);
    virtual int PlaySoundRes(int id, int flags);
    virtual void RollDice();
    virtual void BindFlowerTiles(int view);
    virtual void ShowStakePanel();
    // The panel's text: the stake in silver at a silver table, else in points.
    std::string FormatStakeText() const;
    // The banker icon on one view's row only (a view outside 0-3: on none).
    virtual void SetBankerMark(int view);

    // ---- discard rows and showcase (scene_discards.cpp)
    // Every discard record zeroed and given its place in its view's rows, z, nFace 1 and
    // the view's face-up lying direction.
    virtual void LayoutDiscards();
    virtual void SetAllDiscardsPresent(int flag);
    // The tile goes into the view's first free slot; a full row of 36 takes nothing.
    virtual void AddDiscard(int view, int tile);
    // The highest present slot of the view, -1 when none.
    virtual int LastDiscardIndex(int view) const;
    virtual void BindDiscards(int view);
    virtual void GetDiscardRect(int view, MJRect& out) const;
    virtual void ResetShowcase();
    virtual void SetAllShowcasePresent(int flag);
    virtual int IsShowcasePresent(int view) const;
    virtual void GetShowcaseRect(int view, MJRect& out) const;
    virtual void BindShowcase(int view);
    // The last discard of the seat after the deal's current chair moves to its showcase
    // (unless the deal's status says that seat holds its drawn tile).
    virtual void TakeLastDiscard();
    // The view's concealed tiles laid face up, drawn as seen from across the table.
    virtual void LayDownHand(int view);

    // ---- tile-model updates (scene_melds.cpp)
    // One member per view direction for each meld kind; the dispatchers above pick them.
    // Each takes the meld notice (word 4 the giver chair, 5-8 tiles, 10 the replacement).
    virtual void AddPengMeldView0(MJData record);
    virtual void AddPengMeldView1(MJData record);
    virtual void AddPengMeldView2(MJData record);
    virtual void AddPengMeldView3(MJData record);
    virtual void AddChiMeldView0(MJData record);
    virtual void AddChiMeldView1(MJData record);
    virtual void AddChiMeldView2(MJData record);
    virtual void AddChiMeldView3(MJData record);
    virtual void AddExposedGangMeldView0(MJData record);
    virtual void AddExposedGangMeldView1(MJData record);
    virtual void AddExposedGangMeldView2(MJData record);
    virtual void AddExposedGangMeldView3(MJData record);
    virtual void AddConcealedGangMeldView0(MJData record);
    virtual void AddConcealedGangMeldView1(MJData record);
    virtual void AddConcealedGangMeldView2(MJData record);
    virtual void AddConcealedGangMeldView3(MJData record);
    virtual void AddAddedGangMeldView0(MJData record);
    virtual void AddAddedGangMeldView1(MJData record);
    virtual void AddAddedGangMeldView2(MJData record);
    virtual void AddAddedGangMeldView3(MJData record);
    // The claimed tiles leave the concealed hand (known hand: by code; hidden hand: the top
    // records); the draw slot then holds the tile to discard or the replacement.
    virtual void TakeMeldTilesFromHand(int view, MJData record);
    virtual void TakeExposedGangTiles(int view, MJData record);
    virtual void TakeConcealedGangTiles(int view, MJData record);
    virtual void TakeAddedGangTile(int view, MJData record);
    // End of the deal: a 32-entry list (-1 empty) laid face up along the seat's row.
    // LayOutEndHand keeps the draw slot; LayOutEndHandAll writes from record 0 and sets it
    // apart; LayOutWinningHand also puts the winning tile into record 0 first.
    virtual void LayOutEndHand(int view, std::span<const int32_t> codes);
    virtual void LayOutEndHandView0(std::span<const int32_t> codes);
    virtual void LayOutEndHandView1(std::span<const int32_t> codes);
    virtual void LayOutEndHandView2(std::span<const int32_t> codes);
    virtual void LayOutEndHandView3(std::span<const int32_t> codes);
    virtual void LayOutEndHandAll(int view, std::span<const int32_t> codes);
    virtual void LayOutEndHandAllView0(std::span<const int32_t> codes);
    virtual void LayOutEndHandAllView1(std::span<const int32_t> codes);
    virtual void LayOutEndHandAllView2(std::span<const int32_t> codes);
    virtual void LayOutEndHandAllView3(std::span<const int32_t> codes);
    virtual void LayOutWinningHand(int view, int tile, std::span<const int32_t> codes);
    virtual void LayOutWinningHandView0(int tile, std::span<const int32_t> codes);
    virtual void LayOutWinningHandView1(int tile, std::span<const int32_t> codes);
    virtual void LayOutWinningHandView2(int tile, std::span<const int32_t> codes);
    virtual void LayOutWinningHandView3(int tile, std::span<const int32_t> codes);
    // The hu picture at the winner's wind mark with a burst of sparks; the sparks release
    // themselves when their fade ends, the picture goes at the next table reset.
    virtual void ShowWinEffect(int view);
    uint32_t WinEffectEntity() const { return m_nWinEffect; }

    // ---- game-event handlers' operations (scene_handlers.cpp)
    // The claim kinds: the offer table's index and ShowClaimButton's kind.
    static constexpr int kClaimPeng = 1, kClaimGang = 2, kClaimChi = 3, kClaimHu = 4,
                         kClaimPass = 5;
    // One record of the offer table: 49 words.
    struct ClaimOffer {
        int32_t fromChair = 0;  // the chair the claim comes from (the discarder)
        int32_t tile = 0;       // the tile the claim is on
        int32_t count = 0;      // candidate ids in the list
        int32_t candidates[32] = {};
        int32_t shown = 0;  // the button of this kind is offered
        int32_t unused36[3] = {};
        int32_t kind = 0;  // the kind word of a kong announcement (229180)
        int32_t unused40[9] = {};
    };
    static constexpr int kClaimOfferCount = 9;
    // The offer of a kind 0-8; any other kind answers a scratch record that no one reads.
    ClaimOffer& Offer(int kind);
    // Every offer zeroed.
    void ClearOffers();
    virtual void HideHandFaces(int view);
    virtual void AddFlowerTile(int view, int tile);
    virtual void SendRequest229505();
    virtual void HideClaimButtons();
    // Kind 1-5 active (on 1) or inactive (on 0); other kinds change nothing.
    virtual void ShowClaimButton(int kind, int on);
    void ShowAllClaimButtons(int on) override;
    // 1 while the claim button of kind 1-5 is active.
    int IsClaimButtonActive(int kind) const;
    virtual void DealStartLayout();
    // The own drawn tile the hu offer names (the own draw keeps it here); -1 none.
    int GetOwnDrawnTile() const { return m_nOwnDrawnTile; }
    void SetOwnDrawnTile(int tile) { m_nOwnDrawnTile = tile; }
    // The view of a chair from a notification; -1 (and a log line naming the id) when the
    // chair has no seat on this table.
    int ViewOfChair(int chair, uint32_t id) const;
    // 1 for an index of the wall records in play (the game's tile count).
    int IsWallIndexInPlay(int index) const;
    // A notification's wall position taken off the table (not present) and the wall bound
    // again; a position outside the wall's records is logged and marks nothing.
    void TakeWallRecord(int index, uint32_t id);
    int IsLookerOn() const;
    // Deal record words 18 and 39, read now.
    int TurnSeconds() const;
    int ClaimSeconds() const;
    // 229500 kind 6 (this game's layer): the sound and the chat line.
    void OnPlayerFollowedDealer();
    // The table as text by chair (HQLV_TABLE_DUMP appends it when a deal ends).
    std::string FormatTable(const char* stage);

    // ---- turn clock (scene_clock.cpp)
    // The clock words (the hand position is m_nClockPos, the selection mode m_nSelectMode).
    struct ClockWords {
        int32_t shown = 0;
        int32_t sounds = 0;   // the per-second countdown sound plays
        int32_t seconds = 0;  // seconds left (any value; drawn clamped to 0-99)
        int32_t started = 0;
        int32_t drawn = 0;                   // the hand position drawn now, 0-7
        int32_t layout[4] = {4, 4, 24, 25};  // the window-drawn clock: hand and digits
        int32_t claimWindow = 0;
    };
    const ClockWords& Clock() const { return m_clock; }
    // The positions one move of the hand steps through (-1 where empty), named by a serial.
    struct ClockPath {
        uint32_t serial = 0;
        int32_t entries[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    };
    // The moves whose steps are still to come (for tests).
    size_t PendingHandMoves() const { return m_clockPaths.size(); }
    int IsCountdownSoundOn() const { return m_clock.sounds; }
    void SetCountdownSound(int on) { m_clock.sounds = on; }
    int IsClaimWindowOpen() const { return m_clock.claimWindow; }
    void SetClaimWindowOpen(int open) { m_clock.claimWindow = open; }
    int GetClockSize() const { return 65; }
    int GetCountdown() const { return m_clock.seconds; }
    // A new count replaces a countdown end held back while the tiles are dealt. A turn's
    // seconds (a count above 0) show at once: a draw comes to the seat the discard already
    // turned the hand to, so no step of the hand draws them, and the clock second draws only
    // once it has counted one down. An ended count shows at the clock's next drawing.
    void SetCountdown(int n);
    // A concealed gang gives its seat more time; the count, which may come from the
    // server's words, is not carried past the largest int.
    void AddCountdownSeconds(int n) {
        SetCountdown(GetCountdown() > INT_MAX - n ? INT_MAX : GetCountdown() + n);
    }
    // From a new deal's reset until its dealing has finished (210006).
    int IsDealing() const { return m_bDealing; }
    int IsCountdownEndHeld() const { return m_bCountdownEndHeld; }
    void DecCountdown() { m_clock.seconds -= m_clock.seconds > INT32_MIN ? 1 : 0; }
    virtual void GetClockRect(MJRect& out) const;
    virtual void ClockReset();
    // Moves the hand from start to end one step every 100 ms (engine message 210042); a move
    // that starts while another still steps follows it.
    virtual void QZ_MoveClockHand(int start, int end);
    virtual int QZ_GetPointTo();
    virtual void SetClockHand(int position);
    virtual void DrawClock();
    virtual void ClockStart();
    // Turn timers 10 and 11 on the table view: set (the handle kept) and stopped.
    void SetTurnTimer(uint32_t id, uint32_t ms);
    uint32_t GetTurnTimer(uint32_t id) const;
    virtual void StopTurnTimers();
    int IsHandMoved() const { return m_bHandMoved; }
    void SetHandMoved(int moved) { m_bHandMoved = moved; }
    // The automatic play fills these in: the countdown's end and one automatic-play tick.
    virtual void OnCountdownEnd();
    virtual void AutoPlayTick() {}

    // ---- claim actions and automatic play (scene_actions.cpp, scene_autoplay.cpp)
    // Result codes of the claim requests as the actions read them.
    static constexpr int kResultDone = 10, kResultHeldBack = 210050, kResultDiscardRefused = 229450,
                         kResultPlayNotSent = 10100;
    // Source x of the claim strip's cells: gang 40, chi 80, the cancel picture 200.
    static constexpr int kCellGang = 40, kCellChi = 80, kCellCancel = 200;
    // The requests. Each fills the body after the head from the offer table and the hall
    // entry; the waited ones answer the server's result code (0: not sent). The confirm
    // builders copy the body they sent into `sent` (64 bytes).
    virtual int SendPeng();
    virtual int SendGang(std::span<uint8_t> reply);
    virtual int SendAddedGang(std::span<uint8_t> reply);
    virtual int SendChi();
    virtual int SendRequest229025(std::span<uint8_t> sent);
    virtual int SendRequest229030(int a, int b, std::span<uint8_t> sent);
    virtual int SendRequest229045(std::span<uint8_t> sent, std::span<uint8_t> reply);
    virtual int SendRequest229047(int tile, std::span<uint8_t> sent, std::span<uint8_t> reply);
    virtual int SendRequest229049(std::span<uint8_t> sent, std::span<uint8_t> reply);
    virtual int SendHu();
    virtual int SendHuOnDiscard();
    virtual int SendPass();
    // 1 when the draw went through with a reply (word 1 -1: the wall is empty).
    virtual int SendRequest229000(std::span<uint8_t> reply);
    // The server's code, or 10100 when the play was not sent.
    virtual int SendRequest221080(int tile);
    virtual int SendRequest229060(int tile, std::span<uint8_t> reply);
    // The own turn and the claims: 1 when the action took effect.
    virtual int ConfirmPengClaim();
    virtual int ConfirmGangClaim();
    virtual int ConfirmChiClaim();
    virtual int DeclareConcealedGang(int tile);
    virtual int DeclareAddedGang(int tile);
    virtual int DiscardTile(int index);
    virtual int PlayFlower(int index);
    // The picture cell (source x) the gang (2) or chi (3) button shows; 0 for other kinds.
    int GetClaimCell(int kind) const;
    void SetClaimCell(int kind, int x);
    int IsPending() const { return m_bPending; }
    void SetPending(int pending) { m_bPending = pending; }
    int GetGangOffer() const { return m_bGangOffer; }
    // The claim-button frame's rectangle (logical, and on the screen when the host knows it)
    // to the daily log, so that a scripted player can find the buttons; the layout calls it.
    virtual void LogClaimFrame();
    // The toolbar buttons' places on the display to the daily log (the layout calls it).
    virtual void LogToolbar();
    // Automatic play and the turn time-outs.
    virtual void SendAutoAction10();
    virtual void SendAutoAction11();
    // The grace of the silent-seat timers in ms: (grace + 2 [+ claim]) seconds, negative
    // words taken as 0, at most 0x7FFFFFFF.
    static uint32_t SilentSeatDelayMs(int grace, int claim, bool withClaim);

    // ---- the window-drawn table of scene mode 1 (scene_gdi.cpp)
    // The start-up's choice of view: 1 the GDI table view, any other value the engine's.
    void SetSceneMode(int mode) { m_nSceneMode = mode; }
    // The table view's surface (null: none); redraws and the mouse capture go there.
    void SetGdiSurface(CMJGdiSurface* surface) { m_pGdiSurface = surface; }
    CMJGdiSurface* GdiSurface() const { return m_pGdiSurface; }
    // The screen the table geometry lays out on: the GDI surface (or else the table view)
    // in mode 1, where there is no engine screen; else the engine's logical screen.
    int GetScreenWidth() const;
    int GetScreenHeight() const;
    // Mode 1 only: which of the GDI skin bitmaps the skin has, and the GDI text fonts.
    virtual void LoadSkinBitmaps();
    virtual void InitFont();
    bool HasGdiBitmap(const std::string& name) const;
    const std::vector<std::string>& GdiBitmaps() const { return m_gdiBitmaps; }
    // 0 the seat and stake text, 1 the second horizontal font, 2 and 3 the side seats'.
    const MJGdiFont& GdiFont(int i) const;
    int HasGdiFonts() const { return m_bGdiFonts; }
    // The paint's clip box (the view's update rectangle), recorded as each paint of the
    // GDI table view begins; empty before the first.
    void SetPaintClipBox(const MJRect& box) { m_paintClip = box; }
    const MJRect& PaintClipBox() const { return m_paintClip; }
    // The whole table into the surface: stake text, wall, per view hand, discards,
    // showcase and flowers (view 1 left out with three players), the clock last.
    virtual void PaintTableGdi(CMJGdiSurface& dc);
    virtual void DrawStakeText(CMJGdiSurface& dc);
    virtual void PaintWallGdi(CMJGdiSurface& dc);
    virtual void PaintHandGdi(CMJGdiSurface& dc, int view);
    virtual void PaintDiscardsGdi(CMJGdiSurface& dc, int view);
    virtual void PaintLastDiscardGdi(CMJGdiSurface& dc, int view);
    virtual void PaintFlowersGdi(CMJGdiSurface& dc, int view);
    virtual void PaintClockGdi(CMJGdiSurface& dc);
    // Sound 29101 and nine frames of the two dice, 60 ms apart on the view's timer 4; the
    // paint pass draws the frame that is due (DrawDiceGdi draws one). A value outside 1-6
    // draws no die.
    virtual void RollDiceGdi(CMJGdiSurface& dc, int first, int second);
    virtual void DrawDiceGdi(CMJGdiSurface& dc, int first, int second, int frame);
    // The frame of the dice roll that shows, -1 when no roll runs.
    int GdiDiceFrame() const { return m_gdiRoll.frame; }
    // The marked wall tile at the own tiles' size while a press on it shows it enlarged.
    virtual void PaintMarkedTileBigGdi(CMJGdiSurface& dc);
    int IsMarkedTileBig() const { return m_bMarkedBig; }
    // The view's timers of mode 1: 3 ends the enlarged marked tile, 4 steps the dice.
    virtual void OnGdiTimer(uint32_t id);
    static constexpr uint32_t kMarkedTileTimer = 3;
    static constexpr uint32_t kDiceTimer = 4;
    static constexpr uint32_t kDiceFrameMs = 60;
    static constexpr int kDiceFrames = 9;
    // The mouse of the GDI table view (client coordinates; flags with 0x2 the right
    // button held). A mouse move answers the cursor kind, a left press 2 for the
    // four-arrow cursor.
    virtual int GdiMouseMove(uint32_t flags, int x, int y);
    virtual int GdiLButtonDown(uint32_t flags, int x, int y);
    virtual void GdiRButtonDown(uint32_t flags, int x, int y);
    virtual void GdiRButtonUp(uint32_t flags, int x, int y);
    // The looker-on's ask to see the watched hand (a deal running, the hand still hidden):
    // the click sound and request 221050; true when it was sent (the view then runs its
    // timer 7, disables its button and writes the chat line).
    virtual bool GdiAskToSeeTiles();
    // An engine message due in ms for the scene's own OnMessage: the engine's wait. In mode
    // 1, which has no engine, it waits on a view timer of its own (kDeferredTimer and the
    // ids after it) that delivers it once. → non-zero when the message will come.
    uint32_t PostSceneMessage(uint32_t ms, uint32_t code, engine::MessageData data);
    // Mode 1: the timer of a waiting message fired; another id changes nothing.
    virtual void OnDeferredTimer(uint32_t id);
    size_t DeferredCount() const { return m_deferred.size(); }
    static constexpr uint32_t kDeferredTimer = 200;
    static constexpr uint32_t kDeferredTimers = 64;
    // Mode 1: while the tiles are dealt, the hands of the seats dealt so far (bit = view).
    int DealtViews() const { return m_nDealtViews; }
    // The own hand drawn again (mode 1: the view repaints its buffer).
    virtual void RedrawHandGdi();
    // While an own tile is dragged: the cursor in the table window's client coordinates
    // (true); otherwise, or when the window cannot say, false and the point unchanged.
    virtual bool GetMousePoint(int& x, int& y) const;

protected:
    // The picture entity of the gang or chi button (the engine-drawn table); none otherwise.
    engine::ImageEntity* ClaimCellImage(int kind);
    // A binding for the record (kind = area code), its copies of the record's fields → the
    // image entity that shows it; null when no binding or no image entity is free.
    engine::ImageEntity* BindRecord(MJTileInfo& r, int area, int view, int index, MJBinding*& bind);
    // The data of an engine message that names a view: eight words, the view first.
    static engine::MessageData ViewMessage(int view);
    void LoadStylePicture(const char* file, const char* description);
    static engine::ButtonSkin SkinOf(const std::vector<engine::ImageInfo>& pieces);
    // Both bars take the current style's frame pieces again and show.
    void RefillFrames();
    engine::Entity* EntityOf(uint32_t id) const;

    std::array<MJBinding, kBindingCount + 1> m_bindings{};
    std::array<MJTileControl, kTileControlCount + 1> m_tileControls{};
    MJTileMetrics m_metrics;
    std::array<std::string, 3> m_styleNames;
    std::string m_currentStyle;
    int m_nStyle = 0;
    int m_bMusic = 0;
    int m_nTimeouts = 0;
    int m_nAutoPlayTicks = 0;
    int m_nAutoPlayInterval = 0;
    int m_nSelectMode = 0;
    int m_nClockPos = 0;
    std::vector<std::pair<std::string, uint32_t>> m_pictures;  // description → resource
    std::vector<engine::ImageInfo> m_operationPieces;
    std::vector<engine::ImageInfo> m_systemPieces;
    Made m_made;
    std::array<std::array<int, 10>, 4> m_seatIcons{};
    std::array<SeatMark, 50> m_seatMarks{};
    int m_nPanelCount = 0;
    uint32_t m_nWaitNotice = 0;
    // The engine drag of an own tile.
    int m_bDragging = 0;
    int m_bDragDone = 0;
    int m_nDragIndex = -1;
    int m_nDragCode = 0;
    int m_nGrabOffset = 0;
    int m_nDragX = 0, m_nDragY = 0, m_nDragZ = 0;
    // The dice faces: dice 1 and 3 roll from the first six, dice 2 and 4 from the others.
    std::array<std::unique_ptr<engine::FrameSequence>, 12> m_diceFaces;

    // ---- state of the discard rows and melds
    // The hu picture of the last win effect (destroyed at the next table reset); 0 none.
    uint32_t m_nWinEffect = 0;

    // ---- state of the game-event handlers
    std::array<ClaimOffer, kClaimOfferCount> m_offers{};
    ClaimOffer m_offerScratch{};
    std::array<int, 6> m_claimActive{};
    int m_nOwnDrawnTile = -1;
    // What the notifications laid on the table this deal, by view, for the table dump.
    struct MeldEntry {
        std::string kind;
        std::vector<int32_t> tiles;
        int32_t giver = -1;
    };
    struct TableLog {
        std::array<std::vector<MeldEntry>, 4> melds;
        std::array<std::vector<int32_t>, 4> discards, flowers;
        std::vector<int32_t> wall;
        int meldShot = 0;
        // The hand records a seat's melds hold before the lay-down (bit i: record i): the
        // laid-down tiles leave the hand too, only the side seats' melds carry no kind.
        std::array<uint32_t, 4> meldRecords{};
    };
    TableLog m_tableLog;
    void LayMeld(uint32_t id, MJData body);
    void LogMeld(uint32_t id, MJData body);
    void DumpTable(const char* stage);
    void TakeTableShot(const char* what);

    // ---- state of the turn clock
    ClockWords m_clock;
    int m_bHandMoved = 0;
    // The new deal's hands are marked (MarkDealtHands) and the dealing only binds them.
    int m_bDealtHandsMarked = 0;
    // The dice and the dealing run; the server's end of a countdown (229165) that comes
    // meanwhile waits for the clock, which starts when the dealing ends.
    int m_bDealing = 0;
    int m_bCountdownEndHeld = 0;
    uint32_t m_turnTimers[2] = {};
    // The paths of the hand's moves whose steps are still to come, oldest first; each move's
    // Apply names its path by the serial in its step messages.
    std::vector<ClockPath> m_clockPaths;
    uint32_t m_nPathSerial = 0;

    // ---- state of the claim actions and automatic play
    // A claim the server held back (210050) waits for the countdown's end.
    int m_bPending = 0;
    // The own hand holds a usable gang after the draw.
    int m_bGangOffer = 0;
    // The last peng press went out and was not refused.
    int m_bPressTookEffect = 0;
    // The result code of the last peng or gang confirm (0: not sent).
    int m_nLastConfirm = 0;
    // Waited requests of the actions under way (the wait cursor shows while above 0).
    int m_nActionWaits = 0;
    // The offer, body and head helpers of the builders.
    void FillHead(std::span<uint8_t> body) const;
    // The draw slot emptied and the answer's replacement tile drawn 200 ms later.
    void QueueReplacement(std::span<const uint8_t> answer);
    // Every table reset starts a new table: what an earlier one queued does not act on it.
    uint32_t m_nTableSerial = 0;
    std::string m_sRequestError;

    // ---- state of the window-drawn table
    CMJGdiSurface* m_pGdiSurface = nullptr;
    std::vector<std::string> m_gdiBitmaps;
    std::array<MJGdiFont, 4> m_gdiFonts{};
    int m_bGdiFonts = 0;
    int m_bGdiDragArmed = 0;  // the right button went down on the selected tile
    int m_bMarkedBig = 0;     // a press on the marked wall tile shows it enlarged
    MJRect m_paintClip;       // the clip box of the latest paint
    struct GdiRoll {
        int first = 0, second = 0;
        int frame = -1;  // the frame shown; -1: no roll
    } m_gdiRoll;
    int m_nDealtViews = 0;
    // Automatic play's marker, which this table has no entity to show.
    int m_bAutoPlayMark = 0;
    // The messages waiting on view timers: timer id → code and data.
    std::map<uint32_t, std::pair<uint32_t, engine::MessageData>> m_deferred;
};

}  // namespace hqlv::mahjong
