// Fitting a button caption into its box: one line, or two for an even number of Chinese
// characters, with the largest height that fits and the spacing spread evenly.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/render/text_layout.h"
#include "platform/core/text.h"

namespace hqlv::engine {
namespace {

int32_t Clamp32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool IsLead(char c) {
    return static_cast<unsigned char>(c) >= 0x81;
}

// Cuts the GBK text and ends it in "..", keeping the double-byte character before the dots
// whole. → the length of the part before the dots.
size_t Shorten(std::string& g) {
    const size_t len = g.size();
    int high = 0;
    for (size_t i = len - 4; i < len; ++i)
        high += (static_cast<unsigned char>(g[i]) & 0x80) ? 1 : 0;
    if ((5 - high) % 2 != 0) {
        g[len - 4] = g[len - 3] = '.';
        g.resize(len - 2);
        return len - 4;
    }
    g[len - 3] = g[len - 2] = '.';
    g.resize(len - 1);
    return len - 3;
}

// The bytes of one UTF-8 character at i, as the GBK conversion takes them: a well-formed
// sequence whole, anything else one byte at a time.
size_t Utf8Unit(std::string_view s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c >= 0xF0 && c <= 0xF4   ? 4
                     : c >= 0xE0 && c <= 0xEF ? 3
                     : c >= 0xC2 && c <= 0xDF ? 2
                                              : 1;
    if (i + n > s.size()) return 1;
    for (size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

}  // namespace

TextOffset FitTextInBox(int width, int height, std::string& text, TextStyle& style, int marginX,
                        int marginY, int forcedHeight) {
    // The sizes are worked out on the caption's GBK bytes, the unit the layout's byte rules
    // count. What is kept of a shortened caption is taken from the caller's own text, since a
    // character GBK cannot hold has become '?' in the GBK form.
    std::string g;
    std::vector<size_t> utf8Ends, gbkEnds;  // where each character ends in either form
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8Unit(text, i);
        g += platform::utf8ToGbk(std::string_view(text).substr(i, n));
        i += n;
        utf8Ends.push_back(i);
        gbkEnds.push_back(g.size());
    }
    const int64_t W = width, H = height, mx = marginX, my = marginY, fh = forcedHeight;
    bool shortened = false, dots = false;
    size_t kept = g.size();  // GBK bytes of the caption before any dots
    auto shorten = [&] {
        kept = std::min(kept, Shorten(g));
        shortened = dots = true;
    };
    auto done = [&](int64_t x, int64_t y) {
        if (shortened) {
            size_t end = 0;
            for (size_t k = 0; k < gbkEnds.size() && gbkEnds[k] <= kept; ++k) end = utf8Ends[k];
            text = text.substr(0, end) + (dots ? ".." : "");
        }
        return TextOffset{Clamp32(x), Clamp32(y)};
    };
    for (;;) {
        int64_t len = int64_t(g.size());
        if (len == 0) return done(0, 0);
        const int64_t size = std::min(mx ? (W - 2 * mx) * 2 / len : 2 * W / (len + 2),
                                      my ? H - 2 * my : int64_t(double(H) / 1.5));
        int64_t mX = mx ? mx : size / 2;
        int64_t h = fh ? fh : size;
        h -= h % 2;
        style.height = Clamp32(h);
        const int64_t minHeight = std::max<int64_t>(12, std::min(W, H) / 5);
        if (fh) {
            while (W - 2 * mX - h * len / 2 < 0) {
                if (len < 3) {
                    g.clear();
                    kept = 0;
                    shortened = true;
                    dots = false;
                    return done(0, 0);
                }
                if (len <= 4) {
                    g.resize(IsLead(g[0]) ? 2 : 1);
                    kept = std::min(kept, g.size());
                    shortened = true;
                    dots = false;
                } else {
                    shorten();
                }
                len = int64_t(g.size());
            }
        }
        int64_t singles = 0, doubles = 0;
        bool allDouble = IsLead(g[0]);
        for (size_t i = IsLead(g[0]) ? 2 : 1; i < g.size();) {
            if (IsLead(g[i])) {
                ++doubles;
                i += 2;
            } else {
                ++singles;
                allDouble = false;
                ++i;
            }
        }
        const int64_t units = singles + 2 * doubles;
        mX = std::max(mX, (W - h * len / 2) / (units + 2));
        int64_t y = (H - h) / 2;
        int64_t pitch = units ? (W - 2 * mX - h * len / 2) / units : 0;
        int64_t rowSpace = 0;
        int64_t x = (W - pitch * units - h * len / 2) / 2;
        if (allDouble && len % 4 == 0 && !fh && !shortened) {
            const int64_t size2 = std::min(mx ? (W - 2 * mx) * 4 / len : 2 * W / (len / 2 + 2),
                                           my ? (H - 2 * my) / 2 : H / 3);
            if (size2 >= h) {
                h = size2 - size2 % 2;
                const int64_t half = (2 * doubles - 2) / 2;  // gaps of both lines, in units
                mX = std::max(mX, (W - h * len / 4) / (half + 2));
                y = std::max(my, (H - 2 * h) / 3);
                pitch = len > 4 ? (W - 2 * mX - h * len / 4) / half : 0;
                rowSpace = H - 2 * y - 2 * h;
                x = (W - pitch * half - h * len / 4) / 2;
            }
        }
        style.height = Clamp32(h);
        style.pitch = Clamp32(pitch);
        style.rowSpace = Clamp32(rowSpace);
        style.leftMargin = Clamp32(x);
        if (!fh && h < minHeight && len >= 5) {
            shorten();
            continue;
        }
        return done(x, y);
    }
}

}  // namespace hqlv::engine
