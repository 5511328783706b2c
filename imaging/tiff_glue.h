// Binds a file object to libtiff's client interface, so TIFF data is read from memory or
// a stream. The file stays the caller's: closing the libtiff handle leaves it open.
#pragma once

#include <tiffio.h>

#include "imaging/raster_file.h"

namespace hqlv::imaging {

// Largest single allocation libtiff may make for one picture.
constexpr tmsize_t kTiffMaxSingleAlloc = 512 * 1024 * 1024;

TIFF* TiffOpenOnCRasterFile(CRasterFile* file, const char* mode);

tsize_t TiffReadProc(thandle_t handle, tdata_t buffer, tsize_t size);
tsize_t TiffWriteProc(thandle_t handle, tdata_t buffer, tsize_t size);
toff_t TiffSeekProc(thandle_t handle, toff_t offset, int whence);
toff_t TiffSizeProc(thandle_t handle);

}  // namespace hqlv::imaging
