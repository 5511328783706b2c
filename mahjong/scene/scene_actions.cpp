// The operation buttons and the requests of the own turn: what each press, tile click and
// step of the turn sends, which answers it waits for, and what the table shows once the
// server agreed. A claim that was refused or never sent changes nothing on the table and
// leaves the buttons as the press turned them off: what was refused is not offered again, so
// neither the player nor automatic play sends it once more; the claim window runs out and
// the countdown's end moves the table on. The wait cursor ends on every way out.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "engine/core/button_frame.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "rules/claims.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;

void Put(std::span<uint8_t> body, size_t word, int32_t v) {
    if ((word + 1) * 4 > body.size()) return;
    std::memcpy(body.data() + word * 4, &v, 4);
}

int32_t Get(std::span<const uint8_t> body, size_t word) {
    int32_t v = 0;
    if ((word + 1) * 4 <= body.size()) std::memcpy(&v, body.data() + word * 4, 4);
    return v;
}

// The wait cursor of a waited request: shown for the scope, ended on every way out.
class ActionWait {
public:
    ActionWait(CMJSceneHost* host, int& depth) : host_(host), depth_(depth) {
        ++depth_;
        if (host_) host_->BeginWaitCursor();
    }
    ~ActionWait() {
        --depth_;
        if (host_) host_->EndWaitCursor();
    }
    ActionWait(const ActionWait&) = delete;
    ActionWait& operator=(const ActionWait&) = delete;

private:
    CMJSceneHost* host_;
    int& depth_;
};

// A heap copy of an answer's first 32 bytes for the replacement-draw events, its last word
// (which the answer leaves unused) naming the table that queued it.
engine::MessageData AnswerBlock(std::span<const uint8_t> answer, uint32_t table) {
    auto* block = static_cast<int32_t*>(std::calloc(8, sizeof(int32_t)));
    if (!block) return engine::MessageData::Owned(nullptr, &std::free);
    std::memcpy(block, answer.data(), std::min<size_t>(28, answer.size()));
    block[CMJGameScene2::kReplacementTableWord] = int32_t(table);
    return engine::MessageData::Owned(block, &std::free, 8 * sizeof(int32_t));
}

}  // namespace

// The replacement after a gang: the meld update put the request's word 10 (no tile) into the
// draw slot, so the slot waits empty until the answer's tile arrives with event 210008.
void CMJGameScene2::QueueReplacement(std::span<const uint8_t> answer) {
    MJTileInfo& slot = m_tiles.m_hands[kOwnView][0];
    slot.bPresent = 0;
    slot.bHand = 0;
    BindHand(kOwnView);
    const int tile = Get(answer, 1);
    if (tile < 0 || tile > 151) return;  // the wall is empty: no replacement
    PostSceneMessage(200, 210008, AnswerBlock(answer, m_nTableSerial));
}

int CMJGameScene2::GetClaimCell(int kind) const {
    // The window-drawn table has no picture cells: its window buttons keep the state.
    if (m_nSceneMode == 1)
        return (kind == kClaimGang || kind == kClaimChi) && m_pHost
                   ? m_pHost->GetClaimWindowCell(kind)
                   : 0;
    engine::ImageEntity* image = const_cast<CMJGameScene2*>(this)->ClaimCellImage(kind);
    const engine::ImageState* st = image ? image->State() : nullptr;
    return st ? st->srcX : 0;
}

engine::ImageEntity* CMJGameScene2::ClaimCellImage(int kind) {
    // Only the gang and chi buttons change their cell.
    const uint32_t id = kind == kClaimGang ? m_made.gang : kind == kClaimChi ? m_made.chi : 0;
    engine::GameKernel* k = Kernel();
    engine::ControlData* c = k && id ? k->FindControl(id) : nullptr;
    engine::Entity* e = c ? EntityOf(c->entityId) : nullptr;
    return e && e->GetType() == engine::ENT_IMAGE ? static_cast<engine::ImageEntity*>(e) : nullptr;
}

void CMJGameScene2::SetClaimCell(int kind, int x) {
    if (m_nSceneMode == 1) {
        if ((kind == kClaimGang || kind == kClaimChi) && m_pHost)
            m_pHost->SetClaimWindowCell(kind, x);
        return;
    }
    engine::ImageEntity* image = ClaimCellImage(kind);
    const engine::ImageState* st = image ? image->State() : nullptr;
    if (!st) return;
    const int w = m_metrics.claimCell[0], h = m_metrics.claimCell[1];
    image->SetImage(Picture("碰杠吃胡过"), x, st->srcY, w, h, kMagentaKey);
    image->ApplyTransform();
}

