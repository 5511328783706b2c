#pragma once
// Named palettes: up to 256 RGB colours under a name, shared by ".pps" pictures that name
// them, and the nearest-colour search used to turn a key colour into a key index.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/render/picture.h"

namespace hqlv::engine {

class GlobalPalette {
public:
    // Name cut to 31 bytes; count cut to 256; unused entries stay zero.
    void Set(const uint8_t* entries, size_t count, std::string_view name);
    // Takes a ".quad" record: 32-byte name, u16 count, count × (R, G, B). All 32 name bytes
    // are kept, as a ".pps" picture keeps the name it asks for. At most 256 entries are
    // taken. The count stands as the record gives it: entries the record does not hold are
    // black. Only a missing record (no bytes at all) changes nothing and returns false.
    bool Load(std::span<const uint8_t> record);
    // Index of the entry nearest to the colour (sum of the cubes of the channel distances);
    // the first of equal distances wins. An entry is chosen only when it comes closer than
    // 1,000,000: 0 when none does, and for an empty palette.
    int FindNearest(int r, int g, int b) const;
    // The same for a COLORREF 0x00BBGGRR.
    int FindNearestColorRef(uint32_t colour) const;
    // All 256 entries (kPaletteBytes bytes); pictures that share the palette point here, so
    // the palette must outlive them.
    const uint8_t* GetEntries() const { return entries_; }
    uint32_t count() const { return count_; }
    const char* name() const { return name_; }

private:
    char name_[33] = {};  // 32 bytes of name and a terminating zero
    uint8_t entries_[kPaletteBytes] = {};
    uint32_t count_ = 0;
};

}  // namespace hqlv::engine
