// Reader of the marker segments at the head of a JPEG file: the EXIF block (camera and
// resolution data), the first comment and the frame header.
#pragma once

#include <cstdint>

#include "imaging/raster_file.h"

namespace hqlv::imaging {

struct ExifInfo {
    char Version[5];
    char CameraMake[32];
    char CameraModel[40];
    char DateTime[20];
    int32_t Height, Width;
    int32_t Orientation;
    int32_t IsColor;
    int32_t Process;
    int32_t FlashUsed;
    float FocalLength;
    float ExposureTime;
    float ApertureFNumber;
    float Distance;
    float CCDWidth;
    float ExposureBias;
    int32_t Whitebalance;
    int32_t MeteringMode;
    int32_t ExposureProgram;
    int32_t ISOequivalent;
    int32_t CompressionLevel;
    float FocalplaneXRes;
    float FocalplaneYRes;
    float FocalplaneUnits;
    float Xresolution;
    float Yresolution;
    float ResolutionUnit;
    float Brightness;
    char Comments[1000];
    const uint8_t* ThumbnailPointer;  // into the reader's copy of the EXIF segment
    uint32_t ThumbnailSize;
    bool IsExif;
};

class CRasterExifReader {
public:
    static constexpr int kMaxSections = 20;

    explicit CRasterExifReader(ExifInfo* info = nullptr);
    ~CRasterExifReader();
    CRasterExifReader(const CRasterExifReader&) = delete;
    CRasterExifReader& operator=(const CRasterExifReader&) = delete;

    bool DecodeExif(CRasterFile* file);
    bool ProcessExif(const uint8_t* data, uint32_t length);
    bool ProcessExifDir(const uint8_t* dir, const uint8_t* base, uint32_t length, int nesting);
    double ConvertAnyFormat(const uint8_t* value, int format) const;
    void ProcessComment(const uint8_t* data, uint32_t length);
    void ProcessFrameHeader(const uint8_t* data, int marker, uint32_t length);

    int Get16u(const uint8_t* p) const;
    int32_t Get32s(const uint8_t* p) const;
    uint32_t Get32u(const uint8_t* p) const;
    static int Get16m(const uint8_t* p);

    const ExifInfo& Info() const { return *info_; }
    const char* GetLastError() const { return lastError_; }
    int SectionCount() const { return sectionsRead_; }

private:
    struct Section {
        uint8_t* data = nullptr;
        int type = 0;
        uint32_t size = 0;
    };
    bool ProcessDirAt(uint32_t offset, const uint8_t* base, uint32_t length, int nesting);
    void SetError(const char* text);

    ExifInfo* info_;
    bool ownsInfo_;
    char lastError_[256];
    int exifImageWidth_ = 0;
    bool motorolaOrder_ = false;
    Section sections_[kMaxSections];
    int sectionsRead_ = 0;
    bool sawComment_ = false;
    // Directories walked in this block. Nesting stops a chain that links back on itself after
    // five levels, but a directory may link many times (every entry can name a
    // sub-directory), and links fanning out over five levels could take forever: a block that
    // asks for more walks than any camera's is refused.
    static constexpr int kMaxWalks = 64;
    int walks_ = 0;
    bool tooManyDirs_ = false;
};

}  // namespace hqlv::imaging
