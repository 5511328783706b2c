// GIF87a/89a with its own LZW decoder. Frames are composed onto a canvas of the logical
// screen; graphic control extensions give transparency, delay and disposal.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/bytes_le.h"
#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

// The decoder's read-ahead: each image's data is read from its start, so a small buffer
// copies little beyond the data (a run of small frames read 16 KB each time).
constexpr int kReadBuffer = 1023;
constexpr int kNoRowLimit = 0x7FFFFFFF;  // data of an empty frame is consumed, not placed
// The line width that data is consumed with: any width gives the same codes, and a wide one
// ends a line (a call) every few thousand pixels rather than at every pixel.
constexpr int kConsumeWidth = 4096;
constexpr int kCodeMask[13] = {0,    0x1,  0x3,   0x7,   0xF,   0x1F, 0x3F,
                               0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};

struct Screen {
    uint32_t width = 0, height = 0;
    uint8_t flags = 0, background = 0, aspect = 0;
};

struct Descriptor {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    uint8_t flags = 0;
};

bool readDescriptor(CRasterFile* f, Descriptor& d) {
    uint8_t b[9];
    if (f->Read(b, 1, 9) != 9) return false;
    d.left = le16(b);
    d.top = le16(b + 2);
    d.width = le16(b + 4);
    d.height = le16(b + 6);
    d.flags = b[8];
    return true;
}

// The colour indexes of row y (1, 4 or 8 bits a pixel), one byte each, into out[0, w).
void readIndexes(const CRaster& img, uint32_t y, uint8_t* out, int32_t w) {
    const uint8_t* row = img.GetBits(y);
    const int32_t whole = w / 2;
    switch (img.GetBpp()) {
        case 8:
            std::memcpy(out, row, static_cast<size_t>(w));
            break;
        case 4:
            for (int32_t i = 0; i < whole; ++i) {
                out[2 * i] = row[i] >> 4;
                out[2 * i + 1] = row[i] & 0x0F;
            }
            if (w & 1) out[w - 1] = row[whole] >> 4;
            break;
        case 1:
            for (int32_t x = 0; x < w; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        default:
            std::memset(out, 0, static_cast<size_t>(w));
            break;
    }
}

// The reverse for 1- and 4-bit rows: indexes in[0, w) (their low bits) into row y; the bits
// past the last pixel keep what they hold.
void writeIndexes(CRaster& img, uint32_t y, const uint8_t* in, int32_t w) {
    uint8_t* row = img.GetBits(y);
    if (img.GetBpp() == 4) {
        const int32_t whole = w / 2;
        for (int32_t i = 0; i < whole; ++i)
            row[i] = static_cast<uint8_t>((in[2 * i] << 4) | (in[2 * i + 1] & 0x0F));
        if (w & 1) row[whole] = static_cast<uint8_t>((row[whole] & 0x0F) | (in[w - 1] << 4));
    } else if (img.GetBpp() == 1) {
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
            row[x >> 3] = (in[x] & 1) ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
        }
    }
}

// Bytes between blocks that follow no zero byte are passed over up to and including the next
// zero (which may start a block again): moves the file just past it, searching a piece at a
// time. False at the end of the file.
bool skipPastZero(CRasterFile* f) {
    uint8_t piece[1024];
    for (;;) {
        const int64_t at = f->Tell();
        const size_t got = f->Read(piece, 1, sizeof piece);
        if (got == 0) return false;
        if (const void* zero = std::memchr(piece, 0, got)) {
            f->Seek(at + (static_cast<const uint8_t*>(zero) - piece) + 1, 0);
            return true;
        }
    }
}

}  // namespace

struct CRasterGIF::State {
    // Latest graphic control extension; frames without their own inherit it.
    uint8_t gcxFlags = 0;
    uint16_t gcxDelay = 0;
    uint8_t gcxTrans = 0;
    char comment[256] = {};
    int32_t loops = 0;

    // Buffered input of the LZW data.
    uint8_t buf[kReadBuffer];
    int fill = 0, index = kReadBuffer;
    CRasterFile* file = nullptr;

    // Output rows.
    CRaster* target = nullptr;
    bool interlaced = false;
    int64_t row = 0;  // counted from the top
    int step = 1, height = 0, pass = 0;

