#include "tools/assetgen/face_art.h"

#include <cmath>

namespace hqlv::assetgen {
namespace {

void put16(std::string& s, uint32_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

}  // namespace

std::string bmpFile(int w, int h, const std::vector<uint32_t>& pixels) {
    const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
    const uint32_t image = stride * uint32_t(h);
    std::string s;
    s += "BM";
    put32(s, 54 + image);
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, uint32_t(w));
    put32(s, uint32_t(h));
    put16(s, 1);
    put16(s, 24);
    put32(s, 0);
    put32(s, image);
    put32(s, 2835);
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = pixels[size_t(y * w + x)];
            s.push_back(char(p & 0xFF));          // blue
            s.push_back(char((p >> 8) & 0xFF));   // green
            s.push_back(char((p >> 16) & 0xFF));  // red
        }
        for (uint32_t pad = uint32_t(w) * 3; pad < stride; ++pad) s.push_back(0);
    }
    return s;
}

std::vector<uint32_t> facePixels(int n) {
    const int size = kFaceSize;
    std::vector<uint32_t> px(size_t(size * size), 0xFFFFFF);
    static const uint32_t skins[] = {0xFFD23C, 0xFFB0C0, 0x9CD7FF, 0xA8E890,
                                     0xFFC080, 0xE0B0FF, 0xFFE080, 0xC0C0C0};
    uint32_t fill = n == 0 ? 0x3070E0 : skins[size_t(n) % 8];
    auto set = [&](int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < size && y < size) px[size_t(y * size + x)] = c;
    };
    const double c = (size - 1) / 2.0, r = size / 2.0 - 1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double d = std::hypot(x - c, y - c);
            if (d <= r - 1)
                set(x, y, fill);
            else if (d <= r)
                set(x, y, 0x604020);
        }
    if (n == 0) {
        // The system-notice icon: a white "i" on blue.
        for (int y = 8; y <= 15; ++y) set(9, y, 0xFFFFFF), set(10, y, 0xFFFFFF);
        set(9, 5, 0xFFFFFF), set(10, 5, 0xFFFFFF);
        return px;
    }
    // Eyes: wider apart or closer by face, mouths by kind.
    int eyeGap = 3 + n % 2;
    for (int dy = 0; dy < 2; ++dy) {
        set(int(c) - eyeGap, 7 + dy, 0x202020);
        set(int(c) + eyeGap + 1, 7 + dy, 0x202020);
    }
    int mouth = n % 4;
    for (int x = 6; x <= 13; ++x) {
        int y = 13;
        if (mouth == 0) y = 13 + (x > 7 && x < 12 ? 1 : 0);  // smile
        if (mouth == 1) y = 14 - (x > 7 && x < 12 ? 1 : 0);  // frown
        if (mouth == 3 && (x < 8 || x > 11)) continue;       // small "o"
        set(x, y, 0x802020);
        if (mouth == 3) set(x, y + 1, 0x802020);
    }
    return px;
}

std::string faceRemark(int n) {
    static const char* names[] = {"系统通知", "微笑", "难过", "平静", "惊讶", "开心", "生气",
                                  "得意",     "害羞", "疑问", "再见", "加油", "胜利"};
    return n >= 0 && n <= kFaceCount ? names[n] : "表情";
}

}  // namespace hqlv::assetgen
