#include "framework/widgets/chat_markup.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace hqlv::framework {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading decimal digits of v; none gives 0; a value past INT_MAX stays at INT_MAX.
int ReadNumber(std::string_view v) {
    int64_t n = 0;
    for (char c : v) {
        if (!IsDigit(c)) break;
        n = n * 10 + (c - '0');
        if (n > INT_MAX) n = INT_MAX;
    }
    return static_cast<int>(n);
}

// Where the value of `key` ("s=", ...) begins inside the tag, or npos when the key is
// absent or its first occurrence does not follow '<', ',' or a blank.
size_t FindKey(std::string_view tag, std::string_view key) {
    size_t at = tag.find(key);
    if (at == std::string_view::npos || at == 0) return std::string_view::npos;
    char before = tag[at - 1];
    if (before != '<' && before != ',' && before != ' ') return std::string_view::npos;
    return at + key.size();
}

// The text from `from` up to the next ',' or the tag's closing '>'.
std::string_view ValueToComma(std::string_view tag, size_t from) {
    size_t end = tag.find(',', from);
    size_t close = tag.size() - 1;  // the tag ends with its '>'
    if (end == std::string_view::npos || end > close) end = close;
    if (from > end) return {};
    return tag.substr(from, end - from);
}

size_t Utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;  // a stray byte counts alone
}

}  // namespace

std::string CutToGbkWidth(std::string_view utf8, size_t maxBytes) {
    size_t used = 0, i = 0;
    while (i < utf8.size()) {
        size_t len = Utf8Length(static_cast<unsigned char>(utf8[i]));
        size_t width = len == 1 ? 1 : 2;
        if (used + width > maxBytes || i + len > utf8.size()) break;
        used += width;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

ChatCharFormat ParseChatTag(std::string_view tag, int sizeCap, bool linkEnabled) {
    ChatCharFormat f;
    f.tagged = true;
    if (tag.size() < 2) return f;
    // The value of "z=" is read from inside the tag only: the closing '>' bounds it.
    std::string_view body = tag.substr(0, tag.size() - 1);
    if (size_t v = FindKey(tag, "s="); v != std::string_view::npos) {
        f.height = ReadNumber(body.substr(std::min(v, body.size())));
        if (f.height > sizeCap) f.height = sizeCap;
    }
    if (size_t v = FindKey(tag, "c="); v != std::string_view::npos)
        f.color = static_cast<uint32_t>(ReadNumber(body.substr(std::min(v, body.size()))));
    if (size_t v = FindKey(tag, "f="); v != std::string_view::npos)
        f.face = CutToGbkWidth(ValueToComma(tag, v), kChatFaceNameMax);
    if (size_t v = FindKey(tag, "l="); v != std::string_view::npos)
        f.linkTarget = CutToGbkWidth(ValueToComma(tag, v), kChatLinkTargetMax);
    if (size_t v = FindKey(tag, "e="); v != std::string_view::npos) {
        for (char c : ValueToComma(tag, v)) {
            if (c == 'u') f.underline = true;
            if (c == 'b') f.bold = true;
            if (c == 'i') f.italic = true;
            if (c == 'l' && linkEnabled) f.link = true;
            if (c == 'p') f.passIdentity = 1;
        }
    }
    if (size_t v = FindKey(tag, "z="); v != std::string_view::npos) {
        std::string_view three = v < body.size() ? body.substr(v, 3) : std::string_view();
        f.faceNumber = ReadNumber(three);
    }
    return f;
}

std::vector<ChatPiece> SplitChatMarkup(std::string_view text, int sizeCap, bool linkEnabled) {
    std::vector<ChatPiece> pieces;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = text.find('<', pos + 1);
        if (next == std::string_view::npos) next = text.size();
        std::string_view piece = text.substr(pos, next - pos);
        pos = next;
        ChatPiece out;
        size_t close = piece[0] == '<' ? piece.find('>') : std::string_view::npos;
        if (close != std::string_view::npos) {
            out.format = ParseChatTag(piece.substr(0, close + 1), sizeCap, linkEnabled);
            out.text = std::string(piece.substr(close + 1));
        } else {
            out.text = std::string(piece);
        }
        pieces.push_back(std::move(out));
    }
    return pieces;
}

std::string NeutraliseMarkup(std::string_view text, bool keepChatTags) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out.push_back(' ');
            continue;
        }
        if (c != '<') {
            out.push_back(c);
            continue;
        }
        if (keepChatTags) {
            std::string_view rest = text.substr(i);
            if (rest.substr(0, 2) == "<>") {
                out.append("<>");
                ++i;
                continue;
            }
            if (rest.substr(0, 3) == "<z=") {
                size_t d = 3;
                while (d < rest.size() && d < 6 && IsDigit(rest[d])) ++d;
                if (d > 3 && d < rest.size() && rest[d] == '>') {
                    out.append(rest.substr(0, d + 1));
                    i += d;
                    continue;
                }
            }
        }
        out.append("＜");
    }
    return out;
}

std::vector<std::pair<size_t, size_t>> FindUrls(std::string_view text) {
    std::vector<std::pair<size_t, size_t>> found;
    auto startsAt = [&](size_t i, std::string_view p) {
        if (i + p.size() > text.size()) return false;
        for (size_t k = 0; k < p.size(); ++k) {
            char c = text[i + k];
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
            if (c != p[k]) return false;
        }
        return true;
    };
    size_t i = 0;
    while (i < text.size()) {
        size_t prefix = 0;
        for (std::string_view p : {"http://", "https://", "www."})
            if (startsAt(i, p)) prefix = p.size();
        bool wordStart = i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1]));
        if (prefix == 0 || !wordStart) {
            ++i;
            continue;
        }
        size_t end = i + prefix;
        while (end < text.size()) {
            unsigned char c = static_cast<unsigned char>(text[end]);
            if (c <= ' ' || c >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>') break;
            ++end;
        }
        if (end > i + prefix) found.emplace_back(i, end - i);
        i = end;
    }
    return found;
}

}  // namespace hqlv::framework
