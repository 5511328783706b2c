// A decoded picture in the layout of a device-independent bitmap: one block with a 40-byte
// header, the palette and bottom-up pixel rows padded to 4 bytes (row 0 is the bottom row),
// plus optional alpha and selection planes and a list of animation frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/raster_file.h"

namespace hqlv::imaging {

struct RGBQUAD {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};

struct rgb_color {
    uint8_t r, g, b;
};

// Field copy of the block's bitmap info header.
struct RasterHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

struct RasterRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Format ids.
enum : uint32_t {
    RASTER_FORMAT_UNKNOWN = 0,
    RASTER_FORMAT_BMP = 1,
    RASTER_FORMAT_GIF = 2,
    RASTER_FORMAT_JPG = 3,
    RASTER_FORMAT_PNG = 4,
    RASTER_FORMAT_ICO = 5,
    RASTER_FORMAT_TIF = 6,
    RASTER_FORMAT_TGA = 7,
    RASTER_FORMAT_WBMP = 9,
    RASTER_FORMAT_JP2 = 11,
    RASTER_FORMAT_JPC = 12,
};

constexpr uint64_t RASTER_MAX_MEMORY = 268435456;  // bytes of pixel data per image

struct RasterInfo {
    uint32_t dwEffWidth = 0;
    uint32_t dwType = 0;
    char szLastError[256] = {};
    int32_t nEscape = 0;      // -1: dimensions only; > 0: cancel
    int32_t nBkgndIndex = 0;  // transparent index, -1 = none
    RGBQUAD nBkgndColor;      // transparent colour
    float fQuality = 0;
    uint8_t nJpegScale = 0;
    int32_t nFrame = 0;      // frame to decode
    int32_t nNumFrames = 0;  // frames the decoder found
    uint32_t dwFrameDelay = 0;
    int32_t xDPI = 0, yDPI = 0;
    RasterRect rSelectionBox;
    uint8_t nAlphaMax = 0;
    bool bAlphaPaletteEnabled = false;
    bool bEnabled = false;
    int32_t xOffset = 0, yOffset = 0;
    uint32_t dwCodecOpt[11] = {};
    RGBQUAD last_c;
    uint8_t last_c_index = 0;
    bool last_c_isvalid = false;
    uint8_t dispmeth = 0;
    bool bGetAllFrames = false;
    bool bLittleEndianHost = true;
};

class CRaster {
public:
    explicit CRaster(uint32_t formatId = 0);
    CRaster(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId);
    CRaster(const CRaster& src, bool copyPixels = true, bool copySelection = true,
            bool copyAlpha = true);
    CRaster(uint8_t* buffer, uint32_t size, uint32_t formatId);
    virtual ~CRaster();
    CRaster& operator=(const CRaster&) = delete;

    // Decoding (format ids above; 0 tries every decoder).
    bool Decode(CRasterFile* file, uint32_t formatId);
    bool DecodeBuffer(uint8_t* buffer, uint32_t size, uint32_t formatId);
    bool SetType(uint32_t formatId);

    // Lifecycle.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId);
    bool Destroy();
    bool DestroyFrames();
    void Copy(const CRaster& src, bool copyPixels = true, bool copySelection = true,
              bool copyAlpha = true);
    void CopyInfo(const CRaster& src);
    // Takes the source's info record even when this image holds pixels (its own size stays).
    void CopyInfoFrom(const CRaster& src) {
        const uint32_t stride = info_.dwEffWidth, type = info_.dwType;
        info_ = src.info_;
        info_.dwEffWidth = stride;
        info_.dwType = type;
    }
    bool Transfer(CRaster& from, bool transferFrames = true);

    // Size and access.
    uint32_t GetWidth() const { return static_cast<uint32_t>(head_.biWidth); }
    uint32_t GetHeight() const { return static_cast<uint32_t>(head_.biHeight); }
    uint32_t GetBpp() const { return head_.biBitCount; }
    uint32_t GetEffWidth() const { return info_.dwEffWidth; }
    uint32_t GetType() const { return info_.dwType; }
    uint8_t* GetDIB() const { return pDib_; }
    bool IsValid() const { return pDib_ != nullptr; }
    bool IsIndexed() const { return head_.biClrUsed != 0; }
    const char* GetLastError() const { return info_.szLastError; }
    uint32_t GetSize() const;
    uint8_t* GetBits(uint32_t row = 0) const;
    bool IsInside(int32_t x, int32_t y) const;
    const RasterHeader& GetHeader() const { return head_; }

    // Palette.
    uint32_t GetPaletteSize() const { return head_.biClrUsed * 4; }
    RGBQUAD* GetPalette() const;
    RGBQUAD GetPaletteColor(uint8_t i) const;
    void SetPaletteColor(uint8_t i, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha = 0);
    void SetPalette(const RGBQUAD* entries, uint32_t count);
    void SetPalette(uint32_t n, const uint8_t* r, const uint8_t* g, const uint8_t* b);
    void SetPalette(const rgb_color* entries, uint32_t count);
    void SetGrayPalette();
    bool IsGrayScale() const;
    void SetClrImportant(uint32_t n);
    uint8_t GetNearestIndex(RGBQUAD c);

