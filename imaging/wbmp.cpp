// Wireless bitmaps: type 0, one bit per pixel, rows top first.
#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

// Whether no byte follows. Asked of the data (a byte read and given back) rather than of the
// end-of-file flag, which a disk file raises only once a read has gone past its end.
bool AtEnd(CRasterFile* file) {
    if (file->GetC() < 0) return true;
    file->Seek(-1, 1);
    return false;
}

}  // namespace

bool CRasterWBMP::ReadOctet(CRasterFile* file, uint32_t* value) {
    *value = 0;
    long c;
    do {
        c = file->GetC();
        if (c < 0) return false;
        *value = (*value << 7) | (static_cast<uint32_t>(c) & 0x7F);
    } while (c & 0x80);
    return true;
}

bool CRasterWBMP::Decode(CRasterFile* file) {
    if (!file) return false;
    const char* fail = nullptr;
    uint32_t type = 0, fixed = 0, width = 0, height = 0;
    const bool header = ReadOctet(file, &type) && ReadOctet(file, &fixed) &&
                        ReadOctet(file, &width) && ReadOctet(file, &height);
    // Data that ends with its header holds no picture: four small numbers are all it takes
    // to look like one, so without a row it would come out black and count as decoded, by
    // its own id and when every decoder is tried in turn. A dimension query asks only for
    // the size, which the header gives whole; it is answered from the header alone.
    if (!header || (info_.nEscape != -1 && AtEnd(file))) {
        fail = "Not a WBMP";
    } else if (type != 0) {
        fail = "Unsupported WBMP type";
    } else {
        head_.biWidth = static_cast<int32_t>(width);
        head_.biHeight = static_cast<int32_t>(height);
        if (head_.biWidth <= 0 || head_.biHeight <= 0) {
            fail = "Corrupted WBMP";
        } else if (info_.nEscape == -1) {
            info_.dwType = RASTER_FORMAT_WBMP;
            return true;
        } else if (!Create(width, height, 1, RASTER_FORMAT_WBMP)) {
            fail = "WBMP Create failed";
        }
    }
    if (fail) {
        SetLastError(fail);
        return false;
    }
    SetGrayPalette();
    const size_t rowBytes = (width + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) file->Read(GetBits(height - 1 - y), 1, rowBytes);
    return true;
}

}  // namespace hqlv::imaging
