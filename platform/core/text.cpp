#include "platform/core/text.h"

#include <iconv.h>

#include <cerrno>

#include "platform/core/diag.h"

namespace hqlv::platform {
namespace {

// One converter per thread and direction; iconv descriptors are not thread-safe.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            diagf("text: iconv %s -> %s unavailable", from, to);
    }
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in, replacing what cannot be converted by '?' and skipping the bad input
    // unit (one byte, or a whole UTF-8 character when it is only unmappable).
    std::string convert(std::string_view in, bool inputIsUtf8) {
        std::string out;
        if (!ok()) {
            out.reserve(in.size());
            for (unsigned char c : in) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 2 + 16);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        size_t used = 0;
        while (srcLeft > 0) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ (bad or unmappable) or EINVAL (cut short at the end).
            size_t skip = 1;
            if (inputIsUtf8 && errno == EILSEQ) {
                skip = utf8SequenceLength(src, srcLeft);
            }
            if (out.size() - used < 1) out.resize(out.size() * 2);
            out[used++] = '?';
            src += skip;
            srcLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(used);
        return out;
    }

private:
    // Length of a well-formed UTF-8 character at p (an unmappable one is skipped whole),
    // else 1 (a malformed byte is skipped alone).
    static size_t utf8SequenceLength(const char* p, size_t left) {
        unsigned char c = static_cast<unsigned char>(p[0]);
        size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
        if (c >= 0xF5 || n > left) return 1;
        for (size_t i = 1; i < n; ++i) {
            if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return 1;
        }
        return n;
    }

    iconv_t cd_;
};

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    for (unsigned char c : gbk) {
        if (c >= 0x80) {
            thread_local Converter conv("UTF-8", "GB18030");
            return conv.convert(gbk, false);
        }
    }
    return std::string(gbk);
}

std::string utf8ToGbk(std::string_view utf8) {
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            thread_local Converter conv("GBK", "UTF-8");
            return conv.convert(utf8, true);
        }
    }
    return std::string(utf8);
}

size_t gbkCharLength(std::string_view text) {
    if (text.empty()) return 0;
    unsigned char c = static_cast<unsigned char>(text[0]);
    if (c < 0x81 || c == 0xFF) return 1;
    if (text.size() < 2) return 0;
    unsigned char c2 = static_cast<unsigned char>(text[1]);
    if (c2 >= 0x30 && c2 <= 0x39) {
        if (text.size() < 4) return 0;
        unsigned char c3 = static_cast<unsigned char>(text[2]);
        unsigned char c4 = static_cast<unsigned char>(text[3]);
        if (c3 >= 0x81 && c3 <= 0xFE && c4 >= 0x30 && c4 <= 0x39) return 4;
        return 1;
    }
    if (c2 >= 0x40 && c2 <= 0xFE && c2 != 0x7F) return 2;
    return 1;  // a lead byte without a valid trail byte stands alone
}

std::string_view gbkTruncate(std::string_view gbk, size_t maxBytes) {
    size_t pos = 0;
    while (pos < gbk.size()) {
        size_t n = gbkCharLength(gbk.substr(pos));
        if (n == 0 || pos + n > maxBytes) break;
        pos += n;
    }
    return gbk.substr(0, pos);
}

std::string utf8ToGbkFit(std::string_view utf8, size_t maxBytes) {
    std::string g = utf8ToGbk(utf8);
    g.resize(gbkTruncate(g, maxBytes).size());
    return g;
}

std::string_view utf8Truncate(std::string_view utf8, size_t maxBytes) {
    if (utf8.size() <= maxBytes) return utf8;
    size_t end = maxBytes;
    // Step back over continuation bytes to the start of the character that would be cut.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    return utf8.substr(0, end);
}

}  // namespace hqlv::platform
