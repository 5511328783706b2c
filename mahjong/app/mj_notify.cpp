#include "mahjong/app/mj_notify.h"

#include <cstring>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "netlib/log.h"
#include "platform/core/bytes.h"

namespace hqlv::mahjong {

using framework::Body;

int32_t CMJGameNotify::Word(Body b, size_t i) {
    platform::ByteReader in(b.data, b.size);
    in.seek(i * 4);
    return in.i32();
}

bool CMJGameNotify::Need(Body b, size_t n, uint32_t id) {
    if (b.data && b.size >= n) return true;
    netlib::YrnLogWrite("notification %u refused: %zu bytes, %zu needed", id, b.size, n);
    return false;
}

CMJGameNotify::CMJGameNotify(framework::CNotifyHost& host, CMJRouterHost& mj)
    : framework::CGameNotifyHandler(host), mj_(mj) {}

bool CMJGameNotify::OnNotify(uint32_t code, const void* data, size_t len) {
    Body b{static_cast<const uint8_t*>(data), data ? len : 0};
    switch (code) {
        case kNotifyGameStarted:
            return OnGameStarted(b);
        case kNotifyNewDeal:
            return OnNotify211040(b);
        case kNotifyDealResult:
            return OnGameResult211080(b);
        case kNotifyWaitTable:
            return OnWaitTableAssign(b);
        case kNotifyScoreBoard:
            return OnAdvertText(b);
        case kNotifyKanPaiAsk:
            return OnKanPaiAsk(b);
        case kNotifyKanPaiAnswer:
            return OnKanPaiAnswer(b);
        case kNotifyDiscard:
            return OnNotify221170(b);
        case kNotifyWatchedHand:
            return OnNotify221200(b);
        case 229160:
            return OnDrawNotify(b);
        case 229165:
            return OnNotify229165(b);
        case 229170:
            return OnPengNotify(b);
        case 229175:
            return OnChiNotify(b);
        case 229180:
            return OnNotify229180(b);
        case 229185:
            return OnNotify229185(b);
        case 229190:
            return OnNotify229190(b);
        case 229195:
        case 229197:
        case 229199:
            return OnGangNotify(code, b);
        case 229210:
            return OnFlowerNotify(b);
        case kNotifyNetworkBreak:
            return OnNetworkBroken(b);
        case kNotifyPresence:
            return OnPlayerReturnLeave(b);
        default:
            return framework::CGameNotifyHandler::OnNotify(code, data, len);
    }
}

void CMJGameNotify::RefreshRanking() {
    CMJScoreHooks* pane = mj_.ScorePane();
    if (!mj_.ScoreBoardText().empty() && pane && pane->IsAdvertBetView())
        pane->RefreshRanking("刷新排名");
}

bool CMJGameNotify::OnNotify211040(Body b) {
    CMJGameInfo* info = mj_.GameInfo();
    if (!info || !info->SetRoundResult(ToData(b))) return false;
    netlib::YrnLogWrite("deal %d: banker chair %d", info->GetDealNumber(), info->GetBankerChair());
    if (CMJChatHooks* chat = mj_.MJChat()) {
        std::string line;
        info->FormatHistory(line);
        chat->ShowRoundHistory(line);
    }
    if (CMJTableDraw* draw = mj_.TableDraw()) draw->RefreshAll();
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnGameReset();
    RefreshRanking();
    return true;
}

bool CMJGameNotify::OnGameResult211080(Body b) {
    CMJGameInfo* info = mj_.GameInfo();
    if (!info || !info->SetGameResult(ToData(b))) return false;
    netlib::YrnLogWrite("deal result: %s", info->IsNoWinner() ? "no winner" : "won");
    if (CMJPlayerHooks* players = mj_.MJPlayers()) players->UpdateScores(ToData(b));
    if (CMJChatHooks* chat = mj_.MJChat()) chat->OnScoresLine(ToData(b));
    CMJTableHooks* table = mj_.MJTable();
    if (table) table->OnTableStop();
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnGameEnd(ToData(b));
    if (host_.HasMainWindow() && table) table->OnRoundEnded();
    RefreshRanking();
    return true;
}

bool CMJGameNotify::OnGameStarted(Body b) {
    if (!Need(b, kGameStartedBytes, kNotifyGameStarted)) return false;
    if (CMJChatHooks* chat = mj_.MJChat()) chat->OnGameStarted(ToData(b));
    if (CMJTableDraw* draw = mj_.TableDraw()) draw->HighlightChair(Word(b, 3));
    return true;
}

bool CMJGameNotify::OnWaitTableAssign(Body) {
    if (host_.IsPlaying()) return false;
    if (CMJGameScene2* scene = mj_.Scene()) scene->ShowWaitTableNotice();
    return true;
}

bool CMJGameNotify::OnAdvertText(Body b) {
    if (!Need(b, kScoreBoardTextOff + 1, kNotifyScoreBoard)) return false;
    const char* p = reinterpret_cast<const char*>(b.data + kScoreBoardTextOff);
    std::string text =
        framework::GbkToUtf8(std::string_view(p, strnlen(p, b.size - kScoreBoardTextOff)));
    mj_.ScoreBoardText() = text;
    if (CMJScoreHooks* pane = mj_.ScorePane()) pane->PostScoreBoardText(text);
    return true;
}

bool CMJGameNotify::OnKanPaiAsk(Body b) {
    if (!Need(b, kKanPaiAskBytes, kNotifyKanPaiAsk)) return false;
    if (mj_.IsRejectKanPaiAsk()) return true;
    int asker = Word(b, 0);
    const framework::PlayerRecord* r = host_.appData().GetPlayerRecord(asker);
    if (r && r->word(framework::PlayerRecord::kMark2) != 0) return true;
    if (CMJPlayerHooks* players = mj_.MJPlayers()) players->ShowKanPaiAsk(asker);
    return true;
}

bool CMJGameNotify::OnKanPaiAnswer(Body b) {
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnNotify221160(ToData(b));
    if (CMJChatHooks* chat = mj_.MJChat()) chat->OnKanPaiAnswer(ToData(b));
    return true;
}

bool CMJGameNotify::OnNotify221170(Body b) {
    if (CMJTableHooks* table = mj_.MJTable()) table->RestartClockTimer();
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnNotify221170(ToData(b));
    return true;
}

#define HQLV_SCENE_CALL(handler, op)                                  \
    bool CMJGameNotify::handler(Body b) {                             \
        if (CMJGameScene2* scene = mj_.Scene()) scene->op(ToData(b)); \
        return true;                                                  \
    }
HQLV_SCENE_CALL(OnNotify221200, OnNotify221200)
HQLV_SCENE_CALL(OnDrawNotify, OnNotify229160)
HQLV_SCENE_CALL(OnNotify229165, OnNotify229165)
HQLV_SCENE_CALL(OnPengNotify, OnNotify229170)
HQLV_SCENE_CALL(OnChiNotify, OnNotify229175)
HQLV_SCENE_CALL(OnNotify229180, OnNotify229180)
HQLV_SCENE_CALL(OnNotify229185, OnNotify229185)
HQLV_SCENE_CALL(OnNotify229190, OnNotify229190)
HQLV_SCENE_CALL(OnFlowerNotify, OnNotify229210)
HQLV_SCENE_CALL(OnPlayerReturnLeave, OnPlayerBackOrLeave)
#undef HQLV_SCENE_CALL

bool CMJGameNotify::OnGangNotify(uint32_t id, Body b) {
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnNotify229195(id, ToData(b));
    return true;
}

bool CMJGameNotify::OnNetworkBroken(Body) {
    netlib::YrnLogWrite("network break: the server ends the game");
    mj_.ReportToHall();
    mj_.PlatformBox("网络连接中断，请重新登录大厅");
    mj_.DestroyMainWindow();
    return true;
}

bool CMJGameNotify::OnNotify211000(Body b) {
    // The game at the table is over whatever the body holds: the framework's part reads
    // none of it. Only the box needs the chair and the amounts.
    framework::CGameNotifyHandler::OnNotify211000(b);
    mj_.BringMainWindowToFront();
    if (!Need(b, kPlayerGoneBytes, kNotifyPlayerGone)) return false;
    std::string name = host_.appData().GetSeatDisplayName(Word(b, 1));
    std::string text = Word(b, 2) == 0
                           ? framework::Format("%s 已经离开，游戏结束。", name.c_str())
                           // The server's words turned positive; in 64 bits, so that INT32_MIN
                           // stays a number.
                           : framework::Format("%s 已经强行退出，游戏结束。(扣除%lld两,%lld分)",
                                               name.c_str(), -static_cast<long long>(Word(b, 6)),
                                               -static_cast<long long>(Word(b, 5)));
    netlib::YrnLogWrite("player gone: %s", text.c_str());
    if (host_.HasMainWindow()) host_.MessageBoxModeless(text, "确定", "取消", 30, 0x41, 0);
    return true;
}

bool CMJGameNotify::OnNotify211700(Body b) {
    if (host_.IsPlaying() || !host_.HasMainWindow()) return false;
    // A body the framework refuses (too short for the players it counts) is a malformed
    // notification and is refused whole, as every other short body: it brought no table.
    if (!framework::CGameNotifyHandler::OnNotify211700(b)) return false;
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnTableDrawReset();
    CMJScoreHooks* pane = mj_.ScorePane();
    if (pane && pane->IsAdvertBetView()) pane->OnDealResultEntry(ToData(b));
    return true;
}

bool CMJGameNotify::OnNotify211920(Body b) {
    if (CMJGameScene2* scene = mj_.Scene()) scene->OnNotify211920(ToData(b));
    return true;
}

void CMJGameNotify::OnSeatsAssignedTail(Body b) {
    // Seats given with no deal behind them start nothing.
    if (b.size == 0) return;
    OnNotify211040(b);
}

}  // namespace hqlv::mahjong
