// Binds a file object to libtiff's client interface, so TIFF data is read from memory or
// a stream. The file stays the caller's: closing the libtiff handle leaves it open.
#pragma once

#include <tiffio.h>

#include "imaging/raster_file.h"

namespace hqlv::imaging {

// Largest single allocation libtiff may make for one picture.
constexpr tmsize_t kTiffMaxSingleAlloc = 512 * 1024 * 1024;

TIFF* TiffOpenOnCRasterFile(CRasterFile* file, const char* mode);
// The file object a handle of TiffOpenOnCRasterFile reads and writes through.
CRasterFile* TiffFileOf(TIFF* tif);

tsize_t TiffReadProc(thandle_t handle, tdata_t buffer, tsize_t size);
tsize_t TiffWriteProc(thandle_t handle, tdata_t buffer, tsize_t size);
toff_t TiffSeekProc(thandle_t handle, toff_t offset, int whence);
toff_t TiffSizeProc(thandle_t handle);

// The memory procedures of libtiff's platform layer. The system's libtiff (4.5) brings its
// own (_TIFFmalloc, _TIFFrealloc, _TIFFmemset, _TIFFmemcpy and _TIFFmemcmp of its Unix layer)
// and lets no client replace them; what it lets a client set is the largest single allocation
// of a handle (kTiffMaxSingleAlloc, given at opening). OpenJPEG, the JPEG-2000 decoder here
// (Debian 12 packages no JasPer), likewise allocates with its own procedures. These are the
// same operations for our callers.
// Sizes of 0 or less reallocate nothing: the result is null and `p` stays the caller's.
void* TiffRealloc(void* p, tmsize_t n);
void TiffMemset(void* p, int value, tmsize_t n);
void TiffMemcpy(void* dst, const void* src, tmsize_t n);
// -1, 0 or 1 by the first differing byte of the n, compared as unsigned.
int TiffMemcmp(const void* a, const void* b, tmsize_t n);

}  // namespace hqlv::imaging
