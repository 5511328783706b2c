// JPEG-2000 files (JP2) and bare code streams over OpenJPEG. Three colour components make a
// 24-bit picture (sYCC and CMYK converted to RGB); any other layout is a set of grey frames,
// one per component. The size is checked against the image limits before anything is decoded.
#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

struct JasFail {
    const char* text;
};

const uint8_t kJp2Signature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
const uint8_t kJ2kSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};

OPJ_SIZE_T readProc(void* buffer, OPJ_SIZE_T n, void* user) {
    const size_t got = static_cast<CRasterFile*>(user)->Read(buffer, 1, n);
    return got == 0 ? static_cast<OPJ_SIZE_T>(-1) : got;
}
OPJ_OFF_T skipProc(OPJ_OFF_T n, void* user) {
    return static_cast<CRasterFile*>(user)->Seek(n, 1) ? n : -1;
}
OPJ_BOOL seekProc(OPJ_OFF_T n, void* user) {
    return static_cast<CRasterFile*>(user)->Seek(n, 0) ? OPJ_TRUE : OPJ_FALSE;
}
void quiet(const char*, void*) {}

struct OpjObjects {
    opj_stream_t* stream = nullptr;
    opj_codec_t* codec = nullptr;
    opj_image_t* image = nullptr;
    ~OpjObjects() {
        if (image) opj_image_destroy(image);
        if (codec) opj_destroy_codec(codec);
        if (stream) opj_stream_destroy(stream);
    }
};

// A component sample brought to 0..255: signed samples are offset, deep ones shifted down
// and shallow ones stretched to the full range.
inline uint8_t toByte(int32_t v, const opj_image_comp_t& c) {
    const uint32_t prec = c.prec ? c.prec : 8;
    int64_t out = v;
    if (c.sgnd && prec <= 31) out += int64_t{1} << (prec - 1);
    if (prec > 8)
        out >>= (prec - 8);
    else if (prec < 8)
        out = out * 255 / ((1 << prec) - 1);
    return static_cast<uint8_t>(out < 0 ? 0 : out > 255 ? 255 : out);
}

bool sameSize(const opj_image_comp_t& a, const opj_image_comp_t& b) {
    return a.w == b.w && a.h == b.h && a.dx == b.dx && a.dy == b.dy;
}

// Converts sYCC (chroma possibly subsampled) to RGB in place of the first three components.
void syccToRgb(opj_image_t* img, std::vector<int32_t> out[3], uint32_t w, uint32_t h) {
    const opj_image_comp_t* c = img->comps;
    // Samples may be up to 31 bits deep: the arithmetic is done wide and clamped before it
    // comes back to 32 bits.
    const int64_t offset = int64_t{1} << (c[0].prec - 1);
    const double maxv = static_cast<double>((int64_t{1} << c[0].prec) - 1);
    for (auto* o = out; o < out + 3; ++o) o->assign(static_cast<size_t>(w) * h, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            auto at = [&](int k) -> int32_t {
                const uint32_t cx = std::min<uint32_t>(
                    x / std::max<uint32_t>(c[k].dx / std::max<uint32_t>(c[0].dx, 1), 1),
                    c[k].w - 1);
                const uint32_t cy = std::min<uint32_t>(
                    y / std::max<uint32_t>(c[k].dy / std::max<uint32_t>(c[0].dy, 1), 1),
                    c[k].h - 1);
                return c[k].data[static_cast<size_t>(cy) * c[k].w + cx];
            };
            const double yv = at(0), cb = static_cast<double>(at(1) - offset),
                         cr = static_cast<double>(at(2) - offset);
            const double r = yv + std::trunc(1.402 * cr);
            const double g = yv - std::trunc(0.344 * cb + 0.714 * cr);
            const double b = yv + std::trunc(1.772 * cb);
            const size_t i = static_cast<size_t>(y) * w + x;
            out[0][i] = static_cast<int32_t>(std::clamp(r, 0.0, maxv));
            out[1][i] = static_cast<int32_t>(std::clamp(g, 0.0, maxv));
            out[2][i] = static_cast<int32_t>(std::clamp(b, 0.0, maxv));
        }
}

}  // namespace