    // LZW.
    int curSize = 0, clearCode = 0, endCode = 0, newCodes = 0, topSlot = 0, slot = 0;
    int navail = 0, nbitsLeft = 0, byteIdx = 0;
    bool terminator = false;  // the zero-length block that ends the data has been read
    uint8_t b1 = 0;
    uint8_t byteBuff[257];
    uint8_t stack[4096];
    uint8_t suffix[4096];
    uint16_t prefix[4096];
    // Suffix and prefix hold zeros from here on; at first nothing is known (the state is not
    // cleared when made: the buffers are written before they are read).
    int tableTop = 4096;

    void startBuffer(CRasterFile* f) {
        file = f;
        fill = 0;
        index = kReadBuffer;
    }
    // The file position of the next byte GetByte would return.
    int64_t consumedPosition() const {
        return file->Tell() - (fill - (index < fill ? index : fill));
    }

    int getByte() {
        if (index >= kReadBuffer) {
            fill = static_cast<int>(file->Read(buf, 1, kReadBuffer));
            index = 0;
        }
        if (index >= fill) return -1;
        return buf[index++];
    }

    void initExp(int size, bool tables) {
        curSize = size + 1;
        topSlot = 1 << curSize;
        clearCode = 1 << size;
        endCode = clearCode + 1;
        slot = newCodes = endCode + 1;
        navail = nbitsLeft = 0;
        terminator = false;
        if (!tables) return;
        // The tables start as zeros (a damaged code reads an entry never written); only what
        // the last image wrote is cleared. The stack is read only where it was written.
        std::memset(suffix, 0, static_cast<size_t>(tableTop) * sizeof suffix[0]);
        std::memset(prefix, 0, static_cast<size_t>(tableTop) * sizeof prefix[0]);
        tableTop = 0;
    }

    // Reads the next sub-block into byteBuff; false at the end of the data. A zero-length
    // block is the terminator.
    bool nextBlock() {
        byteIdx = 0;
        const int n = getByte();
        if (n < 0) return false;
        navail = n;
        if (n == 0) {
            terminator = true;
            return true;
        }
        // The block's bytes in runs from the read buffer, as getByte would give them.
        for (int got = 0; got < n;) {
            if (index >= kReadBuffer) {
                fill = static_cast<int>(file->Read(buf, 1, kReadBuffer));
                index = 0;
            }
            if (index >= fill) return false;
            const int k = n - got < fill - index ? n - got : fill - index;
            std::memcpy(byteBuff + got, buf + index, static_cast<size_t>(k));
            index += k;
            got += k;
        }
        return true;
    }

    int getNextCode() {
        if (nbitsLeft == 0) {
            if (navail <= 0) {
                if (terminator) return endCode;
                if (!nextBlock()) return -1;
                if (navail == 0) return endCode;
            }
            b1 = byteBuff[byteIdx++];
            nbitsLeft = 8;
            --navail;
        }
        int ret = b1 >> (8 - nbitsLeft);
        while (curSize > nbitsLeft) {
            if (navail <= 0) {
                if (terminator) return endCode;
                if (!nextBlock()) return -1;
                if (navail == 0) return endCode;
            }
            b1 = byteBuff[byteIdx++];
            ret |= b1 << nbitsLeft;
            nbitsLeft += 8;
            --navail;
        }
        nbitsLeft -= curSize;
        return ret & kCodeMask[curSize];
    }

    // Skips what is left of the image data up to and including its terminator.
    void skipToTerminator() {
        while (!terminator) {
            if (!nextBlock()) return;
        }
    }

    // Lines are placed (or, without a target, only counted) on `rows` rows, so that a pass
    // that only measures the data stops where a decoding pass would.
    void startRows(CRaster* img, bool inter, int rows) {
        target = img;
        interlaced = inter;
        row = 0;
        step = inter ? 8 : 1;
        pass = 0;
        height = rows;
    }

    int outLine(uint8_t* line, int len) {
        if (row < 0 || row >= height) return -1;
        if (target) writeLine(line, len);
        if (!interlaced) {
            ++row;
            return 0;
        }
        row += step;
        while (row >= height && pass < 3) {
            ++pass;
            static const int starts[4] = {0, 4, 2, 1};
            static const int steps[4] = {8, 8, 4, 2};
            row = starts[pass];
            step = steps[pass];
        }
        return 0;
    }