// ---- request bodies

void CMJGameScene2::FillHead(std::span<uint8_t> body) const {
    std::fill(body.begin(), body.end(), uint8_t(0));
    if (!m_pHost) return;
    Put(body, 0, m_pHost->GetUserID());
    Put(body, 1, m_pHost->GetRoomID());
    Put(body, 2, m_pHost->GetTableNo());
    Put(body, 3, m_pHost->GetChairNo());
}

namespace {

// The own chair, the tile and the three other ids of its face.
void PutFaceOf(std::span<uint8_t> body, size_t word, int chair, int tile) {
    int32_t others[3];
    CMJGameScene::OtherCopies(tile, others);
    Put(body, word, chair);
    Put(body, word + 1, tile);
    for (size_t i = 0; i < 3; ++i) Put(body, word + 2 + i, others[i]);
}

void PutWords(std::span<uint8_t> body, size_t first, std::initializer_list<int32_t> words) {
    for (int32_t w : words) Put(body, first++, w);
}

// A claim on a discard with two hand tiles: the discarder, the tile, the two tiles, -1.
void PutPair(std::span<uint8_t> body, const CMJGameScene2::ClaimOffer& o, int32_t a, int32_t b) {
    PutWords(body, 4, {o.fromChair, o.tile, a, b, -1});
}

// A gang's waited query. An agreement whose answer is too short to hold the replacement
// still lays the meld the server made, but its reply names no tile (word 1 = -1): the zeros
// the caller's buffer started with would otherwise draw tile 0.
int QueryGang(CMJRequests& req, std::string& error, int id, std::span<uint8_t> sent,
              std::span<uint8_t> reply) {
    int result = 0;
    if (!req.QueryRequest(error, id, sent.first(64), reply, &result) &&
        result == CMJGameScene2::kResultDone) {
        engine::WriteLog("请求%d的应答太短，没有补牌", id);
        Put(reply, 1, -1);
    }
    return result;
}

}  // namespace

int CMJGameScene2::SendPeng() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[64];
    FillHead(body);
    const ClaimOffer& o = Offer(kClaimPeng);
    PutPair(body, o, o.candidates[0], o.candidates[1]);
    req->SendPeng(m_sRequestError, body);
    return 1;
}

int CMJGameScene2::SendGang(std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[64];
    FillHead(body);
    const ClaimOffer& o = Offer(kClaimGang);
    PutWords(body, 4, {o.fromChair, o.tile, o.candidates[0], o.candidates[1], o.candidates[2], 1});
    return req->SendGang(m_sRequestError, body, reply);
}

int CMJGameScene2::SendAddedGang(std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[64];
    FillHead(body);
    const ClaimOffer& o = Offer(kClaimGang);
    PutFaceOf(body, 4, o.fromChair, o.tile);
    Put(body, 9, 2);
    return req->SendGang(m_sRequestError, body, reply);
}

int CMJGameScene2::SendChi() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[64];
    FillHead(body);
    const ClaimOffer& o = Offer(kClaimChi);
    PutPair(body, o, o.candidates[0], o.candidates[1]);
    req->SendChi(m_sRequestError, body);
    return 1;
}

int CMJGameScene2::SendRequest229025(std::span<uint8_t> sent) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req || sent.size() < 64) return 0;
    FillHead(sent.first(64));
    const ClaimOffer& o = Offer(kClaimPeng);
    PutPair(sent, o, o.candidates[0], o.candidates[1]);
    int result = 0;
    req->SendPengConfirm(m_sRequestError, sent.first(64), &result);
    return result;
}

int CMJGameScene2::SendRequest229030(int a, int b, std::span<uint8_t> sent) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req || sent.size() < 64) return 0;
    FillHead(sent.first(64));
    PutPair(sent, Offer(kClaimChi), a, b);
    int result = 0;
    req->SendChiConfirm(m_sRequestError, sent.first(64), &result);
    return result;
}

