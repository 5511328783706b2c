#include "netlib/codec.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

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

// Replaces the buffer by header + payload.
void replaceWith(CYrnBuffer& buffer, uint32_t flags, uint32_t size, const uint8_t* payload,
                 size_t n) {
    CYrnBuffer out;
    out.Grow(kCodecStepHeader + n);
    uint8_t h[kCodecStepHeader];
    stepHeader(h, flags, size, static_cast<uint32_t>(n));
    out.Append(h, sizeof h);
    out.Append(payload, n);
    buffer.Swap(out);
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

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

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
    size_t whole = n - n % 16;
    size_t done = 0;
    // Whole blocks straight from the input, in pieces an int can count.
    while (done < whole) {
        size_t piece = whole - done;
        if (piece > (1u << 30)) piece = 1u << 30;
        int got = 0;
        if (EVP_CipherUpdate(ctx.get(), output + done, &got, input + done,
                             static_cast<int>(piece)) != 1 ||
            static_cast<size_t>(got) != piece)
            return 0;
        done += piece;
    }
    // The last block: the remaining bytes in a block of zeros (all zeros when none remain).
    uint8_t last[16] = {};
    if (n % 16) std::memcpy(last, input + whole, n % 16);
    int got = 0;
    if (EVP_CipherUpdate(ctx.get(), output + whole, &got, last, 16) != 1 || got != 16) return 0;
    return 1;
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
        std::vector<uint8_t> piece(32768);
        size_t pos = 0;
        bool ok = true, ended = false;
        while (ok && !ended && pos < n) {
            size_t k = n - pos < 4096 ? n - pos : 4096;
            zs.next_in = const_cast<Bytef*>(input + pos);
            zs.avail_in = static_cast<uInt>(k);
            pos += k;
            for (;;) {
                zs.next_out = piece.data();
                zs.avail_out = static_cast<uInt>(piece.size());
                int r = inflate(&zs, Z_SYNC_FLUSH);
                size_t got = piece.size() - zs.avail_out;
                if (got > maxOutput - output.size()) {
                    ok = false;  // more than the message may hold
                    break;
                }
                output.insert(output.end(), piece.data(), piece.data() + got);
                if (r == Z_STREAM_END) {
                    ended = true;
                    break;
                }
                if (r == Z_BUF_ERROR) break;  // no progress possible: needs more input
                if (r != Z_OK) {
                    ok = false;
                    break;
                }
                if (zs.avail_out != 0) break;
            }
        }
        inflateEnd(&zs);
        if (!ok || output.empty()) {
            output.clear();
            return 0;
        }
        return 1;
    }
    return 0;
}

CYrnCodec::CYrnCodec(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags)
    : key_(key), keyBits_(keyBits), aesFlags_(aesFlags), zlibFlags_(zlibFlags) {}

int CYrnCodec::SetParams(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags) {
    key_ = key;
    keyBits_ = keyBits;
    aesFlags_ = aesFlags;
    zlibFlags_ = zlibFlags;
    return 1;
}

int CYrnCodec::Process(CYrnBuffer& buffer, int mode) {
    if (mode == kCodecEncode) return ZlibStep(buffer, 1) && AesStep(buffer, 1) ? 1 : 0;
    if (mode == kCodecDecode) return AesStep(buffer, 2) && ZlibStep(buffer, 2) ? 1 : 0;
    return 0;
}

int CYrnCodec::ZlibStep(CYrnBuffer& buffer, int mode) {
    if (mode & kCodecEncodeBit) {
        if (buffer.Size() > kMaxMessageSize) return 0;
        if (zlibFlags_ == 0) {
            passThrough(buffer);
            return 1;
        }
        std::vector<uint8_t> packed;
        uint32_t flags = (zlibFlags_ & ~3u) | kCodecEncodeBit;
        if (!YrnZlibTransform(buffer.Data(), buffer.Size(), packed, flags)) {
            passThrough(buffer);  // goes out uncompressed
            return 1;
        }
        replaceWith(buffer, zlibFlags_, static_cast<uint32_t>(buffer.Size()), packed.data(),
                    packed.size());
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
        if (h.size == 0 || h.size > kMaxMessageSize) return 0;
        std::vector<uint8_t> plain;
        if (!YrnZlibTransform(buffer.At(kCodecStepHeader), rest, plain, decodeFlags(h.flags),
                              h.size))
            return 0;
        if (plain.size() != h.size) return 0;
        buffer.Assign(plain.data(), plain.size());
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
        uint32_t flags = (aesFlags_ & ~3u) | kCodecEncodeBit;
        size_t outLen = 0;
        if (!YrnAesTransform(key_, keyBits_, buffer.Data(), buffer.Size(), nullptr, &outLen, flags))
            return 0;
        std::vector<uint8_t> sealed(outLen);
        if (!YrnAesTransform(key_, keyBits_, buffer.Data(), buffer.Size(), sealed.data(), &outLen,
                             flags))
            return 0;
        replaceWith(buffer, aesFlags_, static_cast<uint32_t>(buffer.Size()), sealed.data(), outLen);
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
        size_t outLen = 0;
        uint32_t flags = decodeFlags(h.flags);
        if (!YrnAesTransform(key_, keyBits_, buffer.At(kCodecStepHeader), rest, nullptr, &outLen,
                             flags))
            return 0;
        std::vector<uint8_t> plain(outLen);
        if (!YrnAesTransform(key_, keyBits_, buffer.At(kCodecStepHeader), rest, plain.data(),
                             &outLen, flags))
            return 0;
        buffer.Assign(plain.data(), h.size);
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
