// JPEG-2000 files (JP2) and bare code streams, with the colours brought to sRGB through
// Little CMS. Three equal components make a 24-bit picture; any other layout is a set of grey
// frames, one per component. The size is checked against the image limits before anything is
// decoded.
//
// The decoder is OpenJPEG, not JasPer: Debian 12, the system this client is built for and
// packaged on, carries no JasPer library, and OpenJPEG (libopenjp2) is the JPEG-2000 decoder
// it does carry. The failure texts are this decoder's own and stay as they are, the
// library's name in "cannot initialize jasper" among them.
#include <lcms2.h>
#include <openjpeg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

struct JasFail {
    const char* text;
};

const char* const kCannotConvert = "cannot convert to sRGB";
const char* const kCannotAllocate = "error: cannot allocate memory";

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

struct CmsProfile {
    cmsHPROFILE h = nullptr;
    ~CmsProfile() {
        if (h) cmsCloseProfile(h);
    }
};
struct CmsTransform {
    cmsHTRANSFORM h = nullptr;
    ~CmsTransform() {
        if (h) cmsDeleteTransform(h);
    }
};

std::atomic<uint64_t> g_maxBufferBytes{0};
constexpr uint64_t kDefaultMaxBufferBytes = uint64_t{512} << 20;

// One component as the steps below read it: one the decoder made, or one of the colour
// conversion's.
struct Plane {
    uint32_t w = 0, h = 0, dx = 1, dy = 1, prec = 8;
    bool sgnd = false;
    const int32_t* data = nullptr;
};

Plane planeOf(const opj_image_comp_t& c) {
    return {c.w, c.h, c.dx ? c.dx : 1, c.dy ? c.dy : 1, c.prec, c.sgnd != 0, c.data};
}

bool sameSize(const Plane& a, const Plane& b) {
    return a.w == b.w && a.h == b.h && a.dx == b.dx && a.dy == b.dy;
}

// A buffer of `count` elements, held to the decoder's buffer limit; `text` is the failure.
template <typename T>
void allocate(std::vector<T>& v, uint64_t count, const char* text) {
    if (count * sizeof(T) > CRasterJAS::GetMaxBufferBytes()) throw JasFail{text};
    try {
        v.assign(static_cast<size_t>(count), T{});
    } catch (const std::bad_alloc&) {
        throw JasFail{text};
    }
}

// A sample as an unsigned value of its precision: signed samples are offset by half the range.
int64_t unsignedSample(int32_t v, const Plane& p) {
    int64_t out = v;
    if (p.sgnd) out += int64_t{1} << (p.prec - 1);
    return out;
}

// A component sample brought to 0..255: signed samples are offset, deep ones shifted down
// and shallow ones stretched to the full range, each by its own precision. Shifted by the
// first component's, the samples of a shallower frame would come out dark or black, and
// left as they stand, those of a component below 8 bits would never reach white.
uint8_t toByte(int32_t v, const Plane& p) {
    int64_t out = unsignedSample(v, p);
    if (p.prec > 8)
        out >>= (p.prec - 8);
    else if (p.prec < 8)
        out = out * 255 / ((1 << p.prec) - 1);
    return static_cast<uint8_t>(out < 0 ? 0 : out > 255 ? 255 : out);
}

// An unsigned value of `prec` bits at 16 bits, and back.
uint16_t to16(int64_t v, uint32_t prec) {
    const int64_t max = (int64_t{1} << prec) - 1;
    v = std::clamp<int64_t>(v, 0, max);
    return static_cast<uint16_t>((v * 65535 + max / 2) / max);
}
int32_t from16(uint16_t v, uint32_t prec) {
    const int64_t max = (int64_t{1} << prec) - 1;
    return static_cast<int32_t>((v * max + 32767) / 65535);
}