    void writeLine(uint8_t* line, int len) {
        const uint32_t bpp = target->GetBpp();
        int bytes = len;
        if (bpp == 4) {
            for (int i = 0; i < len; i += 2) {
                const uint8_t hi = line[i] & 0x0F;
                const uint8_t lo = i + 1 < len ? (line[i + 1] & 0x0F) : 0;
                line[i / 2] = static_cast<uint8_t>((hi << 4) | lo);
            }
            bytes = (len + 1) / 2;
        } else if (bpp == 1) {
            for (int i = 0; i < len; i += 8) {
                uint8_t v = 0;
                for (int k = 0; k < 8; ++k)
                    if (i + k < len && (line[i + k] & 1)) v |= static_cast<uint8_t>(0x80 >> k);
                line[i / 8] = v;
            }
            bytes = (len + 7) / 8;
        }
        const int stride = static_cast<int>(target->GetEffWidth());
        uint8_t* dst = target->GetBits(static_cast<uint32_t>(height - 1 - row));
        std::memcpy(dst, line, static_cast<size_t>(bytes < stride ? bytes : stride));
    }

    // Decodes one image's LZW data; lines go to the target when one is set.
    int decodeLzw(int lineWidth, int* badCodes) {
        const int size = getByte();
        if (size < 0) return size;
        if (size < 2 || size > 9) return -20;
        // Data that is only consumed (nothing placed, no rows counted) needs just its codes:
        // how far it runs and whether it is damaged. The pixels of a string (the walk down
        // its prefixes, up to 4,094 a code) change neither, so they are not made.
        const bool consumeOnly = !target && height == kNoRowLimit;
        initExp(size, !consumeOnly);
        std::vector<uint8_t> line(static_cast<size_t>(lineWidth) + 1);
        int bufcnt = lineWidth;
        uint8_t* bufptr = line.data();
        int sp = 0;
        int oc = 0, fc = 0;
        auto emit = [&](uint8_t v) -> int {
            *bufptr++ = v;
            if (--bufcnt == 0) {
                if (const int r = outLine(line.data(), lineWidth); r < 0) return r;
                bufptr = line.data();
                bufcnt = lineWidth;
            }
            return 0;
        };
        int c;
        while ((c = getNextCode()) != endCode) {
            if (c < 0) break;
            if (c == clearCode) {
                curSize = size + 1;
                slot = newCodes;
                topSlot = 1 << curSize;
                while ((c = getNextCode()) == clearCode) {
                }
                if (c == endCode || c < 0) break;
                if (c >= slot) c = 0;
                oc = fc = c;
                if (const int r = emit(static_cast<uint8_t>(c)); r < 0) return r;
            } else if (consumeOnly) {
                if (c > slot) ++*badCodes;
                if (slot < topSlot) ++slot;
                if (slot >= topSlot && curSize < 12) {
                    topSlot <<= 1;
                    ++curSize;
                }
            } else {
                int code = c;
                if (code >= slot && sp < 4094) {
                    if (code > slot) ++*badCodes;
                    code = oc;
                    stack[sp++] = static_cast<uint8_t>(fc);
                }
                while (code >= newCodes && sp < 4094) {
                    stack[sp++] = suffix[code];
                    code = prefix[code];
                }
                stack[sp++] = static_cast<uint8_t>(code);
                if (slot < topSlot) {
                    suffix[slot] = static_cast<uint8_t>(fc = code);
                    prefix[slot++] = static_cast<uint16_t>(oc);
                    if (slot > tableTop) tableTop = slot;
                    oc = c;
                }
                if (slot >= topSlot && curSize < 12) {
                    topSlot <<= 1;
                    ++curSize;
                }
                // The stacked string goes out in runs up to the end of the line, not a call
                // a pixel.
                while (sp > 0) {
                    const int k = sp < bufcnt ? sp : bufcnt;
                    if (target) {
                        for (int i = 0; i < k; ++i) *bufptr++ = stack[--sp];
                    } else {
                        sp -= k;  // only measured: the pixels are counted, not kept
                        bufptr += k;
                    }
                    bufcnt -= k;
                    if (bufcnt == 0) {
                        if (const int r = outLine(line.data(), lineWidth); r < 0) return r;
                        bufptr = line.data();
                        bufcnt = lineWidth;
                    }
                }
            }
        }
        if (bufcnt != lineWidth) outLine(line.data(), lineWidth - bufcnt);
        return 0;
    }

