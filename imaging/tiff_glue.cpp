#include "imaging/tiff_glue.h"

#include <cstdarg>

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
    const int64_t size = static_cast<CRasterFile*>(handle)->Size();
    return size < 0 ? 0 : static_cast<toff_t>(size);
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
    return tif;
}

}  // namespace hqlv::imaging
