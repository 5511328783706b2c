#pragma once
// The engine's own ".pps" picture format: one or more frames of equal size, 32-bit colour or
// palette indexes, each with an optional alpha plane, coded raw, run-length, zlib or mixed;
// the palette is stored in the file or named and shared (a global palette).
//
// File: header (32 bytes), palette part, frames, optional trailer; little-endian.
//   0 "pps" | 3 mode 1..6 | 4 u32 picture flags | 8 u16 frames | 10 u16 width |
//   12 u16 frame height | 14 reserved | 16 u32 key | 20 u32 total decoded size |
//   24 reserved | 28 u16 palette entries | 30 reserved
//   flag 0x02: 32-byte palette name at 32, frames at 64; else flag 0x04: entries × RGB.
// Frame: u32 flags | u32 delay | u32 length A | u32 length B | u32 decoded size | A | B
//   frame flags: 0x01 palette indexes (else B, G, R), 0x04 B is an alpha plane,
//   0x20 (mode 6) A is zlib instead of run-length.
// Trailer (flag 0x20): u32.
//
// The header's sizes are taken as they stand: the pixel buffer has the total decoded size, each
// frame decodes into its own decoded size at the sum of the sizes before it, and a plane holds
// the header's width x height pixels. Decoding never reads past a part or the file and never
// writes past a plane or the buffer: a run that would pass either end is cut there, and what
// the codes do not reach stays zero (alpha planes 255). Only a total size over the reader's
// limit fails the load.
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/render/global_palette.h"
#include "engine/render/picture.h"
#include "imaging/raster.h"

namespace hqlv::engine {

struct PpsHeader {
    uint8_t mode = 0;
    uint32_t flags = 0;
    uint16_t frameCount = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t key = 0;
    uint32_t totalSize = 0;
    uint16_t paletteEntries = 0;
};

struct PpsFrameHeader {
    uint32_t flags = 0;
    uint32_t delay = 0;
    uint32_t lengthA = 0;
    uint32_t lengthB = 0;
    uint32_t decodedSize = 0;
};

constexpr uint32_t PPS_FRAME_INDEXED = 0x01;
constexpr uint32_t PPS_FRAME_ALPHA = 0x04;
constexpr uint32_t PPS_FRAME_ZLIB = 0x20;

// The largest decoded picture the reader accepts (bytes): the bound the image object puts on
// the pixel data of one picture (RASTER_MAX_MEMORY, 256 MiB), taken for this format's pictures
// as for every other's (the picture import holds the samples it makes to it, a plane its
// buffer). The header alone sets the size of the pixel buffer, and a few bytes that claim up
// to 4 GiB must not take them. A refused picture fails its load, which ends the program, so
// the bound must lie well above any real picture: a strip of 22 frames of 1024 x 768 colour
// pixels is 69 MB.
constexpr uint32_t kPpsMaxDecodedSize = static_cast<uint32_t>(imaging::RASTER_MAX_MEMORY);

// Decodes a whole file into `out`: returns the total decoded size, or 0 when the file is not a
// ".pps" picture (then `out` is unchanged) or claims more than kPpsMaxDecodedSize (logged, `out`
// unchanged). A total of 0 (also from a header cut before it) is filled in like any other and
// returned as it stands, 0. A picture that names a global palette keeps the name in
// paletteName and no palette until BindPpsPalette.
uint32_t ParsePpsHeader(std::span<const uint8_t> file, EnginePicture& out);

// Points a picture that names a global palette at the palette's entries. Logs and fails when
// the palette is missing (null) or has fewer entries than the picture uses. Pictures without
// a named palette are left alone (true).
bool BindPpsPalette(EnginePicture& picture, const GlobalPalette* palette);

// Releases what the picture owns and zeroes every field.
void FreePpsImage(EnginePicture& picture);

// Decodes one frame's parts into `out`, its place in the pixel buffer (its decoded size, cut
// where the buffer ends).
void DecodePpsFrame(std::span<const uint8_t> partA, std::span<const uint8_t> partB,
                    std::span<uint8_t> out, const PpsHeader& header, const PpsFrameHeader& frame);

// Run-length decoding with samples of 1 or 3 bytes until the part or the output ends; returns
// the bytes written.
size_t PpsDecodeRun(std::span<const uint8_t> in, std::span<uint8_t> out, int sampleSize);
// 3-byte run-length (colour planes).
size_t PpsDecodeRgbRle(std::span<const uint8_t> in, std::span<uint8_t> out);
// One zlib stream inflated into at most the output's size; returns the bytes written (a broken
// or short stream gives those inflated before the fault).
size_t PpsInflate(std::span<const uint8_t> in, std::span<uint8_t> out);
// Part A of mode 6: zlib with frame flag 0x20, else run-length of 1-byte samples (flag 0x01)
// or 3-byte samples.
size_t PpsUnpackRun(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t frameFlags);
// bits 8: pair i = (plane[i], alpha[i]); otherwise pixel i = (plane[3i..3i+2], alpha[i]).
void PpsMergePlanes(const uint8_t* plane, const uint8_t* alpha, uint8_t* out, size_t count,
                    int bits);

}  // namespace hqlv::engine
