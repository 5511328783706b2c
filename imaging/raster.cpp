#include "imaging/raster.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imaging/bitfield.h"
#include "imaging/bytes_le.h"
#include "imaging/saturate.h"

namespace hqlv::imaging {

namespace {

std::atomic<uint64_t> g_maxPixels{0};

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool hostIsLittleEndian() {
    const uint16_t one = 1;
    uint8_t b;
    std::memcpy(&b, &one, 1);
    return b == 1;
}

}  // namespace

void CRaster::SetMaxPixels(uint64_t maxPixels) {
    g_maxPixels = maxPixels;
}
uint64_t CRaster::GetMaxPixels() {
    return g_maxPixels;
}

bool CRaster::SizeAllowed(uint64_t width, uint64_t height, uint32_t bpp) {
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    const uint64_t pixels = width * height;  // both below 2^31: no overflow
    const uint64_t limit = g_maxPixels;
    if (limit && pixels > limit) return false;
    const uint32_t depth = bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24;
    const uint64_t stride = ((width * depth + 31) / 32) * 4;
    const uint64_t bytes = stride * height;
    if (static_cast<unsigned __int128>(pixels) * depth / 8 > RASTER_MAX_MEMORY) return false;
    if (bytes + 40 + 1024 > 0xFFFFFFFFull) return false;
    return true;
}

void CRaster::Startup(uint32_t formatId) {
    pDib_ = pSelection_ = pAlpha_ = nullptr;
    frames_.clear();
    head_ = RasterHeader{};
    info_ = RasterInfo{};
    info_.dwType = formatId;
    info_.fQuality = 90.0f;
    info_.nAlphaMax = 255;
    info_.nBkgndIndex = -1;
    info_.bEnabled = true;
    SetXDPI(96);
    SetYDPI(96);
    info_.bLittleEndianHost = hostIsLittleEndian();
}

CRaster::CRaster(uint32_t formatId) {
    Startup(formatId);
}

CRaster::CRaster(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId) {
    Startup(formatId);
    Create(width, height, bpp, formatId);
}

CRaster::CRaster(const CRaster& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    Startup(src.GetType());
    Copy(src, copyPixels, copySelection, copyAlpha);
}

CRaster::CRaster(uint8_t* buffer, uint32_t size, uint32_t formatId) {
    Startup(formatId);
    DecodeBuffer(buffer, size, formatId);
}

CRaster::~CRaster() {
    DestroyFrames();
    Destroy();
}

void CRaster::SetLastError(const char* text) {
    if (!text) text = "";
    std::strncpy(info_.szLastError, text, sizeof(info_.szLastError) - 1);
    info_.szLastError[sizeof(info_.szLastError) - 1] = 0;
}

uint32_t CRaster::BlockHeaderSize() const {
    return 40;
}

void CRaster::WriteBlockHeader() {
    if (!pDib_) return;
    uint8_t* p = pDib_;
    put32(p, head_.biSize);
    put32(p + 4, static_cast<uint32_t>(head_.biWidth));
    put32(p + 8, static_cast<uint32_t>(head_.biHeight));
    put16(p + 12, head_.biPlanes);
    put16(p + 14, head_.biBitCount);
    put32(p + 16, head_.biCompression);
    put32(p + 20, head_.biSizeImage);
    put32(p + 24, static_cast<uint32_t>(head_.biXPelsPerMeter));
    put32(p + 28, static_cast<uint32_t>(head_.biYPelsPerMeter));
    put32(p + 32, head_.biClrUsed);
    put32(p + 36, head_.biClrImportant);
}

uint8_t* CRaster::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId) {
    Destroy();
    if (width == 0 || height == 0) {
        SetLastError("CRaster::Create : width and height must be greater than zero");
        return nullptr;
    }
    const uint32_t depth = bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24;
    if (!SizeAllowed(width, height, depth)) {
        SetLastError("RASTER_MAX_MEMORY exceeded");
        return nullptr;
    }
    head_.biClrUsed = depth == 1 ? 2 : depth == 4 ? 16 : depth == 8 ? 256 : 0;
    info_.dwEffWidth = ((width * depth + 31) / 32) * 4;
    info_.dwType = formatId;
    head_.biSize = 40;
    head_.biWidth = static_cast<int32_t>(width);
    head_.biHeight = static_cast<int32_t>(height);
    head_.biPlanes = 1;
    head_.biBitCount = static_cast<uint16_t>(depth);
    head_.biCompression = 0;
    head_.biSizeImage = info_.dwEffWidth * height;
    // New images start zero-filled, so a decoder that stops early never shows heap garbage.
    pDib_ = static_cast<uint8_t*>(std::calloc(1, GetSize()));
    if (!pDib_) {
        SetLastError("CRaster::Create can't allocate memory");
        return nullptr;
    }
    WriteBlockHeader();
    return pDib_;
}

