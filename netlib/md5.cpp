#include "netlib/md5.h"

#include <openssl/md5.h>

#include <cstring>

// The digest runs on libcrypto's MD5 block function; only the seed state is ours, so the
// low-level interface is needed. It is deprecated in OpenSSL 3 but still provided.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace hqlv::netlib {

static void toOpenSsl(const YrnMD5Context& c, MD5_CTX& o) {
    std::memset(&o, 0, sizeof o);
    o.A = c.state[0];
    o.B = c.state[1];
    o.C = c.state[2];
    o.D = c.state[3];
    o.Nl = c.bits[0];
    o.Nh = c.bits[1];
    size_t used = (c.bits[0] >> 3) & 63;
    std::memcpy(o.data, c.block, used);
    o.num = static_cast<unsigned>(used);
}

static void fromOpenSsl(const MD5_CTX& o, YrnMD5Context& c) {
    c.state[0] = o.A;
    c.state[1] = o.B;
    c.state[2] = o.C;
    c.state[3] = o.D;
    c.bits[0] = o.Nl;
    c.bits[1] = o.Nh;
    std::memset(c.block, 0, sizeof c.block);
    std::memcpy(c.block, o.data, o.num);
}

void YrnMD5Init(YrnMD5Context& ctx, const uint32_t* seed) {
    ctx = YrnMD5Context{};
    MD5_CTX o;
    MD5_Init(&o);
    if (seed) {
        o.A = seed[0];
        o.B = seed[1];
        o.C = seed[2];
        o.D = seed[3];
    }
    fromOpenSsl(o, ctx);
}

void YrnMD5Update(YrnMD5Context& ctx, const void* bytes, size_t n) {
    if (!bytes || n == 0) return;
    MD5_CTX o;
    toOpenSsl(ctx, o);
    MD5_Update(&o, bytes, n);
    fromOpenSsl(o, ctx);
}

void YrnMD5Final(YrnMD5Context& ctx) {
    MD5_CTX o;
    toOpenSsl(ctx, o);
    MD5_Final(ctx.digest, &o);
}

}  // namespace hqlv::netlib
