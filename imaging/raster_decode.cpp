// Picks the decoder for a format id, or tries them all in turn when the id is 0.
#include <memory>
#include <new>

#include "imaging/decoders.h"

namespace hqlv::imaging {

namespace {

// Runs one decoder over the file; on success the result moves into `into`. Every decoder
// reports through its result; memory that runs out inside one of the libraries' or the
// standard containers' allocations is that decoder's failure as well, so nothing leaves
// the decode but its result.
template <class D, class... Args>
bool tryDecoder(CRaster& into, CRasterFile* file, bool keepFailure, bool copyFrames, Args... args) {
    std::unique_ptr<D> dec;
    bool ok = false;
    try {
        dec = std::make_unique<D>();
        dec->CopyInfo(into);
        ok = dec->Decode(file, args...);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (ok) {
        into.Transfer(*dec, true);
        return true;
    }
    if (keepFailure && dec) {
        into.SetLastError(dec->GetLastError());
        if (copyFrames) into.SetNumFrames(dec->GetNumFrames());
    }
    return false;
}

}  // namespace

bool CRaster::SetType(uint32_t formatId) {
    switch (formatId) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 9:
        case 11:
        case 12:
            info_.dwType = formatId;
            return true;
        default:
            info_.dwType = 0;
            return false;
    }
}

bool CRaster::DecodeBuffer(uint8_t* buffer, uint32_t size, uint32_t formatId) {
    CRasterMemFile file(buffer, size);
    return Decode(&file, formatId);
}

bool CRaster::Decode(CRasterFile* file, uint32_t formatId) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    if (formatId == 0) {
        const int64_t pos = file->Tell();
        auto rewind = [&] { file->Seek(pos, 0); };
        if (tryDecoder<CRasterBMP>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterJPG>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterICO>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterGIF>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterPNG>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterTIF>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterTGA>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterWBMP>(*this, file, false, false)) return true;
        rewind();
        if (tryDecoder<CRasterJAS>(*this, file, false, false, 0u)) return true;
        rewind();
        SetLastError("Decode: Unknown or wrong format");
        return false;
    }
    switch (formatId) {
        case RASTER_FORMAT_BMP:
            return tryDecoder<CRasterBMP>(*this, file, true, false);
        case RASTER_FORMAT_GIF:
            return tryDecoder<CRasterGIF>(*this, file, true, true);
        case RASTER_FORMAT_ICO:
            return tryDecoder<CRasterICO>(*this, file, true, true);
        case RASTER_FORMAT_TIF:
            return tryDecoder<CRasterTIF>(*this, file, true, true);
        case RASTER_FORMAT_TGA:
            return tryDecoder<CRasterTGA>(*this, file, true, false);
        case RASTER_FORMAT_WBMP:
            return tryDecoder<CRasterWBMP>(*this, file, true, false);
        case RASTER_FORMAT_JP2:
        case RASTER_FORMAT_JPC:
            return tryDecoder<CRasterJAS>(*this, file, true, false, formatId);
        case RASTER_FORMAT_JPG:
            return tryDecoder<CRasterJPG>(*this, file, true, false);
        case RASTER_FORMAT_PNG:
            return tryDecoder<CRasterPNG>(*this, file, true, false);
        default:
            SetLastError("Decode: Unknown or wrong format");
            return false;
    }
}

}  // namespace hqlv::imaging