bool CRaster::Destroy() {
    std::free(pSelection_);
    pSelection_ = nullptr;
    std::free(pAlpha_);
    pAlpha_ = nullptr;
    std::free(pDib_);
    pDib_ = nullptr;
    return true;
}

bool CRaster::DestroyFrames() {
    frames_.clear();
    info_.nNumFrames = 0;
    return true;
}

void CRaster::Copy(const CRaster& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&src == this) return;
    info_ = src.info_;
    head_ = src.head_;
    if (!Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType())) {
        // An empty source leaves an empty copy that still carries the source's information,
        // with the creation's words as its last error. Its size is 0: it holds no pixels.
        char text[sizeof info_.szLastError];
        std::memcpy(text, info_.szLastError, sizeof text);
        info_ = src.info_;
        std::memcpy(info_.szLastError, text, sizeof text);
        head_ = src.head_;
        head_.biWidth = head_.biHeight = 0;
        head_.biClrUsed = 0;
        return;
    }
    if (copyPixels && pDib_ && src.pDib_) {
        std::memcpy(pDib_, src.pDib_, GetSize());
    } else if (src.pDib_) {
        SetPalette(src.GetPalette(), 256);
    }
    const size_t plane = static_cast<size_t>(GetWidth()) * GetHeight();
    if (copySelection && src.pSelection_) {
        std::free(pSelection_);
        pSelection_ = static_cast<uint8_t*>(std::malloc(plane));
        if (pSelection_) std::memcpy(pSelection_, src.pSelection_, plane);
    }
    if (copyAlpha && src.pAlpha_) {
        std::free(pAlpha_);
        pAlpha_ = static_cast<uint8_t*>(std::malloc(plane));
        if (pAlpha_) std::memcpy(pAlpha_, src.pAlpha_, plane);
    }
}

void CRaster::CopyInfo(const CRaster& src) {
    if (!pDib_) info_ = src.info_;
}

bool CRaster::Transfer(CRaster& from, bool transferFrames) {
    if (&from == this) return true;
    Destroy();
    head_ = from.head_;
    info_ = from.info_;
    pDib_ = from.pDib_;
    pSelection_ = from.pSelection_;
    pAlpha_ = from.pAlpha_;
    if (transferFrames) {
        frames_ = std::move(from.frames_);
        from.frames_.clear();
    }
    from.pDib_ = from.pSelection_ = from.pAlpha_ = nullptr;
    from.head_ = RasterHeader{};
    from.info_ = RasterInfo{};
    return true;
}

uint32_t CRaster::GetSize() const {
    return head_.biSize + head_.biSizeImage + GetPaletteSize();
}

uint8_t* CRaster::GetBits(uint32_t row) const {
    if (!pDib_) return nullptr;
    uint8_t* base = pDib_ + head_.biSize + GetPaletteSize();
    if (row == 0) return base;
    if (row < GetHeight()) return base + static_cast<size_t>(row) * info_.dwEffWidth;
    return nullptr;
}

bool CRaster::IsInside(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < head_.biWidth && y < head_.biHeight;
}

// ---- palette ----

RGBQUAD* CRaster::GetPalette() const {
    if (!pDib_ || head_.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(pDib_ + head_.biSize);
}

RGBQUAD CRaster::GetPaletteColor(uint8_t i) const {
    RGBQUAD c;
    RGBQUAD* pal = GetPalette();
    if (pal && i < head_.biClrUsed) c = pal[i];
    return c;
}

void CRaster::SetPaletteColor(uint8_t i, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha) {
    RGBQUAD* pal = GetPalette();
    if (!pal || i >= head_.biClrUsed) return;
    pal[i].rgbBlue = b;
    pal[i].rgbGreen = g;
    pal[i].rgbRed = r;
    pal[i].rgbReserved = alpha;
    info_.last_c_isvalid = false;
}

void CRaster::SetPalette(const RGBQUAD* entries, uint32_t count) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !entries || count == 0) return;
    const uint32_t n = count < head_.biClrUsed ? count : head_.biClrUsed;
    std::memmove(pal, entries, n * 4);
    info_.last_c_isvalid = false;
}

