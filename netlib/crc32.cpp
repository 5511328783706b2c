#include "netlib/crc32.h"

#include <zlib.h>

#include <climits>

namespace hqlv::netlib {

uint32_t CYrnCrc32::Update(uint32_t crc, const void* data, size_t n) {
    auto* p = static_cast<const Bytef*>(data);
    uLong c = crc;
    while (n > 0) {
        uInt piece = n > UINT_MAX ? UINT_MAX : static_cast<uInt>(n);
        c = crc32(c, p, piece);
        p += piece;
        n -= piece;
    }
    return static_cast<uint32_t>(c);
}

uint32_t CYrnCrc32::Compute(const void* data, size_t n, uint32_t /*progressTarget*/) const {
    if (!data || n == 0) return 0;
    return Update(0, data, n);
}

}  // namespace hqlv::netlib
