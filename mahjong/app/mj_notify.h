#pragma once
// CMJGameNotify: the mahjong layer's notification router. Each handler checks the body
// for what it reads, updates the deal state, the panes and the table-drawing object, and
// calls one operation of the table scene. Ids it does not know go to the framework's
// dispatch table. It keeps no state of its own.
#include <cstdint>
#include <string>

#include "framework/app/notify_handler.h"
#include "mahjong/app/mj_hooks.h"

namespace hqlv::mahjong {

// Notification ids the router reads.
enum MJNotifyId : uint32_t {
    kNotifyGameStarted = 201160,
    kNotifyPlayerGone = 211000,
    kNotifyNewDeal = 211040,
    kNotifyDealResult = 211080,
    kNotifyWaitTable = 211300,
    kNotifyScoreBoard = 211400,
    kNotifyKanPaiAsk = 221050,
    kNotifyKanPaiAnswer = 221160,
    kNotifyDiscard = 221170,
    kNotifyWatchedHand = 221200,
    kNotifyNetworkBreak = 229405,
    kNotifyPresence = 229500,
};
// Bytes the router needs of the bodies it reads.
inline constexpr size_t kGameStartedBytes = 16;
inline constexpr size_t kPlayerGoneBytes = 28;
inline constexpr size_t kScoreBoardTextOff = 32;
inline constexpr size_t kKanPaiAskBytes = 4;

class CMJGameNotify : public framework::CGameNotifyHandler {
public:
    CMJGameNotify(framework::CNotifyHost& host, CMJRouterHost& mj);

    bool OnNotify(uint32_t code, const void* data, size_t len) override;

    // ---- the mahjong handlers, in slot order
    virtual bool OnNotify211040(framework::Body b);
    virtual bool OnGameResult211080(framework::Body b);
    virtual bool OnGameStarted(framework::Body b);
    virtual bool OnNotify221170(framework::Body b);
    virtual bool OnDrawNotify(framework::Body b);
    virtual bool OnKanPaiAsk(framework::Body b);
    virtual bool OnKanPaiAnswer(framework::Body b);
    virtual bool OnNotify221200(framework::Body b);
    virtual bool OnNotify229165(framework::Body b);
    virtual bool OnPengNotify(framework::Body b);
    virtual bool OnNotify229185(framework::Body b);
    virtual bool OnChiNotify(framework::Body b);
    virtual bool OnNotify229190(framework::Body b);
    virtual bool OnNotify229180(framework::Body b);
    virtual bool OnGangNotify(uint32_t id, framework::Body b);
    virtual bool OnFlowerNotify(framework::Body b);
    virtual bool OnNetworkBroken(framework::Body b);
    virtual bool OnPlayerReturnLeave(framework::Body b);
    virtual bool OnWaitTableAssign(framework::Body b);
    virtual bool OnAdvertText(framework::Body b);

    // ---- framework handlers the mahjong layer replaces
    bool OnNotify211000(framework::Body b) override;  // the player-gone box
    bool OnNotify211700(framework::Body b) override;
    bool OnNotify211920(framework::Body b) override;
    void OnSeatsAssignedTail(framework::Body b) override;

protected:
    // Word i of a body (0 outside it), and whether a body holds n bytes (logged when not).
    static int32_t Word(framework::Body b, size_t i);
    static bool Need(framework::Body b, size_t n, uint32_t id);
    // The score-board ranking of an advert score-board pane.
    void RefreshRanking();
    CMJRouterHost& mj_;
};

// The body as the scene takes it.
inline MJData ToData(framework::Body b) {
    return b.data ? MJData(b.data, b.size) : MJData();
}

}  // namespace hqlv::mahjong