void CRaster::SetPalette(uint32_t n, const uint8_t* r, const uint8_t* g, const uint8_t* b) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !r) return;
    if (!g) g = r;
    if (!b) b = g;
    if (n > head_.biClrUsed) n = head_.biClrUsed;
    for (uint32_t i = 0; i < n; ++i) {
        pal[i].rgbRed = r[i];
        pal[i].rgbGreen = g[i];
        pal[i].rgbBlue = b[i];
    }
    info_.last_c_isvalid = false;
}

void CRaster::SetPalette(const rgb_color* entries, uint32_t count) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !entries) return;
    if (count > head_.biClrUsed) count = head_.biClrUsed;
    for (uint32_t i = 0; i < count; ++i) {
        pal[i].rgbRed = entries[i].r;
        pal[i].rgbGreen = entries[i].g;
        pal[i].rgbBlue = entries[i].b;
    }
    info_.last_c_isvalid = false;
}

void CRaster::SetGrayPalette() {
    RGBQUAD* pal = GetPalette();
    const uint32_t n = head_.biClrUsed;
    if (!pal || n < 2) return;
    const uint32_t step = 255 / (n - 1);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * step);
        pal[i].rgbBlue = pal[i].rgbGreen = pal[i].rgbRed = v;
    }
    info_.last_c_isvalid = false;
}

bool CRaster::IsGrayScale() const {
    RGBQUAD* pal = GetPalette();
    if (!pal) return false;
    for (uint32_t i = 0; i < head_.biClrUsed; ++i) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i) return false;
    }
    return true;
}

void CRaster::SetClrImportant(uint32_t n) {
    if (n == 0 || n > 256) {
        head_.biClrImportant = 0;
    } else {
        switch (head_.biBitCount) {
            case 1:
                head_.biClrImportant = n < 2 ? n : 2;
                break;
            case 4:
                head_.biClrImportant = n < 16 ? n : 16;
                break;
            case 8:
                head_.biClrImportant = n;
                break;
            default:
                break;
        }
    }
    WriteBlockHeader();
}

uint8_t CRaster::GetNearestIndex(RGBQUAD c) {
    RGBQUAD* pal = GetPalette();
    if (!pal) return 0;
    if (info_.last_c_isvalid && std::memcmp(&info_.last_c, &c, 4) == 0) return info_.last_c_index;
    info_.last_c = c;
    info_.last_c_isvalid = true;
    int32_t m = static_cast<int32_t>(head_.biClrImportant ? head_.biClrImportant : head_.biClrUsed);
    // Colours important may stand above the palette's size (Create keeps the field when a
    // picture is made anew at a smaller depth): the entries past the palette would be the pixel
    // rows and, in a small picture, memory behind the block.
    if (m > static_cast<int32_t>(head_.biClrUsed)) m = static_cast<int32_t>(head_.biClrUsed);
    if (m < 1) {
        info_.last_c_index = 0;
        return 0;
    }
    int32_t best = 200000;
    uint8_t index = 0;
    for (int32_t i = 0; i < m; ++i) {
        const int32_t db = pal[i].rgbBlue - c.rgbBlue;
        const int32_t dg = pal[i].rgbGreen - c.rgbGreen;
        const int32_t dr = pal[i].rgbRed - c.rgbRed;
        const int32_t d = db * db + dg * dg + dr * dr;
        if (d == 0) {
            index = static_cast<uint8_t>(i);
            break;
        }
        if (d < best) {
            best = d;
            index = static_cast<uint8_t>(i);
        }
    }
    info_.last_c_index = index;
    return index;
}

// ---- pixels ----

uint8_t CRaster::BlindGetPixelIndex(int32_t x, int32_t y) const {
    const uint8_t* row =
        pDib_ + head_.biSize + GetPaletteSize() + static_cast<size_t>(y) * info_.dwEffWidth;
    switch (head_.biBitCount) {
        case 8:
            return row[x];
        case 4: {
            const uint8_t b = row[x >> 1];
            return (x & 1) ? (b & 0x0F) : (b >> 4);
        }
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        default:
            return 0;
    }
}

