#pragma once
// Small pictures for the seeds of the picture harnesses (decoding, and the engine's import),
// each with the extension its format is known by.
#include <cstdint>
#include <string>
#include <vector>

struct SeedPicture {
    std::string name;  // begins with the format: "png-0", "gif-anim", "tiff-rgb", ...
    std::vector<uint8_t> bytes;
};

std::vector<SeedPicture> SeedPictures();
