#pragma once
// The chat's face pictures, drawn here so the client carries no third-party art: small
// round faces of 20 by 20 pixels on white (the picker's transparent colour), written as
// 24-bit BMP files "1.bmp".."N.bmp", the system-notice icon "0.bmp", and "face.ini" whose
// section "Remark" names each face (GBK, as the client reads it).
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::assetgen {

constexpr int kFaceSize = 20;
constexpr int kFaceCount = 12;

// A 24-bit bottom-up BMP file of w by h pixels from top-down 0x00RRGGBB pixels.
std::string bmpFile(int w, int h, const std::vector<uint32_t>& pixels);
// The pixels of face n (0 is the system-notice icon).
std::vector<uint32_t> facePixels(int n);
// The remark of face n (UTF-8).
std::string faceRemark(int n);

}  // namespace hqlv::assetgen
