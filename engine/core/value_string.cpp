#include "engine/core/value_string.h"

#include <locale.h>
#include <stdlib.h>
#include <string.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "engine/core/engine_log.h"

namespace hqlv::engine {
namespace {

// A floating division by zero gives what the floating-point standard gives (an infinity of
// the quotient's sign, or not-a-number for 0 / 0), written out rather than left to the
// division, which the language leaves undefined.
double QuotientByZero(double x, double zero) {
    if (x == 0 || std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
    return std::copysign(std::numeric_limits<double>::infinity(), x) * std::copysign(1.0, zero);
}

// Script numbers are written and read with a '.', whatever locale the user's environment
// gives the C library (the toolkit applies it at start).
locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

std::string floatText(double v) {
    char buf[512];  // "%f" of the largest double has 316 characters
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

bool isIntegral(uint8_t type) {
    return type == kValueInt || type == kValueBool || type == kValueUnsigned;
}

// Two's-complement wrap without the undefined behaviour of signed overflow.
int wrap(int64_t v) {
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

enum class Op { kAdd, kSub, kMul, kDiv };

ValueString arith(const ValueString& a, const ValueString& b, Op op) {
    if (isIntegral(a.type())) {
        const int64_t x = a.ToInt(), y = b.ToInt();
        int r = 0;
        switch (op) {
            case Op::kAdd:
                r = wrap(x + y);
                break;
            case Op::kSub:
                r = wrap(x - y);
                break;
            case Op::kMul:
                r = wrap(x * y);
                break;
            // No result is defined for these two; 0 keeps the script running.
            case Op::kDiv:
                r = (y == 0 || (x == INT_MIN && y == -1)) ? 0 : int(x / y);
                break;
        }
        return ValueString::FromInt(r, a.flag());
    }
    if (a.type() == kValueFloat) {
        const double x = a.ToFloat(), y = b.ToFloat();
        double r = 0;
        switch (op) {
            case Op::kAdd:
                r = x + y;
                break;
            case Op::kSub:
                r = x - y;
                break;
            case Op::kMul:
                r = x * y;
                break;
            case Op::kDiv:
                r = y != 0 ? x / y : QuotientByZero(x, y);
                break;
        }
        return ValueString::FromFloat(r, b.flag());
    }
    // A text result is made in a block of its own length: the copy of a's text that a plain
    // a + b or erase starts from would keep a's block (or twice it, grown by the append), and
    // the run counts what it holds by the texts' lengths.
    if (op == Op::kAdd || op == Op::kMul) {
        std::string joined;
        joined.reserve(a.text().size() + b.text().size());
        joined.append(a.text()).append(b.text());
        return ValueString(std::move(joined), kValueText, a.flag());
    }
    // Text subtraction removes the first occurrence of b's text from a's ("hello world" less
    // "world" is "hello "); without one, a is unchanged. Yielding the occurrence itself, which
    // always equals b's text, would leave a script nothing to subtract texts for.
    // glibc's memmem is linear in both lengths; a plain find tries b at every place of a, and
    // a text of 48 KiB less one of 16 KiB took half a billion byte compares for one statement.
    const std::string& whole = a.text();
    const std::string& part = b.text();
    const void* found = memmem(whole.data(), whole.size(), part.data(), part.size());
    if (!found) return a;
    const size_t at = size_t(static_cast<const char*>(found) - whole.data());
    std::string rest;
    rest.reserve(a.text().size() - b.text().size());
    rest.append(a.text(), 0, at).append(a.text(), at + b.text().size());
    return ValueString(std::move(rest), kValueText, 0);
}

int compare(const ValueString& a, const ValueString& b) {
    if (isIntegral(a.type())) {
        const int x = a.ToInt(), y = b.ToInt();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.type() == kValueFloat) {
        const double x = a.ToFloat(), y = b.ToFloat();
        return x < y ? -1 : (x > y ? 1 : (x == y ? 0 : 2));  // 2: unordered (NaN)
    }
    // std::string compares its bytes as unsigned characters.
    const int c = a.text().compare(b.text());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

ValueString ValueString::FromInt(int v, uint8_t flag) {
    return ValueString(std::to_string(v), kValueInt, flag);
}
ValueString ValueString::FromUnsigned(uint32_t v, uint8_t flag) {
    return ValueString(std::to_string(v), kValueUnsigned, flag);
}
ValueString ValueString::FromBool(bool v, uint8_t flag) {
    return ValueString(v ? "TRUE" : "FALSE", kValueBool, flag);
}
ValueString ValueString::FromFloat(double v, uint8_t flag) {
    return ValueString(floatText(v), kValueFloat, flag);
}

void ValueString::DetectType() {
    bool dot = false;
    for (size_t i = 0; i < text_.size(); ++i) {
        const char c = text_[i];
        if (c >= '0' && c <= '9') continue;
        if (c == '.') {
            dot = true;
        } else if ((c == '+' || c == '-') && i == 0) {
            continue;
        } else {
            type_ = kValueText;
            return;
        }
    }
    type_ = dot ? kValueFloat : kValueInt;
}

int ValueString::ToInt() const {
    return StrToInt(text_);
}

double ValueString::ToFloat() const {
    return strtod_l(text_.c_str(), nullptr, cLocale());
}

int ValueString::ToBool() const {
    if (text_ == "TRUE") return 1;
    if (text_ == "FALSE") return 0;
    return ToInt();
}

size_t ValueString::FindOutsideQuotes(char ch, size_t start) const {
    bool inside = false;
    for (size_t i = start; i < text_.size(); ++i) {
        if (text_[i] == '"') {
            inside = !inside;
        } else if (text_[i] == ch && !inside) {
            return i;
        }
    }
    return text_.size();
}

void ValueString::AssignText(std::string_view s) {
    text_ = s;
    type_ = kValueText;
    flag_ = 0;
}
void ValueString::AssignCStr(std::string_view s) {
    text_ = s;
    type_ = kValueText;
}
void ValueString::Append(const ValueString& v) {
    text_ += v.text_;
    type_ = v.type_;
    flag_ = v.flag_;
}
void ValueString::AppendCStr(std::string_view s) {
    text_ += s;
    type_ = kValueText;
}
void ValueString::AppendInt(int v) {
    text_ += std::to_string(v);
    type_ = kValueInt;
}
void ValueString::AppendFloat(double v) {
    text_ += floatText(v);
    type_ = kValueFloat;
}
void ValueString::AppendUnsigned(uint32_t v) {
    text_ += std::to_string(v);
    type_ = kValueUnsigned;
}

ValueString ValueString::Add(const ValueString& a, const ValueString& b) {
    return arith(a, b, Op::kAdd);
}
ValueString ValueString::Subtract(const ValueString& a, const ValueString& b) {
    return arith(a, b, Op::kSub);
}
ValueString ValueString::Multiply(const ValueString& a, const ValueString& b) {
    return arith(a, b, Op::kMul);
}
ValueString ValueString::Divide(const ValueString& a, const ValueString& b) {
    return arith(a, b, Op::kDiv);
}
ValueString ValueString::Concat(std::string_view s, const ValueString& a) {
    return ValueString(std::string(s) + a.text_, kValueText, 0);
}

bool ValueString::Equal(const ValueString& a, const ValueString& b) {
    return compare(a, b) == 0;
}
bool ValueString::NotEqual(const ValueString& a, const ValueString& b) {
    return compare(a, b) != 0;
}
bool ValueString::Less(const ValueString& a, const ValueString& b) {
    return compare(a, b) == -1;
}
bool ValueString::GreaterOrEqual(const ValueString& a, const ValueString& b) {
    const int c = compare(a, b);
    return c == 0 || c == 1;
}

}  // namespace hqlv::engine