int CMJGameScene2::SendRequest229045(std::span<uint8_t> sent, std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req || sent.size() < 64) return 0;
    FillHead(sent.first(64));
    const ClaimOffer& o = Offer(kClaimGang);
    PutWords(sent, 4, {o.fromChair, o.tile, o.candidates[0], o.candidates[1], o.candidates[2]});
    return QueryGang(*req, m_sRequestError, 229045, sent, reply);
}

int CMJGameScene2::SendRequest229047(int tile, std::span<uint8_t> sent, std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req || sent.size() < 64) return 0;
    FillHead(sent.first(64));
    PutFaceOf(sent, 4, m_pHost->GetChairNo(), tile);
    return QueryGang(*req, m_sRequestError, 229047, sent, reply);
}

int CMJGameScene2::SendRequest229049(std::span<uint8_t> sent, std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req || sent.size() < 64) return 0;
    FillHead(sent.first(64));
    PutFaceOf(sent, 4, m_pHost->GetChairNo(), Offer(kClaimGang).tile);
    return QueryGang(*req, m_sRequestError, 229049, sent, reply);
}

int CMJGameScene2::SendHu() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[48];
    FillHead(body);
    Put(body, 4, m_pHost->GetChairNo());
    Put(body, 5, Offer(kClaimHu).tile);
    Put(body, 6, 2);
    return req->SendHu(m_sRequestError, body);
}

int CMJGameScene2::SendHuOnDiscard() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[48];
    FillHead(body);
    const ClaimOffer& o = Offer(kClaimHu);
    Put(body, 4, o.fromChair);
    Put(body, 5, o.tile);
    // A hu on a gang being added names the gang's kind word.
    if (o.kind != 0) {
        Put(body, 6, 4);
        Put(body, 7, o.kind);
    } else {
        Put(body, 6, 1);
    }
    return req->SendHu(m_sRequestError, body);
}

int CMJGameScene2::SendPass() {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[40];
    FillHead(body);
    const ClaimOffer& o = Offer(kClaimPass);
    Put(body, 4, o.fromChair);
    Put(body, 5, o.tile);
    return req->SendPass(m_sRequestError, body);
}

int CMJGameScene2::SendRequest229000(std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[96];
    FillHead(body);
    Put(body, 5, m_pHost->GetTableNo());
    Put(body, 6, m_pHost->GetChairNo());
    Put(body, 7, m_pHost->GetUserID());
    return req->SendDrawTile(m_sRequestError, body, reply);
}

namespace {

// The machine id at byte 32, at most 32 bytes of it (the field is not terminated when full).
void PutMachineId(std::span<uint8_t> body, const std::string& id) {
    std::memcpy(body.data() + 32, id.data(), std::min<size_t>(32, id.size()));
}

}  // namespace

int CMJGameScene2::SendRequest221080(int tile) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return kResultPlayNotSent;
    uint8_t body[108];
    FillHead(body);
    Put(body, 5, m_pHost->GetTableNo());
    Put(body, 6, m_pHost->GetChairNo());
    Put(body, 7, m_pHost->GetUserID());
    PutMachineId(body, m_pHost->GetMachineID());
    Put(body, 20, 1);
    Put(body, 25, 1);
    Put(body, 26, tile);
    return req->SendPlayTileWait(m_sRequestError, body);
}

int CMJGameScene2::SendRequest229060(int tile, std::span<uint8_t> reply) {
    CMJRequests* req = m_pHost ? m_pHost->GetRequests() : nullptr;
    if (!req) return 0;
    uint8_t body[44];
    FillHead(body);
    Put(body, 4, tile);
    return req->SendFlower(m_sRequestError, body, reply);
}

// ---- the buttons

namespace {

bool LookerOn(CMJSceneHost* host) {
    return host && host->GetCmdField8();
}

int DealWord(CMJSceneHost* host, size_t word) {
    CMJGameInfo* info = host ? host->GetGameInfo() : nullptr;
    return info ? info->RoundWord(word) : 0;
}

}  // namespace

