#include "netlib/buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace hqlv::netlib {

CYrnBuffer::~CYrnBuffer() {
    std::free(data_);
}

CYrnBuffer::CYrnBuffer(const CYrnBuffer& other) {
    Assign(other.data_, other.size_);
}

CYrnBuffer& CYrnBuffer::operator=(const CYrnBuffer& other) {
    if (this != &other) Assign(other.data_, other.size_);
    return *this;
}

CYrnBuffer::CYrnBuffer(CYrnBuffer&& other) noexcept {
    Swap(other);
}

CYrnBuffer& CYrnBuffer::operator=(CYrnBuffer&& other) noexcept {
    if (this != &other) {
        CYrnBuffer tmp(std::move(other));
        Swap(tmp);
    }
    return *this;
}

void CYrnBuffer::Swap(CYrnBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}

void CYrnBuffer::Reset() {
    size_ = 0;
    Grow(kStep);
}

size_t CYrnBuffer::Grow(size_t n) {
    if (n <= capacity_) return 0;
    if (n > SIZE_MAX - kStep) throw std::bad_alloc();
    size_t cap = (n + kStep - 1) / kStep * kStep;
    auto* block = static_cast<uint8_t*>(std::malloc(cap));
    if (!block) throw std::bad_alloc();
    if (size_) std::memcpy(block, data_, size_);
    std::free(data_);
    data_ = block;
    capacity_ = cap;
    return cap;
}

size_t CYrnBuffer::Reserve(size_t n) {
    if (n <= size_) return 0;
    return Grow(n);
}

size_t CYrnBuffer::Append(const void* bytes, size_t n) {
    if (n == 0) return 0;
    if (n > SIZE_MAX - size_) throw std::bad_alloc();
    Grow(size_ + n);
    std::memcpy(data_ + size_, bytes, n);
    size_ += n;
    return n;
}

size_t CYrnBuffer::Prepend(const void* bytes, size_t n) {
    if (n == 0) return 0;
    if (n > SIZE_MAX - size_) throw std::bad_alloc();
    Grow(size_ + n);
    std::memmove(data_ + n, data_, size_);
    std::memcpy(data_, bytes, n);
    size_ += n;
    return n;
}

static void putLe(uint8_t* p, int32_t v) {
    auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

void CYrnBuffer::AppendI32(int32_t v) {
    uint8_t b[4];
    putLe(b, v);
    Append(b, 4);
}

void CYrnBuffer::PrependI32(int32_t v) {
    uint8_t b[4];
    putLe(b, v);
    Prepend(b, 4);
}

size_t CYrnBuffer::Read(void* destination, size_t n) {
    if (n > capacity_) return 0;
    size_t k = n < size_ ? n : size_;
    if (k) std::memcpy(destination, data_, k);
    return RemoveFront(k);
}

size_t CYrnBuffer::RemoveFront(size_t n) {
    if (n > capacity_) return 0;
    size_t k = n < size_ ? n : size_;
    if (k && k < size_) std::memmove(data_, data_ + k, size_ - k);
    size_ -= k;
    return k;
}

void CYrnBuffer::Resize(size_t n) {
    Grow(n);
    size_ = n;
}

void CYrnBuffer::Assign(const void* bytes, size_t n) {
    size_ = 0;
    if (n) Append(bytes, n);
}

}  // namespace hqlv::netlib
