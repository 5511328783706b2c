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

class CRasterTIF : public CRaster {
public:
    CRasterTIF() : CRaster(RASTER_FORMAT_TIF) {}
    bool Decode(CRasterFile* file);
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
};

}  // namespace hqlv::imaging
