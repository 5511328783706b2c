#include "imaging/tiff_glue.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace hqlv::imaging {

namespace {

int closeProc(thandle_t) {
    return 0;
}
int mapProc(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, tdata_t, toff_t) {}
// libtiff's messages are not for the user; the decoder reports its own texts.
int quietHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

}  // namespace

tsize_t TiffReadProc(thandle_t handle, tdata_t buffer, tsize_t size) {
    if (size <= 0) return 0;
    return static_cast<tsize_t>(
        static_cast<CRasterFile*>(handle)->Read(buffer, 1, static_cast<size_t>(size)));
}

tsize_t TiffWriteProc(thandle_t handle, tdata_t buffer, tsize_t size) {
    if (size <= 0) return 0;
    return static_cast<tsize_t>(
        static_cast<CRasterFile*>(handle)->Write(buffer, 1, static_cast<size_t>(size)));
}

toff_t TiffSeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<CRasterFile*>(handle);
    if (offset == static_cast<toff_t>(-1)) return static_cast<toff_t>(-1);
    if (!file->Seek(static_cast<int64_t>(offset), whence)) return static_cast<toff_t>(-1);
    if (whence == SEEK_SET) return offset;
    return static_cast<toff_t>(file->Tell());
}

toff_t TiffSizeProc(thandle_t handle) {
    return static_cast<toff_t>(static_cast<CRasterFile*>(handle)->Size());
}

void* TiffRealloc(void* p, tmsize_t n) {
    if (n <= 0) return nullptr;
    return std::realloc(p, static_cast<size_t>(n));
}

void TiffMemset(void* p, int value, tmsize_t n) {
    if (p && n > 0) std::memset(p, value, static_cast<size_t>(n));
}

void TiffMemcpy(void* dst, const void* src, tmsize_t n) {
    if (dst && src && n > 0) std::memcpy(dst, src, static_cast<size_t>(n));
}

int TiffMemcmp(const void* a, const void* b, tmsize_t n) {
    if (!a || !b || n <= 0) return 0;
    const int c = std::memcmp(a, b, static_cast<size_t>(n));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

CRasterFile* TiffFileOf(TIFF* tif) {
    return tif ? static_cast<CRasterFile*>(TIFFClientdata(tif)) : nullptr;
}

TIFF* TiffOpenOnCRasterFile(CRasterFile* file, const char* mode) {
    if (!file) return nullptr;
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kTiffMaxSingleAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(opts, quietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, quietHandler, nullptr);
    TIFF* tif = TIFFClientOpenExt("TIFF IMAGE", mode, file, TiffReadProc, TiffWriteProc,
                                  TiffSeekProc, closeProc, TiffSizeProc, mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
    // The file object is the handle's client data, which libtiff passes to every procedure
    // and TiffFileOf gives back. It is not stored as the handle's descriptor as well: that is
    // an int, too narrow for a pointer on a 64-bit host. The descriptor says "none" (-1)
    // rather than the 0 of standard input that a client handle starts with.
    if (tif) TIFFSetFileno(tif, -1);
    return tif;
}

}  // namespace hqlv::imaging
