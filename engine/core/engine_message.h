#pragma once
// The engine message {code, data, target control} and its data word. A data word is either
// a plain number (a code, an id, an object the sender keeps) or a block handed over with the
// message together with its free routine and its length. Only such owned blocks are ever
// freed, and each exactly once: after a handler answered non-zero, or when the message cannot
// be delivered, or when whoever holds it lets go without taking it. A reader of a block's
// words reads within the length its maker gave: the allocator's idea of a block's size is
// not what was written into it.
#include <cstddef>
#include <cstdint>
#include <utility>

namespace hqlv::engine {

class MessageData {
public:
    using FreeFn = void (*)(void*);

    MessageData() = default;
    static MessageData Number(uintptr_t value) {
        MessageData d;
        d.word_ = value;
        return d;
    }
    // The block becomes the message's; free is called once when it is let go. bytes is how
    // much of the block its maker wrote: 0 when the maker does not say.
    static MessageData Owned(void* block, FreeFn free, size_t bytes = 0) {
        MessageData d;
        d.word_ = reinterpret_cast<uintptr_t>(block);
        d.free_ = block ? free : nullptr;
        d.bytes_ = block ? bytes : 0;
        return d;
    }
    MessageData(MessageData&& o) noexcept
        : word_(std::exchange(o.word_, 0)),
          free_(std::exchange(o.free_, nullptr)),
          bytes_(std::exchange(o.bytes_, 0)) {}
    MessageData& operator=(MessageData&& o) noexcept {
        if (this != &o) {
            Free();
            word_ = std::exchange(o.word_, 0);
            free_ = std::exchange(o.free_, nullptr);
            bytes_ = std::exchange(o.bytes_, 0);
        }
        return *this;
    }
    MessageData(const MessageData&) = delete;
    MessageData& operator=(const MessageData&) = delete;
    ~MessageData() { Free(); }

    uintptr_t word() const { return word_; }
    void* block() const { return reinterpret_cast<void*>(word_); }
    bool owned() const { return free_ != nullptr; }
    // The free routine of an owned block (null for a number): it also tells what the block is.
    FreeFn freeFn() const { return free_; }
    // The length of an owned block as its maker gave it; 0 for a number or an untold length.
    size_t bytes() const { return bytes_; }
    bool empty() const { return word_ == 0; }
    // The same word as a number: a look at the block that leaves it with this holder.
    MessageData Borrow() const { return Number(word_); }
    // Takes the block over: this holder forgets it and will not free it.
    void* Take() {
        free_ = nullptr;
        bytes_ = 0;
        return reinterpret_cast<void*>(std::exchange(word_, 0));
    }
    // Frees an owned block now; a number is only cleared.
    void Free() {
        if (free_) std::exchange(free_, nullptr)(reinterpret_cast<void*>(word_));
        word_ = 0;
        bytes_ = 0;
    }

private:
    uintptr_t word_ = 0;
    FreeFn free_ = nullptr;
    size_t bytes_ = 0;
};

struct EngineMessage {
    uint32_t code = 0;
    MessageData data;
    uint32_t target = 0;
};

}  // namespace hqlv::engine
