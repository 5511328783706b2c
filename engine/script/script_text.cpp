#include "engine/script/script_text.h"

#include <cstdio>

#include "platform/core/text.h"

namespace hqlv::engine::script {
namespace {

constexpr size_t kRestShown = 512;

// Trailing spaces go, and tabs with them (a tab is blank, see IsBlankChar).
std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool LimitBreached(std::string_view text, size_t from, size_t to, size_t limit, const char* message,
                   std::string* error) {
    if (to - from <= limit || GbkLength(text.substr(from, to - from)) <= limit) return false;
    if (error) *error = FormatRest(message, text, from);
    return true;
}

}  // namespace

size_t GbkLength(std::string_view utf8) {
    size_t n = 0;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const size_t len = CharLength(utf8, i);
        n += c < 0x80 ? 1 : (c >= 0xF0 && len == 4 ? 4 : (len == 1 ? 1 : 2));
        i += len;
    }
    return n;
}

size_t CharLength(std::string_view text, size_t i) {
    if (i >= text.size()) return 0;
    const auto c = static_cast<unsigned char>(text[i]);
    size_t len = 1;
    if (c >= 0xF0 && c < 0xF8)
        len = 4;
    else if (c >= 0xE0)
        len = c < 0xF0 ? 3 : 1;
    else if (c >= 0xC0)
        len = 2;
    if (i + len > text.size()) return 1;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
    return len;
}

// A tab is blank as well: a script indented with tabs reads like one indented with spaces
// instead of failing on words that start with a tab.
bool IsBlankChar(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool IsTokenDelimiter(char c) {
    return c == ' ' || c == ';' || c == ',' || c == '(' || c == ')' || c == '=';
}

bool IsOperatorChar(char c) {
    switch (c) {
        case '+':
        case '*':
        case '-':
        case '/':
        case '%':
        case '>':
        case '<':
        case '&':
        case '|':
        case '=':
        case '!':
            return true;
        default:
            return false;
    }
}

bool IsOperatorWord(std::string_view w) {
    static constexpr std::string_view kOps[] = {
        "+", "-", "*", "/", "%", ">", "<", "==", ">=", "<=", "!=", "&&", "||", "&", "|"};
    for (std::string_view op : kOps)
        if (w == op) return true;
    return false;
}

bool IsKeywordWord(std::string_view w) {
    static constexpr std::string_view kWords[] = {"并行",     "整数",     "小数", "句柄", "字符",
                                                  "默认类型", "匹配完毕", "{",    "}",    "跳出"};
    for (std::string_view k : kWords)
        if (w == k) return true;
    return false;
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlankChar(text[pos])) ++pos;
    return pos;
}

std::string FormatText(const char* format, std::string_view value) {
    const std::string v(value);
    const int n = std::snprintf(nullptr, 0, format, v.c_str());
    std::string out(size_t(n > 0 ? n : 0), '\0');
    std::snprintf(out.data(), out.size() + 1, format, v.c_str());
    return out;
}

std::string FormatRest(const char* format, std::string_view text, size_t pos) {
    const std::string_view rest = pos < text.size() ? text.substr(pos) : std::string_view{};
    return FormatText(format, platform::utf8Truncate(rest, kRestShown));
}

std::string ReadWord(std::string_view text, size_t& pos) {
    size_t p = SkipBlanks(text, pos);
    if (p >= text.size()) {
        pos = p;
        return {};
    }
    if (text[p] == '{' || text[p] == '}') {
        pos = p + 1;
        return std::string(1, text[p]);
    }
    size_t e = p;
    while (e < text.size()) {
        const char c = text[e];
        if (c == ' ' || c == ';' || c == '(' || c == '\r' || c == '\n' || c == '{' || c == '\t')
            break;
        ++e;
    }
    if (e - p > kWordLimit && GbkLength(text.substr(p, e - p)) > kWordLimit) return {};
    std::string word(text.substr(p, e - p));
    if (e < text.size() && (text[e] == ' ' || text[e] == ';')) ++e;
    pos = e;
    return word;
}

std::string ReadFunctionName(std::string_view text, size_t& pos, std::string* error) {
    const size_t p = SkipBlanks(text, pos);
    size_t e = p;
    while (e < text.size() && !IsTokenDelimiter(text[e])) ++e;
    if (LimitBreached(text, p, e, kFunctionNameLimit, "函数名超长:%s", error)) return {};
    pos = e;
    return std::string(text.substr(p, e - p));
}

std::string ReadCondition(std::string_view text, size_t& pos, std::string* error) {
    const size_t p = SkipBlanks(text, pos);
    const size_t open = FindOutside(text, '(', p);
    const size_t close = open == npos ? npos : FindClosingParen(text, open + 1);
    if (close == npos) {
        if (error) *error = FormatRest("条件超长:%s", text, p);
        return {};
    }
    if (LimitBreached(text, open + 1, close, kConditionLimit, "条件超长:%s", error)) return {};
    pos = close + 1;
    return std::string(text.substr(open + 1, close - open - 1));
}

std::string ReadPrefix(std::string_view text, size_t& pos, std::string* error) {
    const size_t p = SkipBlanks(text, pos);
    size_t e = p;
    while (e < text.size() && text[e] != '=' && text[e] != ';') ++e;
    if (LimitBreached(text, p, e, kPrefixLimit, "前缀超长:%s", error)) return {};
    std::string out(TrimRight(text.substr(p, e - p)));
    pos = e < text.size() ? e + 1 : e;
    return out;
}

std::string ReadSuffix(std::string_view text, size_t& pos, std::string* error) {
    const size_t p = SkipBlanks(text, pos);
    size_t e = FindOutside(text, ';', p);
    const bool found = e != npos;
    if (!found) e = text.size();
    if (LimitBreached(text, p, e, kSuffixLimit, "后缀超长:%s", error)) return {};
    std::string out(TrimRight(text.substr(p, e - p)));
    pos = found ? e + 1 : e;
    return out;
}

size_t FindOutside(std::string_view text, char ch, size_t pos) {
    bool inside = false;
    for (size_t i = pos; i < text.size(); ++i) {
        if (text[i] == '"')
            inside = !inside;
        else if (text[i] == ch && !inside)
            return i;
    }
    return npos;
}

size_t FindAssignment(std::string_view text, size_t pos) {
    bool inside = false;
    for (size_t i = pos; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            inside = !inside;
            continue;
        }
        if (inside) continue;
        if (c == ';') return npos;
        if (c != '=') continue;
        const char before = i > pos ? text[i - 1] : '\0';
        const char after = i + 1 < text.size() ? text[i + 1] : '\0';
        // "!=" is a comparison like "<=", ">=" and "==".
        if (before == '>' || before == '<' || before == '=' || before == '!' || after == '=')
            continue;
        return i;
    }
    return npos;
}

size_t FindClosingParen(std::string_view text, size_t pos) {
    bool inside = false;
    int depth = 1;
    for (size_t i = pos; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') inside = !inside;
        if (inside) continue;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i;
    }
    return npos;
}

int CountArguments(std::string_view args) {
    int count = 0;
    bool inside = false;
    int depth = 0;
    bool itemHasText = false;
    for (char c : args) {
        if (c == '"') inside = !inside;
        if (!inside && c == '(') ++depth;
        if (!inside && c == ')') --depth;
        if (!inside && depth == 0 && c == ',') {
            ++count;
            itemHasText = false;
            continue;
        }
        if (!IsBlankChar(c)) itemHasText = true;
    }
    return itemHasText ? count + 1 : count;
}

}  // namespace hqlv::engine::script
