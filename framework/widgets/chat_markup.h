#pragma once
// The chat markup: plain text with tags in angle brackets that set size, colour, face,
// effects, links and small pictures for the text behind them. Every line the chat pane
// shows is such a text. This is the window-free half: cutting a text into pieces and
// turning a tag into a character format, plus the neutraliser that makes player-supplied
// text safe to paste into a line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hqlv::framework {

inline constexpr int kChatDefaultHeight = 180;  // twips
inline constexpr int kChatDefaultSizeCap = 2000;
inline constexpr size_t kChatFaceNameMax = 31;     // GBK bytes
inline constexpr size_t kChatLinkTargetMax = 255;  // GBK bytes
inline constexpr char kChatDefaultFace[] = "宋体";

// What one tag asks for. Every tag stands alone: keys it lacks take the defaults.
struct ChatCharFormat {
    bool tagged = false;  // false: the control's default format (text before any tag)
    int height = kChatDefaultHeight;
    uint32_t color = 0;  // 0x00BBGGRR
    std::string face = kChatDefaultFace;
    bool bold = false, italic = false, underline = false, link = false;
    std::string linkTarget;
    int passIdentity = 0;
    int faceNumber = -1;  // a face picture goes in front of the text; -1 none
};

struct ChatPiece {
    ChatCharFormat format;
    std::string text;  // the shown text (may be empty when the tag only inserts a face)
};

// The format one tag (from '<' to its '>', both included) yields. Sizes above the cap are
// cut to it; numbers saturate; the link letter counts only while links are enabled.
ChatCharFormat ParseChatTag(std::string_view tag, int sizeCap, bool linkEnabled);

// Cuts a whole markup text into its pieces, in order. A '<' without a later '>' starts a
// piece shown whole in the default format.
std::vector<ChatPiece> SplitChatMarkup(std::string_view text, int sizeCap, bool linkEnabled);

// Makes text from a player safe to paste into a line: every '<' becomes the full-width
// '＜' and CR/LF become blanks. With keepChatTags, "<>" and "<z=" 1-3 digits ">" stay
// (the faces a chat line may carry).
std::string NeutraliseMarkup(std::string_view text, bool keepChatTags);

// The web addresses in a text (http://, https://, www.) as (offset, length) byte ranges:
// each runs to the first blank, control character, non-ASCII character or quote.
std::vector<std::pair<size_t, size_t>> FindUrls(std::string_view text);

// Cuts UTF-8 text so that its GBK form takes at most maxBytes bytes (ASCII one byte,
// everything else two), never inside a character.
std::string CutToGbkWidth(std::string_view utf8, size_t maxBytes);

}  // namespace hqlv::framework
