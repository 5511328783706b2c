#pragma once
// The engine message {code, data, target control} and its data word. A data word is either
// a plain number (a code, an id, an object the sender keeps) or a block handed over with the
// message together with its free routine. Only such owned blocks are ever freed, and each
// exactly once: after a handler answered non-zero, or when the message cannot be delivered,
// or when whoever holds it lets go without taking it.
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
    // The block becomes the message's; free is called once when it is let go.
    static MessageData Owned(void* block, FreeFn free) {
        MessageData d;
        d.word_ = reinterpret_cast<uintptr_t>(block);
        d.free_ = block ? free : nullptr;
        return d;
    }
    MessageData(MessageData&& o) noexcept
        : word_(std::exchange(o.word_, 0)), free_(std::exchange(o.free_, nullptr)) {}
    MessageData& operator=(MessageData&& o) noexcept {
        if (this != &o) {
            Free();
            word_ = std::exchange(o.word_, 0);
            free_ = std::exchange(o.free_, nullptr);
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
    bool empty() const { return word_ == 0; }
    // The same word as a number: a look at the block that leaves it with this holder.
    MessageData Borrow() const { return Number(word_); }
    // Takes the block over: this holder forgets it and will not free it.
    void* Take() {
        free_ = nullptr;
        return reinterpret_cast<void*>(std::exchange(word_, 0));
    }
    // Frees an owned block now; a number is only cleared.
    void Free() {
        if (free_) std::exchange(free_, nullptr)(reinterpret_cast<void*>(word_));
        word_ = 0;
    }

private:
    uintptr_t word_ = 0;
    FreeFn free_ = nullptr;
};

struct EngineMessage {
    uint32_t code = 0;
    MessageData data;
    uint32_t target = 0;
};

}  // namespace hqlv::engine
