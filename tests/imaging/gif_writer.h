// A small GIF writer with a real LZW encoder, for the tests and the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgtest {

struct GifFrame {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> localPalette{};  // r, g, b triples; empty = use the global table
    bool interlace = false;
    std::vector<uint8_t> index{};  // width * height, top row first
    bool gce = false;
    int disposal = 0;
    uint16_t delay = 0;
    bool transparent = false;
    uint8_t transIndex = 0;
    int minCodeSize = 0;  // 0 = from the palette size
};

struct GifSpec {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> globalPalette{};  // r, g, b triples (power of two entries)
    std::vector<GifFrame> frames{};
    int loops = -1;  // >= 0 writes a loop extension
};

std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& indices, int minCodeSize);
std::vector<uint8_t> makeGif(const GifSpec& s);

}  // namespace imgtest