    // Runs the LZW decoder and leaves the file just after the image data. Without an image
    // the data is only measured, over `rows` rows.
    int runImage(int lineWidth, CRaster* img, bool inter, int rows) {
        startRows(img, inter, rows);
        const int64_t start = file->Tell();
        startBuffer(file);
        int bad = 0;
        const int r = decodeLzw(lineWidth > 0 ? lineWidth : 1, &bad);
        if (bad > 0) {
            seekNextImage(start);
        } else {
            skipToTerminator();
            file->Seek(consumedPosition(), 0);
        }
        return r;
    }

    // Leaves the file just after an image's data, following its sub-blocks only.
    void skipImage() {
        startBuffer(file);
        terminator = false;
        if (getByte() >= 0) skipToTerminator();  // the code size, then the sub-blocks
        file->Seek(consumedPosition(), 0);
    }

    // After damaged data: the next "," that opens the file or follows a zero byte. The file
    // is searched a piece at a time rather than a call a byte.
    int64_t seekNextImage(int64_t position) {
        file->Seek(position, 0);
        uint8_t piece[4096];
        uint8_t prev = 0;
        bool first = true;
        for (int64_t at = position;;) {
            const size_t got = file->Read(piece, 1, sizeof piece);
            if (got == 0) return -1;
            for (size_t i = 0; i < got; ++i) {
                if (piece[i] == ',' && (first || prev == 0)) {
                    file->Seek(at + static_cast<int64_t>(i), 0);
                    return file->Tell();
                }
                prev = piece[i];
                first = false;
            }
            at += static_cast<int64_t>(got);
        }
    }

    bool decodeExtension(CRaster& img) {
        const long label = file->GetC();
        if (label < 0) return false;
        bool ok = true;
        if (label == 0xF9) {
            const long size = file->GetC();
            uint8_t b[4] = {};
            const size_t got = file->Read(b, 1, 4);
            ok = size == 4 && got == 4;
            if (ok) {
                gcxFlags = b[0];
                gcxDelay = le16(b + 1);
                gcxTrans = b[3];
                img.info_.nBkgndIndex = (gcxFlags & 1) ? gcxTrans : -1;
                img.SetFrameDelay(gcxDelay);
                img.SetDisposalMethod(static_cast<uint8_t>((gcxFlags >> 2) & 7));
            }
        } else if (label == 0xFE) {
            const long n = file->GetC();
            if (n < 0) return false;
            const size_t got = file->Read(comment, 1, static_cast<size_t>(n));
            comment[got < 255 ? got : 255] = 0;
            ok = got == static_cast<size_t>(n);
        } else if (label == 0xFF) {
            const long n = file->GetC();
            if (n != 11) return false;
            uint8_t ident[11];
            if (file->Read(ident, 1, 11) != 11) return false;
            const long dn = file->GetC();
            if (dn < 0) return false;
            uint8_t data[256];
            if (file->Read(data, 1, static_cast<size_t>(dn)) != static_cast<size_t>(dn))
                return false;
            if (dn > 2) loops = data[1] + 256 * data[2];
        }
        // Skip the remaining sub-blocks.
        while (ok) {
            const long n = file->GetC();
            if (n <= 0) break;
            if (!file->Seek(n, 1)) break;
        }
        return ok;
    }
};

// The decoder's state (some 33 KB) is made once the bytes are known to be a GIF: the format
// dispatcher makes a GIF decoder for every picture that is not a BMP, JPEG or icon.
CRasterGIF::CRasterGIF() : CRaster(RASTER_FORMAT_GIF) {}
CRasterGIF::~CRasterGIF() = default;
int32_t CRasterGIF::GetLoopCount() const {
    return st_ ? st_->loops : 0;
}
const char* CRasterGIF::GetComment() const {
    return st_ ? st_->comment : "";
}