uint8_t CRaster::GetPixelIndex(int32_t x, int32_t y) const {
    if (!pDib_ || head_.biClrUsed == 0) return 0;
    if (!IsInside(x, y)) {
        if (info_.nBkgndIndex >= 0) return static_cast<uint8_t>(info_.nBkgndIndex);
        return *GetBits();
    }
    return BlindGetPixelIndex(x, y);
}

void CRaster::BlindSetPixelIndex(int32_t x, int32_t y, uint8_t i) {
    uint8_t* row =
        pDib_ + head_.biSize + GetPaletteSize() + static_cast<size_t>(y) * info_.dwEffWidth;
    switch (head_.biBitCount) {
        case 8:
            row[x] = i;
            break;
        case 4: {
            uint8_t& b = row[x >> 1];
            if (x & 1)
                b = static_cast<uint8_t>((b & 0xF0) | (i & 0x0F));
            else
                b = static_cast<uint8_t>((b & 0x0F) | ((i & 0x0F) << 4));
            break;
        }
        case 1: {
            uint8_t& b = row[x >> 3];
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
            b = (i & 1) ? (b | mask) : (b & ~mask);
            break;
        }
        default:
            break;
    }
}

void CRaster::SetPixelIndex(int32_t x, int32_t y, uint8_t i) {
    if (!pDib_ || head_.biClrUsed == 0 || !IsInside(x, y)) return;
    BlindSetPixelIndex(x, y, i);
}

RGBQUAD CRaster::BlindGetPixelColor(int32_t x, int32_t y, bool withAlpha) const {
    RGBQUAD c;
    if (head_.biClrUsed) {
        c = GetPaletteColor(BlindGetPixelIndex(x, y));
    } else {
        const uint8_t* p = BlindGetPixelPointer(x, y);
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
        c.rgbReserved = info_.nBkgndColor.rgbReserved;
    }
    if (withAlpha && pAlpha_) c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

RGBQUAD CRaster::GetPixelColor(int32_t x, int32_t y, bool withAlpha) const {
    if (!pDib_) return info_.nBkgndColor;
    if (!IsInside(x, y)) {
        if (info_.nBkgndIndex >= 0) {
            if (head_.biBitCount < 24)
                return GetPaletteColor(static_cast<uint8_t>(info_.nBkgndIndex));
            return info_.nBkgndColor;
        }
        return BlindGetPixelColor(0, 0, withAlpha);
    }
    return BlindGetPixelColor(x, y, withAlpha);
}

void CRaster::BlindSetPixelColor(int32_t x, int32_t y, RGBQUAD c, bool setAlpha) {
    if (head_.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(c));
    } else {
        uint8_t* p = BlindGetPixelPointer(x, y);
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    }
    if (setAlpha) AlphaSet(x, y, c.rgbReserved);
}

void CRaster::SetPixelColor(int32_t x, int32_t y, RGBQUAD c, bool setAlpha) {
    if (!pDib_ || !IsInside(x, y)) return;
    BlindSetPixelColor(x, y, c, setAlpha);
}

uint8_t* CRaster::BlindGetPixelPointer(int32_t x, int32_t y) const {
    if (head_.biClrUsed || !pDib_) return nullptr;
    return GetBits() + static_cast<size_t>(y) * info_.dwEffWidth + static_cast<size_t>(x) * 3;
}

void CRaster::Clear(uint8_t value) {
    if (!pDib_) return;
    if (head_.biBitCount == 1 && value) value = 255;
    if (head_.biBitCount == 4) value = static_cast<uint8_t>(17 * (value & 15));
    std::memset(GetBits(), value, head_.biSizeImage);
}

void CRaster::RGBtoBGR(uint8_t* row, int length) {
    if (!row || head_.biBitCount != 24 || length <= 0) return;
    uint32_t n = static_cast<uint32_t>(length);
    if (n > info_.dwEffWidth) n = info_.dwEffWidth;
    if (n > 3 * GetWidth()) n = 3 * GetWidth();
    for (uint32_t i = 0; i + 2 < n; i += 3) {
        const uint8_t t = row[i];
        row[i] = row[i + 2];
        row[i + 2] = t;
    }
}

