#include "engine/render/pps.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/render/render_log.h"
#include "platform/core/bytes.h"

namespace hqlv::engine {

namespace {

// Decoded bytes per pixel of a frame by its own flags.
size_t FrameSampleSize(uint32_t frameFlags) {
    if (!(frameFlags & PPS_FRAME_INDEXED)) return 4;
    return (frameFlags & PPS_FRAME_ALPHA) ? 2 : 1;
}

// The next `length` bytes of the file as one part, cut where the file ends.
std::span<const uint8_t> TakePart(platform::ByteReader& r, uint32_t length, bool& cut) {
    const size_t n = std::min<size_t>(length, r.remaining());
    if (n < length) cut = true;
    std::span<const uint8_t> part(r.current(), n);
    r.skip(n);
    return part;
}

}  // namespace

size_t PpsDecodeRun(std::span<const uint8_t> in, std::span<uint8_t> out, int sampleSize) {
    const size_t ss = size_t(sampleSize);
    size_t ip = 0, op = 0;
    while (ip < in.size() && op < out.size()) {
        const uint8_t c = in[ip++];
        size_t n = c >> 2;
        const int kind = c & 3;
        if (kind >= 2) {
            if (ip >= in.size()) break;  // the count's second byte is not in the part
            n |= size_t(in[ip++]) << 6;
        }
        const size_t room = out.size() - op;
        if (kind & 1) {
            // Literal samples: as many bytes as both the part and the plane still hold.
            const size_t len = std::min({n * ss, in.size() - ip, room});
            std::memcpy(out.data() + op, in.data() + ip, len);
            ip += std::min(n * ss, in.size() - ip);
            op += len;
            continue;
        }
        if (in.size() - ip < ss) break;  // the repeated sample is not whole in the part
        const size_t len = std::min(n * ss, room);
        for (size_t k = 0; k < len; ++k) out[op + k] = in[ip + k % ss];
        ip += ss;
        op += len;
    }
    return op;
}

size_t PpsDecodeRgbRle(std::span<const uint8_t> in, std::span<uint8_t> out) {
    return PpsDecodeRun(in, out, 3);
}

size_t PpsInflate(std::span<const uint8_t> in, std::span<uint8_t> out) {
    if (in.empty() || out.empty()) return 0;
    uLongf outLen = static_cast<uLongf>(out.size());
    // uncompress inflates straight into the plane and stops at its size; a stream that is
    // broken or cut short leaves what it inflated before the fault. Its result decides
    // nothing: whatever bytes came out are the plane.
    (void)uncompress(out.data(), &outLen, in.data(), static_cast<uLong>(in.size()));
    return std::min<size_t>(outLen, out.size());
}

size_t PpsUnpackRun(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t frameFlags) {
    if (frameFlags & PPS_FRAME_ZLIB) return PpsInflate(in, out);
    return PpsDecodeRun(in, out, (frameFlags & PPS_FRAME_INDEXED) ? 1 : 3);
}

void PpsMergePlanes(const uint8_t* plane, const uint8_t* alpha, uint8_t* out, size_t count,
                    int bits) {
    if (bits == 8) {
        for (size_t i = 0; i < count; ++i) {
            out[2 * i] = plane[i];
            out[2 * i + 1] = alpha[i];
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        out[4 * i] = plane[3 * i];
        out[4 * i + 1] = plane[3 * i + 1];
        out[4 * i + 2] = plane[3 * i + 2];
        out[4 * i + 3] = alpha[i];
    }
}

void DecodePpsFrame(std::span<const uint8_t> a, std::span<const uint8_t> b, std::span<uint8_t> out,
                    const PpsHeader& h, const PpsFrameHeader& fh) {
    if (h.mode == 1) {
        // The stored bytes as they are, whatever the frame's flags say.
        const size_t n = std::min(a.size(), out.size());
        if (n) std::memcpy(out.data(), a.data(), n);
        return;
    }
    // Mode 2 codes nothing, and no other mode has a coding: the frame stays zero.
    if (h.mode < 3 || h.mode > 6) return;

    // Part A into `dst` (1-byte samples for index planes, 3 for colour).
    auto decodeA = [&](std::span<uint8_t> dst, bool indexed) {
        switch (h.mode) {
            case 3:
            case 4:
                PpsDecodeRun(a, dst, indexed ? 1 : 3);
                break;
            case 5:
                PpsInflate(a, dst);
                break;
            default:
                PpsUnpackRun(a, dst, (fh.flags & PPS_FRAME_ZLIB) | (indexed ? 1u : 0u));
                break;
        }
    };
    auto decodeB = [&](std::span<uint8_t> dst) {
        if (h.mode == 3) {
            PpsDecodeRun(b, dst, 1);
        } else {
            PpsInflate(b, dst);
        }
    };

    const bool indexed = (fh.flags & PPS_FRAME_INDEXED) != 0;
    const bool hasAlpha = (fh.flags & PPS_FRAME_ALPHA) != 0;
    if (indexed && !hasAlpha) {
        decodeA(out, true);
        return;
    }
    // The merge covers the header's width x height pixels, as many as the frame's place in
    // the buffer holds. Planes hold just those pixels: the codes fill a plane from its start,
    // so bytes past the merged pixels would never be read, and a header that claims a huge
    // frame cannot make a huge plane.
    const size_t count =
        std::min(size_t(h.width) * h.height, out.size() / FrameSampleSize(fh.flags));
    std::vector<uint8_t> plane(indexed ? count : 3 * count);
    std::vector<uint8_t> alpha(count, 255);
    decodeA(plane, indexed);
    if (hasAlpha) decodeB(alpha);
    PpsMergePlanes(plane.data(), alpha.data(), out.data(), count, indexed ? 8 : 32);
}

uint32_t ParsePpsHeader(std::span<const uint8_t> file, EnginePicture& out) {
    if (file.size() < 3 || std::memcmp(file.data(), "pps", 3) != 0) return 0;
    // Sizes and counts are taken as the header gives them. What the file does not hold is
    // not read: a field past its end reads as 0 and a part is cut where the file ends.
    platform::ByteReader r(file);
    r.skip(3);
    PpsHeader h;
    h.mode = r.u8();
    h.flags = r.u32();
    h.frameCount = r.u16();
    h.width = r.u16();
    h.height = r.u16();
    r.skip(2);
    h.key = r.u32();
    h.totalSize = r.u32();
    r.skip(4);
    h.paletteEntries = r.u16();
    r.skip(2);
    bool cut = !r.ok();
    // The one limit of the reader's own (see kPpsMaxDecodedSize for its bound).
    if (h.totalSize > kPpsMaxDecodedSize) {
        RenderLog("pps:结构加载错误,图片过大 (picture too large: %u bytes)", h.totalSize);
        return 0;
    }

    EnginePicture pic;
    pic.resourceId = out.resourceId;
    pic.frameCount = h.frameCount;
    pic.width = h.width;
    pic.frameHeight = h.height;
    pic.key = h.key;
    pic.flags = h.flags;
    pic.paletteEntries = h.paletteEntries;

    if (h.flags & PIC_GLOBAL_PALETTE) {
        const std::span<const uint8_t> name = TakePart(r, 32, cut);
        pic.paletteName.assign(reinterpret_cast<const char*>(name.data()),
                               strnlen(reinterpret_cast<const char*>(name.data()), name.size()));
        if (!(h.flags & PIC_KEYED)) pic.key = 256;
    } else if (h.flags & PIC_OWN_PALETTE) {
        // Every index of a byte must find an entry: the table never holds fewer than 256.
        const std::span<const uint8_t> entries = TakePart(r, uint32_t(h.paletteEntries) * 3, cut);
        pic.ownedPalette.assign(std::max(kPaletteBytes, size_t(h.paletteEntries) * 3), 0);
        std::copy(entries.begin(), entries.end(), pic.ownedPalette.begin());
        pic.palette = pic.ownedPalette.data();
    }

    if (h.flags & PIC_DELAYS) pic.ownedDelays.assign(h.frameCount, 0);
    pic.ownedPixels.assign(h.totalSize, 0);
    uint64_t at = 0;  // the frame's place in the buffer: the sum of the sizes before it
    for (size_t k = 0; k < h.frameCount; ++k) {
        PpsFrameHeader fh;
        fh.flags = r.u32();
        fh.delay = r.u32();
        fh.lengthA = r.u32();
        fh.lengthB = r.u32();
        fh.decodedSize = r.u32();
        cut = cut || !r.ok();
        const std::span<const uint8_t> a = TakePart(r, fh.lengthA, cut);
        const std::span<const uint8_t> b = TakePart(r, fh.lengthB, cut);
        // A frame never writes past its own decoded size nor past the buffer.
        const uint64_t begin = std::min<uint64_t>(at, h.totalSize);
        const uint64_t end = std::min<uint64_t>(at + fh.decodedSize, h.totalSize);
        DecodePpsFrame(a, b, std::span<uint8_t>(pic.ownedPixels.data() + begin, end - begin), h,
                       fh);
        at += fh.decodedSize;
        if (h.flags & PIC_DELAYS) pic.ownedDelays[k] = fh.delay;
    }
    if (h.flags & PIC_TRAILER) {
        const uint32_t t = r.u32();
        cut = cut || !r.ok();
        pic.trailerHigh = uint16_t(t >> 16);
        pic.trailerLow = uint16_t(t & 0xFFFF);
    }
    if (cut)
        RenderLog("pps:文件数据不完整,缺少的部分按空白载入 (file cut short: %zu bytes)",
                  file.size());

    pic.pixels = pic.ownedPixels.data();
    pic.dataSize = h.totalSize;
    if (h.flags & PIC_DELAYS) pic.frameDelays = pic.ownedDelays.data();
    out = std::move(pic);
    return h.totalSize;
}
bool BindPpsPalette(EnginePicture& pic, const GlobalPalette* palette) {
    if (!(pic.flags & PIC_GLOBAL_PALETTE)) return true;
    if (!palette) {
        RenderLog("pps:结构加载错误,全局调色板%s未在内存中!", pic.paletteName.c_str());
        return false;
    }
    if (palette->count() < pic.paletteEntries) {
        RenderLog("pps:结构加载错误,全局调色板%s长度不匹配!", pic.paletteName.c_str());
        return false;
    }
    pic.palette = palette->GetEntries();
    pic.paletteName.clear();
    return true;
}

void FreePpsImage(EnginePicture& pic) {
    pic = EnginePicture{};
}

}  // namespace hqlv::engine
