#pragma once
// A ".pps" writer for the tests: the system only reads the format, so the round trips need
// their own encoder. It emits every run-length op (short and long runs and literals).
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/bytes.h"

namespace hqlv::engine::test {

struct EncFrame {
    uint32_t flags = 0;  // 0x01 indexes, 0x04 alpha plane, 0x20 zlib part A (mode 6)
    uint32_t delay = 0;
    std::vector<uint8_t> decoded;  // B,G,R,A per pixel; (index, alpha) pairs; or indexes
};

struct EncPicture {
    uint8_t mode = 1;
    uint32_t flags = 0;
    uint16_t width = 0, height = 0;
    uint32_t key = 0;
    uint16_t paletteEntries = 0;
    std::string paletteName;
    std::vector<uint8_t> palette;  // entries × RGB
    std::vector<EncFrame> frames;
    uint32_t trailer = 0;
};

inline void RleEncode(const std::vector<uint8_t>& in, int ss, std::vector<uint8_t>& out) {
    const size_t n = in.size() / ss;
    auto same = [&](size_t a, size_t b) {
        return std::equal(in.begin() + a * ss, in.begin() + a * ss + ss, in.begin() + b * ss);
    };
    auto emit = [&](int op, size_t count) {
        if (count < 64 && op < 2) {
            out.push_back(uint8_t((count << 2) | op));
        } else {
            out.push_back(uint8_t(((count & 63) << 2) | (op | 2)));
            out.push_back(uint8_t(count >> 6));
        }
    };
    size_t i = 0;
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 16383 && same(i, i + run)) ++run;
        if (run >= 2) {
            emit(0, run);
            out.insert(out.end(), in.begin() + i * ss, in.begin() + i * ss + ss);
            i += run;
            continue;
        }
        size_t lit = 1;
        while (i + lit < n && lit < 16383 && !(i + lit + 1 < n && same(i + lit, i + lit + 1))) {
            ++lit;
        }
        emit(1, lit);
        out.insert(out.end(), in.begin() + i * ss, in.begin() + (i + lit) * ss);
        i += lit;
    }
}

inline std::vector<uint8_t> Rle(const std::vector<uint8_t>& in, int ss) {
    std::vector<uint8_t> out;
    RleEncode(in, ss, out);
    return out;
}

inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& in) {
    uLongf len = compressBound(in.size());
    std::vector<uint8_t> out(len);
    compress2(out.data(), &len, in.data(), in.size(), 9);
    out.resize(len);
    return out;
}

// A zlib stream of `data` in stored blocks, so that a cut after its first k data bytes still
// inflates exactly those k bytes.
inline std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& data) {
    uLongf len = compressBound(data.size());
    std::vector<uint8_t> out(len);
    compress2(out.data(), &len, data.data(), data.size(), 0);
    out.resize(len);
    return out;
}
constexpr size_t kStoredHead = 2 + 5;  // zlib header, stored block header

