// The rich-text tags of the text layout: groups such as <color=255;bold> change the look of
// the text from that point on.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/render/text_layout.h"

namespace hqlv::engine {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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
        std::vector<std::string> parts;
        if (SplitCommaList(value, parts) != 3) return 0;
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
        l.SetFont(cur.height, cur.weight, UnquoteText(value), 0, 0);
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
    // Tag names and values match without regard to ASCII case.
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
