// Flip, mirror, rotations and colour inversion: decoders use them to bring a file's stored
// orientation into the bottom-up layout.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "imaging/raster.h"

namespace hqlv::imaging {

bool CRaster::Flip(bool flipSelection, bool flipAlpha) {
    if (!pDib_) return false;
    const size_t stride = info_.dwEffWidth;
    // A row buffer that cannot be had is a false result, not an exception.
    std::unique_ptr<uint8_t[]> tmp(new (std::nothrow) uint8_t[stride]);
    if (!tmp) return false;
    const uint32_t h = GetHeight();
    for (uint32_t i = 0; i < h / 2; ++i) {
        uint8_t* a = GetBits(i);
        uint8_t* b = GetBits(h - 1 - i);
        std::memcpy(tmp.get(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, tmp.get(), stride);
    }
    if (flipSelection) SelectionFlip();
    if (flipAlpha) AlphaFlip();
    return true;
}

namespace {
bool flipPlane(uint8_t* plane, size_t w, size_t h) {
    if (!plane) return false;
    std::unique_ptr<uint8_t[]> tmp(new (std::nothrow) uint8_t[w]);
    if (!tmp) return false;
    for (size_t i = 0; i < h / 2; ++i) {
        uint8_t* a = plane + i * w;
        uint8_t* b = plane + (h - 1 - i) * w;
        std::memcpy(tmp.get(), a, w);
        std::memcpy(a, b, w);
        std::memcpy(b, tmp.get(), w);
    }
    return true;
}
bool mirrorPlane(uint8_t* plane, size_t w, size_t h) {
    if (!plane) return false;
    for (size_t y = 0; y < h; ++y) {
        uint8_t* row = plane + y * w;
        for (size_t x = 0; x < w / 2; ++x) std::swap(row[x], row[w - 1 - x]);
    }
    return true;
}
}  // namespace

bool CRaster::AlphaFlip() {
    return flipPlane(pAlpha_, GetWidth(), GetHeight());
}
bool CRaster::AlphaMirror() {
    return mirrorPlane(pAlpha_, GetWidth(), GetHeight());
}

bool CRaster::SelectionFlip() {
    if (!flipPlane(pSelection_, GetWidth(), GetHeight())) return false;
    const int32_t top = info_.rSelectionBox.top;
    info_.rSelectionBox.top = head_.biHeight - info_.rSelectionBox.bottom;
    info_.rSelectionBox.bottom = head_.biHeight - top;
    return true;
}

bool CRaster::SelectionMirror() {
    if (!mirrorPlane(pSelection_, GetWidth(), GetHeight())) return false;
    const int32_t left = info_.rSelectionBox.left;
    info_.rSelectionBox.left = head_.biWidth - info_.rSelectionBox.right;
    info_.rSelectionBox.right = head_.biWidth - left;
    return true;
}

bool CRaster::Mirror(bool mirrorSelection, bool mirrorAlpha) {
    if (!pDib_) return false;
    CRaster copy(*this, false, true, true);
    if (!copy.IsValid()) return false;
    const int32_t w = head_.biWidth, h = head_.biHeight;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = GetBits(static_cast<uint32_t>(y));
        uint8_t* dst = copy.GetBits(static_cast<uint32_t>(y));
        if (head_.biBitCount == 24) {
            for (int32_t x = 0; x < w; ++x) std::memcpy(dst + 3 * x, src + 3 * (w - 1 - x), 3);
        } else if (head_.biBitCount == 8) {
            for (int32_t x = 0; x < w; ++x) dst[x] = src[w - 1 - x];
        } else {
            for (int32_t x = 0; x < w; ++x) copy.SetPixelIndex(x, y, GetPixelIndex(w - 1 - x, y));
        }
    }
    if (mirrorSelection) copy.SelectionMirror();
    if (mirrorAlpha) copy.AlphaMirror();
    Transfer(copy, true);
    return true;
}

namespace {

// The rotated image: the source's info, swapped size, same depth and palette, and planes
// where the source has them.
bool makeRotated(const CRaster& src, CRaster& dst, bool& alpha, bool& selection) {
    dst.CopyInfo(src);
    if (!dst.Create(src.GetHeight(), src.GetWidth(), src.GetBpp(), src.GetType())) return false;
    if (src.GetPalette()) dst.SetPalette(src.GetPalette(), 256);
    alpha = src.AlphaIsValid() && dst.AlphaCreate();
    selection = src.SelectionIsValid() && dst.SelectionCreate();
    return true;
}

// Fills the quarter-turned picture dst from src; sourceOf maps a destination pixel to
// its source pixel. Walks 64 x 64 blocks so that both pictures stay in the cache.
template <typename SourceOf>
void copyRotated(const CRaster& src, CRaster& dst, bool alpha, bool selection, SourceOf sourceOf) {
    const int32_t newW = static_cast<int32_t>(dst.GetWidth());
    const int32_t newH = static_cast<int32_t>(dst.GetHeight());
    const uint32_t bpp = src.GetBpp();
    for (int32_t xs = 0; xs < newW; xs += 64) {
        for (int32_t ys = 0; ys < newH; ys += 64) {
            const int32_t xe = xs + 64 < newW ? xs + 64 : newW;
            const int32_t ye = ys + 64 < newH ? ys + 64 : newH;
            for (int32_t x = xs; x < xe; ++x) {
                for (int32_t y = ys; y < ye; ++y) {
                    const auto [sx, sy] = sourceOf(x, y);
                    if (bpp == 24) {
                        std::memcpy(dst.BlindGetPixelPointer(x, y),
                                    src.BlindGetPixelPointer(sx, sy), 3);
                    } else {
                        dst.SetPixelIndex(x, y, src.BlindGetPixelIndex(sx, sy));
                    }
                    if (alpha) dst.AlphaSet(x, y, src.BlindAlphaGet(sx, sy));
                    if (selection) dst.SelectionSet(x, y, src.BlindSelectionGet(sx, sy));
                }
            }
        }
    }
}

}  // namespace

bool CRaster::RotateLeft(CRaster* target) {
    if (!pDib_) return false;
    CRaster img;
    bool alpha = false, selection = false;
    if (!makeRotated(*this, img, alpha, selection)) return false;
    const int32_t newW = static_cast<int32_t>(img.GetWidth());
    // destination (x, y) = source (y, W' - 1 - x)
    copyRotated(*this, img, alpha, selection, [newW](int32_t x, int32_t y) {
        return std::pair{y, newW - 1 - x};
    });
    RasterRect box = info_.rSelectionBox, nb;
    nb.left = newW - box.top;
    nb.right = newW - box.bottom;
    nb.top = box.right;
    nb.bottom = box.left;
    img.SetSelectionBox(nb);
    if (target)
        target->Transfer(img, true);
    else
        Transfer(img, true);
    return true;
}

bool CRaster::RotateRight(CRaster* target) {
    if (!pDib_) return false;
    CRaster img;
    bool alpha = false, selection = false;
    if (!makeRotated(*this, img, alpha, selection)) return false;
    const int32_t newH = static_cast<int32_t>(img.GetHeight());
    // destination (x, y) = source (H' - 1 - y, x)
    copyRotated(*this, img, alpha, selection, [newH](int32_t x, int32_t y) {
        return std::pair{newH - 1 - y, x};
    });
    RasterRect box = info_.rSelectionBox, nb;
    nb.left = box.bottom;
    nb.right = box.top;
    nb.bottom = newH - box.right;
    nb.top = newH - box.left;
    img.SetSelectionBox(nb);
    if (target)
        target->Transfer(img, true);
    else
        Transfer(img, true);
    return true;
}

bool CRaster::Negative() {
    if (!pDib_) return false;
    const RasterRect& box = info_.rSelectionBox;
    if (head_.biBitCount > 8) {
        if (!pSelection_) {
            uint8_t* p = GetBits();
            for (uint32_t i = 0; i < head_.biSizeImage; ++i)
                p[i] = static_cast<uint8_t>(255 - p[i]);
        } else {
            for (int32_t y = box.bottom; y < box.top; ++y) {
                for (int32_t x = box.left; x < box.right; ++x) {
                    if (!IsInside(x, y) || !BlindSelectionIsInside(x, y)) continue;
                    uint8_t* p = BlindGetPixelPointer(x, y);
                    for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(255 - p[k]);
                }
            }
        }
        info_.nBkgndColor.rgbBlue = static_cast<uint8_t>(255 - info_.nBkgndColor.rgbBlue);
        info_.nBkgndColor.rgbGreen = static_cast<uint8_t>(255 - info_.nBkgndColor.rgbGreen);
        info_.nBkgndColor.rgbRed = static_cast<uint8_t>(255 - info_.nBkgndColor.rgbRed);
    } else if (IsGrayScale()) {
        if (!pSelection_) {
            uint8_t* p = GetBits();
            for (uint32_t i = 0; i < head_.biSizeImage; ++i)
                p[i] = static_cast<uint8_t>(255 - p[i]);
        } else {
            const uint8_t top = static_cast<uint8_t>(head_.biClrUsed - 1);
            for (int32_t y = box.bottom; y < box.top; ++y) {
                for (int32_t x = box.left; x < box.right; ++x) {
                    if (!IsInside(x, y) || !BlindSelectionIsInside(x, y)) continue;
                    BlindSetPixelIndex(x, y, static_cast<uint8_t>(top - BlindGetPixelIndex(x, y)));
                }
            }
        }
    } else {
        RGBQUAD* pal = GetPalette();
        for (uint32_t i = 0; pal && i < head_.biClrUsed; ++i) {
            pal[i].rgbBlue = static_cast<uint8_t>(255 - pal[i].rgbBlue);
            pal[i].rgbGreen = static_cast<uint8_t>(255 - pal[i].rgbGreen);
            pal[i].rgbRed = static_cast<uint8_t>(255 - pal[i].rgbRed);
        }
        info_.last_c_isvalid = false;
    }
    return true;
}

}  // namespace hqlv::imaging