// The sample of `p` that lies under pixel (x, y) of the grid of `base`: chroma components may
// be subsampled.
int32_t sampleUnder(const Plane& p, const Plane& base, uint32_t x, uint32_t y) {
    const uint32_t sx = std::max<uint32_t>(p.dx / base.dx, 1);
    const uint32_t sy = std::max<uint32_t>(p.dy / base.dy, 1);
    const uint32_t cx = std::min<uint32_t>(x / sx, p.w - 1);
    const uint32_t cy = std::min<uint32_t>(y / sy, p.h - 1);
    return p.data[static_cast<size_t>(cy) * p.w + cx];
}

// How the file describes its colours.
enum class Space { Rgb, Grey, Ycc, Cmyk, Profile };

Space spaceOf(const opj_image_t* img, bool codeStream) {
    // A bare code stream names no colour space: its colour components are red, green and blue.
    if (codeStream) return Space::Rgb;
    if (img->icc_profile_buf && img->icc_profile_len > 0) return Space::Profile;
    switch (img->color_space) {
        case OPJ_CLRSPC_GRAY:
            return Space::Grey;
        case OPJ_CLRSPC_SYCC:
        case OPJ_CLRSPC_EYCC:
            return Space::Ycc;
        case OPJ_CLRSPC_CMYK:
            return Space::Cmyk;
        default:
            // sRGB, and what the file leaves unnamed or names in a way this decoder does not
            // know, are read as a code stream's are: no profile describes a space unknown
            // here, and failing the picture would leave nothing shown.
            return Space::Rgb;
    }
}

// Grey on the sRGB tone curve, the grey of an sRGB screen.
cmsHPROFILE greyProfile() {
    static const double kSrgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, kSrgbCurve);
    if (!curve) return nullptr;
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return p;
}

// The colour components converted to sRGB: three new components, each as deep as the first
// colour component was, in place of `colour`. `store` holds their samples.
void convertToSrgb(const opj_image_t* img, Space space, std::vector<Plane>& colour,
                   std::vector<int32_t> store[3]) {
    CmsProfile srgb{cmsCreate_sRGBProfile()};
    if (!srgb.h) throw JasFail{"cannot create sRGB profile"};
    // YCC and CMYK samples are made RGB first; the rest goes through the profile of the file's
    // colour space.
    CmsProfile in;
    if (space == Space::Profile)
        in.h = cmsOpenProfileFromMem(img->icc_profile_buf, img->icc_profile_len);
    else if (space == Space::Grey)
        in.h = greyProfile();
    else
        in.h = cmsCreate_sRGBProfile();
    if (!in.h) throw JasFail{kCannotConvert};
    const uint32_t channels = cmsChannelsOf(cmsGetColorSpace(in.h));
    const uint32_t needed = space == Space::Ycc ? 3 : space == Space::Cmyk ? 4 : channels;
    if (channels == 0 || colour.size() < needed) throw JasFail{kCannotConvert};
    CmsTransform xf{cmsCreateTransform(in.h, CHANNELS_SH(channels) | BYTES_SH(2), srgb.h,
                                       TYPE_RGB_16, INTENT_PERCEPTUAL, 0)};
    if (!xf.h) throw JasFail{kCannotConvert};

    const Plane base = colour[0];
    const uint32_t w = base.w, h = base.h, prec = base.prec;
    for (int k = 0; k < 3; ++k) allocate(store[k], uint64_t{w} * h, kCannotConvert);
    std::vector<uint16_t> in16, out16;
    allocate(in16, uint64_t{w} * channels, kCannotConvert);
    allocate(out16, uint64_t{w} * 3, kCannotConvert);
    const int64_t half = int64_t{1} << (prec - 1);
    const double top = static_cast<double>((int64_t{1} << prec) - 1);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            auto at = [&](size_t k) { return sampleUnder(colour[k], base, x, y); };
            uint16_t* px = &in16[static_cast<size_t>(x) * channels];
            if (space == Space::Ycc) {
                // Luma and chroma of the first component's depth; chroma is centred on half
                // the range unless it is stored signed.
                const double yv = static_cast<double>(base.sgnd ? at(0) + half : at(0));
                const double cb = static_cast<double>(colour[1].sgnd ? at(1) : at(1) - half);
                const double cr = static_cast<double>(colour[2].sgnd ? at(2) : at(2) - half);
                const double rgb[3] = {yv + std::trunc(1.402 * cr),
                                       yv - std::trunc(0.344 * cb + 0.714 * cr),
                                       yv + std::trunc(1.772 * cb)};
                for (int k = 0; k < 3; ++k)
                    px[k] = to16(static_cast<int64_t>(std::clamp(rgb[k], 0.0, top)), prec);
            } else if (space == Space::Cmyk) {
                // Without a profile the inks are taken as their complements, dimmed by black.
                uint32_t ink[4];
                for (size_t k = 0; k < 4; ++k)
                    ink[k] = to16(unsignedSample(at(k), colour[k]), colour[k].prec);
                for (int k = 0; k < 3; ++k)
                    px[k] = static_cast<uint16_t>((65535 - ink[k]) * (65535 - ink[3]) / 65535);
            } else {
                for (size_t k = 0; k < channels; ++k)
                    px[k] = to16(unsignedSample(at(k), colour[k]), colour[k].prec);
            }
        }
        cmsDoTransform(xf.h, in16.data(), out16.data(), w);
        for (uint32_t x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k)
                store[k][static_cast<size_t>(y) * w + x] =
                    from16(out16[static_cast<size_t>(x) * 3 + k], prec);
    }
    colour.assign(3, Plane{w, h, base.dx, base.dy, prec, false, nullptr});
    for (int k = 0; k < 3; ++k) colour[k].data = store[k].data();
}

}  // namespace