namespace {

// Frames counted the way the decoder will walk them.
int countFrames(CRasterGIF::State& st, CRaster& img, CRasterFile* f, Screen& screen) {
    const int64_t pos = f->Tell();
    int frames = 0;
    bool prevZero = true, first = true;
    const uint64_t cap = CRaster::GetMaxPixels();
    uint64_t walked = 0;  // pixels run through the decoder so far
    for (;;) {
        const long ch = f->GetC();
        if (ch < 0) break;
        if (!prevZero && ch != 0) {
            if (!skipPastZero(f)) break;
            prevZero = true;
            continue;
        }
        if (ch == '!') {
            if (!st.decodeExtension(img)) break;
        } else if (ch == ',') {
            Descriptor d;
            if (!readDescriptor(f, d)) break;
            const bool empty = d.width == 0 || d.height == 0;
            if (first && !empty) {
                // A screen of 0 x 0 takes the first image's size, and a screen too small for
                // the first image grows to hold it, as other programs show such files. An
                // image without pixels is no frame: the one after it is the first.
                if (screen.width == 0 && screen.height == 0) {
                    screen.width = d.width;
                    screen.height = d.height;
                }
                if (screen.width < d.left + d.width) screen.width = d.left + d.width;
                if (screen.height < d.top + d.height) screen.height = d.top + d.height;
                first = false;
            }
            // Later frames that reach beyond the screen are counted and drawn clipped.
            if (d.flags & 0x80) f->Seek(3 * (2 << (d.flags & 7)), 1);
            if (!empty) ++frames;
            // The data is run through the LZW decoder, without rows, so that damaged data
            // moves the file exactly as the decoding pass will: every frame counted here is
            // one that pass reaches.
            // A frame too large to hold stops the decoding pass there, so the frames behind
            // it are only counted: its data is skipped by its sub-blocks rather than run
            // through the decoder over billions of pixels. Under a pixel cap the walk also
            // decodes no more pixels in all than one picture may hold; past that, frames are
            // counted by their sub-blocks (the same count unless their data is damaged).
            const uint64_t pixels = uint64_t(d.width) * d.height;
            if (empty) {
                st.runImage(kConsumeWidth, nullptr, false, kNoRowLimit);
            } else if (!CRaster::SizeAllowed(d.width, d.height, 1) ||
                       (cap != 0 && pixels > cap - walked)) {
                st.skipImage();
                walked = cap;
            } else {
                st.runImage(static_cast<int>(d.width), nullptr, (d.flags & 0x40) != 0,
                            static_cast<int>(d.height));
                walked += pixels;
            }
        } else if (ch == ';') {
            break;
        } else {
            prevZero = ch == 0;
        }
    }
    f->Seek(pos, 0);
    return frames;
}

}  // namespace

