// The first byte picks the part: markup, lines or the notice marker.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "framework/widgets/chat_lines.h"
#include "framework/widgets/chat_markup.h"
#include "framework/widgets/notice_marker.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    switch (data[0] % 3) {
        case 0:
            FuzzMarkup(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
            break;
        case 1:
            FuzzLines(data + 1, size - 1);
            break;
        default:
            FuzzMarker(data + 1, size - 1);
            break;
    }
    return 0;
}