void CRasterJAS::SetMaxBufferBytes(uint64_t bytes) {
    g_maxBufferBytes = bytes;
}

uint64_t CRasterJAS::GetMaxBufferBytes() {
    const uint64_t set = g_maxBufferBytes;
    return set ? set : kDefaultMaxBufferBytes;
}

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
        // Refuse what the image could not hold before the decoder allocates any of it: each
        // component at least as the 8-bit grey picture it may make (three of them together
        // make a colour picture, which the sum below holds to its limit). The decoder keeps a
        // 32-bit sample per pixel of every component, so their sum is held to the pixel-data
        // limit too.
        uint64_t samples = 0;
        for (uint32_t k = 0; k < comps; ++k) {
            if (!SizeAllowed(c[k].w, c[k].h, 8) || c[k].prec == 0 || c[k].prec > 31)
                throw JasFail{"RASTER_MAX_MEMORY exceeded"};
            samples += static_cast<uint64_t>(c[k].w) * c[k].h;
        }
        if (samples > RASTER_MAX_MEMORY) throw JasFail{"RASTER_MAX_MEMORY exceeded"};
        if (!opj_decode(o.codec, o.stream, o.image) || !opj_end_decompress(o.codec, o.stream))
            throw JasFail{"error: cannot load image data"};
        c = o.image->comps;
        for (uint32_t k = 0; k < comps; ++k)
            if (!c[k].data) throw JasFail{"error: cannot load image data"};

        // Three or more components of up to 8 bits come to sRGB. Luma and chroma (YCC) deeper
        // than that are converted too where they would make the colour picture (exactly three
        // equal components): taken as red, green and blue as they stand, they would show a
        // picture of wrong colours. Any other deep layout is a set of grey frames, which shows
        // each component as it is, CMYK among them.
        std::vector<Plane> planes;
        for (uint32_t k = 0; k < comps; ++k) planes.push_back(planeOf(c[k]));
        auto threeEqual = [](const std::vector<Plane>& p) {
            return p.size() == 3 && sameSize(p[0], p[1]) && sameSize(p[0], p[2]) &&
                   p[0].prec == p[1].prec && p[0].prec == p[2].prec;
        };
        const Space space = spaceOf(o.image, codecFormat == OPJ_CODEC_J2K);
        const bool convert =
            comps >= 3 && (c[0].prec <= 8 || (space == Space::Ycc && threeEqual(planes)));

        // What the steps below read: the converted colours, or every component as it stands.
        // The conversion makes the three colours alone, so a component the file's channel
        // definition marks as opacity is set aside beforehand as the picture's alpha, which
        // would be lost with it. Where nothing is converted, an opacity component is a frame
        // like any other.
        std::vector<Plane> colour;
        const Plane* opacity = nullptr;
        Plane opacityPlane;
        std::vector<int32_t> converted[3];
        if (convert) {
            for (uint32_t k = 0; k < comps; ++k) {
                if (k > 0 && c[k].alpha) {
                    if (!opacity && sameSize(planes[k], planes[0])) {
                        opacityPlane = planes[k];
                        opacity = &opacityPlane;
                    }
                    continue;
                }
                colour.push_back(planes[k]);
            }
            convertToSrgb(o.image, space, colour, converted);
        } else {
            colour = planes;
        }

        // Row buffers for the components that are read: the three colours and the opacity,
        // or one frame. The first is made before either is chosen, as wide as the first
        // component. A row for every component would be made in vain for a set of frames,
        // and for one wide component beside 63 narrow ones would take 64 times its data.
        std::vector<int32_t> rows[4];
        allocate(rows[0], colour[0].w, kCannotAllocate);
        auto readRow = [&](const Plane& p, std::vector<int32_t>& row, uint32_t y) {
            std::memcpy(row.data(), p.data + static_cast<size_t>(y) * p.w,
                        static_cast<size_t>(p.w) * sizeof(int32_t));
        };
        // The colour picture carries the id its data names; grey frames carry the id they were
        // asked for, 0 when every decoder is tried in turn.
        const uint32_t colourId = static_cast<uint32_t>(recognised);

        if (threeEqual(colour)) {
            const Plane& base = colour[0];
            const bool withOpacity = opacity && sameSize(*opacity, base);
            for (size_t k = 1; k < (withOpacity ? 4u : 3u); ++k)
                allocate(rows[k], base.w, kCannotAllocate);
            if (!Create(base.w, base.h, 24, colourId)) throw JasFail{""};
            const bool alpha = withOpacity && AlphaCreate();
            for (uint32_t y = 0; y < base.h; ++y) {
                for (size_t k = 0; k < 3; ++k) readRow(colour[k], rows[k], y);
                if (alpha) readRow(*opacity, rows[3], y);
                uint8_t* out = GetBits(base.h - 1 - y);
                uint8_t* a =
                    alpha ? pAlpha_ + static_cast<size_t>(base.h - 1 - y) * base.w : nullptr;
                for (uint32_t x = 0; x < base.w; ++x) {
                    out[3 * x] = toByte(rows[2][x], colour[2]);
                    out[3 * x + 1] = toByte(rows[1][x], colour[1]);
                    out[3 * x + 2] = toByte(rows[0][x], colour[0]);
                    if (a) a[x] = toByte(rows[3][x], *opacity);
                }
            }
        } else {
            // Only what was not converted comes here: one frame per component.
            info_.nNumFrames = static_cast<int32_t>(colour.size());
            if (info_.nFrame < 0 || info_.nFrame >= info_.nNumFrames) throw JasFail{"wrong frame!"};
            const Plane& comp = colour[static_cast<size_t>(info_.nFrame)];
            // 1- and 4-bit components keep their depth, whose grey palette spans black to
            // white; others are 8-bit with their samples stretched or shifted into 0..255, as
            // in a palette of their own depth (2 or 3 bits in a 4-bit one, 5 to 7 bits in an
            // 8-bit one) the brightest sample would show dark grey.
            const uint32_t depth = comp.prec == 1 ? 1 : comp.prec == 4 ? 4 : 8;
            if (!Create(comp.w, comp.h, depth, formatId)) throw JasFail{""};
            SetGrayPalette();
            allocate(rows[0], comp.w, kCannotAllocate);
            for (uint32_t y = 0; y < comp.h; ++y) {
                readRow(comp, rows[0], y);
                for (uint32_t x = 0; x < comp.w; ++x) {
                    int32_t v = rows[0][x];
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
            }
        }
        return true;
    } catch (const JasFail& e) {
        if (e.text[0]) SetLastError(e.text);
        return info_.nEscape == -1 && recognised > 0;
    }
}

}  // namespace hqlv::imaging