bool CRasterGIF::Decode(CRasterFile* file) {
    if (!file) return false;
    uint8_t hdr[13];
    if (file->Read(hdr, 1, 13) != 13 || std::memcmp(hdr, "GIF8", 4) != 0) return false;
    if (!st_) st_.reset(new State);
    State& st = *st_;
    st.file = file;
    Screen screen;
    screen.width = le16(hdr + 6);
    screen.height = le16(hdr + 8);
    screen.flags = hdr[10];
    screen.background = hdr[11];
    screen.aspect = hdr[12];
    if (info_.nEscape == -1) {
        head_.biWidth = static_cast<int32_t>(screen.width);
        head_.biHeight = static_cast<int32_t>(screen.height);
        info_.dwType = RASTER_FORMAT_GIF;
        return true;
    }
    rgb_color globalTable[256] = {};
    int globalCount = 0;
    int trueColourPoints = 0;
    if (screen.flags & 0x80) {
        globalCount = 2 << (screen.flags & 7);
        file->Read(globalTable, 3, static_cast<size_t>(globalCount));
    } else {
        ++trueColourPoints;
    }
    const int frames = countFrames(st, *this, file, screen);
    info_.nNumFrames = frames;
    if (info_.nFrame < 0 || info_.nFrame >= frames) return false;
    if (frames == 1) trueColourPoints = 0;
    // Every kept frame is a canvas-sized image; their total is held to the memory cap.
    if (info_.bGetAllFrames &&
        static_cast<uint64_t>(frames) * screen.width * screen.height > RASTER_MAX_MEMORY) {
        SetLastError("GIF frames exceed the memory limit");
        return false;
    }

    std::unique_ptr<CRaster> previous, trueColour;
    int32_t firstTrans = -1;
    uint8_t prevDispose = 0;
    int image = 0;
    bool prevZero = true;
    // The frames one decode draws walk no more pixels in all than one picture may hold (the
    // pixel cap when one is set), as the count's walk does. Each frame's size is four bytes
    // of its descriptor, and a file of a dozen bytes a frame names hundreds of frames of
    // millions of pixels, each made, decoded and drawn in turn (all of them for a true-colour
    // GIF): hours of work from a few kilobytes. The first frame is the picture and is always
    // drawn; past the allowance the frames end as at the trailer, and those drawn stand: the
    // frame list holds the frames drawn, and a true-colour picture what they drew. A frame
    // asked for alone that lies past the allowance is not drawn, and the decode fails rather
    // than hand back an earlier frame as that one.
    const uint64_t cap = CRaster::GetMaxPixels();
    const uint64_t allowance = cap != 0 ? cap : RASTER_MAX_MEMORY;
    uint64_t drawn = 0;
    bool pastAllowance = false;  // the loop then ends before the frame asked for
    for (;;) {
        const long ch = file->GetC();
        if (ch < 0) break;
        if (info_.nEscape > 0) return false;
        if (!prevZero && ch != 0) {
            if (!skipPastZero(file)) break;
            prevZero = true;
            continue;
        }
        if (ch == '!') {
            if (!st.decodeExtension(*this)) break;
            continue;
        }
        if (ch == ';') break;
        if (ch != ',') {
            prevZero = ch == 0;
            continue;
        }
        Descriptor d;
        if (!readDescriptor(file, d)) break;
        // Only the first frame with pixels counts: an empty image before it is no frame.
        const bool empty = d.width == 0 || d.height == 0;
        if (image == 0 && !empty && d.width != screen.width && d.height != screen.height)
            ++trueColourPoints;
        rgb_color localTable[256] = {};
        const rgb_color* table = globalTable;
        int count = globalCount;
        if (d.flags & 0x80) {
            count = 2 << (d.flags & 7);
            file->Read(localTable, 3, static_cast<size_t>(count));
            table = localTable;
        }
        if (empty) {
            // Nothing to show: consume the data and go on.
            st.runImage(kConsumeWidth, nullptr, false, kNoRowLimit);
            continue;
        }
        const uint32_t bpp = count <= 2 ? 1 : count <= 16 ? 4 : 8;
        const bool trueCol = trueColourPoints >= 2;
        // A frame too large to hold at all still fails below with the image's own reason.
        const uint64_t framePixels = uint64_t(d.width) * d.height;
        if (image > 0 && CRaster::SizeAllowed(d.width, d.height, bpp) &&
            framePixels > allowance - std::min(allowance, drawn)) {
            pastAllowance = true;
            break;
        }
        drawn += framePixels;

        // The canvas this frame is drawn onto.
        auto canvas = std::make_unique<CRaster>();
        if (!trueCol) {
            canvas->CopyInfo(*this);
            if (image == 0) {
                if (!canvas->Create(screen.width, screen.height, bpp, RASTER_FORMAT_GIF)) {
                    SetLastError(canvas->GetLastError());
                    return false;
                }
                firstTrans = info_.nBkgndIndex;
                canvas->Clear(st.gcxTrans);
                // Kept for a later frame's disposal 3; the frame asked for needs none.
                if (image < info_.nFrame) previous = std::make_unique<CRaster>(*canvas);
            } else if (prevDispose == 2) {
                canvas->Copy(*this, true, false, false);
                canvas->Clear(static_cast<uint8_t>(firstTrans));
            } else if (prevDispose == 3 && previous) {
                canvas->Copy(*previous, true, false, true);
                canvas->CopyInfoFrom(*this);
            } else {
                canvas->Copy(*this);
            }
            if (!canvas->IsValid()) {
                SetLastError(canvas->GetLastError());
                return false;
            }
        }

        // This image becomes the frame.
        if (!Create(d.width, d.height, bpp, RASTER_FORMAT_GIF)) return false;
        info_.xOffset = static_cast<int32_t>(d.left);
        info_.yOffset = static_cast<int32_t>(d.top);
        if ((screen.flags & 0x80) || (d.flags & 0x80)) {
            rgb_color pal[256];
            for (int i = 0; i < 256; ++i) pal[i] = i < count ? table[i] : rgb_color{255, 255, 255};
            SetPalette(pal, info_.nBkgndIndex >= 0 ? 256u : static_cast<uint32_t>(count));
        }
        st.runImage(static_cast<int>(d.width), this, (d.flags & 0x40) != 0,
                    static_cast<int>(d.height));
        if (info_.nEscape > 0) return false;

        if (!trueCol) {
            MixInto(*canvas, d.left, d.top, image == 0, firstTrans);
            // The screen kept before the first frame was made before that frame gave the
            // canvas its colours: a disposal back to it must show them, not a blank table.
            if (image == 0 && previous)
                previous->SetPalette(canvas->GetPalette(), canvas->head_.biClrUsed);
            Transfer(*canvas, false);
        } else {
            info_.nFrame = frames - 1;  // every frame goes into the one picture
            if (!trueColour) {
                trueColour = std::make_unique<CRaster>();
                trueColour->CopyInfo(*this);
                if (!trueColour->Create(screen.width, screen.height, 24, RASTER_FORMAT_GIF)) {
                    SetLastError(trueColour->GetLastError());
                    return false;
                }
            }
            for (uint32_t y = 0; y < d.height; ++y)
                for (uint32_t x = 0; x < d.width; ++x) {
                    const RGBQUAD c = BlindGetPixelColor(
                        static_cast<int32_t>(x), static_cast<int32_t>(d.height - 1 - y), false);
                    trueColour->SetPixelColor(static_cast<int32_t>(d.left + x),
                                              static_cast<int32_t>(screen.height - 1 - d.top - y),
                                              c);
                }
        }

        if (info_.bGetAllFrames && !trueCol) {
            if (image == 0) {
                frames_.clear();
                frames_.resize(static_cast<size_t>(frames));
            }
            if (image < frames) {
                auto copy = std::make_unique<CRaster>(*this);
                copy->SetRetrieveAllFrames(false);
                frames_[static_cast<size_t>(image)] = std::move(copy);
            }
        }
        const uint8_t dispose = static_cast<uint8_t>((st.gcxFlags >> 2) & 7);
        if (!trueCol && (dispose == 0 || dispose == 1) && image < info_.nFrame)
            previous = std::make_unique<CRaster>(*this);
        prevDispose = dispose;
        if (image == info_.nFrame) break;
        ++image;
    }
    if (pastAllowance && !info_.bGetAllFrames && !trueColour) {
        SetLastError("GIF frames exceed the pixel limit");
        return false;
    }
    if (trueColour) {
        if (st.gcxFlags & 1) {
            trueColour->SetTransColor(GetPaletteColor(st.gcxTrans));
            trueColour->info_.nBkgndIndex = 0;
        }
        trueColour->info_.nNumFrames = frames;
        Transfer(*trueColour, false);
    }
    return IsValid();
}

