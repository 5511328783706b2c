#include "netlib/codec.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "netlib/framing.h"

namespace hqlv::netlib {
namespace {

void putU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void stepHeader(uint8_t* h, uint32_t flags, uint32_t size, uint32_t length) {
    putU32(h, flags);
    putU32(h + 4, size);
    putU32(h + 8, 0);
    putU32(h + 12, 0);
    putU32(h + 16, length);
}

// Puts a pass-through header in front of the buffer.
void passThrough(CYrnBuffer& buffer) {
    uint8_t h[kCodecStepHeader];
    auto s = static_cast<uint32_t>(buffer.Size());
    stepHeader(h, 0, s, s);
    buffer.Prepend(h, sizeof h);
}

struct StepHead {
    uint32_t flags = 0;
    uint32_t size = 0;
    int32_t length = 0;
};

bool readStepHead(const CYrnBuffer& buffer, StepHead& h) {
    if (buffer.Size() < kCodecStepHeader) return false;
    const uint8_t* p = buffer.Data();
    h.flags = getU32(p);
    h.size = getU32(p + 4);
    h.length = static_cast<int32_t>(getU32(p + 16));
    return true;
}

// Direction bits of a received header are ignored; the decoder asks for decoding.
uint32_t decodeFlags(uint32_t headerFlags) {
    return (headerFlags & ~3u) | kCodecDecodeBit;
}

const EVP_CIPHER* cipherFor(int keyBits) {
    switch (keyBits) {
        case 128:
            return EVP_aes_128_ecb();
        case 192:
            return EVP_aes_192_ecb();
        case 256:
            return EVP_aes_256_ecb();
        default:
            return nullptr;
    }
}

// Runs whole blocks (n a multiple of 16) through the context, in pieces an int can count.
bool cryptBlocks(EVP_CIPHER_CTX* ctx, const uint8_t* in, size_t n, uint8_t* out) {
    while (n > 0) {
        size_t piece = n > (1u << 30) ? (1u << 30) : n;
        int got = 0;
        if (EVP_CipherUpdate(ctx, out, &got, in, static_cast<int>(piece)) != 1 ||
            static_cast<size_t>(got) != piece)
            return false;
        in += piece;
        out += piece;
        n -= piece;
    }
    return true;
}

// The cipher's output for n input bytes is every whole block, then the remaining bytes in a
// block of zeros (all zeros when none remain). Writes output bytes [from, to) of it to out;
// to may not exceed YrnAesOutputLength(n).
// The last block worked out in part, kept for the range that starts inside it.
struct BlockCache {
    size_t at = SIZE_MAX;
    uint8_t bytes[16];
};

bool cryptRange(EVP_CIPHER_CTX* ctx, const uint8_t* in, size_t n, size_t from, size_t to,
                uint8_t* out, BlockCache* cache = nullptr) {
    const size_t whole = n - n % 16;
    auto block = [&](size_t at, uint8_t* dst) {
        if (cache && cache->at == at) {
            std::memcpy(dst, cache->bytes, 16);
            return true;
        }
        bool ok;
        if (at < whole) {
            ok = cryptBlocks(ctx, in + at, 16, dst);
        } else {
            uint8_t last[16] = {};
            if (n % 16) std::memcpy(last, in + whole, n % 16);
            ok = cryptBlocks(ctx, last, 16, dst);
        }
        if (ok && cache) {
            std::memcpy(cache->bytes, dst, 16);
            cache->at = at;
        }
        return ok;
    };
    uint8_t tmp[16];
    size_t pos = from;
    if (pos < to && pos % 16) {  // a block entered in the middle
        size_t at = pos - pos % 16, k = std::min<size_t>(at + 16, to) - pos;
        if (!block(at, tmp)) return false;
        std::memcpy(out, tmp + pos % 16, k);
        out += k;
        pos += k;
    }
    // Whole blocks straight from the input to the output.
    const size_t direct = std::min(whole, to - to % 16);
    if (pos < direct) {
        if (!cryptBlocks(ctx, in + pos, direct - pos, out)) return false;
        out += direct - pos;
        pos = direct;
    }
    while (pos < to) {  // the zero-filled last block, or a block left only in part
        size_t k = std::min<size_t>(16, to - pos);
        if (!block(pos, tmp)) return false;
        std::memcpy(out, tmp, k);
        out += k;
        pos += k;
    }
    return true;
}

// The joined bytes of a message in pieces, read front to back.
class PieceReader {
public:
    PieceReader(const YrnPiece* pieces, size_t count) : p_(pieces), n_(count) {}
    // Moves to the joined offset (never backwards) and returns the bytes that follow it in
    // the same piece.
    size_t Seek(size_t at) {
        while (i_ < n_ && at - start_ >= p_[i_].size) start_ += p_[i_++].size;
        at_ = at;
        return i_ < n_ ? p_[i_].size - (at - start_) : 0;
    }
    const uint8_t* Here() const { return p_[i_].data + (at_ - start_); }
    // Copies k joined bytes from the offset on, across pieces; k must lie within the total.
    void Copy(size_t at, size_t k, uint8_t* out) {
        while (k > 0) {
            const size_t run = std::min(Seek(at), k);
            std::memcpy(out, Here(), run);
            out += run;
            at += run;
            k -= run;
        }
    }

private:
    const YrnPiece* p_;
    size_t n_;
    size_t i_ = 0, start_ = 0, at_ = 0;
};

// cryptRange over a cipher text that starts at joined offset `base` of a message in pieces
// and runs n bytes; from is a block boundary. Whole blocks that lie in one piece go to the
// cipher where they are; the blocks across pieces, and the zero-filled last one, are gathered
// and go through the cipher together (one call instead of one per block: ECB blocks are
// independent), then put in place.
bool cryptPieces(EVP_CIPHER_CTX* ctx, PieceReader& in, size_t base, size_t n, size_t from,
                 size_t to, uint8_t* out) {
    constexpr size_t kGather = 32;
    struct Spot {
        uint8_t* out;
        size_t k;
    };
    uint8_t gathered[kGather * 16], crypted[kGather * 16];
    Spot spots[kGather];
    size_t count = 0;
    auto flush = [&] {
        if (count == 0) return true;
        if (!cryptBlocks(ctx, gathered, count * 16, crypted)) return false;
        for (size_t i = 0; i < count; ++i) std::memcpy(spots[i].out, crypted + 16 * i, spots[i].k);
        count = 0;
        return true;
    };
    const size_t whole = n - n % 16;
    size_t pos = from;
    while (pos < to) {
        const size_t left = to - pos;
        if (pos < whole) {
            size_t run = std::min({in.Seek(base + pos), whole - pos, left});
            run -= run % 16;
            if (run > 0) {
                if (!cryptBlocks(ctx, in.Here(), run, out)) return false;
                out += run;
                pos += run;
                continue;
            }
        }
        uint8_t* block = gathered + 16 * count;
        const size_t have = std::min<size_t>(16, n - pos);
        in.Copy(base + pos, have, block);
        std::memset(block + have, 0, 16 - have);
        const size_t k = std::min<size_t>(16, left);
        spots[count++] = {out, k};
        if (count == kGather && !flush()) return false;
        out += k;
        pos += k;
    }
    return flush();
}

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

}  // namespace

class CYrnCodec::Cipher {
public:
    ~Cipher() {
        for (EVP_CIPHER_CTX* c : ctx_) EVP_CIPHER_CTX_free(c);
    }
    // The context that encrypts (enc 1) or decrypts (enc 0) with the key; null for a missing
    // key, an unsupported key size or a failed setup.
    EVP_CIPHER_CTX* Get(const uint8_t* key, int keyBits, int enc) {
        const EVP_CIPHER* cipher = cipherFor(keyBits);
        if (!cipher || !key) return nullptr;
        Slot& s = slot_[enc];
        const size_t bytes = static_cast<size_t>(keyBits) / 8;
        if (s.ready && s.keyBits == keyBits && std::memcmp(s.key, key, bytes) == 0)
            return ctx_[enc];
        s.ready = false;
        if (!ctx_[enc]) ctx_[enc] = EVP_CIPHER_CTX_new();
        if (!ctx_[enc] || EVP_CipherInit_ex(ctx_[enc], cipher, nullptr, key, nullptr, enc) != 1)
            return nullptr;
        EVP_CIPHER_CTX_set_padding(ctx_[enc], 0);
        std::memcpy(s.key, key, bytes);
        s.keyBits = keyBits;
        s.ready = true;
        return ctx_[enc];
    }
    // A failed update may leave a partial block behind: the next use sets the context up anew.
    void Forget(int enc) { slot_[enc].ready = false; }

private:
    struct Slot {
        uint8_t key[32] = {};
        int keyBits = 0;
        bool ready = false;
    };
    EVP_CIPHER_CTX* ctx_[2] = {};
    Slot slot_[2];
};

class CYrnCodec::Zlib {
public:
    ~Zlib() {
        if (deflating_) deflateEnd(&deflate_);
        if (inflating_) inflateEnd(&inflate_);
    }
    // A compressor at the start of a new stream; null when zlib cannot set one up.
    z_stream* Deflater() {
        if (deflating_) return deflateReset(&deflate_) == Z_OK ? &deflate_ : nullptr;
        deflate_ = {};
        deflating_ = deflateInit(&deflate_, Z_DEFAULT_COMPRESSION) == Z_OK;
        return deflating_ ? &deflate_ : nullptr;
    }
    z_stream* Inflater() {
        if (inflating_) return inflateReset(&inflate_) == Z_OK ? &inflate_ : nullptr;
        inflate_ = {};
        inflating_ = inflateInit(&inflate_) == Z_OK;
        return inflating_ ? &inflate_ : nullptr;
    }

private:
    z_stream deflate_{}, inflate_{};
    bool deflating_ = false, inflating_ = false;
};

namespace {

// What YrnZlibTransform's compression gives (a sync flush after every 32768 input bytes),
// written by the given compressor behind a step header's room at the front of out. False
// when zlib fails or gives nothing.
bool deflateBehindHeader(z_stream* zs, const uint8_t* input, size_t n, CYrnBuffer& out) {
    size_t used = kCodecStepHeader;
    out.Resize(used + deflateBound(zs, static_cast<uLong>(n)) + 6 * (n / 32768 + 1));
    size_t pos = 0;
    while (pos < n) {
        const size_t k = std::min<size_t>(n - pos, 32768);
        zs->next_in = const_cast<Bytef*>(input + pos);
        zs->avail_in = static_cast<uInt>(k);
        pos += k;
        do {
            if (used == out.Size()) out.Resize(out.Size() + out.Size() / 2 + 64);
            zs->next_out = out.At(used);
            zs->avail_out = static_cast<uInt>(out.Size() - used);
            const int r = deflate(zs, Z_SYNC_FLUSH);
            if (r != Z_OK && r != Z_BUF_ERROR) return false;
            used = out.Size() - zs->avail_out;
        } while (zs->avail_out == 0);
    }
    out.Resize(used);
    return used > kCodecStepHeader;
}

// What the decompressor gives of a stream, as the sender's own decompressor takes it: the
// stream is inflated with sync flushes until its input is used up or it ends (bytes after
// its end are not read). The size the sender wrote into the step header is not compared
// with the result; it is only where the output starts (`hint`). More than `limit` bytes
// fail, so nothing is ever written past what a message may hold. False on a decompressor
// error, past the limit or with nothing inflated.
bool inflateAll(z_stream* zs, const uint8_t* input, size_t n, size_t limit, size_t hint,
                CYrnBuffer& out) {
    // One byte of room more than the limit tells a stream that reaches past it.
    size_t room = std::min(std::max<size_t>(hint, 4096), limit) + 1;
    out.Resize(room);
    size_t used = 0;
    zs->next_in = const_cast<Bytef*>(input);
    zs->avail_in = static_cast<uInt>(n);
    for (;;) {
        if (used == room) {
            if (room > limit) return false;
            room = std::min(room * 2, limit + 1);
            out.Resize(room);
        }
        zs->next_out = out.At(used);
        zs->avail_out = static_cast<uInt>(room - used);
        const int r = inflate(zs, Z_SYNC_FLUSH);
        used = room - zs->avail_out;
        if (used > limit) return false;
        if (r == Z_STREAM_END) break;
        if (r == Z_BUF_ERROR) {
            // No progress: either the output is full (more room next round) or the input
            // is used up.
            if (zs->avail_out == 0) continue;
            break;
        }
        if (r != Z_OK) return false;
        if (zs->avail_in == 0 && zs->avail_out != 0) break;
    }
    out.Resize(used);
    return used > 0;
}

}  // namespace

int YrnAesTransform(const uint8_t* key, int keyBits, const uint8_t* input, size_t n,
                    uint8_t* output, size_t* outputLength, uint32_t flags) {
    if (!(flags & kCodecAes)) return 0;
    int enc;
    if (flags & kCodecEncodeBit) {
        enc = 1;
    } else if (flags & kCodecDecodeBit) {
        enc = 0;
    } else {
        return 0;
    }
    size_t outLen = YrnAesOutputLength(n);
    if (outputLength) *outputLength = outLen;
    if (!output) return 1;
    const EVP_CIPHER* cipher = cipherFor(keyBits);
    if (!cipher || !key || (n && !input)) return 0;
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key, nullptr, enc) != 1) return 0;
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    return cryptRange(ctx.get(), input, n, 0, outLen, output) ? 1 : 0;
}

