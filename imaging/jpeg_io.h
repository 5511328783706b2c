// libjpeg's data source and destination over a file object: one object serves both, with a
// 4096-byte buffer of its own. The decoder reads through the source; whatever compresses
// into a file object (memory or stdio) writes through the destination.
#pragma once

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "imaging/raster_file.h"

namespace hqlv::imaging {

class CRasterFileJpg : public jpeg_source_mgr, public jpeg_destination_mgr {
public:
    static constexpr size_t kBufferSize = 4096;

    explicit CRasterFileJpg(CRasterFile* file);
    ~CRasterFileJpg();
    CRasterFileJpg(const CRasterFileJpg&) = delete;
    CRasterFileJpg& operator=(const CRasterFileJpg&) = delete;

    // Makes this object the decompressor's source / the compressor's destination.
    void AttachSource(j_decompress_ptr cinfo);
    void AttachDestination(j_compress_ptr cinfo);

    // Source: the start-of-file flag; reads of up to 4096 bytes (an empty file is libjpeg's
    // error 42, a file that ends early gets an end-of-image marker and warning 120); skips.
    static void InitSource(j_decompress_ptr cinfo);
    static boolean FillInputBuffer(j_decompress_ptr cinfo);
    static void SkipInputData(j_decompress_ptr cinfo, long n);
    static void TermSource(j_decompress_ptr cinfo);

    // Destination: the whole buffer is offered; a full buffer is written whole; at the end
    // the used part is written and the file flushed. A short write or a file that reports
    // an error is libjpeg's error 37.
    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);

    CRasterFile* file() const { return file_; }

private:
    CRasterFile* file_;
    JOCTET* buffer_;
    bool startOfFile_ = false;
    bool endInserted_ = false;  // the file is used up: the buffer holds the stand-in marker
};

}  // namespace hqlv::imaging