    // Pixels.
    uint8_t GetPixelIndex(int32_t x, int32_t y) const;
    uint8_t BlindGetPixelIndex(int32_t x, int32_t y) const;
    void SetPixelIndex(int32_t x, int32_t y, uint8_t i);
    void BlindSetPixelIndex(int32_t x, int32_t y, uint8_t i);
    RGBQUAD GetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
    RGBQUAD BlindGetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
    void SetPixelColor(int32_t x, int32_t y, RGBQUAD c, bool setAlpha = false);
    void BlindSetPixelColor(int32_t x, int32_t y, RGBQUAD c, bool setAlpha = false);
    uint8_t* BlindGetPixelPointer(int32_t x, int32_t y) const;
    void Clear(uint8_t value = 0);
    void RGBtoBGR(uint8_t* row, int length);
    void Bitfield2RGB(const uint8_t* src, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                      uint8_t bpp);

    // Alpha plane.
    bool AlphaIsValid() const { return pAlpha_ != nullptr; }
    bool AlphaCreate();
    void AlphaDelete();
    void AlphaInvert();
    bool AlphaCopy(const CRaster& from);
    void AlphaSet(int32_t x, int32_t y, uint8_t a);
    uint8_t AlphaGet(int32_t x, int32_t y) const;
    uint8_t BlindAlphaGet(int32_t x, int32_t y) const;
    uint8_t* AlphaGetPointer() const { return pAlpha_; }

    // Selection plane.
    bool SelectionIsValid() const { return pSelection_ != nullptr; }
    bool SelectionCreate();
    bool SelectionDelete();
    bool BlindSelectionIsInside(int32_t x, int32_t y) const;
    void SelectionSet(int32_t x, int32_t y, uint8_t level);
    uint8_t BlindSelectionGet(int32_t x, int32_t y) const;
    RasterRect GetSelectionBox() const { return info_.rSelectionBox; }
    void SetSelectionBox(RasterRect r) { info_.rSelectionBox = r; }

    // Transparency.
    int32_t GetTransIndex() const { return info_.nBkgndIndex; }
    bool IsTransparent() const { return info_.nBkgndIndex >= 0; }
    void SetTransIndex(int32_t i);
    void SetTransColor(RGBQUAD c);
    RGBQUAD GetTransColor() const;

    // Resolution.
    void SetXDPI(int32_t dpi);
    void SetYDPI(int32_t dpi);
    int32_t GetXDPI() const { return info_.xDPI; }
    int32_t GetYDPI() const { return info_.yDPI; }

    // Frames.
    int32_t GetNumFrames() const { return info_.nNumFrames; }
    void SetNumFrames(int32_t n) { info_.nNumFrames = n; }
    void SetFrame(int32_t n) { info_.nFrame = n; }
    int32_t GetFrameIndex() const { return info_.nFrame; }
    void SetRetrieveAllFrames(bool all) { info_.bGetAllFrames = all; }
    uint32_t GetFrameDelay() const { return info_.dwFrameDelay; }
    void SetFrameDelay(uint32_t d) { info_.dwFrameDelay = d; }
    void SetDisposalMethod(uint8_t m) { info_.dispmeth = m; }
    uint8_t GetDisposalMethod() const { return info_.dispmeth; }
    CRaster* GetFrame(int32_t n) const;
    int32_t GetXOffset() const { return info_.xOffset; }
    int32_t GetYOffset() const { return info_.yOffset; }
    void SetOffset(int32_t x, int32_t y) {
        info_.xOffset = x;
        info_.yOffset = y;
    }

    // For decoders.
    static uint32_t GetTypeIndexFromId(uint32_t id);
    uint32_t GetCodecOption(uint32_t id = 0) const;
    void SetCodecOption(uint32_t value, uint32_t id = 0);
    uint8_t GetJpegQuality() const;
    void SetJpegQuality(float q) { info_.fQuality = q; }
    uint8_t GetJpegScale() const { return info_.nJpegScale; }
    void SetJpegScale(uint8_t s) { info_.nJpegScale = s; }
    void SetEscape(int32_t e) { info_.nEscape = e; }
    int32_t GetEscape() const { return info_.nEscape; }
    bool IsPaletteAlpha() const { return info_.bAlphaPaletteEnabled; }
    static int16_t ntohs(int16_t v);
    static int32_t ntohl(int32_t v);
    static void bihtoh(RasterHeader* h);

    // Transforms.
    bool Flip(bool flipSelection = false, bool flipAlpha = true);
    bool Mirror(bool mirrorSelection = false, bool mirrorAlpha = true);
    bool RotateLeft(CRaster* target = nullptr);
    bool RotateRight(CRaster* target = nullptr);
    bool Negative();
    bool AlphaFlip();
    bool AlphaMirror();
    bool SelectionFlip();
    bool SelectionMirror();

    // A process-wide cap on the pixel count of any image created (0 = only the memory cap).
    // Fuzzing and callers that take pictures from strangers use it to refuse huge sizes
    // before anything is allocated.
    static void SetMaxPixels(uint64_t maxPixels);
    static uint64_t GetMaxPixels();
    // Whether a picture of this size may be created at all at the given depth.
    static bool SizeAllowed(uint64_t width, uint64_t height, uint32_t bpp);

    void SetLastError(const char* text);
    // Width and height of a dimension query that creates no pixels.
    void SetDimensions(uint32_t width, uint32_t height) {
        head_.biWidth = static_cast<int32_t>(width);
        head_.biHeight = static_cast<int32_t>(height);
    }

protected:
    void Startup(uint32_t formatId);
    void WriteBlockHeader();
    uint32_t BlockHeaderSize() const;

    RasterHeader head_;
    RasterInfo info_;
    uint8_t* pDib_ = nullptr;
    uint8_t* pSelection_ = nullptr;
    uint8_t* pAlpha_ = nullptr;
    std::vector<std::unique_ptr<CRaster>> frames_;

    friend class CRasterGIF;
};

}  // namespace hqlv::imaging
