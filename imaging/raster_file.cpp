#include "imaging/raster_file.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace hqlv::imaging {

// ---- stdio stream ----

CRasterIOFile::CRasterIOFile(FILE* stream) : stream_(stream), closeOnDestroy_(stream == nullptr) {}

CRasterIOFile::~CRasterIOFile() {
    Close();
}

bool CRasterIOFile::Open(const char* path, const char* mode) {
    if (stream_ || !path || !mode) return false;
    stream_ = std::fopen(path, mode);
    if (!stream_) return false;
    closeOnDestroy_ = true;
    return true;
}

bool CRasterIOFile::Close() {
    if (stream_ && closeOnDestroy_) {
        const int rc = std::fclose(stream_);
        stream_ = nullptr;
        return rc == 0;
    }
    return true;
}

// A null buffer reads and writes nothing rather than being handed to stdio, which would
// dereference it.
size_t CRasterIOFile::Read(void* buffer, size_t size, size_t count) {
    if (!stream_ || !buffer) return 0;
    return std::fread(buffer, size, count, stream_);
}

size_t CRasterIOFile::Write(const void* buffer, size_t size, size_t count) {
    if (!stream_ || !buffer) return 0;
    return std::fwrite(buffer, size, count, stream_);
}

bool CRasterIOFile::Seek(int64_t offset, int origin) {
    if (!stream_) return false;
    return fseeko(stream_, static_cast<off_t>(offset), origin) == 0;
}

int64_t CRasterIOFile::Tell() {
    return stream_ ? static_cast<int64_t>(ftello(stream_)) : 0;
}

int64_t CRasterIOFile::Size() {
    if (!stream_) return -1;
    const off_t pos = ftello(stream_);
    fseeko(stream_, 0, SEEK_END);
    const off_t size = ftello(stream_);
    fseeko(stream_, pos, SEEK_SET);
    return static_cast<int64_t>(size);
}

bool CRasterIOFile::Flush() {
    return stream_ && std::fflush(stream_) == 0;
}
bool CRasterIOFile::Eof() {
    return !stream_ || std::feof(stream_) != 0;
}
long CRasterIOFile::Error() {
    return stream_ ? std::ferror(stream_) : -1;
}
bool CRasterIOFile::PutC(unsigned char c) {
    return stream_ && std::fputc(c, stream_) == c;
}
long CRasterIOFile::GetC() {
    return stream_ ? std::getc(stream_) : -1;
}
char* CRasterIOFile::GetS(char* string, int n) {
    return stream_ ? std::fgets(string, n, stream_) : nullptr;
}
long CRasterIOFile::Scanf(const char* format, void* output) {
    if (!stream_) return -1;
    return std::fscanf(stream_, format, output);
}

// ---- memory ----

CRasterMemFile::CRasterMemFile(uint8_t* buffer, size_t size)
    : buffer_(buffer), size_(size), freeOnClose_(buffer == nullptr), position_(0), edge_(size) {}

CRasterMemFile::~CRasterMemFile() {
    Close();
}

bool CRasterMemFile::Close() {
    if (buffer_ && freeOnClose_) {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = 0;
    }
    return true;
}

size_t CRasterMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!buffer || !buffer_ || size == 0 || count == 0) return 0;
    if (position_ < 0 || static_cast<uint64_t>(position_) >= size_) return 0;
    if (count > std::numeric_limits<size_t>::max() / size)
        count = std::numeric_limits<size_t>::max() / size;
    const size_t want = size * count;
    const size_t left = size_ - static_cast<size_t>(position_);
    const size_t n = want < left ? want : left;
    std::memcpy(buffer, buffer_ + position_, n);
    position_ += static_cast<int64_t>(n);
    return n / size;
}

