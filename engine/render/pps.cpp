#include "engine/render/pps.h"

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/render/render_log.h"
#include "platform/core/bytes.h"

namespace hqlv::engine {

namespace {

bool Fail(const char* why) {
    RenderLog("pps:结构加载错误,%s", why);
    return false;
}

// Bytes per decoded sample of the picture's form.
uint32_t PictureSampleSize(uint32_t flags) {
    if (flags & (PIC_GLOBAL_PALETTE | PIC_OWN_PALETTE)) return (flags & PIC_ALPHA) ? 2 : 1;
    return 4;
}

// Decoded bytes per pixel of a frame by its own flags.
uint32_t FrameSampleSize(uint32_t frameFlags) {
    if (!(frameFlags & PPS_FRAME_INDEXED)) return 4;
    return (frameFlags & PPS_FRAME_ALPHA) ? 2 : 1;
}

}  // namespace

bool PpsDecodeRun(std::span<const uint8_t> in, std::span<uint8_t> out, int sampleSize) {
    const size_t ss = size_t(sampleSize);
    size_t ip = 0, op = 0;
    while (ip < in.size()) {
        const uint8_t c = in[ip++];
        size_t n = c >> 2;
        const int kind = c & 3;
        if (kind >= 2) {
            if (ip >= in.size()) return false;
            n |= size_t(in[ip++]) << 6;
        }
        const bool literal = (kind & 1) != 0;
        const size_t needIn = literal ? n * ss : ss;
        if (in.size() - ip < needIn) return false;
        if (out.size() - op < n * ss) return false;  // a run past the plane's end
        if (literal) {
            std::memcpy(out.data() + op, in.data() + ip, n * ss);
        } else {
            for (size_t k = 0; k < n; ++k)
                std::memcpy(out.data() + op + k * ss, in.data() + ip, ss);
        }
        ip += needIn;
        op += n * ss;
    }
    return op == out.size();
}

bool PpsDecodeRgbRle(std::span<const uint8_t> in, std::span<uint8_t> out) {
    return PpsDecodeRun(in, out, 3);
}

bool PpsInflate(std::span<const uint8_t> in, std::span<uint8_t> out) {
    if (in.empty()) return out.empty();
    uLongf outLen = static_cast<uLongf>(out.size());
    // zlib wants a non-null destination even for an empty plane.
    uint8_t dummy = 0;
    int rc = uncompress(out.empty() ? &dummy : out.data(), &outLen, in.data(),
                        static_cast<uLong>(in.size()));
    return rc == Z_OK && outLen == out.size();
}

bool PpsUnpackRun(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t frameFlags) {
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

bool DecodePpsFrame(std::span<const uint8_t> a, std::span<const uint8_t> b, std::span<uint8_t> out,
                    const PpsHeader& h, const PpsFrameHeader& fh) {
    const size_t P = size_t(h.width) * h.height;
    if (h.mode == 1) {
        if (a.size() < out.size()) return false;
        std::memcpy(out.data(), a.data(), out.size());
        return true;
    }
    if (h.mode == 2) return true;  // nothing coded; the buffer stays zero
    if (h.mode < 3 || h.mode > 6) return false;
    if (out.size() != P * FrameSampleSize(fh.flags)) return false;

    // Part A of the frame into `dst` (1-byte samples for index planes, 3 for colour).
    auto decodeA = [&](std::span<uint8_t> dst, bool indexed) {
        switch (h.mode) {
            case 3:
            case 4:
                return PpsDecodeRun(a, dst, indexed ? 1 : 3);
            case 5:
                return PpsInflate(a, dst);
            default:
                return PpsUnpackRun(a, dst, (fh.flags & PPS_FRAME_ZLIB) | (indexed ? 1u : 0u));
        }
    };
    auto decodeB = [&](std::span<uint8_t> dst) {
        return h.mode == 3 ? PpsDecodeRun(b, dst, 1) : PpsInflate(b, dst);
    };

    const bool indexed = (fh.flags & PPS_FRAME_INDEXED) != 0;
    const bool hasAlpha = (fh.flags & PPS_FRAME_ALPHA) != 0;
    if (indexed && !hasAlpha) return decodeA(out, true);

    std::vector<uint8_t> plane(indexed ? P : 3 * P);
    std::vector<uint8_t> alpha(P, 255);
    if (!decodeA(plane, indexed)) return false;
    if (hasAlpha && !decodeB(alpha)) return false;
    PpsMergePlanes(plane.data(), alpha.data(), out.data(), P, indexed ? 8 : 32);
    return true;
}

uint32_t ParsePpsHeader(std::span<const uint8_t> file, EnginePicture& out) {
    if (file.size() < 3 || std::memcmp(file.data(), "pps", 3) != 0) return 0;
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
    if (!r.ok()) return Fail("文件短于头部 (file shorter than its header)"), 0;
    if (h.mode < 1 || h.mode > 6) return Fail("未知的编码方式 (unknown coding mode)"), 0;
    if (h.frameCount == 0 || h.width == 0 || h.height == 0) {
        return Fail("尺寸或帧数为0 (empty size or no frames)"), 0;
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
        pic.paletteName = r.fixedText(32);
        if (!r.ok()) return Fail("调色板名称不完整 (palette name cut short)"), 0;
        if (!(h.flags & PIC_KEYED)) pic.key = 256;
    } else if (h.flags & PIC_OWN_PALETTE) {
        if (h.paletteEntries > 256) return Fail("调色板超过256色 (palette over 256 entries)"), 0;
        pic.ownedPalette.assign(kPaletteBytes, 0);
        if (!r.bytes(pic.ownedPalette.data(), size_t(h.paletteEntries) * 3)) {
            return Fail("调色板不完整 (palette cut short)"), 0;
        }
        pic.palette = pic.ownedPalette.data();
    }

    const uint64_t P = uint64_t(h.width) * h.height;
    const uint64_t frameSize = P * PictureSampleSize(h.flags);
    if (frameSize * h.frameCount != h.totalSize) {
        return Fail("总长度与尺寸不符 (total size does not match the frames)"), 0;
    }
    if (h.totalSize > kPpsMaxDecodedSize) return Fail("图片过大 (picture too large)"), 0;

    // Every frame header and part, and the trailer, must lie in the file before the pixel
    // buffer is made: a short file cannot claim a large buffer.
    struct StoredFrame {
        PpsFrameHeader fh;
        std::span<const uint8_t> a, b;
    };
    if (size_t(h.frameCount) * 20 > r.remaining()) {
        return Fail("帧头不完整 (frame header cut short)"), 0;
    }
    std::vector<StoredFrame> frames(h.frameCount);
    for (StoredFrame& frame : frames) {
        PpsFrameHeader& fh = frame.fh;
        fh.flags = r.u32();
        fh.delay = r.u32();
        fh.lengthA = r.u32();
        fh.lengthB = r.u32();
        fh.decodedSize = r.u32();
        if (!r.ok()) return Fail("帧头不完整 (frame header cut short)"), 0;
        if (fh.decodedSize != frameSize) {
            return Fail("帧长度与尺寸不符 (frame size does not match the picture)"), 0;
        }
        if (h.mode >= 3 && uint64_t(FrameSampleSize(fh.flags)) * P != frameSize) {
            return Fail("帧格式与图片格式不符 (frame form differs from the picture's)"), 0;
        }
        if (fh.lengthA > r.remaining()) return Fail("帧数据A超出文件 (part A past the end)"), 0;
        frame.a = std::span<const uint8_t>(r.current(), fh.lengthA);
        r.skip(fh.lengthA);
        if (fh.lengthB > r.remaining()) return Fail("帧数据B超出文件 (part B past the end)"), 0;
        frame.b = std::span<const uint8_t>(r.current(), fh.lengthB);
        r.skip(fh.lengthB);
    }
    if (h.flags & PIC_TRAILER) {
        uint32_t t = r.u32();
        if (!r.ok()) return Fail("尾部数据不完整 (trailer cut short)"), 0;
        pic.trailerHigh = uint16_t(t >> 16);
        pic.trailerLow = uint16_t(t & 0xFFFF);
    }

    if (h.flags & PIC_DELAYS) pic.ownedDelays.assign(h.frameCount, 0);
    pic.ownedPixels.assign(h.totalSize, 0);
    for (size_t k = 0; k < frames.size(); ++k) {
        std::span<uint8_t> dst(pic.ownedPixels.data() + k * frameSize, frameSize);
        if (!DecodePpsFrame(frames[k].a, frames[k].b, dst, h, frames[k].fh)) {
            return Fail("帧数据解码失败 (frame data does not decode to its size)"), 0;
        }
        if (h.flags & PIC_DELAYS) pic.ownedDelays[k] = frames[k].fh.delay;
    }

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
