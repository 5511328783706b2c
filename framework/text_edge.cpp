#include "framework/text_edge.h"

#include <iconv.h>

#include <cerrno>

namespace hqlv::framework {
namespace {

std::string convert(const char* to, const char* from, std::string_view in) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[512];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // Invalid or incomplete input: one '?' for the byte (or UTF-8 sequence).
            out += '?';
            size_t skip = 1;
            unsigned char c = static_cast<unsigned char>(*src);
            if (std::string_view(from) == "UTF-8") {
                if (c >= 0xF0)
                    skip = 4;
                else if (c >= 0xE0)
                    skip = 3;
                else if (c >= 0xC0)
                    skip = 2;
            }
            if (skip > left) skip = left;
            src += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    return convert("UTF-8", "GB18030", gbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
    return convert("GBK", "UTF-8", utf8);
}

std::string GbkCut(std::string_view gbk, size_t maxBytes) {
    size_t i = 0;
    while (i < gbk.size()) {
        size_t w = static_cast<unsigned char>(gbk[i]) >= 0x81 ? 2 : 1;
        if (i + w > maxBytes) break;
        i += w;
    }
    if (i > gbk.size()) i = gbk.size();
    return std::string(gbk.substr(0, i));
}

std::string Utf8ToGbkCut(std::string_view utf8, size_t maxBytes) {
    return GbkCut(Utf8ToGbk(utf8), maxBytes);
}

}  // namespace hqlv::framework