int YrnZlibTransform(const uint8_t* input, size_t n, std::vector<uint8_t>& output, uint32_t flags,
                     size_t maxOutput) {
    output.clear();
    if (!(flags & kCodecZlib)) return 0;
    if (n && !input) return 0;
    if (flags & kCodecEncodeBit) {
        z_stream zs{};
        if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
        uint8_t piece[4096];
        size_t pos = 0;
        bool ok = true;
        while (ok && pos < n) {
            size_t k = n - pos < 32768 ? n - pos : 32768;
            zs.next_in = const_cast<Bytef*>(input + pos);
            zs.avail_in = static_cast<uInt>(k);
            pos += k;
            do {
                zs.next_out = piece;
                zs.avail_out = sizeof piece;
                int r = deflate(&zs, Z_SYNC_FLUSH);
                if (r != Z_OK && r != Z_BUF_ERROR) {
                    ok = false;
                    break;
                }
                output.insert(output.end(), piece, piece + (sizeof piece - zs.avail_out));
            } while (zs.avail_out == 0);
        }
        deflateEnd(&zs);
        if (!ok || output.empty()) {
            output.clear();
            return 0;
        }
        return 1;
    }
    if (flags & kCodecDecodeBit) {
        z_stream zs{};
        if (inflateInit(&zs) != Z_OK) return 0;
        CYrnBuffer plain;
        const bool ok = inflateAll(&zs, input, n, maxOutput, 0, plain);
        inflateEnd(&zs);
        if (!ok) return 0;
        output.assign(plain.Data(), plain.Data() + plain.Size());
        return 1;
    }
    return 0;
}

