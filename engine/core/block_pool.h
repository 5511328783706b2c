#pragma once
// Fixed-size blocks for lists of small entries (the point-list entity's nodes), and the
// growable-buffer step.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace hqlv::engine {

// A new buffer of capacity + extra elements (twice the capacity when extra is 0), the old
// elements kept and the new ones zero.
template <typename T>
void GrowBuffer(std::vector<T>& buffer, size_t extra) {
    buffer.resize(extra ? buffer.size() + extra : buffer.size() * 2);
}

class BlockPool {
public:
    // The head of a free run inside a block: its length in bytes after this head, and the
    // offset of the next run in the block (kNoRun: none).
    struct FreeRun {
        uint32_t length;
        uint32_t next;
    };
    static constexpr uint32_t kNoRun = UINT32_MAX;

    struct Block {
        uint32_t size = 0;
        uint32_t firstFree = 0;  // offset of the first free run in the bytes
        Block* next = nullptr;
        std::unique_ptr<uint8_t[]> bytes;
        FreeRun run(uint32_t offset) const;
    };

    // Sets the default block size, (entry size + 8) × entries per block, and allocates the
    // first block.
    BlockPool(uint32_t entrySize, uint32_t entriesPerBlock);
    ~BlockPool() { FreeBlocks(); }
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A zeroed block of size bytes (-1: the default size) holding one free run over all of
    // it, linked after the others. Null for a size too small to hold a run's head.
    Block* AllocBlock(int64_t size = -1);
    void FreeBlocks();

    uint32_t defaultBlockSize() const { return defaultSize_; }
    uint32_t blockCount() const { return count_; }
    uint32_t bytesAllocated() const { return bytes_; }
    uint32_t bytesTotal() const { return total_; }
    Block* first() const { return first_; }

private:
    uint32_t bytes_ = 0;
    uint32_t total_ = 0;
    uint32_t defaultSize_ = 0;
    uint32_t count_ = 0;
    Block* first_ = nullptr;
};

}  // namespace hqlv::engine