inline std::vector<uint8_t> EncodePps(const EncPicture& p) {
    platform::ByteWriter w;
    w.bytes("pps", 3);
    w.u8(p.mode);
    w.u32(p.flags);
    w.u16(uint16_t(p.frames.size()));
    w.u16(p.width);
    w.u16(p.height);
    w.u16(0xBEEF);  // reserved
    w.u32(p.key);
    uint32_t total = 0;
    for (const auto& f : p.frames) total += uint32_t(f.decoded.size());
    w.u32(total);
    w.u32(0xDEADBEEF);  // reserved
    w.u16(p.paletteEntries);
    w.u16(0);
    if (p.flags & 0x02) {
        // All 32 bytes may hold the name; a shorter one ends with zeros.
        const size_t n = std::min<size_t>(p.paletteName.size(), 32);
        w.bytes(p.paletteName.data(), n);
        w.zeros(32 - n);
    } else if (p.flags & 0x04) {
        w.bytes(p.palette.data(), p.palette.size());
    }
    const size_t P = size_t(p.width) * p.height;
    for (const auto& f : p.frames) {
        std::vector<uint8_t> a, b;
        const bool indexed = f.flags & 0x01, alpha = f.flags & 0x04;
        std::vector<uint8_t> plane, aplane;
        if (p.mode <= 2) {
            // stored as they are (mode 1) or not at all (mode 2)
        } else if (!indexed) {
            for (size_t i = 0; i < P; ++i) {
                plane.insert(plane.end(), f.decoded.begin() + 4 * i, f.decoded.begin() + 4 * i + 3);
                aplane.push_back(f.decoded[4 * i + 3]);
            }
        } else if (alpha) {
            for (size_t i = 0; i < P; ++i) {
                plane.push_back(f.decoded[2 * i]);
                aplane.push_back(f.decoded[2 * i + 1]);
            }
        } else {
            plane = f.decoded;
        }
        const int ss = indexed ? 1 : 3;
        switch (p.mode) {
            case 1:
                a = f.decoded;
                break;
            case 2:
                break;
            case 3:
                a = Rle(plane, ss);
                if (alpha) b = Rle(aplane, 1);
                break;
            case 4:
                a = Rle(plane, ss);
                if (alpha) b = Deflate(aplane);
                break;
            case 5:
                a = Deflate(plane);
                if (alpha) b = Deflate(aplane);
                break;
            case 6:
                a = (f.flags & 0x20) ? Deflate(plane) : Rle(plane, ss);
                if (alpha) b = Deflate(aplane);
                break;
        }
        w.u32(f.flags);
        w.u32(f.delay);
        w.u32(uint32_t(a.size()));
        w.u32(uint32_t(b.size()));
        w.u32(uint32_t(f.decoded.size()));
        w.bytes(a.data(), a.size());
        w.bytes(b.data(), b.size());
    }
    if (p.flags & 0x20) w.u32(p.trailer);
    return w.take();
}

// A file written word by word, for headers whose sizes do not agree with their frames: every
// field is what the test gives, the part lengths are the parts' own.
struct RawHeader {
    uint8_t mode = 3;
    uint32_t flags = 0;
    uint16_t frames = 1, width = 2, height = 2;
    uint32_t key = 0;
    uint32_t total = 0;
    uint16_t paletteEntries = 0;
};
struct RawFrame {
    uint32_t flags = 0;
    std::vector<uint8_t> a, b;
    uint32_t decodedSize = 0;
    uint32_t delay = 0;
};

inline std::vector<uint8_t> RawPps(const RawHeader& h, const std::vector<RawFrame>& frames,
                                   const std::vector<uint8_t>& palettePart = {}) {
    platform::ByteWriter w;
    w.bytes("pps", 3);
    w.u8(h.mode);
    w.u32(h.flags);
    w.u16(h.frames);
    w.u16(h.width);
    w.u16(h.height);
    w.u16(0);
    w.u32(h.key);
    w.u32(h.total);
    w.u32(0);
    w.u16(h.paletteEntries);
    w.u16(0);
    w.bytes(palettePart.data(), palettePart.size());
    for (const RawFrame& f : frames) {
        w.u32(f.flags);
        w.u32(f.delay);
        w.u32(uint32_t(f.a.size()));
        w.u32(uint32_t(f.b.size()));
        w.u32(f.decodedSize);
        w.bytes(f.a.data(), f.a.size());
        w.bytes(f.b.data(), f.b.size());
    }
    return w.take();
}

// A one-pixel picture of three colours that takes its palette from the named global
// palette; its only pixel is index 2.
inline EncPicture GlobalPalettePicture(const std::string& paletteName, uint32_t key = 0) {
    EncPicture p;
    p.mode = 1;
    p.flags = 0x02 | 0x01;
    p.width = p.height = 1;
    p.key = key;
    p.paletteEntries = 3;
    p.paletteName = paletteName;
    EncFrame f;
    f.flags = 1;
    f.decoded = {2};
    p.frames.push_back(f);
    return p;
}

}  // namespace hqlv::engine::test