void CRaster::Bitfield2RGB(const uint8_t* src, uint32_t redMask, uint32_t greenMask,
                           uint32_t blueMask, uint8_t bpp) {
    if (!pDib_ || !src || head_.biBitCount != 24 || (bpp != 16 && bpp != 32)) return;
    if (bpp == 16) {
        redMask &= 0xFFFF;
        greenMask &= 0xFFFF;
        blueMask &= 0xFFFF;
    }
    const int32_t w = head_.biWidth, h = head_.biHeight;
    const size_t srcStride =
        bpp == 16 ? static_cast<size_t>((w + 1) / 2) * 4 : static_cast<size_t>(w) * 4;
    uint8_t* dst = GetBits();
    // Back to front, so a conversion in place never overwrites unread source words.
    for (int32_t y = h - 1; y >= 0; --y) {
        for (int32_t x = w - 1; x >= 0; --x) {
            const uint8_t* s =
                src + static_cast<size_t>(y) * srcStride + static_cast<size_t>(x) * (bpp / 8);
            const uint32_t px = bpp == 16 ? le16(s) : le32(s);
            uint8_t* d =
                dst + static_cast<size_t>(y) * info_.dwEffWidth + static_cast<size_t>(x) * 3;
            d[0] = maskedChannel(px, blueMask);
            d[1] = maskedChannel(px, greenMask);
            d[2] = maskedChannel(px, redMask);
        }
    }
}

// ---- alpha ----

bool CRaster::AlphaCreate() {
    if (!pAlpha_ && pDib_) {
        const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
        pAlpha_ = static_cast<uint8_t*>(std::malloc(n));
        if (pAlpha_) std::memset(pAlpha_, 255, n);
    }
    return pAlpha_ != nullptr;
}

void CRaster::AlphaDelete() {
    std::free(pAlpha_);
    pAlpha_ = nullptr;
}

void CRaster::AlphaInvert() {
    if (!pAlpha_) return;
    const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
    for (size_t i = 0; i < n; ++i) pAlpha_[i] = static_cast<uint8_t>(255 - pAlpha_[i]);
}

bool CRaster::AlphaCopy(const CRaster& from) {
    if (!from.IsGrayScale() || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight())
        return false;
    if (!AlphaCreate()) return false;
    const uint32_t w = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        uint8_t* dst = pAlpha_ + static_cast<size_t>(y) * w;
        if (from.GetBpp() == 8) {
            std::memcpy(dst, from.GetBits(y), w);
        } else {
            // A 1- or 4-bit row holds fewer bytes than the picture has pixels: each pixel's
            // index is taken instead, which on a grey ramp is its grey level, and nothing is
            // read past the row.
            for (uint32_t x = 0; x < w; ++x)
                dst[x] = from.BlindGetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y));
        }
    }
    return true;
}

void CRaster::AlphaSet(int32_t x, int32_t y, uint8_t a) {
    if (pAlpha_ && IsInside(x, y)) pAlpha_[static_cast<size_t>(y) * GetWidth() + x] = a;
}

uint8_t CRaster::AlphaGet(int32_t x, int32_t y) const {
    if (pAlpha_ && IsInside(x, y)) return pAlpha_[static_cast<size_t>(y) * GetWidth() + x];
    return 0;
}

uint8_t CRaster::BlindAlphaGet(int32_t x, int32_t y) const {
    return pAlpha_[static_cast<size_t>(y) * GetWidth() + x];
}

// ---- selection ----

bool CRaster::SelectionCreate() {
    SelectionDelete();
    if (!pDib_) return false;
    pSelection_ =
        static_cast<uint8_t*>(std::calloc(static_cast<size_t>(GetWidth()) * GetHeight(), 1));
    return pSelection_ != nullptr;
}

bool CRaster::SelectionDelete() {
    std::free(pSelection_);
    pSelection_ = nullptr;
    info_.rSelectionBox.left = head_.biWidth;
    info_.rSelectionBox.bottom = head_.biHeight;
    info_.rSelectionBox.right = info_.rSelectionBox.top = 0;
    return true;
}

bool CRaster::BlindSelectionIsInside(int32_t x, int32_t y) const {
    if (!pSelection_) return true;
    return pSelection_[static_cast<size_t>(y) * GetWidth() + x] != 0;
}

void CRaster::SelectionSet(int32_t x, int32_t y, uint8_t level) {
    if (pSelection_ && IsInside(x, y)) pSelection_[static_cast<size_t>(y) * GetWidth() + x] = level;
}

uint8_t CRaster::BlindSelectionGet(int32_t x, int32_t y) const {
    return pSelection_[static_cast<size_t>(y) * GetWidth() + x];
}

// ---- transparency ----

void CRaster::SetTransIndex(int32_t i) {
    info_.nBkgndIndex = i < static_cast<int32_t>(head_.biClrUsed) ? i : 0;
}

