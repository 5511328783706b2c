#include "jp2_writer.h"

#include <cstdio>
#include <cstring>

namespace imgtest {

namespace {

struct MemOut {
    std::vector<uint8_t> data{};
    size_t pos = 0;
};
OPJ_SIZE_T writeProc(void* buf, OPJ_SIZE_T n, void* user) {
    auto* m = static_cast<MemOut*>(user);
    if (m->pos + n > m->data.size()) m->data.resize(m->pos + n);
    std::memcpy(m->data.data() + m->pos, buf, n);
    m->pos += n;
    return n;
}
OPJ_OFF_T skipProc(OPJ_OFF_T n, void* user) {
    auto* m = static_cast<MemOut*>(user);
    m->pos += static_cast<size_t>(n);
    if (m->pos > m->data.size()) m->data.resize(m->pos);
    return n;
}
OPJ_BOOL seekProc(OPJ_OFF_T n, void* user) {
    static_cast<MemOut*>(user)->pos = static_cast<size_t>(n);
    return OPJ_TRUE;
}

void be16(std::vector<uint8_t>& o, uint32_t v) {
    o.push_back(static_cast<uint8_t>(v >> 8));
    o.push_back(static_cast<uint8_t>(v));
}
void be32(std::vector<uint8_t>& o, uint32_t v) {
    be16(o, v >> 16);
    be16(o, v);
}
void box(std::vector<uint8_t>& o, const char* type, const std::vector<uint8_t>& body) {
    be32(o, static_cast<uint32_t>(body.size() + 8));
    o.insert(o.end(), type, type + 4);
    o.insert(o.end(), body.begin(), body.end());
}

const double kSrgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};

}  // namespace

std::vector<uint8_t> makeJ2k(const J2kSpec& s) {
    std::vector<opj_image_cmptparm_t> parms(s.comps);
    for (auto& p : parms) {
        const size_t k = static_cast<size_t>(&p - parms.data());
        std::memset(&p, 0, sizeof p);
        p.dx = k < s.dxs.size() ? s.dxs[k] : 1;
        p.dy = 1;
        p.w = (s.width + p.dx - 1) / p.dx;
        p.h = s.height;
        p.prec = s.precs.empty() ? s.prec : s.precs[k];
        p.sgnd = s.sgnd;
    }
    opj_image_t* img = opj_image_create(s.comps, parms.data(), s.space);
    if (!img) return {};
    img->x1 = s.width;
    img->y1 = s.height;
    if (s.alphaComp >= 0) img->comps[s.alphaComp].alpha = 1;
    for (uint32_t c = 0; c < s.comps; ++c)
        for (uint32_t y = 0; y < s.height; ++y)
            for (uint32_t x = 0; x < img->comps[c].w; ++x)
                img->comps[c].data[y * img->comps[c].w + x] = s.sample(x, y, c);
    opj_cparameters_t cp;
    opj_set_default_encoder_parameters(&cp);
    cp.tcp_numlayers = 1;
    cp.tcp_rates[0] = 0;  // lossless
    cp.cp_disto_alloc = 1;
    cp.irreversible = 0;
    cp.numresolution = 2;
    opj_codec_t* codec = opj_create_compress(s.jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_setup_encoder(codec, &cp, img);
    MemOut out;
    opj_stream_t* st = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_user_data(st, &out, nullptr);
    opj_stream_set_write_function(st, writeProc);
    opj_stream_set_skip_function(st, skipProc);
    opj_stream_set_seek_function(st, seekProc);
    const bool ok =
        opj_start_compress(codec, img, st) && opj_encode(codec, st) && opj_end_compress(codec, st);
    opj_stream_destroy(st);
    opj_destroy_codec(codec);
    opj_image_destroy(img);
    if (!ok) std::fputs("makeJ2k: the encoder refused the picture\n", stderr);
    return ok ? out.data : std::vector<uint8_t>{};
}

std::vector<uint8_t> wrapJp2(const std::vector<uint8_t>& codeStream, uint32_t width,
                             uint32_t height, uint16_t comps, const std::vector<uint8_t>& colr,
                             uint8_t bits, const std::vector<Jp2Channel>& channels) {
    std::vector<uint8_t> ihdr, header, f;
    be32(ihdr, height);
    be32(ihdr, width);
    be16(ihdr, comps);
    // Bits per component less one, JPEG-2000 coding, colour space known, no rights box.
    ihdr.insert(ihdr.end(), {static_cast<uint8_t>(bits - 1), 7, 0, 0});
    box(header, "ihdr", ihdr);
    box(header, "colr", colr);
    if (!channels.empty()) {
        std::vector<uint8_t> cdef;
        be16(cdef, static_cast<uint32_t>(channels.size()));
        for (const Jp2Channel& c : channels) {
            be16(cdef, c.number);
            be16(cdef, c.type);
            be16(cdef, c.association);
        }
        box(header, "cdef", cdef);
    }
    box(f, "jP  ", {0x0D, 0x0A, 0x87, 0x0A});
    box(f, "ftyp", {'j', 'p', '2', ' ', 0, 0, 0, 0, 'j', 'p', '2', ' '});
    box(f, "jp2h", header);
    box(f, "jp2c", codeStream);
    return f;
}

std::vector<uint8_t> enumeratedColour(uint32_t space) {
    std::vector<uint8_t> body = {1, 0, 0};
    be32(body, space);
    return body;
}

std::vector<uint8_t> profileColour(const std::vector<uint8_t>& profile) {
    std::vector<uint8_t> body = {2, 0, 0};
    body.insert(body.end(), profile.begin(), profile.end());
    return body;
}

std::vector<uint8_t> profileBytes(cmsHPROFILE profile) {
    std::vector<uint8_t> out;
    cmsUInt32Number n = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &n) && n > 0) {
        out.resize(n);
        if (!cmsSaveProfileToMem(profile, out.data(), &n)) out.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return out;
}

std::vector<uint8_t> swappedRedBlueProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};  // sRGB's, D65
    const cmsCIExyYTRIPLE primaries = {
        {0.15, 0.06, 1.0},  // the file's red is sRGB's blue
        {0.30, 0.60, 1.0},
        {0.64, 0.33, 1.0},  // and its blue sRGB's red
    };
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, kSrgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profileBytes(p);
}

std::vector<uint8_t> srgbGreyProfile() {
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, kSrgbCurve);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return profileBytes(p);
}

}  // namespace imgtest
