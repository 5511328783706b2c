// Marker walk and EXIF directory parser. Every offset and count from the file is checked
// against the segment in 64-bit arithmetic, and the directories one block may walk are
// counted.
#include "imaging/exif.h"
#include "imaging/saturate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hqlv::imaging {

namespace {

constexpr int kBytesPerFormat[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum : int {
    TAG_MAKE = 0x010F,
    TAG_MODEL = 0x0110,
    TAG_ORIENTATION = 0x0112,
    TAG_XRESOLUTION = 0x011A,
    TAG_YRESOLUTION = 0x011B,
    TAG_RESOLUTIONUNIT = 0x0128,
    TAG_THUMBNAIL_OFFSET = 0x0201,
    TAG_THUMBNAIL_LENGTH = 0x0202,
    TAG_EXPOSURETIME = 0x829A,
    TAG_FNUMBER = 0x829D,
    TAG_EXIF_OFFSET = 0x8769,
    TAG_EXPOSURE_PROGRAM = 0x8822,
    TAG_ISO_EQUIVALENT = 0x8827,
    TAG_EXIF_VERSION = 0x9000,
    TAG_DATETIME_ORIGINAL = 0x9003,
    TAG_COMPRESSION_LEVEL = 0x9102,
    TAG_SHUTTERSPEED = 0x9201,
    TAG_APERTURE = 0x9202,
    TAG_BRIGHTNESS = 0x9203,
    TAG_EXPOSURE_BIAS = 0x9204,
    TAG_MAXAPERTURE = 0x9205,
    TAG_SUBJECT_DISTANCE = 0x9206,
    TAG_METERING_MODE = 0x9207,
    TAG_WHITEBALANCE = 0x9208,
    TAG_FLASH = 0x9209,
    TAG_FOCALLENGTH = 0x920A,
    TAG_USERCOMMENT = 0x9286,
    TAG_EXIF_IMAGEWIDTH = 0xA002,
    TAG_EXIF_IMAGELENGTH = 0xA003,
    TAG_INTEROP_OFFSET = 0xA005,
    TAG_FOCALPLANEXRES = 0xA20E,
    TAG_FOCALPLANEYRES = 0xA20F,
    TAG_FOCALPLANEUNITS = 0xA210,
};

// Copies a text value: stops at a zero byte, at the end of the value and at max chars.
void copyText(char* dst, size_t max, const uint8_t* src, uint64_t n) {
    size_t i = 0;
    for (; i < max && i < n && src[i]; ++i) dst[i] = static_cast<char>(src[i]);
    dst[i] = 0;
}

bool unitFactor(int unit, float* out) {
    switch (unit) {
        case 1:
        case 2:
            *out = 1.0f;
            return true;
        case 3:
            *out = 0.3937007874f;
            return true;
        case 4:
            *out = 0.03937007874f;
            return true;
        case 5:
            *out = 0.00003937007874f;
            return true;
        default:
            return false;
    }
}

}  // namespace

CRasterExifReader::CRasterExifReader(ExifInfo* info) : info_(info), ownsInfo_(info == nullptr) {
    if (!info_) {
        info_ = static_cast<ExifInfo*>(std::calloc(1, sizeof(ExifInfo)));
    }
    lastError_[0] = 0;
}

CRasterExifReader::~CRasterExifReader() {
    for (auto& s : sections_) std::free(s.data);
    if (ownsInfo_) std::free(info_);
}

void CRasterExifReader::SetError(const char* text) {
    std::strncpy(lastError_, text, sizeof(lastError_) - 1);
    lastError_[sizeof(lastError_) - 1] = 0;
}

int CRasterExifReader::Get16m(const uint8_t* p) {
    return (p[0] << 8) | p[1];
}

int CRasterExifReader::Get16u(const uint8_t* p) const {
    return motorolaOrder_ ? ((p[0] << 8) | p[1]) : ((p[1] << 8) | p[0]);
}

uint32_t CRasterExifReader::Get32u(const uint8_t* p) const {
    if (motorolaOrder_)
        return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
               (static_cast<uint32_t>(p[2]) << 8) | p[3];
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

int32_t CRasterExifReader::Get32s(const uint8_t* p) const {
    return static_cast<int32_t>(Get32u(p));
}

double CRasterExifReader::ConvertAnyFormat(const uint8_t* v, int format) const {
    switch (format) {
        case 1:
            return v[0];
        case 3:
            return Get16u(v);
        case 4:
            return Get32u(v);
        case 5:
        case 10: {
            const int32_t num = Get32s(v), den = Get32s(v + 4);
            return den == 0 ? 0.0 : static_cast<double>(num) / den;
        }
        case 6:
            return static_cast<int8_t>(v[0]);
        case 8:
            return static_cast<int16_t>(Get16u(v));
        case 9:
            return Get32s(v);
        // Floats and doubles follow the block's byte order like its integers: a Motorola
        // block stores them big-endian, and taken as stored they would be nonsense on a
        // little-endian host (a float resolution of 72 would read as about 5e-41).
        case 11: {
            const uint32_t bits = Get32u(v);
            float f;
            std::memcpy(&f, &bits, 4);
            return f;
        }
        case 12: {
            uint64_t bits;
            if (motorolaOrder_)
                bits = (static_cast<uint64_t>(Get32u(v)) << 32) | Get32u(v + 4);
            else
                bits = (static_cast<uint64_t>(Get32u(v + 4)) << 32) | Get32u(v);
            double d;
            std::memcpy(&d, &bits, 8);
            return d;
        }
        default:
            return 0;
    }
}

bool CRasterExifReader::DecodeExif(CRasterFile* file) {
    if (!file) return false;
    if (file->GetC() != 0xFF) return false;
    if (file->GetC() != 0xD8) return false;
    while (sectionsRead_ < kMaxSections) {
        long marker = 0;
        for (int a = 0;; ++a) {
            marker = file->GetC();
            if (marker != 0xFF) break;
            if (a >= 6) {
                std::fputs("too many padding bytes\n", stdout);
                return false;
            }
        }
        if (marker < 0) {
            SetError("Premature end of file?");
            return false;
        }
        const long lh = file->GetC(), ll = file->GetC();
        if (lh < 0 || ll < 0) {
            SetError("Premature end of file?");
            return false;
        }
        const uint32_t itemlen = static_cast<uint32_t>((lh << 8) | ll);
        if (itemlen < 2) {
            SetError("invalid marker");
            return false;
        }
        Section& sec = sections_[sectionsRead_];
        std::free(sec.data);
        sec.data = static_cast<uint8_t*>(std::malloc(itemlen));
        if (!sec.data) {
            SetError("Could not allocate memory");
            return false;
        }
        sec.type = static_cast<int>(marker);
        sec.size = itemlen;
        sec.data[0] = static_cast<uint8_t>(lh);
        sec.data[1] = static_cast<uint8_t>(ll);
        if (file->Read(sec.data + 2, 1, itemlen - 2) != itemlen - 2) {
            SetError("Premature end of file?");
            return false;
        }
        ++sectionsRead_;
        auto drop = [&] {
            --sectionsRead_;
            std::free(sec.data);
            sec.data = nullptr;
        };
        switch (marker) {
            case 0xDA:
                return true;
            case 0xD9:
                std::fputs("No image in jpeg!\n", stdout);
                return false;
            case 0xE0:
                drop();
                break;
            case 0xE1:
                if (itemlen >= 6 && std::memcmp(sec.data + 2, "Exif", 4) == 0) {
                    info_->IsExif = ProcessExif(sec.data + 2, itemlen);
                } else {
                    drop();
                }
                break;
            case 0xFE:
                if (!sawComment_) {
                    sawComment_ = true;
                    ProcessComment(sec.data, itemlen);
                } else {
                    drop();
                }
                break;
            case 0xC0:
            case 0xC1:
            case 0xC2:
            case 0xC3:
            case 0xC5:
            case 0xC6:
            case 0xC7:
            case 0xC9:
            case 0xCA:
            case 0xCB:
            case 0xCD:
            case 0xCE:
            case 0xCF:
                ProcessFrameHeader(sec.data, static_cast<int>(marker), itemlen);
                break;
            default:
                break;
        }
    }
    SetError("Too many sections in jpg file");
    return false;
}

bool CRasterExifReader::ProcessExif(const uint8_t* data, uint32_t length) {
    info_->FlashUsed = 0;
    info_->Comments[0] = 0;
    exifImageWidth_ = 0;
    walks_ = 0;
    tooManyDirs_ = false;
    // The payload after the length field holds "Exif\0\0" and an 8-byte TIFF header at least.
    if (length < 2 + 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0) {
        SetError("Incorrect Exif header");
        return false;
    }
    if (data[6] == 'I' && data[7] == 'I') {
        motorolaOrder_ = false;
    } else if (data[6] == 'M' && data[7] == 'M') {
        motorolaOrder_ = true;
    } else {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    if (Get16u(data + 8) != 0x2A) {
        SetError("Invalid Exif start (1)");
        return false;
    }
    const uint8_t* base = data + 6;
    const uint32_t blockLen = length - 2 - 6;
    const uint32_t first = Get32u(data + 10);
    if (!ProcessDirAt(8, base, blockLen, 0)) return false;
    if (first > 8 && !ProcessDirAt(first, base, blockLen, 0)) return false;
    if (tooManyDirs_) return false;
    if (info_->FocalplaneXRes != 0)
        info_->CCDWidth =
            static_cast<float>(exifImageWidth_ * info_->FocalplaneUnits / info_->FocalplaneXRes);
    return true;
}

bool CRasterExifReader::ProcessExifDir(const uint8_t* dir, const uint8_t* base, uint32_t length,
                                       int nesting) {
    if (!dir || !base || dir < base) return false;
    const uint64_t off = static_cast<uint64_t>(dir - base);
    if (off > length) {
        SetError("Illegally sized directory");
        return false;
    }
    return ProcessDirAt(static_cast<uint32_t>(off), base, length, nesting);
}

bool CRasterExifReader::ProcessDirAt(uint32_t offset, const uint8_t* base, uint32_t length,
                                     int nesting) {
    if (nesting > 4) {
        SetError("Maximum directory nesting exceeded (corrupt exif header)");
        return false;
    }
    if (walks_ >= kMaxWalks) {
        tooManyDirs_ = true;
        SetError("Maximum directory nesting exceeded (corrupt exif header)");
        return false;
    }
    ++walks_;

    if (static_cast<uint64_t>(offset) + 2 > length) {
        SetError("Illegally sized directory");
        return false;
    }
    const uint8_t* dir = base + offset;
    const int entries = Get16u(dir);
    if (static_cast<uint64_t>(offset) + 2 + 12ull * entries > length) {
        SetError("Illegally sized directory");
        return false;
    }
    uint32_t thumbOffset = 0, thumbSize = 0;
    for (int de = 0; de < entries; ++de) {
        const uint8_t* entry = dir + 2 + 12 * de;
        const int tag = Get16u(entry);
        const int format = Get16u(entry + 2);
        const uint32_t components = Get32u(entry + 4);
        if (format > 12) {
            SetError("Illegal format code in EXIF dir");
            return false;
        }
        const uint64_t byteCount = static_cast<uint64_t>(components) * kBytesPerFormat[format];
        const uint8_t* value;
        if (byteCount > 4) {
            const uint32_t valueOffset = Get32u(entry + 8);
            if (static_cast<uint64_t>(valueOffset) + byteCount > length) {
                SetError("Illegal pointer offset value in EXIF.");
                return false;
            }
            value = base + valueOffset;
        } else {
            value = entry + 8;
        }
        // A value is read at its format's size from where it stands, even where the entry
        // counts no components (its 4 value bytes are then read as they are); only a read
        // that would pass the end of the block reads as 0.
        auto number = [&]() -> double {
            if (format == 0 ||
                static_cast<uint64_t>(value - base) + kBytesPerFormat[format] > length)
                return 0;
            return ConvertAnyFormat(value, format);
        };
        switch (tag) {
            case TAG_MAKE:
                copyText(info_->CameraMake, 31, value, byteCount);
                break;
            case TAG_MODEL:
                copyText(info_->CameraModel, 39, value, byteCount);
                break;
            case TAG_DATETIME_ORIGINAL:
                copyText(info_->DateTime, 19, value, byteCount);
                break;
            case TAG_EXIF_VERSION:
                copyText(info_->Version, 4, value, byteCount);
                break;
            case TAG_ORIENTATION: {
                const int o = SaturateCast<int32_t>(number());
                info_->Orientation = o;
                if (o < 1 || o > 8) {
                    SetError("Undefined rotation value");
                    info_->Orientation = 0;
                }
                break;
            }
            case TAG_XRESOLUTION:
                info_->Xresolution = static_cast<float>(number());
                break;
            case TAG_YRESOLUTION:
                info_->Yresolution = static_cast<float>(number());
                break;
            case TAG_RESOLUTIONUNIT:
                unitFactor(SaturateCast<int32_t>(number()), &info_->ResolutionUnit);
                break;
            case TAG_FOCALPLANEUNITS:
                unitFactor(SaturateCast<int32_t>(number()), &info_->FocalplaneUnits);
                break;
            case TAG_THUMBNAIL_OFFSET:
                thumbOffset = SaturateCast<uint32_t>(number());
                break;
            case TAG_THUMBNAIL_LENGTH:
                thumbSize = SaturateCast<uint32_t>(number());
                break;
            case TAG_EXPOSURETIME:
                info_->ExposureTime = static_cast<float>(number());
                break;
            case TAG_FNUMBER:
                info_->ApertureFNumber = static_cast<float>(number());
                break;
            case TAG_EXPOSURE_PROGRAM:
                info_->ExposureProgram = SaturateCast<int32_t>(number());
                break;
            case TAG_ISO_EQUIVALENT: {
                int32_t iso = SaturateCast<int32_t>(number());
                if (iso < 50) iso = SaturateCast<int32_t>(iso * 200.0);
                info_->ISOequivalent = iso;
                break;
            }
            case TAG_COMPRESSION_LEVEL:
                info_->CompressionLevel = SaturateCast<int32_t>(number());
                break;
            case TAG_SHUTTERSPEED:
                if (info_->ExposureTime == 0)
                    info_->ExposureTime = static_cast<float>(1.0 / std::exp2(number()));
                break;
            case TAG_APERTURE:
            case TAG_MAXAPERTURE:
                if (info_->ApertureFNumber == 0)
                    info_->ApertureFNumber = static_cast<float>(std::exp2(number() / 2));
                break;
            case TAG_BRIGHTNESS:
                info_->Brightness = static_cast<float>(number());
                break;
            case TAG_EXPOSURE_BIAS:
                info_->ExposureBias = static_cast<float>(number());
                break;
            case TAG_SUBJECT_DISTANCE:
                info_->Distance = static_cast<float>(number());
                break;
            case TAG_METERING_MODE:
                info_->MeteringMode = SaturateCast<int32_t>(number());
                break;
            case TAG_WHITEBALANCE:
                info_->Whitebalance = SaturateCast<int32_t>(number());
                break;
            case TAG_FLASH:
                info_->FlashUsed = (SaturateCast<int64_t>(number()) & 7) ? 1 : 0;
                break;
            case TAG_FOCALLENGTH:
                info_->FocalLength = static_cast<float>(number());
                break;
            case TAG_USERCOMMENT: {
                // Work on a copy: trailing spaces become zero bytes.
                const size_t n = static_cast<size_t>(byteCount < 1000 ? byteCount : 1000);
                char tmp[1001];
                std::memcpy(tmp, value, n);
                tmp[n] = 0;
                for (size_t a = n; a-- > 0;) {
                    if (tmp[a] == ' ')
                        tmp[a] = 0;
                    else
                        break;
                }
                const char* src = tmp;
                size_t avail = n;
                if (n >= 5 && std::memcmp(tmp, "ASCII", 5) == 0) {
                    src = nullptr;
                    for (size_t a = 5; a < 10 && a < n; ++a) {
                        if (tmp[a] != 0 && tmp[a] != ' ') {
                            src = tmp + a;
                            avail = n - a;
                            break;
                        }
                    }
                }
                if (src)
                    copyText(info_->Comments, 199, reinterpret_cast<const uint8_t*>(src), avail);
                break;
            }
            case TAG_EXIF_IMAGEWIDTH:
            case TAG_EXIF_IMAGELENGTH: {
                const int32_t v = SaturateCast<int32_t>(number());
                if (v > exifImageWidth_) exifImageWidth_ = v;
                break;
            }
            case TAG_FOCALPLANEXRES:
                info_->FocalplaneXRes = static_cast<float>(number());
                break;
            case TAG_FOCALPLANEYRES:
                info_->FocalplaneYRes = static_cast<float>(number());
                break;
            case TAG_EXIF_OFFSET:
            case TAG_INTEROP_OFFSET: {
                if (byteCount < 4) break;
                const uint32_t sub = Get32u(value);
                if (sub <= 8) break;
                if (sub >= length) {
                    SetError("Illegal subdirectory link");
                    return false;
                }
                ProcessDirAt(sub, base, length, nesting + 1);
                break;
            }
            default:
                break;
        }
    }
    const uint64_t linkPos = static_cast<uint64_t>(offset) + 2 + 12ull * entries;
    if (linkPos + 4 <= length) {
        const uint32_t next = Get32u(base + linkPos);
        if (next) {
            if (next >= length) {
                SetError("Illegal subdirectory link");
                return false;
            }
            ProcessDirAt(next, base, length, nesting + 1);
        }
    }
    if (thumbOffset && thumbSize && static_cast<uint64_t>(thumbOffset) + thumbSize <= length) {
        info_->ThumbnailPointer = base + thumbOffset;
        info_->ThumbnailSize = thumbSize;
    }
    return true;
}

void CRasterExifReader::ProcessComment(const uint8_t* data, uint32_t length) {
    const uint32_t end = length < 1000 ? length : 1000;
    size_t n = 0;
    for (uint32_t a = 2; a < end && n < sizeof(info_->Comments) - 1; ++a) {
        const uint8_t ch = data[a];
        if (ch == '\r' && a + 1 < end && data[a + 1] == '\n') continue;
        if ((ch >= 0x20 && ch <= 0x7E) || ch == '\n' || ch == '\t')
            info_->Comments[n++] = static_cast<char>(ch);
        else
            info_->Comments[n++] = '?';
    }
    info_->Comments[n] = 0;
}

void CRasterExifReader::ProcessFrameHeader(const uint8_t* data, int marker, uint32_t length) {
    if (length < 8) return;  // too short to hold the size and component count
    info_->Height = Get16m(data + 3);
    info_->Width = Get16m(data + 5);
    info_->IsColor = data[7] == 3 ? 1 : 0;
    info_->Process = marker;
}

}  // namespace hqlv::imaging
