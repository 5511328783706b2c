#pragma once
// Bounds-checked little-endian reading and writing of wire and file records. A reader
// never reads past its span: a short read sets the failed flag and yields zeros, so a
// handler can read a whole record and check ok() once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

class ByteReader {
public:
    ByteReader(const void* data, size_t size)
        : p_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}
    explicit ByteReader(std::span<const uint8_t> s) : ByteReader(s.data(), s.size()) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t size() const { return size_; }
    size_t remaining() const { return size_ - pos_; }
    const uint8_t* current() const { return p_ + pos_; }

    // Moves to an absolute position; beyond the end fails.
    bool seek(size_t pos) {
        if (pos > size_) return fail();
        pos_ = pos;
        return true;
    }
    bool skip(size_t n) {
        if (n > remaining()) return fail();
        pos_ += n;
        return true;
    }
    uint8_t u8() { return static_cast<uint8_t>(le(1)); }
    uint16_t u16() { return static_cast<uint16_t>(le(2)); }
    uint32_t u32() { return static_cast<uint32_t>(le(4)); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    uint64_t u64() { return le(8); }

    // Copies n bytes; fails (and zero-fills) when fewer remain.
    bool bytes(void* out, size_t n) {
        if (n > remaining()) {
            if (out && n) std::memset(out, 0, n);
            return fail();
        }
        if (n) std::memcpy(out, p_ + pos_, n);
        pos_ += n;
        return true;
    }
    // A fixed field of n bytes holding a NUL-terminated text (or none): the text before
    // the first NUL, never more than n bytes.
    std::string fixedText(size_t n) {
        if (n > remaining()) {
            fail();
            return {};
        }
        const char* s = reinterpret_cast<const char*>(p_ + pos_);
        size_t len = strnlen(s, n);
        pos_ += n;
        return std::string(s, len);
    }

private:
    bool fail() {
        ok_ = false;
        pos_ = size_;
        return false;
    }
    uint64_t le(int n) {
        if (static_cast<size_t>(n) > remaining()) {
            fail();
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint64_t(p_[pos_ + i]) << (8 * i);
        pos_ += n;
        return v;
    }

    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class ByteWriter {
public:
    const std::vector<uint8_t>& data() const { return buf_; }
    std::vector<uint8_t> take() { return std::move(buf_); }
    size_t size() const { return buf_.size(); }

    void u8(uint8_t v) { buf_.push_back(v); }
    void u16(uint16_t v) { le(v, 2); }
    void u32(uint32_t v) { le(v, 4); }
    void i32(int32_t v) { le(static_cast<uint32_t>(v), 4); }
    void u64(uint64_t v) { le(v, 8); }
    void bytes(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        buf_.insert(buf_.end(), b, b + n);
    }
    void zeros(size_t n) { buf_.insert(buf_.end(), n, 0); }
    // A fixed field of n bytes: the text cut to n - 1 bytes, NUL-padded. Callers that
    // hold GBK text cut it on a character boundary first.
    void fixedText(std::string_view s, size_t n) {
        if (n == 0) return;
        size_t len = s.size() < n - 1 ? s.size() : n - 1;
        bytes(s.data(), len);
        zeros(n - len);
    }
    // Overwrites a 32-bit word already written (for lengths known only at the end).
    void patchU32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) buf_.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
    }

private:
    void le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) buf_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t> buf_;
};

}  // namespace hqlv::platform