size_t CRasterMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!buffer_ || !buffer || size == 0 || count == 0) return 0;
    if (count > std::numeric_limits<uint32_t>::max() / size) return 0;
    const size_t n = size * count;
    const uint64_t end = static_cast<uint64_t>(position_) + n;
    if (end > std::numeric_limits<uint32_t>::max()) return 0;
    if (end > edge_ && !Alloc(static_cast<size_t>(end))) return 0;
    if (end > edge_) return 0;
    std::memcpy(buffer_ + position_, buffer, n);
    position_ = static_cast<int64_t>(end);
    if (static_cast<uint64_t>(position_) > size_) size_ = static_cast<size_t>(position_);
    return count;
}

bool CRasterMemFile::Seek(int64_t offset, int origin) {
    if (!buffer_) return false;
    int64_t base;
    switch (origin) {
        case 0:
            base = 0;
            break;
        case 1:
            base = position_;
            break;
        case 2:
            base = static_cast<int64_t>(size_);
            break;
        default:
            return false;
    }
    // Saturate instead of wrapping; anything past the data simply reads as end of file.
    int64_t pos;
    if (__builtin_add_overflow(base, offset, &pos))
        pos = offset < 0 ? 0 : std::numeric_limits<int64_t>::max();
    position_ = pos < 0 ? 0 : pos;
    return true;
}

int64_t CRasterMemFile::Tell() {
    return buffer_ ? position_ : -1;
}
int64_t CRasterMemFile::Size() {
    return buffer_ ? static_cast<int64_t>(size_) : -1;
}
bool CRasterMemFile::Flush() {
    return buffer_ != nullptr;
}
bool CRasterMemFile::Eof() {
    return !buffer_ || static_cast<uint64_t>(position_) >= size_;
}
long CRasterMemFile::Error() {
    if (!buffer_) return -1;
    return static_cast<uint64_t>(position_) > size_ ? 1 : 0;
}

bool CRasterMemFile::PutC(unsigned char c) {
    if (!buffer_) return false;
    if (static_cast<uint64_t>(position_) >= std::numeric_limits<uint32_t>::max()) return false;
    if (static_cast<uint64_t>(position_) >= edge_) {
        if (!Alloc(static_cast<size_t>(position_) + 1)) return false;
        if (static_cast<uint64_t>(position_) >= edge_) return false;
    }
    buffer_[position_++] = c;
    if (static_cast<uint64_t>(position_) > size_) size_ = static_cast<size_t>(position_);
    return true;
}

long CRasterMemFile::GetC() {
    if (Eof()) return -1;
    return buffer_[position_++];
}

char* CRasterMemFile::GetS(char* string, int n) {
    if (!string || n <= 0) return nullptr;
    int i = 0;
    while (i < n - 1) {
        const long c = GetC();
        if (c < 0) return nullptr;
        string[i++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    string[i] = 0;
    return string;
}

long CRasterMemFile::Scanf(const char*, void*) {
    return 0;
}

bool CRasterMemFile::Alloc(size_t needed) {
    if (needed > edge_) {
        if (needed >= std::numeric_limits<uint32_t>::max() - 0x10000) return false;
        const size_t capacity = (needed & ~static_cast<size_t>(0xFFFF)) + 0x10000;
        // A caller's buffer is never handed to realloc, as it need not come from malloc and
        // stays the caller's: its data are copied into a block of our own instead.
        uint8_t* grown;
        if (buffer_ && freeOnClose_) {
            grown = static_cast<uint8_t*>(std::realloc(buffer_, capacity));
        } else if (buffer_) {
            grown = static_cast<uint8_t*>(std::malloc(capacity));
            if (grown) std::memcpy(grown, buffer_, size_);
        } else {
            // A file made without a buffer may already count bytes of data (its size); the
            // first block reads them as zeros, never as what the heap held before.
            grown = static_cast<uint8_t*>(std::calloc(capacity, 1));
        }
        if (!grown) return false;
        buffer_ = grown;
        freeOnClose_ = true;
        edge_ = capacity;
    }
    return buffer_ != nullptr;
}

}  // namespace hqlv::imaging
