// The first byte picks the part: markup, lines, the notice marker, or the server's
// notifications through the real handlers into the chat lines and the player list.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "framework/app/notify_handler.h"
#include "framework/panes/player_list_model.h"
#include "framework/widgets/chat_lines.h"
#include "framework/widgets/chat_markup.h"
#include "framework/widgets/notice_marker.h"
#include "fuzz/hostile_words.h"
#include "fuzz/line_chat.h"
#include "fuzz/quiet_diagnostics.h"

using namespace hqlv::framework;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void FuzzMarkup(std::string_view text) {
    for (const ChatPiece& p : SplitChatMarkup(text, 300, true)) {
        Check(p.format.height <= 300);
        Check(p.format.faceNumber <= 999);
    }
    // Neutralised text yields no key but "z=".
    for (bool keep : {true, false}) {
        std::string safe = NeutraliseMarkup(text, keep);
        Check(safe.find('\r') == std::string::npos && safe.find('\n') == std::string::npos);
        for (const ChatPiece& p : SplitChatMarkup(safe, 300, true)) {
            const ChatCharFormat& f = p.format;
            Check(f.height == kChatDefaultHeight && f.color == 0 && f.face == kChatDefaultFace);
            Check(!f.bold && !f.italic && !f.underline && !f.link && f.linkTarget.empty());
            Check(f.passIdentity == 0);
            Check(keep || f.faceNumber < 0);
        }
    }
    FindUrls(text);
}

void FuzzLines(const uint8_t* data, size_t size) {
    PlayerRecord known;
    known.setWord(PlayerRecord::kUserId, 1);
    known.setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen, "<c=255>x");
    ChatLineContext c;
    c.player = [&](int uid) -> const PlayerRecord* { return uid == 1 ? &known : nullptr; };
    c.ownUserId = 2;
    // A copy of exactly the given size, so that reading past it is caught.
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(copy, data, size);
    Body b{copy, size};
    PlayerChatLine(c, b);
    ChatRecordLine(c, b);
    CallLine(c, b);
    SilverNoticeLines(c, b);
    PrizeNoticeLine(c, b);
    GameResultLine(c, b);
    AmuletLines(c, b);
    NewClothesLine(c, b);
    MembershipLine(c, b);
    LotteryInfoLine(c, b);
    LotteryInfoExLine(c, b);
    LotteryResultLine(c, b);
    BroadcastLine(b);
    SystemLine(b);
    std::free(copy);
}

void FuzzMarker(const uint8_t* data, size_t size) {
    if (size < 1) return;
    // The first byte cuts the rest into chunks; the result must not depend on the cuts.
    uint8_t step = data[0] % 9 + 1;
    std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
    NoticeMarker whole, split;
    whole.Feed(answer);
    for (size_t at = 0; at < answer.size(); at += step) split.Feed(answer.substr(at, step));
    Check(whole.Finish() == split.Finish());
    std::string head(answer.substr(0, 8));
    for (char& ch : head)
        if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    Check((whole.state() == NoticeMarker::State::kAccepted) == (head == "<notify>"));
}

// The player list pane's hooks as the pane answers them, over the real list model.
struct ListPane : CPlayerListHooks {
    explicit ListPane(CGameAppData& app) : model(app) { model.InitColumns(); }
    void AddPlayer(const PlayerRecord& r) override { model.AddPlayer(r); }
    void RemovePlayer(const PlayerRecord& r) override { model.RemovePlayer(r.userId()); }
    void RemoveLookerOn(const PlayerRecord& r) override { model.RemoveLookerOn(r.userId()); }
    void OnSeatsAssigned(Body) override { model.Refill(false); }
    void OnNotify211700(Body) override { model.Refill(false); }
    void OnPlayersUpdate(Body b) override { model.OnPlayersUpdate(b); }
    void OnSilverChanged(Body b) override { model.OnSilverChanged(b); }
    void OnPrizeNotice(Body b) override { model.OnPrizeNotice(b); }
    void OnSeatRecordChanged(Body b) override { model.OnSeatRecordChanged(b); }
    void OnScoreAdded(Body b) override { model.OnScoreAdded(b); }
    PlayerListModel model;
};