void CMJGameScene2::OnBtnStart() {
    if (!m_pHost || LookerOn(m_pHost)) return;
    if (m_pHost->IsStandalone())
        for (int i = 0; i < kMaxHandTiles; ++i) {
            MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
            r.nCode = 36 + i;
            r.bPresent = 1;
        }
    std::string error;
    if (m_pHost->TestCmdField13(0x40 | 0x80)) {
        if (!m_pHost->RequestStartGame(error, 1)) return;
    } else if (!m_pHost->RequestStartGame(error, 0)) {
        if (!m_pHost->IsStandalone()) m_pHost->ShowMessageText(error);
        return;
    }
    m_pHost->PlaySoundId(29010, 5);
    if (m_nSceneMode == 1) m_pHost->ShowStartWindowButton(0);
    if (engine::GameKernel* k = Kernel())
        if (engine::ControlData* c = k->FindControl(m_made.start))
            if (engine::Entity* e = EntityOf(c->entityId)) {
                e->Hide();
                e->ApplyTransform();
            }
    uint8_t record[16];
    FillHead(record);
    m_pHost->OnOwnGameStarted(record);
    if (!IsAutoPlayOn()) m_nTimeouts = 0;
    m_nAutoPlayTicks = 0;
}

void CMJGameScene2::OnBtnPeng() {
    m_bPressTookEffect = 0;
    if (LookerOn(m_pHost)) return;
    PlayActionSound(kOwnView, GetActionSoundName(0));
    ShowAllClaimButtons(0);
    if (!SendPeng()) return;
    // The confirm held back (210050) keeps the claim waiting.
    ConfirmPengClaim();
    m_bPressTookEffect = m_nLastConfirm == kResultDone || m_nLastConfirm == kResultHeldBack;
}

void CMJGameScene2::OnBtnGang() {
    if (LookerOn(m_pHost)) return;
    if (QZ_GetPointTo() == 6 && HandFlag(kOwnView)) {
        if (GetClaimCell(kClaimGang) != kCellCancel) {
            PlayActionSound(kOwnView, GetActionSoundName(2));
            MarkGangChoices();
            BindHand(kOwnView);
            SetSelectMode(2);
            SetClaimCell(kClaimGang, kCellCancel);
        } else if (!m_bPending || m_nSelectMode != 2) {
            ClearChoiceMarks();
            BindHand(kOwnView);
            SetSelectMode(0);
            SetClaimCell(kClaimGang, kCellGang);
        }
        return;
    }
    PlayActionSound(kOwnView, GetActionSoundName(4));
    ShowAllClaimButtons(0);
    uint8_t reply[48] = {};
    if (SendGang(reply)) ConfirmGangClaim();
}

void CMJGameScene2::OnBtnChi() {
    if (LookerOn(m_pHost) || QZ_GetPointTo() != 6) return;
    if (GetClaimCell(kClaimChi) != kCellCancel) {
        PlayActionSound(kOwnView, GetActionSoundName(8));
        ShowClaimButton(kClaimGang, 0);
        ShowClaimButton(kClaimPass, 0);
        // Nothing could be sent: no picking opens for a claim the server never heard of.
        if (!SendChi()) return;
        const ClaimOffer& o = Offer(kClaimChi);
        m_chiCandidates.assign(std::begin(o.candidates), std::end(o.candidates));
        MarkChiChoices();
        BindHand(kOwnView);
        SetSelectMode(3);
        SetClaimCell(kClaimChi, kCellCancel);
        return;
    }
    ShowClaimButton(kClaimPass, 1);
    ClearChoiceMarks();
    BindHand(kOwnView);
    SetSelectMode(0);
    SetClaimCell(kClaimChi, kCellChi);
}

void CMJGameScene2::OnBtnHu() {
    if (LookerOn(m_pHost)) return;
    PlayActionSound(kOwnView, GetActionSoundName(10));
    ShowAllClaimButtons(0);
    if (!Offer(kClaimHu).shown) return;
    const int r = HandFlag(kOwnView) ? SendHu() : SendHuOnDiscard();
    if (r == kResultHeldBack) {
        m_bPending = 1;
        SetSelectMode(4);
        BindHand(kOwnView);
    }
}

void CMJGameScene2::OnBtnPass() {
    if (LookerOn(m_pHost)) return;
    ShowAllClaimButtons(0);
    SendPass();
}

// ---- claims confirmed

namespace {

void ClearShowcase(CMJGameScene2& scene, int view) {
    MJTileInfo* r = scene.GetTileRecord(kAreaShowcase, view, 0);
    if (!r) return;
    r->bPresent = 0;
    scene.BindShowcase(view);
}

}  // namespace

