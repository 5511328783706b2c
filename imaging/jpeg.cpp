// JPEG over libjpeg with our own data source over the file object and an error exit that
// returns here by a long jump. The EXIF block is read first for the resolution.
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "imaging/decoders.h"
#include "imaging/jpeg_io.h"
#include "imaging/saturate.h"

namespace hqlv::imaging {

namespace {

// Scans beyond this many mean a hostile progressive file rather than a picture.
constexpr int kMaxScans = 1000;
constexpr long kMaxLibMemory = 1024L * 1024 * 1024;

struct JpgError {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char* text;  // the image's last-error text
};

void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpgError*>(cinfo->err);
    // libjpeg's message, at most 200 characters: its buffer holds no more.
    static_assert(JMSG_LENGTH_MAX <= 201);
    char msg[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, msg);
    msg[JMSG_LENGTH_MAX - 1] = 0;
    std::strcpy(err->text, msg);
    longjmp(err->jump, 1);
}

void outputMessage(j_common_ptr) {}  // warnings stay quiet

CRasterFileJpg& sourceOf(j_decompress_ptr cinfo) {
    return static_cast<CRasterFileJpg&>(*cinfo->src);
}

CRasterFileJpg& destinationOf(j_compress_ptr cinfo) {
    return static_cast<CRasterFileJpg&>(*cinfo->dest);
}

}  // namespace

CRasterFileJpg::CRasterFileJpg(CRasterFile* file)
    : jpeg_source_mgr{}, jpeg_destination_mgr{}, file_(file), buffer_(new JOCTET[kBufferSize]) {}

CRasterFileJpg::~CRasterFileJpg() {
    delete[] buffer_;
}

void CRasterFileJpg::AttachSource(j_decompress_ptr cinfo) {
    init_source = InitSource;
    fill_input_buffer = FillInputBuffer;
    skip_input_data = SkipInputData;
    resync_to_restart = jpeg_resync_to_restart;
    term_source = TermSource;
    bytes_in_buffer = 0;
    next_input_byte = nullptr;
    cinfo->src = this;
}

void CRasterFileJpg::AttachDestination(j_compress_ptr cinfo) {
    init_destination = InitDestination;
    empty_output_buffer = EmptyOutputBuffer;
    term_destination = TermDestination;
    cinfo->dest = this;
}

void CRasterFileJpg::InitSource(j_decompress_ptr cinfo) {
    sourceOf(cinfo).startOfFile_ = true;
}

boolean CRasterFileJpg::FillInputBuffer(j_decompress_ptr cinfo) {
    CRasterFileJpg& src = sourceOf(cinfo);
    size_t n = src.file_->Read(src.buffer_, 1, kBufferSize);
    src.endInserted_ = n == 0;
    if (n == 0) {
        if (src.startOfFile_) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An inserted end-of-image marker lets a cut file finish with what it has.
        src.buffer_[0] = 0xFF;
        src.buffer_[1] = JPEG_EOI;
        n = 2;
    }

    src.next_input_byte = src.buffer_;
    src.bytes_in_buffer = n;
    src.startOfFile_ = false;
    return TRUE;
}

void CRasterFileJpg::SkipInputData(j_decompress_ptr cinfo, long n) {
    if (n <= 0) return;
    CRasterFileJpg& src = sourceOf(cinfo);
    while (n > static_cast<long>(src.bytes_in_buffer)) {
        n -= static_cast<long>(src.bytes_in_buffer);
        FillInputBuffer(cinfo);
        if (src.endInserted_ && n > 2) {
            // Past the end every fill gives the same two-byte marker (and one more warning):
            // a long skip there passes them all at once instead of one fill per two bytes.
            const long fills = (n - 1) / 2;
            n -= 2 * fills;
            cinfo->err->num_warnings += fills;
        }
    }
    src.next_input_byte += n;
    src.bytes_in_buffer -= static_cast<size_t>(n);
}

void CRasterFileJpg::TermSource(j_decompress_ptr) {}

void CRasterFileJpg::InitDestination(j_compress_ptr cinfo) {
    CRasterFileJpg& dst = destinationOf(cinfo);
    dst.next_output_byte = dst.buffer_;
    dst.free_in_buffer = kBufferSize;
}

boolean CRasterFileJpg::EmptyOutputBuffer(j_compress_ptr cinfo) {
    CRasterFileJpg& dst = destinationOf(cinfo);
    if (dst.file_->Write(dst.buffer_, 1, kBufferSize) != kBufferSize)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dst.next_output_byte = dst.buffer_;
    dst.free_in_buffer = kBufferSize;
    return TRUE;
}

void CRasterFileJpg::TermDestination(j_compress_ptr cinfo) {
    CRasterFileJpg& dst = destinationOf(cinfo);
    const size_t used = kBufferSize - dst.free_in_buffer;
    if (used > 0 && dst.file_->Write(dst.buffer_, 1, used) != used) ERREXIT(cinfo, JERR_FILE_WRITE);
    dst.file_->Flush();
    if (dst.file_->Error()) ERREXIT(cinfo, JERR_FILE_WRITE);
}

namespace {

void progress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (cinfo->is_decompressor && d->input_scan_number > kMaxScans) {
        cinfo->err->msg_code = JERR_NOTIMPL;
        cinfo->err->error_exit(cinfo);
    }
}

}  // namespace

CRasterJPG::CRasterJPG() : CRaster(RASTER_FORMAT_JPG) {
    std::memset(&exifInfo_, 0, sizeof(exifInfo_));
}

CRasterJPG::~CRasterJPG() = default;

