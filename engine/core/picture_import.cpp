#include "engine/core/picture_import.h"

#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "imaging/raster.h"

namespace hqlv::engine {
namespace {

using imaging::CRaster;
using imaging::RGBQUAD;

struct FormatRow {
    std::string_view extension;
    uint32_t code;
};
constexpr FormatRow kFormats[] = {
    {".gif", 2}, {".bmp", 1},  {".png", 4}, {".jpg", 3},  {".ico", 5},  {".tif", 6},
    {".tga", 7}, {".mng", 17}, {".pcx", 8}, {".wbmp", 9}, {".wmf", 10},
};
constexpr uint32_t kGif = 2, kPng = 4;

uint32_t colorRef(RGBQUAD c) {
    return uint32_t(c.rgbRed) | uint32_t(c.rgbGreen) << 8 | uint32_t(c.rgbBlue) << 16;
}

bool sameRgb(RGBQUAD a, RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// The picture of undecodable data: no pixels, one frame, nothing keyed.
void makeEmpty(EnginePicture& pic) {
    pic.width = pic.frameHeight = 0;
    pic.frameCount = 1;
    pic.flags = 0;
    pic.dataSize = 0;
    pic.pixels = nullptr;
    pic.ownedPixels.clear();
}

}  // namespace

uint32_t ImportFormatCode(std::string_view extension) {
    for (const FormatRow& row : kFormats) {
        if (row.extension == extension) return row.code;
    }
    return 0;
}

int PictureImporter::DecodeImageFile(std::string_view path, std::string_view extension,
                                     EnginePicture& picture) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) return 0;
    return DecodeImageByExtension({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                                  extension, picture);
}

int PictureImporter::DecodeImageByExtension(std::span<const uint8_t> bytes,
                                            std::string_view extension, EnginePicture& picture) {
    const uint32_t code = ImportFormatCode(extension);
    if (code == 0) return 0;
    // The library wants a writable buffer; it also needs the bytes again for the frames.
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    const uint32_t size = data.size() > UINT32_MAX ? 0 : uint32_t(data.size());
    CRaster raster(data.data(), size, code);
    return ImportRaster(
        raster, code,
        [&](CRaster& r) {
            r.SetRetrieveAllFrames(true);
            r.SetFrame(r.GetNumFrames() - 1);
            r.DecodeBuffer(data.data(), size, code);
        },
        picture);
}

int PictureImporter::ImportRaster(CRaster& raster, uint32_t code,
                                  const std::function<void(CRaster&)>& decodeAllFrames,
                                  EnginePicture& pic) {
    pic.flags = PIC_KEYED;
    if (raster.AlphaIsValid()) pic.flags |= PIC_ALPHA;
    const bool alpha = raster.AlphaIsValid();
    const uint64_t width = raster.GetWidth(), height = raster.GetHeight();
    const int32_t decoderFrames = raster.GetNumFrames();
    const uint64_t frames = decoderFrames > 0 ? uint64_t(decoderFrames) : 1;
    if (decoderFrames > 0) pic.flags |= PIC_DELAYS;
    const uint32_t paletteCount = raster.GetPaletteSize() / 4;
    const bool indexed = paletteCount >= 1 && paletteCount <= 256;
    const uint64_t sample = indexed ? (alpha ? 2 : 1) : 4;

    // Sizes in 64 bits: the fields are 16-bit, and the product of all four must not wrap
    // into a small buffer that the pixel loop then overruns.
    const uint64_t bytes = frames * width * height * sample;
    if (width > 0xFFFF || height > 0xFFFF || frames > 0xFFFF || bytes > kMaxImportBytes) {
        WriteLog("图片尺寸过大:%llux%llu,%llu帧,按空图处理", (unsigned long long)width,
                 (unsigned long long)height, (unsigned long long)frames);
        makeEmpty(pic);
        raster.DestroyFrames();
        raster.Destroy();
        return 1;
    }
    pic.width = uint16_t(width);
    pic.frameHeight = uint16_t(height);
    pic.frameCount = uint16_t(frames);
    pic.ownedPixels.assign(size_t(bytes), 0);
    pic.pixels = pic.ownedPixels.empty() ? nullptr : pic.ownedPixels.data();
    pic.dataSize = uint32_t(bytes);
    const bool gifOrPng = code == kGif || code == kPng;

    if (!indexed) {
        pic.palette = nullptr;
        pic.paletteEntries = 0;
        if (gifOrPng) {
            pic.key = colorRef(raster.GetTransColor());
        } else {
            RGBQUAD key;
            key.rgbBlue = uint8_t(pic.key >> 16);
            key.rgbGreen = uint8_t(pic.key >> 8);
            key.rgbRed = uint8_t(pic.key);
            raster.SetTransColor(key);
        }
    } else {
        pic.flags |= PIC_OWN_PALETTE;
        pic.paletteEntries = paletteCount;
        pic.ownedPalette.assign(kPaletteBytes, 0);
        for (uint32_t i = 0; i < paletteCount; ++i) {
            const RGBQUAD c = raster.GetPaletteColor(uint8_t(i));
            pic.ownedPalette[i * 3] = c.rgbRed;
            pic.ownedPalette[i * 3 + 1] = c.rgbGreen;
            pic.ownedPalette[i * 3 + 2] = c.rgbBlue;
        }
        pic.palette = pic.ownedPalette.data();
        if (gifOrPng) {
            pic.key = uint32_t(raster.GetTransIndex());
        } else {
            RGBQUAD key;
            key.rgbRed = uint8_t(pic.key);
            key.rgbGreen = uint8_t(pic.key >> 8);
            key.rgbBlue = uint8_t(pic.key >> 16);
            const uint8_t nearest = raster.GetNearestIndex(key);
            if (sameRgb(raster.GetPaletteColor(nearest), key)) {
                raster.SetTransIndex(nearest);
                pic.key = nearest;
            } else {
                pic.flags &= ~uint32_t(PIC_KEYED);
            }
        }
    }

    if (frames > 1) {
        pic.ownedDelays.assign(size_t(frames), 100);
        pic.frameDelays = pic.ownedDelays.data();
        decodeAllFrames(raster);
    }

    const size_t frameBytes = size_t(width * height * sample);
    uint64_t counted = 0;
    for (uint32_t f = 0; f < frames; ++f) {
        if (frames > 1) {
            // Every frame, the first included, comes from the decoder's frame list: after
            // decoding them all the raster itself holds the last one.
            const CRaster* frame = raster.GetFrame(int32_t(f));
            if (!frame) {
                if (f > 0) continue;  // counted but not returned: stays zero, delay 100
            } else {
                raster.Copy(*frame, true, true, true);
                if (f > 0) pic.ownedDelays[f] = frame->GetFrameDelay() * 10;
            }
        }
        uint8_t* out = pic.ownedPixels.data() + f * frameBytes;
        const int32_t trans = raster.GetTransIndex();
        const RGBQUAD transColour = raster.GetTransColor();
        const bool frameAlpha = raster.AlphaIsValid();
        for (uint32_t y = 0; y < height; ++y) {
            const int32_t row = int32_t(height - 1 - y);
            for (uint32_t x = 0; x < width; ++x) {
                if (indexed) {
                    const uint8_t index = raster.GetPixelIndex(int32_t(x), row);
                    *out++ = index;
                    if (alpha) {
                        *out++ = frameAlpha ? raster.AlphaGet(int32_t(x), row) : 0;
                    } else if (int32_t(index) == trans) {
                        ++counted;
                    }
                } else {
                    const RGBQUAD c = raster.GetPixelColor(int32_t(x), row, false);
                    out[0] = c.rgbBlue;
                    out[1] = c.rgbGreen;
                    out[2] = c.rgbRed;
                    if (alpha) {
                        out[3] = frameAlpha ? raster.AlphaGet(int32_t(x), row) : 0;
                    } else if ((pic.flags & PIC_KEYED) && sameRgb(c, transColour)) {
                        out[3] = 0;
                        ++counted;
                    } else {
                        out[3] = 255;
                    }
                    out += 4;
                }
            }
        }
    }
    if (!alpha && counted == 0) pic.flags &= ~uint32_t(PIC_KEYED);
    raster.DestroyFrames();
    raster.Destroy();
    return 1;
}

}  // namespace hqlv::engine