// The application's side of the handlers: its records, the chat and list panes, and boxes
// that only count.
struct Host : CNotifyHost {
    explicit Host(uint8_t options) : app("HqLv", 21303, 2, 1), chat(app), list(app) {
        app.ApplyHallCommandLine("77|127.0.0.1|3|5000|0|1001|5|" + std::to_string(options & 3) +
                                 "|" + std::to_string((options >> 2) & 1) + "|0|t|21303|0|" +
                                 std::to_string(options & 8) + "|0");
        for (int c = 0; c < 4; ++c) {
            PlayerRecord* r = app.SeatMutable(c);
            r->setWord(PlayerRecord::kUserId, 1000 + c);
            r->setWord(PlayerRecord::kChair, c);
            r->setWord(PlayerRecord::kValue9, 5);
            r->setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen,
                       std::string("P") + char('0' + c));
        }
        PlayerRecord looker;
        looker.setWord(PlayerRecord::kUserId, 2000);
        looker.setWord(PlayerRecord::kLookerOn, 1);
        looker.setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen, "L");
        app.AddLookerOn(looker);
        list.model.Refill(true);
        playing = (options >> 4) & 1;
    }
    CGameAppData& appData() override { return app; }
    int IsPlaying() override { return playing; }
    bool HasMainWindow() override { return true; }
    void MessageBoxModeless(const std::string& text, const std::string&, const std::string&, int,
                            int, int) override {
        boxes += text.size();
    }
    void MessageBoxModelessLink(const std::string& text, const std::string&, const std::string&,
                                const std::string& link, int, int, int) override {
        boxes += text.size() + link.size();
    }
    void PlaySoundId(int, int) override {}
    void HideCommWait() override {}
    void RefreshTableView() override {}
    void CloseConnection() override {}
    void PostToHallWindow(uint32_t, uintptr_t, intptr_t) override {}
    uintptr_t MainWindowHandle() override { return 0; }
    void ClearTableActive() override {}
    int ScaleY(int n) override { return n; }
    CTableViewHooks* tableView() override { return &table; }
    CChatViewHooks* chatView() override { return &chat; }
    CPlayerListHooks* playerView() override { return &list; }

    CGameAppData app;
    hqlv::fuzz::LineChat chat;
    ListPane list;
    CTableViewHooks table;
    int playing = 0;
    size_t boxes = 0;
};

// A run of notifications: each step's first byte picks a notification of those that write
// chat lines or change player records, and whether its body is the notification's own
// length with extreme values put into its tables, chairs, counts, ids and amounts, or the
// raw bytes that follow at a length of their own.
void FuzzNotifications(const uint8_t* data, size_t size) {
    hqlv::fuzz::QuietDiagnostics();
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    Host host(next());
    CGameNotifyHandler handler(host);
    const auto& hot = hqlv::fuzz::HotNotifications();
    for (int step = 0; step < 16 && at < size; ++step) {
        const uint8_t mode = next();
        const hqlv::fuzz::HotNotification& n = hot[next() % hot.size()];
        std::vector<uint8_t> body;
        if (mode & 1) {
            body.assign(n.bytes, 0);
            for (size_t k = 0; k < body.size() && at < size && k < size_t(mode >> 1) * 4; ++k)
                body[k] = next();
            hqlv::fuzz::SpoilWords(body, n, 1 + ((mode >> 1) & 7), next);
        } else {
            const size_t len = size_t(next()) | size_t(next() & 0x0F) << 8;
            while (body.size() < len && at < size) body.push_back(next());
        }
        // A copy of exactly the body's size, so that reading past it is caught.
        std::vector<uint8_t> exact(body);
        handler.OnNotify(n.id, exact.empty() ? nullptr : exact.data(), exact.size());
        host.chat.ShowStandingLines();
        for (size_t r = 0; r < host.list.model.rows().size(); ++r) {
            host.list.model.LookOf(int(r));
            host.list.model.MenuPlan(int(r));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    switch (data[0] % 4) {
        case 0:
            FuzzMarkup(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
            break;
        case 1:
            FuzzLines(data + 1, size - 1);
            break;
        case 2:
            FuzzMarker(data + 1, size - 1);
            break;
        default:
            FuzzNotifications(data + 1, size - 1);
            break;
    }
    return 0;
}