CYrnCodec::CYrnCodec(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags)
    : cipher_(std::make_unique<Cipher>()),
      zlib_(std::make_unique<Zlib>()),
      key_(key),
      keyBits_(keyBits),
      aesFlags_(aesFlags),
      zlibFlags_(zlibFlags) {}

CYrnCodec::~CYrnCodec() = default;

int CYrnCodec::SetParams(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags) {
    key_ = key;
    keyBits_ = keyBits;
    aesFlags_ = aesFlags;
    zlibFlags_ = zlibFlags;
    return 1;
}

int CYrnCodec::Process(CYrnBuffer& buffer, int mode) {
    if (mode == kCodecEncode) {
        if (zlibFlags_ == 0 && aesFlags_ != 0) return EncodePassThroughSealed(buffer);
        return ZlibStep(buffer, 1) && AesStep(buffer, 1) ? 1 : 0;
    }
    if (mode == kCodecDecode) return DecodeSealed(buffer);
    return 0;
}

int CYrnCodec::EncodePassThroughSealed(CYrnBuffer& buffer) {
    const size_t n = buffer.Size();
    // The inner step's header counts towards the size the encryption step accepts.
    if (n > kMaxMessageSize - kCodecStepHeader || !(aesFlags_ & kCodecAes)) return 0;
    EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 1);
    if (!ctx) return 0;
    const size_t inner = n + kCodecStepHeader;
    const size_t outLen = YrnAesOutputLength(inner);
    CYrnBuffer out;
    out.Resize(kCodecStepHeader + outLen);
    stepHeader(out.Data(), aesFlags_, static_cast<uint32_t>(inner), static_cast<uint32_t>(outLen));
    uint8_t* sealed = out.At(kCodecStepHeader);
    // The first two blocks hold the pass-through header and the message's first 12 bytes;
    // the rest of the message is encrypted where it lies.
    uint8_t first[32] = {};
    stepHeader(first, 0, static_cast<uint32_t>(n), static_cast<uint32_t>(n));
    const size_t lead = std::min<size_t>(n, 12);
    if (lead) std::memcpy(first + kCodecStepHeader, buffer.Data(), lead);
    bool ok = cryptBlocks(ctx, first, sizeof first, sealed);
    if (ok && n >= 12) {
        const size_t m = n - 12;
        ok = cryptRange(ctx, buffer.Data() + 12, m, 0, YrnAesOutputLength(m), sealed + 32);
    }
    if (!ok) {
        cipher_->Forget(1);
        return 0;
    }
    buffer.Swap(out);
    return 1;
}

