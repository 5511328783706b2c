// The rich-text tags of the text layout: groups such as <color=255;bold> change the look of
// the text from that point on.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/render/text_layout.h"

namespace hqlv::engine {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Tag names and values match without regard to ASCII case; UTF-8 bytes of other characters
// are all above 0x7F and stay as they are.
void ToLowerAscii(std::string& s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = char(c + ('a' - 'A'));
    }
}

// The leading decimal integer, as atoi reads it; a value past 32 bits saturates.
int StrToInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = std::min<int64_t>(v * 10 + (s[i] - '0'), int64_t(INT_MAX) + 1);
    }
    if (negative) v = -v;
    return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

// The text strictly between the first and the last double quote, when there are two.
std::string_view UnquoteText(std::string_view s) {
    const size_t first = s.find('"'), last = s.rfind('"');
    if (first == std::string_view::npos || first == last) return s;
    return s.substr(first + 1, last - first - 1);
}

// Comma-separated pieces; a last piece is kept only when it is not empty.
std::vector<std::string_view> SplitCommaList(std::string_view s) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ',') {
            out.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < s.size()) out.push_back(s.substr(start));
    return out;
}

}  // namespace

int ApplyTextTag(TextLayout& l, std::string_view name, std::string_view value) {
    TextStyle& cur = l.style_;
    TextStyle& entry = l.entry_;
    const int n = StrToInt(value);
    if (name == "color" || name == "c") {
        entry.colour = cur.colour;
        l.SetColor(uint32_t(n));
    } else if (name == "rgb") {
        const auto parts = SplitCommaList(value);
        if (parts.size() != 3) return 0;
        entry.colour = cur.colour;
        l.SetColor((uint32_t(StrToInt(parts[0])) & 255) |
                   ((uint32_t(StrToInt(parts[1])) & 255) << 8) |
                   ((uint32_t(StrToInt(parts[2])) & 255) << 16));
    } else if (name == "/color") {
        l.SetColor(entry.colour);
    } else if (name == "size") {
        l.SetFontSize(n);
    } else if (name == "/size") {
        l.SetFontSize(entry.height);
    } else if (name == "fontname") {
        l.SetFont(cur.height, cur.weight, std::string(UnquoteText(value)), 0, 0);
    } else if (name == "/fontname") {
        l.SetFont(cur.height, cur.weight, std::string(entry.face), 0, 0);
    } else if (name == "bold") {
        l.SetFont(cur.height, value.empty() ? 700 : n, std::string(cur.face), 0, 0);
    } else if (name == "/bold") {
        l.SetFont(cur.height, entry.weight, std::string(cur.face), 0, 0);
    } else if (name == "underline" || name == "/underline") {
        l.SetFont(cur.height, cur.weight, std::string(cur.face), cur.italic, name == "underline");
    } else if (name == "italic" || name == "/italic") {
        l.SetFont(cur.height, cur.weight, std::string(cur.face), name == "italic", cur.underline);
    } else if (name == "rowspace") {
        cur.rowSpace = n;
    } else if (name == "/rowspace") {
        cur.rowSpace = entry.rowSpace;
    } else if (name == "pitch") {
        cur.pitch = n;
    } else if (name == "/pitch") {
        cur.pitch = entry.pitch;
    } else if (name == "rightmargin") {
        cur.rightMargin = n;
    } else if (name == "/rightmargin") {
        cur.rightMargin = entry.rightMargin;
    } else if (name == "leftmargin") {
        cur.leftMargin = n;
        if (n > l.lineStartX_) l.lineStartX_ = n;
    } else if (name == "/leftmargin") {
        cur.leftMargin = entry.leftMargin;
    } else if (name == "break") {
        l.penX_ = l.targetW_ - cur.rightMargin;
    } else {
        return 0;
    }
    return 1;
}

int ParseRichText(TextLayout& l, std::string_view group) {
    std::string g(group);
    ToLowerAscii(g);
    size_t headStart = 0;
    while (headStart < g.size() && IsBlank(g[headStart])) ++headStart;
    size_t headEnd = g.find(':', headStart);
    if (headEnd == std::string::npos) headEnd = g.size();
    const std::string_view head(g.data() + headStart, headEnd - headStart);
    if (head == "script") {
        l.scripts_.push_back(g);
        l.scriptIndex_ = 0;
        return 1;
    }
    if (head == "//") return 1;

    const std::string_view s(g);
    bool applied = false;
    size_t pos = 0;
    while (pos < s.size()) {
        while (pos < s.size() && (IsBlank(s[pos]) || s[pos] == ';')) ++pos;
        const size_t nameStart = pos;
        while (pos < s.size() && s[pos] != '=' && s[pos] != ';' && s[pos] != '>') ++pos;
        const std::string_view name = s.substr(nameStart, pos - nameStart);
        if (pos >= s.size()) {
            if (!ApplyTextTag(l, name, {})) return applied ? 1 : 0;
            return 1;
        }
        while (pos < s.size() && (IsBlank(s[pos]) || s[pos] == '=')) ++pos;
        const size_t valueStart = pos;
        while (pos < s.size() && s[pos] != ';' && s[pos] != '>') ++pos;
        if (!ApplyTextTag(l, name, s.substr(valueStart, pos - valueStart))) return applied ? 1 : 0;
        applied = true;
    }
    return applied ? 1 : 0;
}

}  // namespace hqlv::engine
