// Test pictures encoded with the libraries' own encoders.
#pragma once

#include <cstdint>
#include <vector>

namespace imgtest {

struct PngSpec {
    uint32_t width = 0, height = 0;
    int colorType = 2;  // libpng colour type
    int bitDepth = 8;
    bool interlace = false;
    std::vector<uint16_t> samples{};  // width * height * channels, top row first
    std::vector<uint8_t> palette{};   // r, g, b triples
    std::vector<uint8_t> trnsAlpha{};
    bool trnsColour = false;
    uint16_t trnsGray = 0, trnsR = 0, trnsG = 0, trnsB = 0;
    bool phys = false;
    uint32_t physX = 0, physY = 0;
    int physUnit = 1;
};
std::vector<uint8_t> makePng(const PngSpec& s);

// One scan of a progressive scan script: the components it codes, the coefficients Ss..Se
// and the successive-approximation bits Ah, Al.
struct JpegScan {
    int comps = 1;
    int component[4] = {};
    int ss = 0, se = 0, ah = 0, al = 0;
};

struct JpegSpec {
    uint32_t width = 0, height = 0;
    int components = 3;              // 1 grey, 3 RGB, 4 CMYK
    std::vector<uint8_t> samples{};  // top row first
    int quality = 95;
    bool progressive = false;
    int densityUnit = 1;
    uint16_t xDensity = 72, yDensity = 72;
    bool writeJfif = true;
    std::vector<uint8_t> app1{};    // written as an APP1 marker when not empty
    std::vector<JpegScan> scans{};  // a scan script of the test's own when not empty
};
std::vector<uint8_t> makeJpeg(const JpegSpec& s);

}  // namespace imgtest
