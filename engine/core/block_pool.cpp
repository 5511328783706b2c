#include "engine/core/block_pool.h"

#include <cstring>

namespace hqlv::engine {

BlockPool::FreeRun BlockPool::Block::run(uint32_t offset) const {
    FreeRun r{0, kNoRun};
    if (uint64_t(offset) + sizeof r <= size) std::memcpy(&r, bytes.get() + offset, sizeof r);
    return r;
}

BlockPool::BlockPool(uint32_t entrySize, uint32_t entriesPerBlock)
    : defaultSize_((entrySize + 8) * entriesPerBlock) {
    AllocBlock();
}

BlockPool::Block* BlockPool::AllocBlock(int64_t size) {
    if (size == -1) size = defaultSize_;
    // A block must hold the head of its free run: a smaller one would have the head written
    // past its end (and a run length below zero).
    if (size < int64_t(sizeof(FreeRun)) || size > UINT32_MAX) return nullptr;
    auto block = new Block;
    block->size = uint32_t(size);
    block->bytes = std::make_unique<uint8_t[]>(size_t(size));  // zeroed
    const FreeRun whole{block->size - uint32_t(sizeof(FreeRun)), kNoRun};
    std::memcpy(block->bytes.get(), &whole, sizeof whole);
    Block** tail = &first_;
    while (*tail) tail = &(*tail)->next;
    *tail = block;
    bytes_ += block->size;
    total_ += block->size;
    ++count_;
    return block;
}

void BlockPool::FreeBlocks() {
    while (first_) {
        Block* next = first_->next;
        delete first_;
        first_ = next;
    }
    count_ = 0;
}

}  // namespace hqlv::engine