bool CRasterJAS::Decode(CRasterFile* file, uint32_t formatId) {
    if (!file) return false;
    int32_t recognised = -1;
    try {
        OpjObjects o;
        const int64_t start = file->Tell();
        uint8_t sig[12] = {};
        const size_t got = file->Read(sig, 1, 12);
        file->Seek(start, 0);
        OPJ_CODEC_FORMAT codecFormat;
        int32_t signature;  // the format the first bytes name; it counts once the header is read
        if (got == 12 && std::memcmp(sig, kJp2Signature, 12) == 0) {
            codecFormat = OPJ_CODEC_JP2;
            signature = RASTER_FORMAT_JP2;
        } else if (got >= 4 && std::memcmp(sig, kJ2kSignature, 4) == 0) {
            codecFormat = OPJ_CODEC_J2K;
            signature = RASTER_FORMAT_JPC;
        } else {
            throw JasFail{"error: unknowm format"};
        }
        o.stream = opj_stream_create(1 << 16, OPJ_TRUE);
        if (!o.stream) throw JasFail{"error: cannot open standard input"};
        opj_stream_set_user_data(o.stream, file, nullptr);
        const int64_t size = file->Size();
        opj_stream_set_user_data_length(o.stream,
                                        static_cast<OPJ_UINT64>(size > start ? size - start : 0));
        opj_stream_set_read_function(o.stream, readProc);
        opj_stream_set_skip_function(o.stream, skipProc);
        opj_stream_set_seek_function(o.stream, seekProc);
        o.codec = opj_create_decompress(codecFormat);
        if (!o.codec) throw JasFail{"cannot initialize jasper"};
        opj_set_error_handler(o.codec, quiet, nullptr);
        opj_set_warning_handler(o.codec, quiet, nullptr);
        opj_set_info_handler(o.codec, quiet, nullptr);
        opj_dparameters_t params;
        opj_set_default_decoder_parameters(&params);
        if (!opj_setup_decoder(o.codec, &params)) throw JasFail{"cannot initialize jasper"};
        if (!opj_read_header(o.stream, o.codec, &o.image) || !o.image || o.image->numcomps == 0)
            throw JasFail{"error: cannot load image data"};
        recognised = signature;

        const opj_image_comp_t* c = o.image->comps;
        const uint32_t width = c[0].w, height = c[0].h;
        if (info_.nEscape == -1) {
            head_.biWidth = static_cast<int32_t>(width);
            head_.biHeight = static_cast<int32_t>(height);
            info_.dwType = static_cast<uint32_t>(recognised);
            throw JasFail{"output dimensions returned"};
        }
        const uint32_t comps = o.image->numcomps;
        if (comps > 64) throw JasFail{"error: too many components"};
        // Refuse what the image could not hold before the decoder allocates any of it. The
        // decoder keeps a 32-bit sample per pixel of every component, so their sum is held to
        // the pixel-data limit too.
        uint64_t samples = 0;
        for (uint32_t k = 0; k < comps; ++k) {
            if (!SizeAllowed(c[k].w, c[k].h, 24) || c[k].prec == 0 || c[k].prec > 31)
                throw JasFail{"RASTER_MAX_MEMORY exceeded"};
            samples += static_cast<uint64_t>(c[k].w) * c[k].h;
        }
        if (samples > RASTER_MAX_MEMORY) throw JasFail{"RASTER_MAX_MEMORY exceeded"};
        if (!opj_decode(o.codec, o.stream, o.image) || !opj_end_decompress(o.codec, o.stream))
            throw JasFail{"error: cannot load image data"};
        c = o.image->comps;
        for (uint32_t k = 0; k < comps; ++k)
            if (!c[k].data) throw JasFail{"error: cannot load image data"};

        const OPJ_COLOR_SPACE space = o.image->color_space;
        const bool colourSpace = space == OPJ_CLRSPC_SRGB || space == OPJ_CLRSPC_SYCC;
        const bool cmyk = space == OPJ_CLRSPC_CMYK && comps >= 4 && sameSize(c[0], c[1]) &&
                          sameSize(c[0], c[2]) && sameSize(c[0], c[3]);
        const bool rgb3 = comps == 3 && sameSize(c[0], c[1]) && sameSize(c[0], c[2]) &&
                          c[0].prec == c[1].prec && c[0].prec == c[2].prec;
        const bool sycc = space == OPJ_CLRSPC_SYCC && comps >= 3;
        if (rgb3 || sycc || cmyk ||
            (colourSpace && comps >= 3 && sameSize(c[0], c[1]) && sameSize(c[0], c[2]))) {
            const uint32_t fmt = formatId ? formatId : static_cast<uint32_t>(recognised);
            if (!Create(width, height, 24, fmt)) throw JasFail{""};
            std::vector<int32_t> ycc[3];
            if (sycc) syccToRgb(o.image, ycc, width, height);
            const bool alpha =
                !cmyk && comps >= 4 && sameSize(c[0], c[3]) && c[3].alpha && AlphaCreate();
            for (uint32_t y = 0; y < height; ++y) {
                uint8_t* row = GetBits(height - 1 - y);
                for (uint32_t x = 0; x < width; ++x) {
                    const size_t i = static_cast<size_t>(y) * width + x;
                    uint8_t r, g, b;
                    if (sycc) {
                        r = toByte(ycc[0][i], c[0]);
                        g = toByte(ycc[1][i], c[0]);
                        b = toByte(ycc[2][i], c[0]);
                    } else if (cmyk) {
                        const unsigned k = 255 - toByte(c[3].data[i], c[3]);
                        r = static_cast<uint8_t>((255 - toByte(c[0].data[i], c[0])) * k / 255);
                        g = static_cast<uint8_t>((255 - toByte(c[1].data[i], c[1])) * k / 255);
                        b = static_cast<uint8_t>((255 - toByte(c[2].data[i], c[2])) * k / 255);
                    } else {
                        r = toByte(c[0].data[i], c[0]);
                        g = toByte(c[1].data[i], c[1]);
                        b = toByte(c[2].data[i], c[2]);
                    }
                    row[3 * x] = b;
                    row[3 * x + 1] = g;
                    row[3 * x + 2] = r;
                    if (alpha)
                        pAlpha_[static_cast<size_t>(height - 1 - y) * width + x] =
                            toByte(c[3].data[i], c[3]);
                }
            }
        } else {
            // Grey whose second component the file's channel definition marks as opacity is
            // one picture with that alpha, as colour with opacity is; other layouts are a
            // frame per component.
            const bool greyAlpha = comps == 2 && c[1].alpha && sameSize(c[0], c[1]);
            info_.nNumFrames = greyAlpha ? 1 : static_cast<int32_t>(comps);
            if (info_.nFrame < 0 || info_.nFrame >= info_.nNumFrames) throw JasFail{"wrong frame!"};
            const opj_image_comp_t& comp = c[info_.nFrame];
            // 1- and 4-bit components keep their depth (their grey palette spans the range);
            // others are 8-bit with the samples stretched or shifted into 0..255.
            const uint32_t depth = comp.prec == 1 ? 1 : comp.prec == 4 ? 4 : 8;
            if (!Create(comp.w, comp.h, depth,
                        formatId ? formatId : static_cast<uint32_t>(recognised)))
                throw JasFail{""};
            SetGrayPalette();
            for (uint32_t y = 0; y < comp.h; ++y)
                for (uint32_t x = 0; x < comp.w; ++x) {
                    int32_t v = comp.data[static_cast<size_t>(y) * comp.w + x];
                    uint8_t index;
                    if (depth == 8) {
                        index = toByte(v, comp);
                    } else {
                        if (comp.sgnd) v += 1 << (comp.prec - 1);
                        index = static_cast<uint8_t>(std::clamp(v, 0, (1 << comp.prec) - 1));
                    }
                    BlindSetPixelIndex(static_cast<int32_t>(x),
                                       static_cast<int32_t>(comp.h - 1 - y), index);
                }
            if (greyAlpha && AlphaCreate())
                for (uint32_t y = 0; y < comp.h; ++y)
                    for (uint32_t x = 0; x < comp.w; ++x)
                        pAlpha_[static_cast<size_t>(comp.h - 1 - y) * comp.w + x] =
                            toByte(c[1].data[static_cast<size_t>(y) * comp.w + x], c[1]);
        }
        return true;
    } catch (const JasFail& e) {
        if (e.text[0]) SetLastError(e.text);
        return info_.nEscape == -1 && recognised > 0;
    }
}

}  // namespace hqlv::imaging