int CYrnCodec::EncodeRecord(const uint8_t* front, const uint8_t* body, size_t n, CYrnBuffer& out) {
    constexpr size_t kFront = 28;
    if (zlibFlags_ != 0 || !(aesFlags_ & kCodecAes) || !front || (n && !body)) return 0;
    const size_t inner = kCodecStepHeader + kFront + n;
    if (inner > kMaxMessageSize) return 0;
    EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 1);
    if (!ctx) return 0;
    // The pass-through header and the front fill three whole blocks: the body's blocks
    // start on a block boundary and go to the cipher from the body.
    const size_t sealedLen = YrnAesOutputLength(inner);
    CYrnBuffer result;
    result.Resize(kCodecStepHeader + sealedLen);
    stepHeader(result.Data(), aesFlags_, static_cast<uint32_t>(inner),
               static_cast<uint32_t>(sealedLen));
    uint8_t plain[kCodecStepHeader + kFront];
    stepHeader(plain, 0, static_cast<uint32_t>(kFront + n), static_cast<uint32_t>(kFront + n));
    std::memcpy(plain + kCodecStepHeader, front, kFront);
    uint8_t* sealed = result.At(kCodecStepHeader);
    if (!cryptBlocks(ctx, plain, sizeof plain, sealed) ||
        !cryptRange(ctx, body, n, 0, YrnAesOutputLength(n), sealed + sizeof plain)) {
        cipher_->Forget(1);
        return 0;
    }
    out.Swap(result);
    return 1;
}