bool CRasterJPG::DecodeExif(CRasterFile* file) {
    exif_ = std::make_unique<CRasterExifReader>(&exifInfo_);
    const int64_t pos = file->Tell();
    exif_->DecodeExif(file);
    file->Seek(pos, 0);
    return exifInfo_.IsExif;
}

namespace {

// The part that runs under libjpeg: only plain locals, so the long jump skips no destructor.
bool decodeJpeg(CRasterJPG& img, bool exif, const ExifInfo& ei, CRasterFileJpg* src,
                char* errText) {
    jpeg_decompress_struct cinfo;
    JpgError err;
    jpeg_progress_mgr prog;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = outputMessage;
    err.text = errText;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxLibMemory;
    prog.progress_monitor = progress;
    cinfo.progress = &prog;
    src->AttachSource(&cinfo);
    jpeg_read_header(&cinfo, TRUE);

    const uint32_t opt = img.GetCodecOption(RASTER_FORMAT_JPG);
    if (opt & 0x80) cinfo.out_color_space = JCS_GRAYSCALE;
    if (opt & 0x100) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = img.GetJpegQuality();
    }
    if (opt & 0x200) cinfo.dither_mode = JDITHER_FS;
    if (opt & 0x400) cinfo.two_pass_quantize = FALSE;
    if (opt & 0x800) cinfo.do_fancy_upsampling = FALSE;
    if (img.GetJpegScale()) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = img.GetJpegScale();
    }
    const bool quantized = cinfo.quantize_colors;
    const bool grey = cinfo.out_color_space == JCS_GRAYSCALE;
    // Three-component pictures come out in the image's blue-green-red order directly.
    const bool colour3 = cinfo.num_components == 3 && !quantized && !grey;
    if (colour3 && cinfo.out_color_space == JCS_RGB) cinfo.out_color_space = JCS_EXT_BGR;

    jpeg_calc_output_dimensions(&cinfo);
    if (img.GetEscape() == -1) {
        img.SetDimensions(cinfo.output_width, cinfo.output_height);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    // The size is checked before libjpeg allocates anything for the picture.
    if (!img.Create(cinfo.output_width, cinfo.output_height, 8 * cinfo.output_components,
                    RASTER_FORMAT_JPG)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != img.GetWidth() || cinfo.output_height != img.GetHeight())
        ERREXIT(&cinfo, JERR_NOTIMPL);

    if (exif && ei.Xresolution != 0 && ei.ResolutionUnit != 0) {
        img.SetXDPI(SaturateCast<int32_t>(double(ei.Xresolution) / ei.ResolutionUnit));
        img.SetYDPI(SaturateCast<int32_t>(double(ei.Yresolution) / ei.ResolutionUnit));
    } else if (!exif) {
        switch (cinfo.density_unit) {
            case 0:
                if (cinfo.X_density && cinfo.Y_density)
                    img.SetYDPI(static_cast<int32_t>(
                        img.GetXDPI() * (static_cast<double>(cinfo.Y_density) / cinfo.X_density)));
                break;
            case 2:
                img.SetXDPI(static_cast<int32_t>(std::floor(cinfo.X_density * 2.54 + 0.5)));
                img.SetYDPI(static_cast<int32_t>(std::floor(cinfo.Y_density * 2.54 + 0.5)));
                break;
            default:
                img.SetXDPI(cinfo.X_density);
                img.SetYDPI(cinfo.Y_density);
                break;
        }
    }
    if (cinfo.out_color_space == JCS_GRAYSCALE) {
        img.SetGrayPalette();
    } else if (quantized) {
        for (int i = 0; i < cinfo.actual_number_of_colors && i < 256; ++i) {
            const uint8_t r = cinfo.colormap[0][i];
            const uint8_t g = cinfo.colormap[1][i];
            const uint8_t b = cinfo.colormap[2][i];
            img.SetPaletteColor(static_cast<uint8_t>(i), r, g, b);
        }
    }
    const size_t lineBytes = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, static_cast<JDIMENSION>(lineBytes), 1);
    const bool cmyk = cinfo.output_components == 4 && !quantized;
    const size_t stride = img.GetEffWidth();
    while (cinfo.output_scanline < cinfo.output_height) {
        // Cancelling is no libjpeg error: the decode stops with the last-error text as it stood.
        if (img.GetEscape() > 0) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        uint8_t* row = img.GetBits(img.GetHeight() - 1 - cinfo.output_scanline);
        if (!cmyk && lineBytes <= stride) {
            // Straight into the image row: no copy.
            JSAMPROW target = row;
            jpeg_read_scanlines(&cinfo, &target, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, buffer, 1);
        const uint8_t* in = buffer[0];
        if (cmyk) {
            for (size_t x = 0, o = 0; x + 3 < lineBytes && o + 2 < stride; x += 4, o += 3) {
                const unsigned k = in[x + 3];
                row[o] = static_cast<uint8_t>(k * in[x + 2] / 255);
                row[o + 1] = static_cast<uint8_t>(k * in[x + 1] / 255);
                row[o + 2] = static_cast<uint8_t>(k * in[x] / 255);
            }
        } else {
            std::memcpy(row, in, lineBytes < stride ? lineBytes : stride);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

bool CRasterJPG::Decode(CRasterFile* file) {
    if (!file) return false;
    const bool exif = DecodeExif(file);
    auto src = std::make_unique<CRasterFileJpg>(file);
    if (!decodeJpeg(*this, exif, exifInfo_, src.get(), info_.szLastError)) return false;
    if (info_.nEscape == -1) info_.dwType = RASTER_FORMAT_JPG;
    return true;
}

}  // namespace hqlv::imaging