void CRaster::SetTransColor(RGBQUAD c) {
    c.rgbReserved = 0;
    info_.nBkgndColor = c;
}

RGBQUAD CRaster::GetTransColor() const {
    if (head_.biBitCount < 24 && info_.nBkgndIndex >= 0)
        return GetPaletteColor(static_cast<uint8_t>(info_.nBkgndIndex));
    return info_.nBkgndColor;
}

// ---- resolution ----

namespace {

// Above 54,546,084 dots per inch the pixels per metre pass what the header's field holds:
// it keeps its highest value.
int32_t PelsPerMeter(int32_t dpi) {
    return SaturateCast<int32_t>(std::floor(dpi * 10000.0 / 254.0 + 0.5));
}

}  // namespace

void CRaster::SetXDPI(int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info_.xDPI = dpi;
    head_.biXPelsPerMeter = PelsPerMeter(dpi);
    WriteBlockHeader();
}

void CRaster::SetYDPI(int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info_.yDPI = dpi;
    head_.biYPelsPerMeter = PelsPerMeter(dpi);
    WriteBlockHeader();
}

// ---- frames ----

CRaster* CRaster::GetFrame(int32_t n) const {
    if (frames_.empty() || info_.nNumFrames <= 0) return nullptr;
    const int32_t count = static_cast<int32_t>(frames_.size());
    if (n >= info_.nNumFrames || n >= count) return nullptr;
    if (n < 0) n = (info_.nNumFrames < count ? info_.nNumFrames : count) - 1;
    return frames_[static_cast<size_t>(n)].get();
}

// ---- decoder helpers ----

uint32_t CRaster::GetTypeIndexFromId(uint32_t id) {
    if (id <= 7) return id;
    switch (id) {
        case 9:
            return 8;
        case 11:
            return 9;
        case 12:
            return 10;
        default:
            return 0;
    }
}

uint32_t CRaster::GetCodecOption(uint32_t id) const {
    uint32_t index = GetTypeIndexFromId(id);
    if (index == 0) index = GetTypeIndexFromId(info_.dwType);
    return info_.dwCodecOpt[index];
}

void CRaster::SetCodecOption(uint32_t value, uint32_t id) {
    uint32_t index = GetTypeIndexFromId(id);
    if (index == 0) index = GetTypeIndexFromId(info_.dwType);
    info_.dwCodecOpt[index] = value;
}

// The quality plus a half, truncated to a whole number and that to a byte. The whole number
// is taken at its nearest representable value first: converting a quality beyond any integer
// (or one that is not a number) straight to a byte has no defined result.
uint8_t CRaster::GetJpegQuality() const {
    return static_cast<uint8_t>(SaturateCast<int64_t>(double(info_.fQuality) + 0.5) & 0xFF);
}

int16_t CRaster::ntohs(int16_t v) {
    if (hostIsLittleEndian()) return v;
    const uint16_t u = static_cast<uint16_t>(v);
    return static_cast<int16_t>((u >> 8) | (u << 8));
}

int32_t CRaster::ntohl(int32_t v) {
    if (hostIsLittleEndian()) return v;
    return static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(v)));
}

void CRaster::bihtoh(RasterHeader* h) {
    if (!h) return;
    h->biSize = static_cast<uint32_t>(ntohl(static_cast<int32_t>(h->biSize)));
    h->biWidth = ntohl(h->biWidth);
    h->biHeight = ntohl(h->biHeight);
    h->biPlanes = static_cast<uint16_t>(ntohs(static_cast<int16_t>(h->biPlanes)));
    h->biBitCount = static_cast<uint16_t>(ntohs(static_cast<int16_t>(h->biBitCount)));
    h->biCompression = static_cast<uint32_t>(ntohl(static_cast<int32_t>(h->biCompression)));
    h->biSizeImage = static_cast<uint32_t>(ntohl(static_cast<int32_t>(h->biSizeImage)));
    h->biXPelsPerMeter = ntohl(h->biXPelsPerMeter);
    h->biYPelsPerMeter = ntohl(h->biYPelsPerMeter);
    h->biClrUsed = static_cast<uint32_t>(ntohl(static_cast<int32_t>(h->biClrUsed)));
    h->biClrImportant = static_cast<uint32_t>(ntohl(static_cast<int32_t>(h->biClrImportant)));
}

}  // namespace hqlv::imaging