int CYrnCodec::EncodeToPackets(const uint8_t* front, const uint8_t* body, size_t n, int maxData,
                               int32_t type, int32_t messageId, int32_t waitFlag, bool withCrc,
                               std::atomic<int32_t>& sequence, CYrnBuffer& out) {
    constexpr size_t kFront = 28;
    if (zlibFlags_ != 0 || !(aesFlags_ & kCodecAes) || !front || (n && !body)) return 0;
    if (maxData < 1 || maxData > kMaxPacketData) return 0;
    const size_t inner = kCodecStepHeader + kFront + n;
    if (inner > kMaxMessageSize) return 0;
    EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 1);
    if (!ctx) return 0;
    // The encoded message: the outer step header, then the cipher of the pass-through
    // header, the front and the body. Header and front fill three whole blocks, so the
    // body's blocks start on a block boundary and are encrypted straight from the body.
    const size_t sealedLen = YrnAesOutputLength(inner);
    uint8_t lead[kCodecStepHeader + 48] = {};
    stepHeader(lead, aesFlags_, static_cast<uint32_t>(inner), static_cast<uint32_t>(sealedLen));
    uint8_t plain[48];
    stepHeader(plain, 0, static_cast<uint32_t>(kFront + n), static_cast<uint32_t>(kFront + n));
    std::memcpy(plain + kCodecStepHeader, front, kFront);
    if (!cryptBlocks(ctx, plain, sizeof plain, lead + kCodecStepHeader)) {
        cipher_->Forget(1);
        return 0;
    }
    const size_t total = kCodecStepHeader + sealedLen;
    const size_t m = static_cast<size_t>(maxData);
    const size_t start = out.Size();
    out.Resize(start + total + (total + m - 1) / m * kPacketOverhead);
    uint8_t* p = out.At(start);
    YrnPacketHead h;
    h.type = type;
    h.messageId = messageId;
    h.waitFlag = waitFlag;
    int packets = 0;
    BlockCache edge;
    for (size_t pos = 0; pos < total; pos += m) {
        const size_t k = std::min(m, total - pos);
        h.sequence = sequence.fetch_add(1) + 1;
        h.fragment += 1;
        h.last = pos + k == total ? 1 : 0;
        putU32(p, static_cast<uint32_t>(k + 56));
        YrnWriteHead(h, p + 4);
        putU32(p + 56, static_cast<uint32_t>(k));
        uint8_t* d = p + kPacketOverhead;
        // Bytes [pos, pos + k) of the encoded message: first what lies in the lead, then
        // the body's cipher.
        const size_t fromLead = pos < sizeof lead ? std::min(k, sizeof lead - pos) : 0;
        if (fromLead) std::memcpy(d, lead + pos, fromLead);
        // A block cut by the packet edge is encrypted once for both packets.
        if (k > fromLead && !cryptRange(ctx, body, n, pos + fromLead - sizeof lead,
                                        pos + k - sizeof lead, d + fromLead, &edge)) {
            cipher_->Forget(1);
            out.Resize(start);
            return 0;
        }
        if (withCrc) {
            putU32(p + 16, YrnPacketCrc(p, k + kPacketOverhead));
            putU32(p + 12, 1);
        }
        p += k + kPacketOverhead;
        ++packets;
    }
    return packets;
}

