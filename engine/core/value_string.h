#pragma once
// The script language's value: a text with a type tag saying how to read it, and a flag
// byte the interpreter keeps for itself. Arithmetic and comparisons read both operands
// the way the left one's type says.
#include <cstdint>
#include <string>
#include <string_view>

namespace hqlv::engine {

enum ValueType : uint8_t {
    kValueNone = 0,
    kValueText = 5,
    kValueInt = 10,
    kValueBool = 20,
    kValueFloat = 30,
    kValueUnsigned = 40,
};

class ValueString {
public:
    ValueString() = default;
    ValueString(std::string text, uint8_t type, uint8_t flag = 0)
        : text_(std::move(text)), type_(type), flag_(flag) {}

    static ValueString FromInt(int v, uint8_t flag = 0);
    static ValueString FromUnsigned(uint32_t v, uint8_t flag = 0);
    static ValueString FromBool(bool v, uint8_t flag = 0);
    static ValueString FromFloat(double v, uint8_t flag = 0);

    uint8_t type() const { return type_; }
    uint8_t flag() const { return flag_; }
    void SetType(uint8_t type, uint8_t flag) {
        type_ = type;
        flag_ = flag;
    }
    void ClearType() { type_ = kValueNone; }
    // Digits, any dots (float) and a sign only in front make a number; anything else text.
    // The empty text is an integer.
    void DetectType();

    const std::string& text() const { return text_; }
    std::string GetText() const { return text_; }
    // The byte at i; 0 at or past the end.
    char CharAt(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
    // As atoi, saturating at the int range instead of overflowing.
    int ToInt() const;
    double ToFloat() const;
    // 1 for exactly "TRUE", 0 for exactly "FALSE", else ToInt.
    int ToBool() const;
    // The first ch at or after start outside double quotes (counted from start); the text's
    // length when none.
    size_t FindOutsideQuotes(char ch, size_t start) const;

    void Assign(const ValueString& v) { *this = v; }
    void AssignText(std::string_view s);  // type text, flag 0
    void AssignCStr(std::string_view s);  // type text, flag kept
    void Append(const ValueString& v);
    void AppendCStr(std::string_view s);
    void AppendInt(int v);
    void AppendFloat(double v);
    void AppendUnsigned(uint32_t v);

    // Integers wrap on 32 bits; division by 0 and INT_MIN / -1 give 0. Texts: Add and
    // Multiply join them, Subtract and Divide remove the first occurrence of b's text.
    static ValueString Add(const ValueString& a, const ValueString& b);
    static ValueString Subtract(const ValueString& a, const ValueString& b);
    static ValueString Multiply(const ValueString& a, const ValueString& b);
    static ValueString Divide(const ValueString& a, const ValueString& b);
    static ValueString Concat(std::string_view s, const ValueString& a);

    static bool Equal(const ValueString& a, const ValueString& b);
    static bool NotEqual(const ValueString& a, const ValueString& b);
    static bool Less(const ValueString& a, const ValueString& b);
    static bool GreaterOrEqual(const ValueString& a, const ValueString& b);
    static bool TextEqual(const ValueString& a, std::string_view s) { return a.text_ == s; }
    static bool TextNotEqual(const ValueString& a, std::string_view s) { return a.text_ != s; }
    static int FloatCompare(const ValueString& a, double number) {
        return a.ToFloat() > number ? 1 : 0;
    }

private:
    std::string text_;
    uint8_t type_ = kValueNone;
    uint8_t flag_ = 0;
};

}  // namespace hqlv::engine
