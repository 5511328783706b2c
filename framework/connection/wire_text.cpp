#include "framework/connection/wire_text.h"

#include <iconv.h>

#include <vector>

namespace hqlv::framework {

namespace {

// One conversion; an unconvertible input byte becomes '?' and the conversion goes on.
std::string Convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char* dst = buf.data();
        size_t room = buf.size();
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf.data(), dst - buf.data());
        if (r == static_cast<size_t>(-1)) {
            if (left == 0) break;
            out.push_back('?');
            ++src;
            --left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

// One character; empty when it has no GBK form.
std::string OneToGbk(std::string_view ch) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    char buf[16];
    char* src = const_cast<char*>(ch.data());
    size_t left = ch.size();
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || left != 0) return {};
    return std::string(buf, dst - buf);
}

}  // namespace

std::string WireToText(std::string_view gbk) {
    return Convert("UTF-8", "GB18030", gbk);
}

std::string TextToWire(std::string_view utf8, size_t maxBytes) {
    std::string out;
    // Convert character by character so the cut falls on a boundary and an unmappable
    // character becomes one '?'.
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t n = c < 0x80             ? 1
                   : (c & 0xE0) == 0xC0 ? 2
                   : (c & 0xF0) == 0xE0 ? 3
                   : (c & 0xF8) == 0xF0 ? 4
                                        : 1;
        if (i + n > utf8.size()) n = utf8.size() - i;
        std::string piece =
            n == 1 && c < 0x80 ? std::string(1, static_cast<char>(c)) : OneToGbk(utf8.substr(i, n));
        if (piece.empty()) piece = "?";
        if (out.size() + piece.size() > maxBytes) break;
        out += piece;
        i += n;
    }
    return out;
}

}  // namespace hqlv::framework