int CYrnCodec::DecodeRecordPieces(const YrnPiece* pieces, size_t count, uint8_t* front,
                                  std::unique_ptr<uint8_t[]>* data, int32_t* length) {
    constexpr size_t kFront = 28, kLead = kCodecStepHeader + kFront;  // 48: three blocks
    if (!pieces || !front || !data || !length) return 0;
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) total += pieces[i].size;
    if (total < kCodecStepHeader) return 0;
    PieceReader in(pieces, count);
    uint8_t head[kCodecStepHeader];
    in.Copy(0, sizeof head, head);
    const uint32_t flags = getU32(head), size = getU32(head + 4);
    const size_t rest = total - kCodecStepHeader;
    if (flags == 0 || !(decodeFlags(flags) & kCodecAes)) return 0;
    if (static_cast<int32_t>(getU32(head + 16)) < 0 || getU32(head + 16) != rest) return 0;
    if (size > rest || size < kLead) return 0;
    EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 0);
    if (!ctx) return 0;
    uint8_t lead[kLead];
    if (!cryptPieces(ctx, in, kCodecStepHeader, rest, 0, kLead, lead)) {
        cipher_->Forget(0);
        return 0;
    }
    // A compression step inside: inflated, then the record read from it.
    if (getU32(lead) != 0)
        return DecodeZlibRecord(ctx, pieces, count, size, lead, front, data, length);
    // A pass-through inner step; the record's length must fit what was sealed.
    const int32_t len = static_cast<int32_t>(getU32(lead + kLead - 4));
    if (len < 0 || static_cast<size_t>(len) > size - kLead) return 0;
    std::unique_ptr<uint8_t[]> body;
    if (len > 0) {
        PieceReader again(pieces, count);
        body.reset(new uint8_t[static_cast<size_t>(len)]);
        if (!cryptPieces(ctx, again, kCodecStepHeader, rest, kLead,
                         kLead + static_cast<size_t>(len), body.get())) {
            cipher_->Forget(0);
            return 0;
        }
    }
    std::memcpy(front, lead + kCodecStepHeader, kFront);
    *data = std::move(body);
    *length = len;
    return 1;
}