int CMJGameScene2::ConfirmPengClaim() {
    uint8_t sent[64];
    const int r = m_nLastConfirm = SendRequest229025(sent);
    if (r == kResultHeldBack) {
        m_bPending = 1;
        SetSelectMode(1);
        return 0;
    }
    if (r != kResultDone) return 0;
    m_bPending = 0;
    SetSelectMode(0);
    SetCountdownSound(0);
    SetCountdown(DealWord(m_pHost, 18));
    QZ_MoveClockHand(QZ_GetPointTo(), 6);
    LogMeld(229185, sent);
    AddPengMeld(kOwnView, sent);
    BindHand(kOwnView);
    ClearShowcase(*this, ChairToView(Offer(kClaimPeng).fromChair));
    CheckOwnGang();
    return 1;
}

int CMJGameScene2::ConfirmGangClaim() {
    m_nLastConfirm = 0;
    if (LookerOn(m_pHost)) return 0;
    uint8_t sent[64], reply[32] = {};
    const int r = m_nLastConfirm = SendRequest229045(sent, reply);
    if (r == kResultHeldBack) {
        m_bPending = 1;
        SetSelectMode(2);
        BindHand(kOwnView);
        return 0;
    }
    if (r != kResultDone) return 0;
    m_bPending = 0;
    SetSelectMode(0);
    SetCountdown(DealWord(m_pHost, 18));
    QZ_MoveClockHand(QZ_GetPointTo(), 6);
    LogMeld(229195, sent);
    AddExposedGangMeld(kOwnView, sent);
    ClearShowcase(*this, ChairToView(Offer(kClaimGang).fromChair));
    QueueReplacement(reply);
    return 1;
}

int CMJGameScene2::ConfirmChiClaim() {
    int32_t picked[kHandRecords];
    std::fill(std::begin(picked), std::end(picked), -1);
    const int n = GetSelectedOwnCodes(picked);
    const ClaimOffer& o = Offer(kClaimChi);
    int a = -1, b = -1;
    if (n == 2) {
        a = picked[0], b = picked[1];
    } else if (n == 1 && o.count == 2) {
        a = o.candidates[0], b = o.candidates[1];
    } else {
        return 0;
    }
    int32_t hand[kHandRecords];
    std::fill(std::begin(hand), std::end(hand), -1);
    hand[0] = a, hand[1] = b;
    int32_t out[kHandRecords];
    if (!CheckChi(hand, o.tile, out)) return 0;
    uint8_t sent[64];
    const int r = SendRequest229030(a, b, sent);
    if (r == kResultHeldBack) {
        m_bPending = 1;
        SetSelectMode(3);
        return 0;
    }
    if (r != kResultDone) return 0;
    ShowAllClaimButtons(0);
    m_bPending = 0;
    SetSelectMode(0);
    SetCountdownSound(0);
    SetCountdown(DealWord(m_pHost, 18));
    ClearShowcase(*this, 0);
    LogMeld(229190, sent);
    AddChiMeld(kOwnView, sent);
    ClearChoiceMarks();
    BindHand(kOwnView);
    CheckOwnGang();
    return 1;
}

int CMJGameScene2::DeclareConcealedGang(int tile) {
    ActionWait wait(m_pHost, m_nActionWaits);
    uint8_t sent[64], reply[32] = {};
    if (SendRequest229047(tile, sent, reply) != kResultDone) {
        // The gang button shows its cancel picture: pressing it leaves the picking. Without
        // it (no picking open) nothing is pressed: a press would claim a gang on a discard.
        if (GetClaimCell(kClaimGang) == kCellCancel) {
            OnBtnGang();
        } else if (m_nSelectMode == 2) {
            ClearChoiceMarks();
            BindHand(kOwnView);
            SetSelectMode(0);
        }
        return 0;
    }
    SetSelectMode(0);
    SetCountdownSound(0);
    AddCountdownSeconds(3);
    LogMeld(229197, sent);
    AddConcealedGangMeld(kOwnView, sent);
    ClearChoiceMarks();
    ShowClaimButton(kClaimGang, 0);
    QueueReplacement(reply);
    return 1;
}

