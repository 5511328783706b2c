#pragma once
// The growable byte buffer that carries packet and codec data. Capacity grows in
// 1024-byte steps and never shrinks; the used bytes always start at the block's front.
#include <cstddef>
#include <cstdint>

namespace hqlv::netlib {

class CYrnBuffer {
public:
    static constexpr size_t kStep = 1024;

    CYrnBuffer() = default;
    virtual ~CYrnBuffer();
    CYrnBuffer(const CYrnBuffer& other);
    CYrnBuffer& operator=(const CYrnBuffer& other);
    CYrnBuffer(CYrnBuffer&& other) noexcept;
    CYrnBuffer& operator=(CYrnBuffer&& other) noexcept;

    // Empties the buffer, keeping the block; makes sure at least 1024 bytes are reserved.
    void Reset();
    size_t Size() const { return size_; }
    size_t Capacity() const { return capacity_; }
    bool Empty() const { return size_ == 0; }
    // Address of the byte at the offset (null without a block).
    uint8_t* At(size_t offset) { return data_ ? data_ + offset : nullptr; }
    const uint8_t* At(size_t offset) const { return data_ ? data_ + offset : nullptr; }
    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }

    // Grows to hold size + n bytes and copies the bytes to the end; returns n.
    size_t Append(const void* bytes, size_t n);
    // Moves the content up by n and copies the bytes to the front; returns n.
    size_t Prepend(const void* bytes, size_t n);
    // Little-endian 32-bit word at the end or the front.
    void AppendI32(int32_t v);
    void PrependI32(int32_t v);
    // Copies min(n, size) bytes from the front and removes them; returns that count, 0 when
    // n exceeds the capacity.
    size_t Read(void* destination, size_t n);
    // Removes min(n, size) bytes from the front; returns that count, 0 when n exceeds the
    // capacity.
    size_t RemoveFront(size_t n);
    // When n exceeds the capacity: a new block of n rounded up to 1024, the used bytes
    // kept; returns the new capacity, else 0.
    size_t Grow(size_t n);
    // Like Grow, but nothing happens when n does not exceed the used size.
    size_t Reserve(size_t n);
    // Sets the used size to n, growing when needed; new bytes are left unset.
    void Resize(size_t n);
    // Replaces the content by n bytes.
    void Assign(const void* bytes, size_t n);
    void Swap(CYrnBuffer& other) noexcept;

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace hqlv::netlib