int CYrnCodec::DecodeZlibRecord(EVP_CIPHER_CTX* ctx, const YrnPiece* pieces, size_t count,
                                size_t sealed, const uint8_t* lead, uint8_t* front,
                                std::unique_ptr<uint8_t[]>* data, int32_t* length) {
    constexpr size_t kFront = 28;
    // The compression step's header, as ZlibStep would check it.
    const uint32_t flags = getU32(lead), size = getU32(lead + 4);
    const size_t packed = sealed - kCodecStepHeader;
    if (static_cast<int32_t>(getU32(lead + 16)) < 0 || getU32(lead + 16) != packed) return 0;
    if (!(decodeFlags(flags) & kCodecZlib) || packed == 0) return 0;
    z_stream* zs = zlib_->Inflater();
    if (!zs) return 0;
    // The inner step decrypted whole (its compressed bytes do not start on a block).
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) total += pieces[i].size;
    PieceReader in(pieces, count);
    CYrnBuffer plain;
    plain.Resize(sealed);
    if (!cryptPieces(ctx, in, kCodecStepHeader, total - kCodecStepHeader, 0, sealed,
                     plain.Data())) {
        cipher_->Forget(0);
        return 0;
    }
    // Inflated as ZlibStep inflates it; the record is read from what came out.
    CYrnBuffer message;
    if (!inflateAll(zs, plain.At(kCodecStepHeader), packed, kMaxMessageSize, size, message) ||
        message.Size() < kFront)
        return 0;
    const int32_t len = static_cast<int32_t>(getU32(message.At(kFront - 4)));
    if (len < 0 || static_cast<size_t>(len) > message.Size() - kFront) return 0;
    std::unique_ptr<uint8_t[]> body;
    if (len > 0) {
        body.reset(new uint8_t[static_cast<size_t>(len)]);
        std::memcpy(body.get(), message.At(kFront), static_cast<size_t>(len));
    }
    std::memcpy(front, message.Data(), kFront);
    *data = std::move(body);
    *length = len;
    return 1;
}

int CYrnCodec::DecodeSealed(CYrnBuffer& buffer) {
    StepHead h;
    if (!readStepHead(buffer, h)) return 0;
    if (h.flags == 0) {
        buffer.RemoveFront(kCodecStepHeader);
        return ZlibStep(buffer, kCodecDecode);
    }
    const size_t rest = buffer.Size() - kCodecStepHeader;
    if (h.length < 0 || static_cast<size_t>(h.length) != rest || h.size > rest) return 0;
    if (!(decodeFlags(h.flags) & kCodecAes)) return 0;
    // Too short to hold the inner step's header.
    if (h.size < kCodecStepHeader) return 0;
    EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 0);
    if (!ctx) return 0;
    const uint8_t* in = buffer.At(kCodecStepHeader);
    uint8_t inner[kCodecStepHeader];
    CYrnBuffer plain;
    bool ok = cryptRange(ctx, in, rest, 0, sizeof inner, inner);
    const bool passed = getU32(inner) == 0;
    if (ok) {
        // A pass-through inner step leaves only the message; otherwise the compression step
        // reads its own header.
        const size_t from = passed ? kCodecStepHeader : 0;
        plain.Resize(h.size - from);
        if (h.size > from) ok = cryptRange(ctx, in, rest, from, h.size, plain.Data());
    }
    if (!ok) {
        cipher_->Forget(0);
        return 0;
    }
    buffer.Swap(plain);
    return passed ? 1 : ZlibStep(buffer, kCodecDecode);
}