int CMJGameScene2::DeclareAddedGang(int tile) {
    ClaimOffer& o = Offer(kClaimGang);
    o.fromChair = m_pHost ? m_pHost->GetChairNo() : -1;
    o.tile = tile;
    uint8_t reply[48] = {};
    if (!m_bPending && !SendAddedGang(reply)) return 0;
    uint8_t sent[64], answer[32] = {};
    const int r = SendRequest229049(sent, answer);
    if (r == kResultHeldBack) {
        ShowClaimButton(kClaimHu, 0);
        SetCountdown(DealWord(m_pHost, 39));
        m_bPending = 1;
        SetSelectMode(2);
        BindHand(kOwnView);
        return 0;
    }
    if (r != kResultDone) return 0;
    m_bPending = 0;
    SetSelectMode(0);
    SetCountdownSound(0);
    SetCountdown(DealWord(m_pHost, 18));
    LogMeld(229199, sent);
    AddAddedGangMeld(kOwnView, sent);
    ClearChoiceMarks();
    ShowClaimButton(kClaimGang, 0);
    QueueReplacement(answer);
    return 1;
}

// ---- the own turn

int CMJGameScene2::DrawTile() {
    if (LookerOn(m_pHost)) return 0;
    uint8_t reply[32] = {};
    if (!SendRequest229000(reply)) return 0;
    const int tile = Get(reply, 1), wall = Get(reply, 2);
    if (tile == -1) return 0;
    if (tile < 0 || tile > 151) {
        engine::WriteLog("摸牌应答的牌错误:%d", tile);
        return 0;
    }
    m_bPending = 0;
    SetSelectMode(0);
    MJTileInfo& showcase = m_tiles.m_showcase[0];
    // Every own draw sounds. Only a tile still shown goes into the discard rows: an empty
    // record (its tile claimed, or the first draw of a deal) holds no tile of that seat, and
    // adding it would put a stale or empty code among the discards.
    const bool shown = showcase.bPresent != 0;
    showcase.bPresent = 0;
    BindShowcase(0);
    PlaySoundRes(29104, 0x11);
    if (shown) {
        AddDiscard(0, showcase.nCode);
        BindDiscards(0);
    }
    // The wall position comes from the server: one outside the wall marks nothing.
    if (wall >= 0 && wall < std::min(GetTotalTiles(), kWallRecords)) {
        m_tiles.m_wall[wall].bPresent = 0;
        m_tableLog.wall.push_back(wall);
        BindWallTiles();
    } else {
        engine::WriteLog("摸牌应答的牌墙位置错误:%d", wall);
    }
    SetOwnDrawnTile(tile);
    MJTileInfo& slot = m_tiles.m_hands[kOwnView][0];
    slot.nCode = tile;
    slot.bHand = 1;
    slot.bPresent = 1;
    FlyDrawnTile(tile);
    if (MarkFlowerChoices() > 0) return 1;
    CheckOwnGang();
    OfferHu(Get(reply, 3));
    return 1;
}

void CMJGameScene2::CheckOwnGang() {
    if (LookerOn(m_pHost) || !HandFlag(kOwnView)) return;
    int32_t list[kHandRecords];
    std::fill(std::begin(list), std::end(list), -1);
    int n = 0;
    for (int i = 0; i < kHandSlotCount; ++i) {
        const MJTileInfo& r = m_tiles.m_hands[kOwnView][i];
        if (r.bPresent && r.nMeld != kMeldGang && r.nMeld != kMeldChi) list[n++] = r.nCode;
    }
    int a, b;
    GetJokers(a, b);
    int32_t out[kHandRecords];
    std::fill(std::begin(out), std::end(out), -1);
    const int32_t found =
        rules::MJ_FindAnGangInHand(list, kHandRecords, a, b, int32_t(GetGameFlags()), out);
    int left = 0;
    if (found & 2) {
        ClaimOffer& o = Offer(kClaimGang);
        std::fill(std::begin(o.candidates), std::end(o.candidates), -1);
        for (int i = 0; i < kHandRecords; ++i) {
            if (out[i] == -1) continue;
            // A candidate the hand holds only as a meld tile is no gang of the hand.
            const int at = FindLastTile(kOwnView, out[i]);
            if (at >= 0 && !m_tiles.m_hands[kOwnView][at].bHand) continue;
            o.candidates[left++] = out[i];
        }
        o.count = left;
    }
    m_bGangOffer = left > 0 ? 1 : 0;
    ShowClaimButton(kClaimGang, m_bGangOffer);
}

