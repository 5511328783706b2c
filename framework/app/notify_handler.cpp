#include "framework/app/notify_handler.h"

#include <algorithm>
#include <cstring>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "platform/core/bytes.h"
#include "platform/core/diag.h"

namespace hqlv::framework {

using platform::ByteReader;

namespace {

int32_t word(Body b, size_t i) {
    ByteReader in(b.data, b.size);
    in.seek(i * 4);
    return in.i32();
}

// A body must hold at least `need` bytes; otherwise it is refused with a diagnostic.
bool need(Body b, size_t n, const char* what) {
    if (b.data && b.size >= n) return true;
    platform::diagf("notification %s refused: %zu bytes, %zu needed", what, b.size, n);
    return false;
}

// The zero-terminated GBK text from a byte offset to the end of the body, as UTF-8.
std::string textFrom(Body b, size_t off) {
    if (off >= b.size) return {};
    const char* p = reinterpret_cast<const char*>(b.data + off);
    return GbkToUtf8(std::string_view(p, strnlen(p, b.size - off)));
}

}  // namespace

bool CGameNotifyHandler::OnNotify(uint32_t code, const void* data, size_t len) {
    Body b{static_cast<const uint8_t*>(data), data ? len : 0};
    switch (code) {
        case 211030:
            return OnPlayersUpdate(b);
        case 211000:
            return OnNotify211000(b);
        case 201210:
            return OnPlayerChat(b);
        case 211200:
            return OnMessage(b);
        case 201200:
            return OnCallPlayer(b);
        case 211025:
            return OnHallNotice(b);
        case 211020:
            return OnLookerOnLeft(b);
        case 211110:
            return OnEndNoSilver(b);
        case 211130:
            return OnEndNoScore(b);
        case 211132:
            return OnEndScoreLimit(b);
        case 211134:
            return OnEndPlayerRounds(b);
        case 211136:
            return OnEndTableRounds(b);
        case 211137:
            return OnEndTimeWindow(b);
        case 211138:
            return OnServerText(b);
        case 211410:
            return OnGameResult(b);
        case 211420:
            return OnSilverChanged(b);
        case 211700:
            return OnNotify211700(b);
        case 211900:
            return OnAmuletNotice(b);
        case 211910:
            return OnSeatNamesChanged(b);
        case 230000:
            return OnPrizeNotice(b);
        case 230001:
            return OnSeatRecordChanged(b);
        case 230002:
            return OnScoreAdded(b);
        case 211920:
            return OnNotify211920(b);
        case 211430:
            return OnClothesChanged(b);
        case 211440:
            return OnMembershipChanged(b);
        case 214100:
            return OnLotteryInfo(b);
        case 214101:
            return OnLotteryInfo2(b);
        case 214102:
            return OnLotteryResult(b);
        case 214103:
            return OnBroadcast(b);
        case 60031:
            return OnSystemLine(b);
        case 211011:
            return OnPlayerSat(b);
        case 211010:
            return OnLookOnEnded(b);
        case 211028:
            return OnSeatsAssigned(b);
        default:
            return false;
    }
}

bool CGameNotifyHandler::endBox(const std::string& text, int seconds, int extraHeight) {
    if (!host_.HasMainWindow()) return true;
    host_.TableOverBox(text, seconds, 65, extraHeight);
    return true;
}

bool CGameNotifyHandler::OnSystemLine(Body b) {
    if (auto* t = host_.tableView()) t->OnSystemLine(b);
    if (auto* p = host_.playerView()) p->OnSystemLine(b);
    if (auto* c = host_.chatView()) c->ShowSystemLine(b);
    return true;
}

bool CGameNotifyHandler::OnCallPlayer(Body b) {
    // Word 4 (the called user) is the only word read here; the chat pane checks the body
    // it reads itself.
    if (!need(b, 20, "201200")) return false;
    if (auto* c = host_.chatView()) c->ShowCall(b);
    if (word(b, 4) == host_.appData().GetUserID()) host_.PlaySoundId(29012, 1);
    return true;
}

bool CGameNotifyHandler::OnPlayerChat(Body b) {
    if (auto* c = host_.chatView()) c->ShowPlayerChat(b);
    return true;
}

bool CGameNotifyHandler::OnNotify211000(Body) {
    host_.ClearTableActive();
    if (auto* t = host_.tableView()) t->OnNotify211000();
    host_.HideCommWait();
    host_.RefreshTableView();
    return true;
}

bool CGameNotifyHandler::OnLookOnEnded(Body b) {
    if (!need(b, 32, "211010")) return false;
    if (host_.IsPlaying()) return false;
    CGameAppData& app = host_.appData();
    PlayerRecord* r = app.GetPlayerRecordMutable(word(b, 0));
    int32_t chair = word(b, 1);
    if (!r || r->table() != word(b, 7) || r->chair() != chair) return false;
    if (auto* c = host_.chatView()) c->ShowTableLeave(*r);
    if (auto* p = host_.playerView()) p->RemovePlayer(*r);
    if (auto* t = host_.tableView()) t->OnLookOnEnded(*r);
    if (app.GetCmdField8() != 0 && chair == app.GetChairNo()) {
        host_.TableOverBox(Format("%s 已经离开，旁观结束。", app.GetSeatDisplayName(chair).c_str()),
                           30, 65, 0);
    }
    r->clear();
    return true;
}

bool CGameNotifyHandler::OnPlayerSat(Body b) {
    if (!need(b, PlayerEntry::kSize, "211011")) return false;
    if (host_.IsPlaying()) return false;
    CGameAppData& app = host_.appData();
    PlayerEntry e;
    e.loadFrom(b.data, b.size);
    PlayerRecord* seat = app.SeatMutable(e.word(PlayerEntry::kChair));
    if (!seat) {
        platform::diagf("notification 211011 refused: chair %d", e.word(PlayerEntry::kChair));
        return false;
    }
    seat->clear();
    app.ConvertEntry(*seat, e);
    app.AddPortrait(seat->word(PlayerRecord::kPortrait));
    if (auto* c = host_.chatView()) c->ShowTableEnter(*seat);
    if (auto* p = host_.playerView()) p->AddPlayer(*seat);
    if (auto* t = host_.tableView()) t->OnPlayerSat(*seat);
    return true;
}

bool CGameNotifyHandler::OnLookerOnLeft(Body b) {
    if (!need(b, 4, "211020")) return false;
    PlayerRecord* r = host_.appData().GetPlayerRecordMutable(word(b, 0));
    if (!r) return false;
    if (auto* c = host_.chatView()) c->ShowLookerOnLeave(*r);
    if (auto* p = host_.playerView()) p->RemoveLookerOn(*r);
    // The looker-on is gone whether or not a list pane is there to forget them.
    r->clear();
    return true;
}

bool CGameNotifyHandler::OnHallNotice(Body b) {
    if (!need(b, 4, "211025")) return false;
    host_.PostToHallWindow(0x9107, host_.MainWindowHandle(), word(b, 0));
    return true;
}

bool CGameNotifyHandler::OnSeatsAssigned(Body b) {
    CGameAppData& app = host_.appData();
    if (!app.OnSeatAssigned(b.data, b.size)) return false;
    app.LoadSeatPortraits();
    if (auto* c = host_.chatView()) c->ShowRandomTable(b);
    if (auto* p = host_.playerView()) p->OnSeatsAssigned(b);
    if (auto* t = host_.tableView()) t->OnSeatsAssigned(b);
    int32_t n = word(b, 2);
    size_t tail = 64 + size_t(n > 0 ? n : 0) * PlayerEntry::kSize;
    Body rest{tail < b.size ? b.data + tail : nullptr, tail < b.size ? b.size - tail : 0};
    OnSeatsAssignedTail(rest);
    return true;
}

bool CGameNotifyHandler::OnPlayersUpdate(Body b) {
    if (!need(b, 20, "211030")) return false;
    const int32_t n = word(b, 0);
    constexpr size_t kEntry = 52;
    // The entries the body holds are read, as many as the count names and no more: a count
    // beyond them names entries that never came, and a negative one none.
    const size_t held = (b.size - 20) / kEntry;
    const int32_t listed = n > 0 ? int32_t(std::min<size_t>(size_t(n), held)) : 0;
    if (listed != std::max(n, 0))
        platform::diagf("notification 211030: %d entries named, %d in %zu bytes", n, listed,
                        b.size);
    CGameAppData& app = host_.appData();
    for (int32_t i = 0; i < listed; ++i) {
        WordBlock<kEntry> e;
        e.loadFrom(b.data + 20 + size_t(i) * kEntry, kEntry);
        PlayerRecord* r = app.GetPlayerRecordMutable(e.word(0));
        if (!r) continue;
        r->setWord(PlayerRecord::kScore, e.word(2));
        r->setWord(PlayerRecord::kSilver, e.word(3));
        r->setWord(PlayerRecord::kLevel, e.word(4));
        r->setText(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen, e.text(20, 32));
    }
    if (auto* p = host_.playerView()) p->OnPlayersUpdate(b);
    return true;
}

bool CGameNotifyHandler::OnEndNoSilver(Body b) {
    if (!need(b, 4, "211110")) return false;
    std::string name = host_.appData().GetPlayerNameById(word(b, 0));
    return endBox(Format("%s的银子不够了，这一桌游戏结束。", name.c_str()), 30);
}

bool CGameNotifyHandler::OnEndNoScore(Body b) {
    if (!need(b, 4, "211130")) return false;
    std::string name = host_.appData().GetPlayerNameById(word(b, 0));
    return endBox(Format("%s的积分不够了，这一桌游戏结束。", name.c_str()), 30);
}

bool CGameNotifyHandler::OnEndScoreLimit(Body b) {
    if (!need(b, 4, "211132")) return false;
    std::string name = host_.appData().GetPlayerNameById(word(b, 0));
    return endBox(Format("%s的积分超出限制，这一桌游戏结束。", name.c_str()), 30);
}

bool CGameNotifyHandler::OnEndPlayerRounds(Body b) {
    if (!need(b, 16, "211134")) return false;
    std::string name = host_.appData().GetPlayerNameById(word(b, 0));
    return endBox(Format("%s的总局数超出限制(%d局)，这一桌游戏结束。", name.c_str(), word(b, 3)),
                  30);
}

bool CGameNotifyHandler::OnEndTableRounds(Body b) {
    if (!need(b, 12, "211136")) return false;
    return endBox(Format("这一桌的局数超出限制(%d局)，游戏结束。", word(b, 2)), 30);
}

bool CGameNotifyHandler::OnEndTimeWindow(Body b) {
    if (!need(b, 12, "211137")) return false;
    const int32_t n = word(b, 2);
    // The table is over whatever the count says: the box always shows. A count above 0
    // announces the open windows; only windows the body holds are listed under it, and at
    // most the eight it has room for, and the box grows by the lines listed.
    constexpr int32_t kMaxWindows = 8;
    constexpr size_t kFirstEnd = 15;  // window i: start in word 7 + i, end in word 15 + i
    const size_t held = b.size / 4 > kFirstEnd ? b.size / 4 - kFirstEnd : 0;
    const int32_t listed = std::min({std::max(n, 0), kMaxWindows, int32_t(held)});
    if (listed != std::max(n, 0))
        platform::diagf("notification 211137: %d time windows named, %d listed (%zu bytes)", n,
                        listed, b.size);
    std::string text = "已超出限定时间，不能继续游戏。";
    if (n > 0) text += "下列时间段开放：\r\n\r\n";
    for (int32_t i = 0; i < listed; ++i) {
        int32_t start = word(b, 7 + size_t(i)), end = word(b, kFirstEnd + size_t(i));
        text +=
            Format("%d点%02d分 ~ %d点%02d分\r\n", start / 100, start % 100, end / 100, end % 100);
    }
    return endBox(text, 60, listed > 0 ? host_.ScaleY(12) * listed : 0);
}

bool CGameNotifyHandler::OnServerText(Body b) {
    if (!need(b, 8, "211138")) return false;
    return endBox(textFrom(b, 8), 60);
}

bool CGameNotifyHandler::OnMessage(Body b) {
    if (auto* c = host_.chatView()) c->ShowMessageLine(b);
    return true;
}

bool CGameNotifyHandler::OnGameResult(Body b) {
    if (!need(b, 32, "211410")) return false;
    host_.CloseConnection();
    // Split after decoding, so that a '|' byte inside a two-byte character never splits.
    std::string text = textFrom(b, 32);
    std::string message, link;
    size_t bar = text.find('|');
    if (bar == std::string::npos) {
        link = text;
    } else {
        message = text.substr(0, bar);
        link = text.substr(bar + 1);
    }
    host_.TableOverBoxLink(message, "查看成绩", "退出", link, 1, 60, 65);
    return true;
}

bool CGameNotifyHandler::OnSilverChanged(Body b) {
    if (!need(b, 20, "211420")) return false;
    int32_t chair = word(b, 1);
    if (word(b, 2) == 0 || chair < 0 || chair >= kSeatCount) return false;
    if (host_.appData().GetSeatUserID(chair) == 0) return false;
    if (auto* p = host_.playerView()) p->OnSilverChanged(b);
    if (auto* c = host_.chatView()) c->ShowSilverNotice(b);
    if (auto* t = host_.tableView()) t->OnSilverChanged(b);
    return true;
}

bool CGameNotifyHandler::OnClothesChanged(Body b) {
    if (!host_.appData().SetPlayerStatus(b.data, b.size)) return false;
    if (auto* t = host_.tableView()) t->OnClothesChanged(b);
    if (auto* p = host_.playerView()) p->OnClothesChanged(b);
    if (auto* c = host_.chatView()) c->ShowNewClothes(b);
    return true;
}

bool CGameNotifyHandler::OnMembershipChanged(Body b) {
    if (!host_.appData().SetPlayerFlag(b.data, b.size)) return false;
    if (auto* t = host_.tableView()) t->OnMembershipChanged(b);
    if (auto* p = host_.playerView()) p->OnMembershipChanged(b);
    if (auto* c = host_.chatView()) c->ShowMembership(b);
    return true;
}

bool CGameNotifyHandler::OnNotify211700(Body b) {
    if (host_.IsPlaying()) return false;
    CGameAppData& app = host_.appData();
    if (!app.OnTableInfo(b.data, b.size)) return false;
    app.LoadSeatPortraits();
    if (auto* c = host_.chatView()) c->ShowTableChanged(b);
    if (auto* t = host_.tableView()) t->OnNotify211700(b);
    if (auto* p = host_.playerView()) p->OnNotify211700(b);
    return true;
}

bool CGameNotifyHandler::OnAmuletNotice(Body b) {
    if (auto* c = host_.chatView()) c->ShowAmuletNotice(b);
    if (auto* t = host_.tableView()) t->OnAmuletNotice(b);
    return true;
}

bool CGameNotifyHandler::OnSeatNamesChanged(Body b) {
    if (!host_.appData().UpdateSeatNames(b.data, b.size)) {
        platform::diagf("notification 211910 refused: %zu bytes", b.size);
        return false;
    }
    if (auto* c = host_.chatView()) c->OnSeatNamesChanged();
    if (auto* t = host_.tableView()) t->OnSeatNamesChanged();
    return true;
}

bool CGameNotifyHandler::OnNotify211920(Body b) {
    if (auto* t = host_.tableView()) t->OnNotify211920(b);
    return true;
}

bool CGameNotifyHandler::OnLotteryInfo(Body b) {
    if (auto* t = host_.tableView()) t->OnLotteryInfo(b);
    if (auto* p = host_.playerView()) p->OnLotteryInfo(b);
    if (auto* c = host_.chatView()) c->ShowLotteryInfo(b);
    return true;
}

bool CGameNotifyHandler::OnLotteryInfo2(Body b) {
    if (auto* t = host_.tableView()) t->OnLotteryInfo2(b);
    if (auto* p = host_.playerView()) p->OnLotteryInfo2(b);
    if (auto* c = host_.chatView()) c->ShowLotteryInfo2(b);
    return true;
}

bool CGameNotifyHandler::OnLotteryResult(Body b) {
    if (auto* t = host_.tableView()) t->OnLotteryResult(b);
    if (auto* p = host_.playerView()) p->OnLotteryResult(b);
    if (auto* c = host_.chatView()) c->ShowLotteryResult(b);
    return true;
}

bool CGameNotifyHandler::OnBroadcast(Body b) {
    if (auto* t = host_.tableView()) t->OnBroadcast(b);
    if (auto* p = host_.playerView()) p->OnBroadcast(b);
    if (auto* c = host_.chatView()) c->ShowBroadcast(b);
    return true;
}

bool CGameNotifyHandler::OnPrizeNotice(Body b) {
    if (!need(b, 116, "230000")) return false;
    host_.appData().UpdateSeatSilver(b.data, b.size);
    if (auto* p = host_.playerView()) p->OnPrizeNotice(b);
    if (auto* c = host_.chatView()) c->ShowPrizeNotice(b);
    return true;
}

bool CGameNotifyHandler::OnSeatRecordChanged(Body b) {
    if (!need(b, 156, "230001")) return false;
    host_.appData().UpdateSeatRecord(b.data, b.size);
    if (auto* p = host_.playerView()) p->OnSeatRecordChanged(b);
    return true;
}

bool CGameNotifyHandler::OnScoreAdded(Body b) {
    if (!need(b, 16, "230002")) return false;
    host_.appData().AddSeatScore(b.data, b.size);
    if (auto* p = host_.playerView()) p->OnScoreAdded(b);
    if (auto* c = host_.chatView()) c->ShowGameResult(b);
    return true;
}

}  // namespace hqlv::framework
