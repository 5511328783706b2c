#pragma once
// What every seed program provides: it writes its seed files through Seed(), which names
// them in the corpus folder given on the command line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::fuzzseed {

// Writes one seed; false (and a message) when the file cannot be written.
bool Seed(std::string_view name, const std::vector<uint8_t>& bytes);
inline bool Seed(std::string_view name, std::string_view text) {
    return Seed(name, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace hqlv::fuzzseed

// Implemented by each seed program: writes its seeds, returns false on failure.
bool WriteSeeds();
