// File objects the picture decoders read through: one interface over a stdio stream and
// over a block of memory. Positions are 64-bit; a position past the data reads as end of
// file and never touches memory outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace hqlv::imaging {

class CRasterFile {
public:
    virtual ~CRasterFile() = default;
    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin 0 = from start, 1 = from the current position, 2 = from the end.
    virtual bool Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;
    virtual int64_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }
    virtual long GetC() = 0;  // -1 at end
    virtual char* GetS(char* string, int n) = 0;
    virtual long Scanf(const char* format, void* output) = 0;
};

class CRasterIOFile : public CRasterFile {
public:
    explicit CRasterIOFile(FILE* stream = nullptr);
    ~CRasterIOFile() override;
    CRasterIOFile(const CRasterIOFile&) = delete;
    CRasterIOFile& operator=(const CRasterIOFile&) = delete;

    bool Open(const char* path, const char* mode);
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;
    char* GetS(char* string, int n) override;
    long Scanf(const char* format, void* output) override;

private:
    FILE* stream_;
    bool closeOnDestroy_;
};

class CRasterMemFile : public CRasterFile {
public:
    // The buffer is used in place and stays the caller's unless the file has to grow it.
    explicit CRasterMemFile(uint8_t* buffer = nullptr, size_t size = 0);
    ~CRasterMemFile() override;
    CRasterMemFile(const CRasterMemFile&) = delete;
    CRasterMemFile& operator=(const CRasterMemFile&) = delete;

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;
    char* GetS(char* string, int n) override;
    long Scanf(const char* format, void* output) override;

    // Grows the buffer to the next 64 KB step above `needed`; the file then owns it.
    bool Alloc(size_t needed);
    uint8_t* GetBuffer() const { return buffer_; }
    size_t Capacity() const { return edge_; }

private:
    uint8_t* buffer_;
    size_t size_;
    bool freeOnClose_;
    int64_t position_;
    size_t edge_;
};

}  // namespace hqlv::imaging
