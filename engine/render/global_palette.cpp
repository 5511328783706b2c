#include "engine/render/global_palette.h"

#include <algorithm>
#include <cstring>

#include "platform/core/bytes.h"

namespace hqlv::engine {

void GlobalPalette::Set(const uint8_t* entries, size_t count, std::string_view name) {
    std::memset(name_, 0, sizeof name_);
    std::memcpy(name_, name.data(), std::min<size_t>(name.size(), 31));
    count_ = static_cast<uint32_t>(std::min<size_t>(count, 256));
    std::memset(entries_, 0, sizeof entries_);
    if (entries && count_) std::memcpy(entries_, entries, size_t(count_) * 3);
    if (!entries) count_ = 0;
}

bool GlobalPalette::Load(std::span<const uint8_t> record) {
    if (!record.data()) return false;
    // The record's count stands as given (up to 256 entries); what the record does not hold
    // is not read: a name, count or entry past its end reads as zeros.
    platform::ByteReader r(record);
    const size_t nameBytes = std::min<size_t>(32, r.remaining());
    const std::string name(reinterpret_cast<const char*>(r.current()),
                           strnlen(reinterpret_cast<const char*>(r.current()), nameBytes));
    r.skip(nameBytes);
    const uint16_t count = r.u16();
    const size_t taken = std::min<size_t>(count, 256);
    uint8_t entries[sizeof entries_] = {};
    std::memcpy(entries, r.current(), std::min(taken * 3, r.remaining()));
    Set(entries, taken, name);
    // A name of all 32 bytes has no terminating zero in the record; it is kept whole, so a
    // picture that names the palette finds it.
    std::memcpy(name_, name.data(), std::min(name.size(), sizeof name_ - 1));
    return true;
}

int GlobalPalette::FindNearest(int r, int g, int b) const {
    r &= 255;
    g &= 255;
    b &= 255;
    // An entry must come closer than 1,000,000 to be chosen; a colour farther than that
    // from every entry gets entry 0. The largest distance, 3 × 255³, fits 32 bits.
    int32_t best = 1000000;
    int result = 0;
    auto cube = [](int d) {
        const int32_t a = d < 0 ? -d : d;
        return a * a * a;
    };
    for (uint32_t i = 0; i < count_; ++i) {
        const uint8_t* e = entries_ + i * 3;
        const int32_t d = cube(r - e[0]) + cube(g - e[1]) + cube(b - e[2]);
        if (d == 0) return int(i);
        if (d < best) {
            best = d;
            result = int(i);
        }
    }
    return result;
}

int GlobalPalette::FindNearestColorRef(uint32_t c) const {
    return FindNearest(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

}  // namespace hqlv::engine