int CMJGameScene2::DiscardTile(int index) {
    if (LookerOn(m_pHost) || index < 0 || index >= kHandRecords) return 0;
    MJTileInfo& r = m_tiles.m_hands[kOwnView][index];
    if (!r.bPresent || !r.bHand) return 0;
    const int tile = r.nCode;
    // Only the server's agreement plays the tile. A failed send (10100) and a refused
    // discard (229450) are not the only answers that keep it: any other code is a refusal
    // too, and moving the tile then would show a discard the server never took.
    if (SendRequest221080(tile) != kResultDone) return 0;
    MJTileInfo& own = m_tiles.m_showcase[kOwnView];
    own.nCode = tile;
    own.nFace = 1;
    own.bPresent = 1;
    if (MJBinding* b = Binding(r.nObject))
        if (engine::Entity* e = EntityOf(b->entityId)) {
            e->Hide();
            e->ApplyTransform();
        }
    ShowAllClaimButtons(0);
    PlaySoundRes(29103, 1);
    engine::Entity* moving = EntityOf(m_made.dragTile);
    if (moving && moving->GetType() == engine::ENT_IMAGE) {
        auto* e = static_cast<engine::ImageEntity*>(moving);
        MJRect h;
        GetHandRect(kOwnView, h);
        const int w = m_metrics.largeWidth, ht = m_metrics.largeHeight;
        e->SetImage(Picture("正面大图"), w * GetFaceIndex(tile), 0, w, ht, kMagentaKey);
        e->SetSize(w, ht);
        e->SetZ(1800);
        e->SetPosition(h.left + r.nX + w / 2, h.top + r.nY + ht / 2);
        e->Show();
        e->ApplyTransform();
    }
    SetSelectMode(0);
    SetCountdownSound(0);
    SetCountdown(DealWord(m_pHost, 39));
    QZ_MoveClockHand(6, 4);
    RemoveTileFromHand(kOwnView, tile);
    InsertDrawnTile(kOwnView);
    if (m_nSceneMode == 1)
        PostSceneMessage(0, 210059, engine::MessageData());
    else
        PostControlMessage(210059, engine::MessageData(), 0, 0);
    return 1;
}

void CMJGameScene2::OnOwnDiscardEnd() {
    if (engine::Entity* e = EntityOf(m_made.dragTile)) {
        e->Hide();
        e->ApplyTransform();
    }
    BindShowcase(kOwnView);
    const MJTileInfo& own = m_tiles.m_showcase[kOwnView];
    if (own.bPresent) PlayNumberSound(kOwnView, own.nCode);
    BindHand(kOwnView);
}

int CMJGameScene2::PlayFlower(int index) {
    if (LookerOn(m_pHost) || index < 0 || index >= kHandRecords) return 0;
    const MJTileInfo& r = m_tiles.m_hands[kOwnView][index];
    if (!r.bPresent || !r.bHand) return 0;
    const int tile = r.nCode;
    PlayActionSound(kOwnView, GetActionSoundName(12));
    uint8_t reply[32] = {};
    // The last wall tile gone: the answer names no replacement (-1) and the turn passes on.
    if (!SendRequest229060(tile, reply) && Get(reply, 1) != -1) return 0;
    ShowAllClaimButtons(0);
    SetSelectMode(0);
    SetCountdownSound(0);
    SetCountdown(DealWord(m_pHost, 18));
    QZ_MoveClockHand(QZ_GetPointTo(), 6);
    PlaySoundRes(29104, 0x11);
    AddFlowerTile(kOwnView, tile);
    BindFlowerTiles(kOwnView);
    ClearChoiceMarks();
    RemoveTileFromHand(kOwnView, tile);
    InsertDrawnTile(kOwnView);
    BindHand(kOwnView);
    if (Get(reply, 1) == -1) {
        SetCountdown(DealWord(m_pHost, 39));
        QZ_MoveClockHand(6, 4);
        return 0;
    }
    QueueReplacement(reply);
    return 1;
}

// ---- tile clicks

void CMJGameScene2::OnTileClickDiscard(MJTileInfo* record, MJBinding*) {
    if (!record || LookerOn(m_pHost) || record->bLocked) return;
    m_nTimeouts = 0;
    const int index = int(record - m_tiles.m_hands[kOwnView]);
    if (index < 0 || index >= kHandRecords) return;
    if (IsFlowerTile(record->nCode))
        PlayFlower(index);
    else
        DiscardTile(index);
}

