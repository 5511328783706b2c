// JPEG-2000 test pictures: code streams written with OpenJPEG's encoder, JP2 files around them
// with a colour box of the test's choosing, and colour profiles written with Little CMS.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <lcms2.h>
#include <openjpeg.h>

namespace imgtest {

struct J2kSpec {
    uint32_t width = 0, height = 0, comps = 1, prec = 8;
    bool sgnd = false, jp2 = false;
    int alphaComp = -1;             // component marked as opacity in the file's channel definition
    std::vector<uint32_t> precs{};  // per component, when they differ
    std::vector<uint32_t> dxs{};    // per component, its horizontal subsampling (1 when absent)
    OPJ_COLOR_SPACE space = OPJ_CLRSPC_GRAY;
    std::function<int32_t(uint32_t, uint32_t, uint32_t)> sample{};  // (x, y from top, component)
};

// A code stream, or a JP2 file when `jp2` is set (its colour box as the encoder writes it).
std::vector<uint8_t> makeJ2k(const J2kSpec& s);

// A JP2 file around a code stream of `bits`-bit components with the given colour box body:
// method, precedence and approximation bytes, then an enumerated colour space (4 bytes) or a
// profile.
// A channel definition box follows when `channels` is not empty: per channel its number, its
// type (0 colour, 1 opacity) and the colour it belongs to (0: the whole picture).
struct Jp2Channel {
    uint16_t number, type, association;
};
std::vector<uint8_t> wrapJp2(const std::vector<uint8_t>& codeStream, uint32_t width,
                             uint32_t height, uint16_t comps, const std::vector<uint8_t>& colr,
                             uint8_t bits = 8, const std::vector<Jp2Channel>& channels = {});
// Colour box bodies: an enumerated colour space (16 sRGB, 17 grey, 18 sYCC, 24 e-YCC, 12 CMYK)
// and an embedded profile.
std::vector<uint8_t> enumeratedColour(uint32_t space);
std::vector<uint8_t> profileColour(const std::vector<uint8_t>& profile);

// The bytes of a Little CMS profile (which is closed).
std::vector<uint8_t> profileBytes(cmsHPROFILE profile);
// An RGB profile on sRGB's tone curve whose red and blue primaries trade places: a file with
// it holds sRGB red in its third component and sRGB blue in its first.
std::vector<uint8_t> swappedRedBlueProfile();
// Grey on sRGB's tone curve.
std::vector<uint8_t> srgbGreyProfile();

}  // namespace imgtest