// Draws this frame onto the canvas. Frames whose colour table differs from the canvas's get
// their colours mapped into the canvas palette, so earlier content keeps its colours.
void CRasterGIF::MixInto(CRaster& canvas, uint32_t left, uint32_t top, bool first,
                         int32_t firstTrans) {
    const int32_t fw = head_.biWidth, fh = head_.biHeight;
    const int32_t cw = canvas.head_.biWidth, ch = canvas.head_.biHeight;
    const int32_t frameTrans = info_.nBkgndIndex;
    const uint32_t frameColours = head_.biClrUsed;
    // Rows are read whole into these, not a pixel at a time.
    std::vector<uint8_t> frameRow(static_cast<size_t>(fw > 0 ? fw : 1)),
        canvasRow(static_cast<size_t>(cw > 0 ? cw : 1));
    bool used[256] = {};
    if (!first) {
        for (int32_t y = 0; y < fh; ++y) {
            readIndexes(*this, static_cast<uint32_t>(y), frameRow.data(), fw);
            for (int32_t x = 0; x < fw; ++x) used[frameRow[x]] = true;
        }
        if (frameTrans >= 0 && frameTrans < 256) used[frameTrans] = false;
    }
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
    if (first) {
        canvas.SetPalette(GetPalette(), 256);
    } else {
        bool same = firstTrans < 0 || frameTrans == firstTrans;
        for (uint32_t i = 0; i < 256 && same; ++i) {
            if (!used[i]) continue;
            if (i >= canvas.head_.biClrUsed ||
                (firstTrans >= 0 && static_cast<int32_t>(i) == firstTrans)) {
                same = false;
                break;
            }
            const RGBQUAD a = GetPaletteColor(static_cast<uint8_t>(i));
            const RGBQUAD b = canvas.GetPaletteColor(static_cast<uint8_t>(i));
            same = a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
        }
        if (!same) {
            if (canvas.GetBpp() < 8) {
                CRaster wide;
                wide.CopyInfo(canvas);
                if (wide.Create(canvas.GetWidth(), canvas.GetHeight(), 8, RASTER_FORMAT_GIF)) {
                    wide.SetPalette(canvas.GetPalette(), canvas.head_.biClrUsed);
                    for (int32_t y = 0; y < ch; ++y)
                        readIndexes(canvas, static_cast<uint32_t>(y),
                                    wide.GetBits(static_cast<uint32_t>(y)), cw);
                    canvas.Transfer(wide, false);
                }
            }
            bool taken[256] = {};
            for (int32_t y = 0; y < ch; ++y) {
                readIndexes(canvas, static_cast<uint32_t>(y), canvasRow.data(), cw);
                for (int32_t x = 0; x < cw; ++x) taken[canvasRow[x]] = true;
            }
            if (firstTrans >= 0 && firstTrans < 256) taken[firstTrans] = true;
            RGBQUAD* cpal = canvas.GetPalette();
            const uint32_t n = canvas.head_.biClrUsed;
            for (uint32_t i = 0; i < 256; ++i) {
                if (!used[i]) continue;
                const RGBQUAD c = GetPaletteColor(static_cast<uint8_t>(i));
                int found = -1;
                for (uint32_t k = 0; k < n && found < 0; ++k) {
                    if (static_cast<int32_t>(k) == firstTrans || !taken[k]) continue;
                    if (cpal[k].rgbRed == c.rgbRed && cpal[k].rgbGreen == c.rgbGreen &&
                        cpal[k].rgbBlue == c.rgbBlue)
                        found = static_cast<int>(k);
                }
                if (found < 0) {
                    for (uint32_t k = 0; k < n && found < 0; ++k)
                        if (!taken[k]) found = static_cast<int>(k);
                    if (found >= 0) {
                        cpal[found] = c;
                        cpal[found].rgbReserved = 0;
                        taken[found] = true;
                    }
                }
                if (found < 0) {
                    // A full palette: the closest colour that is not the transparent one.
                    int32_t best = 1 << 30;
                    for (uint32_t k = 0; k < n; ++k) {
                        if (static_cast<int32_t>(k) == firstTrans) continue;
                        const int32_t dr = cpal[k].rgbRed - c.rgbRed,
                                      dg = cpal[k].rgbGreen - c.rgbGreen,
                                      db = cpal[k].rgbBlue - c.rgbBlue;
                        const int32_t dist = dr * dr + dg * dg + db * db;
                        if (dist < best) {
                            best = dist;
                            found = static_cast<int>(k);
                        }
                    }
                }
                map[i] = static_cast<uint8_t>(found < 0 ? 0 : found);
            }
            canvas.info_.last_c_isvalid = false;
        }
    }
    (void)frameColours;
    const int32_t yStart =
        ch - static_cast<int32_t>(top) - fh > 0 ? ch - static_cast<int32_t>(top) - fh : 0;
    const int32_t yEnd = ch - static_cast<int32_t>(top);
    const int32_t xEnd =
        cw < static_cast<int32_t>(left) + fw ? cw : static_cast<int32_t>(left) + fw;
    const int32_t frameBase = ch - static_cast<int32_t>(top) - fh;  // canvas row of frame row 0
    const bool bytes = GetBpp() == 8 && canvas.GetBpp() == 8;
    for (int32_t y = yStart; y < yEnd; ++y) {
        const int32_t fy = y - frameBase;
        if (fy < 0 || fy >= fh) continue;
        if (bytes) {
            // 8-bit frames onto an 8-bit canvas: straight through the rows.
            const int32_t n = xEnd - static_cast<int32_t>(left);
            if (n <= 0) break;
            const uint8_t* src = GetBits(static_cast<uint32_t>(fy));
            uint8_t* dst = canvas.GetBits(static_cast<uint32_t>(y)) + left;
            for (int32_t x = 0; x < n; ++x)
                if (src[x] != frameTrans) dst[x] = map[src[x]];
            continue;
        }
        // Other depths through unpacked rows; a canvas without a palette takes no indexes.
        const int32_t n = xEnd - static_cast<int32_t>(left);
        if (n <= 0 || canvas.head_.biClrUsed == 0) break;
        readIndexes(*this, static_cast<uint32_t>(fy), frameRow.data(), n);
        const bool wholeBytes = canvas.GetBpp() == 8;
        uint8_t* dst = wholeBytes ? canvas.GetBits(static_cast<uint32_t>(y)) : canvasRow.data();
        if (!wholeBytes) readIndexes(canvas, static_cast<uint32_t>(y), dst, cw);
        for (int32_t x = 0; x < n; ++x)
            if (frameRow[x] != frameTrans) dst[left + x] = map[frameRow[x]];
        if (!wholeBytes) writeIndexes(canvas, static_cast<uint32_t>(y), dst, cw);
    }
    canvas.info_.nBkgndIndex = firstTrans;
}

}  // namespace hqlv::imaging