int CYrnCodec::ZlibStep(CYrnBuffer& buffer, int mode) {
    if (mode & kCodecEncodeBit) {
        if (buffer.Size() > kMaxMessageSize) return 0;
        if (zlibFlags_ == 0) {
            passThrough(buffer);
            return 1;
        }
        // Without the compression flag, with nothing to compress or when zlib fails, the
        // message goes out uncompressed.
        z_stream* zs = (zlibFlags_ & kCodecZlib) && buffer.Size() ? zlib_->Deflater() : nullptr;
        CYrnBuffer packed;
        if (!zs || !deflateBehindHeader(zs, buffer.Data(), buffer.Size(), packed)) {
            passThrough(buffer);
            return 1;
        }
        stepHeader(packed.Data(), zlibFlags_, static_cast<uint32_t>(buffer.Size()),
                   static_cast<uint32_t>(packed.Size() - kCodecStepHeader));
        buffer.Swap(packed);
        return 1;
    }
    if (mode & kCodecDecodeBit) {
        StepHead h;
        if (!readStepHead(buffer, h)) return 0;
        size_t rest = buffer.Size() - kCodecStepHeader;
        if (h.flags == 0) {
            buffer.RemoveFront(kCodecStepHeader);
            return 1;
        }
        if (h.length < 0 || static_cast<size_t>(h.length) != rest) return 0;
        if (!(decodeFlags(h.flags) & kCodecZlib) || rest == 0) return 0;
        z_stream* zs = zlib_->Inflater();
        CYrnBuffer plain;
        if (!zs ||
            !inflateAll(zs, buffer.At(kCodecStepHeader), rest, kMaxMessageSize, h.size, plain))
            return 0;
        buffer.Swap(plain);
        return 1;
    }
    return 0;
}

int CYrnCodec::AesStep(CYrnBuffer& buffer, int mode) {
    if (mode & kCodecEncodeBit) {
        if (buffer.Size() > kMaxMessageSize) return 0;
        if (aesFlags_ == 0) {
            passThrough(buffer);
            return 1;
        }
        if (!(aesFlags_ & kCodecAes)) return 0;
        EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 1);
        if (!ctx) return 0;
        const size_t n = buffer.Size(), outLen = YrnAesOutputLength(n);
        CYrnBuffer out;
        out.Resize(kCodecStepHeader + outLen);
        stepHeader(out.Data(), aesFlags_, static_cast<uint32_t>(n), static_cast<uint32_t>(outLen));
        if (!cryptRange(ctx, buffer.Data(), n, 0, outLen, out.At(kCodecStepHeader))) {
            cipher_->Forget(1);
            return 0;
        }
        buffer.Swap(out);
        return 1;
    }
    if (mode & kCodecDecodeBit) {
        StepHead h;
        if (!readStepHead(buffer, h)) return 0;
        size_t rest = buffer.Size() - kCodecStepHeader;
        if (h.flags == 0) {
            buffer.RemoveFront(kCodecStepHeader);
            return 1;
        }
        if (h.length < 0 || static_cast<size_t>(h.length) != rest || h.size > rest) return 0;
        if (!(decodeFlags(h.flags) & kCodecAes)) return 0;
        EVP_CIPHER_CTX* ctx = cipher_->Get(key_, keyBits_, 0);
        if (!ctx) return 0;
        CYrnBuffer plain;
        plain.Resize(h.size);
        if (h.size &&
            !cryptRange(ctx, buffer.At(kCodecStepHeader), rest, 0, h.size, plain.Data())) {
            cipher_->Forget(0);
            return 0;
        }
        buffer.Swap(plain);
        return 1;
    }
    return 0;
}

int CYrnCodec::TransformFile(const std::string& source, const std::string& destination,
                             size_t blockSize, int mode) {
    if (blockSize == 0) return 0;
    FILE* in = std::fopen(source.c_str(), "rb");
    if (!in) return 0;
    FILE* out = std::fopen(destination.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return 0;
    }
    std::vector<uint8_t> block(blockSize);
    int ok = 1;
    for (;;) {
        size_t got = std::fread(block.data(), 1, blockSize, in);
        if (got == 0) break;
        CYrnBuffer b;
        b.Append(block.data(), got);
        if (!AesStep(b, mode) || std::fwrite(b.Data(), 1, b.Size(), out) != b.Size()) {
            ok = 0;
            break;
        }
    }
    std::fclose(in);
    if (std::fclose(out) != 0) ok = 0;
    return ok;
}

}  // namespace hqlv::netlib