namespace {

// The picked tile rises to the lifted height, an unpicked one goes back to rest.
void ToggleSelected(CMJGameScene2& scene, MJTileInfo& record, MJBinding* binding,
                    engine::Entity* e) {
    record.bSelected = record.bSelected ? 0 : 1;
    if (binding) binding->selected = record.bSelected;
    if (!e) return;
    e->SetPosition(e->GetX(), record.bSelected ? scene.GetOwnHandMidY() : scene.GetOwnHandMidY2());
    e->ApplyTransform();
}

}  // namespace

void CMJGameScene2::OnTileClickSelect(MJTileInfo* record, MJBinding* binding) {
    if (!record || LookerOn(m_pHost) || record->bLocked) return;
    ToggleSelected(*this, *record, binding, binding ? EntityOf(binding->entityId) : nullptr);
    int32_t picked[kHandRecords];
    if (GetSelectedOwnCodes(picked) == 2) ConfirmChiClaim();
}

void CMJGameScene2::OnTileClickGang(MJTileInfo* record, MJBinding* binding) {
    if (!record || LookerOn(m_pHost) || record->bLocked) return;
    ToggleSelected(*this, *record, binding, binding ? EntityOf(binding->entityId) : nullptr);
    int32_t picked[kHandRecords];
    std::fill(std::begin(picked), std::end(picked), -1);
    if (GetSelectedOwnCodes(picked) != 1) return;
    int32_t others[3];
    OtherCopies(picked[0], others);
    const int at = FindLastTile(kOwnView, others[0]);
    if (at < 0) return;
    const int meld = m_tiles.m_hands[kOwnView][at].nMeld;
    if (meld == 0)
        DeclareConcealedGang(picked[0]);
    else if (meld == kMeldPeng)
        DeclareAddedGang(picked[0]);
}

// ---- the claim-button frame

void CMJGameScene2::LogClaimFrame() {
    engine::ButtonFrame* frame = m_made.operationBar;
    engine::Entity* e = frame ? frame->FrameEntity() : nullptr;
    engine::GameKernel* k = Kernel();
    if (!e || !k) return;
    const int left = e->GetX() - e->GetWidth() / 2, top = e->GetY() - e->GetHeight() / 2;
    int points[2][2] = {{left, top}, {left + e->GetWidth(), top + e->GetHeight()}};
    // The buttons' centres (and the start button's), on the display when the host can map
    // them: a scripted player clicks there.
    struct Named {
        const char* name;
        uint32_t control;
    };
    const Named named[] = {{"过", m_made.pass}, {"胡", m_made.hu},  {"杠", m_made.gang},
                           {"碰", m_made.peng}, {"吃", m_made.chi}, {"开始", m_made.start}};
    std::string line;
    char text[96];
    std::snprintf(text, sizeof text, "操作按钮框:%d,%d,%d,%d", points[0][0], points[0][1],
                  points[1][0], points[1][1]);
    line = text;
    const bool mapped = m_pHost && m_pHost->MapToScreen(points[0][0], points[0][1]) &&
                        m_pHost->MapToScreen(points[1][0], points[1][1]);
    if (mapped) {
        std::snprintf(text, sizeof text, " 屏幕:%d,%d,%d,%d", points[0][0], points[0][1],
                      points[1][0], points[1][1]);
        line += text;
    }
    for (const Named& n : named) {
        engine::ControlData* c = k->FindControl(n.control);
        engine::Entity* b = c ? EntityOf(c->entityId) : nullptr;
        if (!b) continue;
        int x = b->GetX(), y = b->GetY();
        if (mapped) m_pHost->MapToScreen(x, y);
        std::snprintf(text, sizeof text, " %s=%d,%d", n.name, x, y);
        line += text;
    }
    // The own draw slot's tile at rest, where the drawn tile is clicked to play it.
    MJRect own;
    GetHandRect(kOwnView, own);
    const MJTileInfo& slot = m_tiles.m_hands[kOwnView][0];
    int x = own.left + slot.nX + m_metrics.largeWidth / 2,
        y = own.top + slot.nY + m_metrics.largeHeight / 2;
    if (mapped) m_pHost->MapToScreen(x, y);
    std::snprintf(text, sizeof text, " 摸牌=%d,%d", x, y);
    line += text;
    engine::WriteLog("%s", line.c_str());
}

}  // namespace hqlv::mahjong
