#include "netlib/base64.h"

#include <cstring>

namespace hqlv::netlib {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kSkip = 0xFE;
constexpr uint8_t kInvalid = 0xFF;

// Encodes in the library's layout; lineBreak inserts "\r\n" once after 72 characters.
std::string encode(const uint8_t* p, size_t n, bool lineBreak) {
    std::string out;
    out.reserve(n / 3 * 4 + 8);
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
        if (lineBreak && out.size() == 72) out += "\r\n";
    }
    size_t rest = n - i;
    if (rest == 1) {
        uint32_t v = uint32_t(p[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    } else {
        out += '=';
    }
    return out;
}

}  // namespace

void CBase64Coder::InitTables() {
    std::memset(table_, kInvalid, sizeof table_);
    for (int i = 0; i < 64; ++i) table_[static_cast<uint8_t>(kAlphabet[i])] = uint8_t(i);
    table_[static_cast<uint8_t>('\t')] = kSkip;
    table_[static_cast<uint8_t>('\n')] = kSkip;
    table_[static_cast<uint8_t>('\r')] = kSkip;
    table_[static_cast<uint8_t>(' ')] = kSkip;
}

int CBase64Coder::decode(const uint8_t* text, size_t n, std::vector<uint8_t>& out) {
    // 'A' maps to 0, so the first entry marks the table as built only once 0 is gone.
    if (table_[0] == 0) InitTables();
    out.clear();
    if (n == 0) return 0;
    out.reserve(n * 3 / 4 + 1);
    size_t pos = 0;
    // Next significant character: its value, '=' as 64, or kInvalid at the end of input.
    auto next = [&]() -> int {
        while (pos < n) {
            uint8_t c = text[pos++];
            if (c == '=') return 64;
            uint8_t v = table_[c];
            if (v == kSkip) continue;
            return v;
        }
        return kInvalid;
    };
    for (;;) {
        // Input used up after a full group: the bytes stay, but no end mark was seen.
        while (pos < n && table_[text[pos]] == kSkip) ++pos;
        if (pos >= n) return 0;
        // A group is four significant characters, read whole before any of them is looked
        // at: running out inside it counts as an invalid character, so "YQ=" is no text.
        int c[4];
        for (int& k : c) k = next();
        // "=" first: the end, with what the earlier groups gave.
        if (c[0] == 64) return 1;
        for (int k : c)
            if (k == kInvalid) {
                out.clear();
                return 0;
            }
        // "=" in place 2, 3 or 4 ends the text after the bytes its group gives.
        for (int k = 1; k < 4; ++k)
            if (c[k] == 64) {
                if (k >= 2) out.push_back(uint8_t((c[0] << 2) | (c[1] >> 4)));
                if (k == 3) out.push_back(uint8_t(((c[1] & 15) << 4) | (c[2] >> 2)));
                return 1;
            }
        out.push_back(uint8_t((c[0] << 2) | (c[1] >> 4)));
        out.push_back(uint8_t(((c[1] & 15) << 4) | (c[2] >> 2)));
        out.push_back(uint8_t(((c[2] & 3) << 6) | c[3]));
    }
}

int CBase64Coder::DecodeString(const std::string& text, std::vector<uint8_t>& out) {
    return decode(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
}

int CBase64Coder::DecodeBytes(const std::vector<uint8_t>& text, std::vector<uint8_t>& out) {
    return decode(text.data(), text.size(), out);
}

int CBase64Coder::EncodeToString(const std::vector<uint8_t>& bytes, std::string& out) {
    out = encode(bytes.data(), bytes.size(), true);
    return 1;
}

int CBase64Coder::EncodeToBytes(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& out) {
    std::string s = encode(bytes.data(), bytes.size(), false);
    out.assign(s.begin(), s.end());
    return 1;
}

std::string YrnBase64Standard(const void* bytes, size_t n) {
    auto* p = static_cast<const uint8_t*>(bytes);
    std::string s = encode(p, n, false);
    // The library's form differs only by the extra "=" after a whole number of groups.
    if (n % 3 == 0) s.pop_back();
    return s;
}

}  // namespace hqlv::netlib
