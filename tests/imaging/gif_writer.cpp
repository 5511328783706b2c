#include "gif_writer.h"

#include <map>
#include <utility>

namespace imgtest {

namespace {

struct BitOut {
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    int bits = 0;
    void put(int code, int width) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            bytes.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    void flush() {
        if (bits > 0) bytes.push_back(static_cast<uint8_t>(acc));
        acc = 0;
        bits = 0;
    }
};

int tableBits(size_t entries) {
    int n = 0;
    while ((2u << n) < entries) ++n;
    return n;  // size field: 2^(n+1) entries
}

}  // namespace

std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& indices, int minCodeSize) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    BitOut out;
    int width = minCodeSize + 1;
    int next = end + 1;
    std::map<std::pair<int, int>, int> dict;
    out.put(clear, width);
    int prefix = -1;
    for (uint8_t k : indices) {
        if (prefix < 0) {
            prefix = k;
            continue;
        }
        auto it = dict.find({prefix, k});
        if (it != dict.end()) {
            prefix = it->second;
            continue;
        }
        out.put(prefix, width);
        if (next < 4096) {
            dict[{prefix, k}] = next++;
            if (next > (1 << width) && width < 12) ++width;
        } else {
            out.put(clear, width);
            dict.clear();
            width = minCodeSize + 1;
            next = end + 1;
        }
        prefix = k;
    }
    if (prefix >= 0) out.put(prefix, width);
    // The decoder adds a table entry for that last code too and may widen before `end`.
    if (prefix >= 0 && next >= (1 << width) && width < 12) ++width;
    out.put(end, width);
    out.flush();
    std::vector<uint8_t> blocks;
    for (size_t i = 0; i < out.bytes.size(); i += 255) {
        const size_t n = out.bytes.size() - i < 255 ? out.bytes.size() - i : 255;
        blocks.push_back(static_cast<uint8_t>(n));
        blocks.insert(blocks.end(), out.bytes.begin() + static_cast<long>(i),
                      out.bytes.begin() + static_cast<long>(i + n));
    }
    blocks.push_back(0);
    return blocks;
}

std::vector<uint8_t> makeGif(const GifSpec& s) {
    std::vector<uint8_t> o = {'G', 'I', 'F', '8', '9', 'a'};
    auto u16 = [&](uint32_t v) {
        o.push_back(static_cast<uint8_t>(v));
        o.push_back(static_cast<uint8_t>(v >> 8));
    };
    u16(s.width);
    u16(s.height);
    const size_t globalEntries = s.globalPalette.size() / 3;
    o.push_back(globalEntries ? static_cast<uint8_t>(0x80 | 0x70 | tableBits(globalEntries)) : 0);
    o.push_back(0);
    o.push_back(0);
    o.insert(o.end(), s.globalPalette.begin(), s.globalPalette.end());
    if (s.loops >= 0) {
        o.insert(o.end(),
                 {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1});
        u16(static_cast<uint32_t>(s.loops));
        o.push_back(0);
    }
    for (const auto& f : s.frames) {
        if (f.gce) {
            o.insert(o.end(), {0x21, 0xF9, 4});
            o.push_back(static_cast<uint8_t>((f.disposal << 2) | (f.transparent ? 1 : 0)));
            u16(f.delay);
            o.push_back(f.transIndex);
            o.push_back(0);
        }
        o.push_back(',');
        u16(f.left);
        u16(f.top);
        u16(f.width);
        u16(f.height);
        const size_t localEntries = f.localPalette.size() / 3;
        uint8_t flags = f.interlace ? 0x40 : 0;
        if (localEntries) flags |= static_cast<uint8_t>(0x80 | tableBits(localEntries));
        o.push_back(flags);
        o.insert(o.end(), f.localPalette.begin(), f.localPalette.end());
        const size_t entries = localEntries ? localEntries : globalEntries;
        int minCode = f.minCodeSize ? f.minCodeSize : tableBits(entries) + 1;
        if (minCode < 2) minCode = 2;
        // Interlaced frames store their rows in pass order.
        std::vector<uint8_t> rows;
        if (f.interlace) {
            const uint32_t starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (uint32_t y = starts[p]; y < f.height; y += steps[p])
                    rows.insert(rows.end(), f.index.begin() + y * f.width,
                                f.index.begin() + (y + 1) * f.width);
        } else {
            rows = f.index;
        }
        o.push_back(static_cast<uint8_t>(minCode));
        const auto data = lzwEncode(rows, minCode);
        o.insert(o.end(), data.begin(), data.end());
    }
    o.push_back(';');
    return o;
}

}  // namespace imgtest
