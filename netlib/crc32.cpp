#include "netlib/crc32.h"

#include <libdeflate.h>

namespace hqlv::netlib {

// libdeflate's CRC-32 is the same function as zlib's, with the carry-less multiply
// instructions where the processor has them.
uint32_t CYrnCrc32::Update(uint32_t crc, const void* data, size_t n) {
    return libdeflate_crc32(crc, data, n);
}

uint32_t CYrnCrc32::Compute(const void* data, size_t n, uint32_t /*progressTarget*/) const {
    if (!data || n == 0) return 0;
    return Update(0, data, n);
}

}  // namespace hqlv::netlib
