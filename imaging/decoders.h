// The format decoders. Each one derives from CRaster, fills itself from a file object and
// reports failure through its result and its last-error text; nothing escapes Decode.
#pragma once

#include <memory>

#include "imaging/exif.h"
#include "imaging/raster.h"

namespace hqlv::imaging {

class CRasterBMP : public CRaster {
public:
    CRasterBMP() : CRaster(RASTER_FORMAT_BMP) {}
    bool Decode(CRasterFile* file);
    // `masks`, when given, receives the red, green, blue and alpha masks that a header longer
    // than 40 bytes carries (0 where it is too short to hold them).
    bool ReadBitmapInfo(CRasterFile* file, RasterHeader* out, uint32_t masks[4] = nullptr);
};

class CRasterGIF : public CRaster {
public:
    CRasterGIF();
    ~CRasterGIF() override;
    bool Decode(CRasterFile* file);
    int32_t GetLoopCount() const;
    const char* GetComment() const;
    struct State;

private:
    void MixInto(CRaster& canvas, uint32_t left, uint32_t top, bool first, int32_t firstTrans);
    std::unique_ptr<State> st_;
};

class CRasterJPG : public CRaster {
public:
    CRasterJPG();
    ~CRasterJPG() override;
    bool Decode(CRasterFile* file);
    bool DecodeExif(CRasterFile* file);
    const ExifInfo& GetExifInfo() const { return exifInfo_; }

private:
    std::unique_ptr<CRasterExifReader> exif_;
    ExifInfo exifInfo_;
};

class CRasterPNG : public CRaster {
public:
    CRasterPNG() : CRaster(RASTER_FORMAT_PNG) {}
    bool Decode(CRasterFile* file);
};

class CRasterICO : public CRaster {
public:
    CRasterICO() : CRaster(RASTER_FORMAT_ICO) {}
    bool Decode(CRasterFile* file);
};

// No second libtiff handle is kept beside the one a decode opens: it would serve only the
// writing of several pages, and nothing here writes TIFF files.
class CRasterTIF : public CRaster {
public:
    CRasterTIF() : CRaster(RASTER_FORMAT_TIF) {}
    bool Decode(CRasterFile* file);

    // `rows` rows of `columns` bytes from `in` to `out`; after each row `out` moves on by
    // `outSkew` and `in` by `inSkew` more bytes.
    static void TileToStrip(uint8_t* out, const uint8_t* in, uint32_t rows, uint32_t columns,
                            int64_t outSkew, int64_t inSkew);
    // `count` samples `bits` wide (1 to 32) as one byte each: samples of up to 8 bits as they
    // are, wider ones by their top 8 bits.
    static void MoveBits(uint8_t* dest, const uint8_t* src, uint32_t count, uint32_t bits);
    // `count` palette indexes `bits` wide, each written as the blue, green and red of its entry
    // of `table`, which holds 2^bits entries.
    static void MoveBitsPal(uint8_t* dest, const uint8_t* src, uint32_t count, uint32_t bits,
                            const RGBQUAD* table);

    // Largest single buffer the decoder allocates itself for one picture (the palette table,
    // the strip and tile buffers); a larger one fails the decode with that buffer's text.
    // 0 restores the default.
    static void SetMaxBufferBytes(uint64_t bytes);
    static uint64_t GetMaxBufferBytes();
};

class CRasterTGA : public CRaster {
public:
    // The 18-byte file header, fields in file order.
    struct Header {
        uint8_t idLength, cmapType, imageType;
        uint16_t cmapFirst, cmapLength;
        uint8_t cmapEntrySize;
        uint16_t xOrigin, yOrigin, width, height;
        uint8_t depth, descriptor;
    };

    CRasterTGA() : CRaster(RASTER_FORMAT_TGA) {}
    bool Decode(CRasterFile* file);
    // `count` pixels of file row y into `row` from pixel `xOffset` on.
    void ExpandUncompressedLine(uint8_t* row, const Header& header, CRasterFile* file, int count,
                                int y, int xOffset);
    // One row of run-length packets; a packet that crosses the row end is carried into the
    // next row through the returned leftover header (255: none).
    int ExpandCompressedLine(uint8_t* row, const Header& header, CRasterFile* file, int width,
                             int y, int leftover);
    // The 16-bit fields from the file's little-endian order into the host's.
    static void SwapHeader(Header* header);
};

class CRasterWBMP : public CRaster {
public:
    CRasterWBMP() : CRaster(RASTER_FORMAT_WBMP) {}
    bool Decode(CRasterFile* file);
    static bool ReadOctet(CRasterFile* file, uint32_t* value);
};

// JPEG-2000 files (JP2) and bare code streams (JPC).
class CRasterJAS : public CRaster {
public:
    CRasterJAS() : CRaster(0) {}
    bool Decode(CRasterFile* file, uint32_t formatId);

    // Largest single buffer the decoder allocates itself for one picture (the row buffers and
    // the components of the colour conversion); a larger one fails the decode with that
    // step's text. 0 restores the default.
    static void SetMaxBufferBytes(uint64_t bytes);
    static uint64_t GetMaxBufferBytes();
};

}  // namespace hqlv::imaging
