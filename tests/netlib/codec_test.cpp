// The codec's step layout, the cipher and the compressor, and malformed input.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "netlib/codec.h"

using namespace hqlv::netlib;

namespace {

const uint8_t kKey[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                          0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};

uint32_t u32at(const CYrnBuffer& b, size_t off) {
    const uint8_t* p = b.Data() + off;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void putU32(CYrnBuffer& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.Data()[off + i] = uint8_t(v >> (8 * i));
}

CYrnBuffer bufOf(const std::string& s) {
    CYrnBuffer b;
    b.Append(s.data(), s.size());
    return b;
}

std::string strOf(const CYrnBuffer& b) {
    return std::string(reinterpret_cast<const char*>(b.Data()), b.Size());
}

}  // namespace

TEST(Codec, PassThroughLayoutIsByteExact) {
    CYrnCodec codec(nullptr, 128, 0, 0);
    CYrnBuffer b = bufOf("hello");
    ASSERT_EQ(codec.Process(b, kCodecEncode), 1);
    const uint8_t want[] = {0, 0,  0, 0, 25, 0, 0, 0, 0, 0, 0,   0,   0,   0,   0,
                            0, 25, 0, 0, 0,  0, 0, 0, 0, 5, 0,   0,   0,   0,   0,
                            0, 0,  0, 0, 0,  0, 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    ASSERT_EQ(b.Size(), sizeof want);
    EXPECT_EQ(0, std::memcmp(b.Data(), want, sizeof want));
    ASSERT_EQ(codec.Process(b, kCodecDecode), 1);
    EXPECT_EQ(strOf(b), "hello");
    EXPECT_EQ(codec.Process(b, 3), 0);
}

TEST(Codec, AesSizesFollowTheExtraBlockRule) {
    EXPECT_EQ(YrnAesOutputLength(0), 16u);
    EXPECT_EQ(YrnAesOutputLength(15), 16u);
    EXPECT_EQ(YrnAesOutputLength(16), 32u);
    EXPECT_EQ(YrnAesOutputLength(32), 48u);
    CYrnCodec codec(kKey, 128, kCodecAes, 0);
    CYrnBuffer b = bufOf("twelve bytes");
    ASSERT_EQ(codec.Process(b, kCodecEncode), 1);
    // {0x100, 32, 0, 0}, 48, then 48 cipher bytes of the 32-byte inner step.
    ASSERT_EQ(b.Size(), 20u + 48u);
    EXPECT_EQ(u32at(b, 0), 0x100u);
    EXPECT_EQ(u32at(b, 4), 32u);
    EXPECT_EQ(u32at(b, 8), 0u);
    EXPECT_EQ(u32at(b, 16), 48u);
    ASSERT_EQ(codec.Process(b, kCodecDecode), 1);
    EXPECT_EQ(strOf(b), "twelve bytes");

    std::string body28(28, '\x01');  // a body-less request: 24-byte head and length word
    CYrnBuffer r = bufOf(body28);
    ASSERT_EQ(codec.ZlibStep(r, 1), 1);
    EXPECT_EQ(r.Size(), 48u);
    ASSERT_EQ(codec.AesStep(r, 1), 1);
    EXPECT_EQ(r.Size(), 84u);
    EXPECT_EQ(u32at(r, 16), 64u);
    ASSERT_EQ(codec.Process(r, kCodecDecode), 1);
    EXPECT_EQ(strOf(r), body28);
}

TEST(Codec, CipherMatchesTheStandardVector) {
    const uint8_t plain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                               0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    const uint8_t cipher[16] = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                                0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
    size_t len = 0;
    EXPECT_EQ(YrnAesTransform(kKey, 128, plain, 16, nullptr, &len, 0x101), 1);
    EXPECT_EQ(len, 32u);
    std::vector<uint8_t> out(len);
    ASSERT_EQ(YrnAesTransform(kKey, 128, plain, 16, out.data(), &len, 0x101), 1);
    EXPECT_EQ(0, std::memcmp(out.data(), cipher, 16));
    std::vector<uint8_t> back(48);
    ASSERT_EQ(YrnAesTransform(kKey, 128, out.data(), 32, back.data(), &len, 0x102), 1);
    EXPECT_EQ(len, 48u);
    EXPECT_EQ(0, std::memcmp(back.data(), plain, 16));
    const uint8_t zeros[16] = {};
    EXPECT_EQ(0, std::memcmp(back.data() + 16, zeros, 16));  // the extra block is zeros
    // A partial block is taken zero-filled.
    std::vector<uint8_t> part(16);
    ASSERT_EQ(YrnAesTransform(kKey, 128, plain, 5, part.data(), &len, 0x101), 1);
    uint8_t padded[16] = {0x00, 0x11, 0x22, 0x33, 0x44};
    std::vector<uint8_t> whole(32);
    YrnAesTransform(kKey, 128, padded, 16, whole.data(), &len, 0x101);
    EXPECT_EQ(0, std::memcmp(part.data(), whole.data(), 16));
    // Without the enabling bit, direction or a supported key size nothing happens.
    EXPECT_EQ(YrnAesTransform(kKey, 128, plain, 16, out.data(), &len, 0x001), 0);
    EXPECT_EQ(YrnAesTransform(kKey, 128, plain, 16, out.data(), &len, 0x100), 0);
    EXPECT_EQ(YrnAesTransform(kKey, 100, plain, 16, out.data(), &len, 0x101), 0);
    EXPECT_EQ(YrnAesTransform(nullptr, 128, plain, 16, out.data(), &len, 0x101), 0);
    EXPECT_EQ(YrnAesTransform(kKey, 128, nullptr, 16, out.data(), &len, 0x101), 0);
    const uint8_t key256[32] = {1};
    EXPECT_EQ(YrnAesTransform(key256, 256, plain, 16, out.data(), &len, 0x101), 1);
}

TEST(Codec, CompressionRoundTripWithoutFinalBlock) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "mahjong tile " + std::to_string(i % 37) + ";";
    std::vector<uint8_t> packed;
    ASSERT_EQ(
        YrnZlibTransform(reinterpret_cast<const uint8_t*>(text.data()), text.size(), packed, 0x401),
        1);
    ASSERT_GT(packed.size(), 4u);
    // Sync-flushed, never finished: the stream ends with the empty stored block marker.
    const uint8_t sync[4] = {0x00, 0x00, 0xff, 0xff};
    EXPECT_EQ(0, std::memcmp(packed.data() + packed.size() - 4, sync, 4));
    std::vector<uint8_t> plain;
    ASSERT_EQ(YrnZlibTransform(packed.data(), packed.size(), plain, 0x402), 1);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), text);
    // A finished stream from plain zlib decodes as well.
    uLongf len = compressBound(text.size());
    std::vector<uint8_t> finished(len);
    compress(finished.data(), &len, reinterpret_cast<const Bytef*>(text.data()), text.size());
    ASSERT_EQ(YrnZlibTransform(finished.data(), len, plain, 0x402), 1);
    EXPECT_EQ(plain.size(), text.size());
    // The cap stops a stream that inflates beyond what the header promised.
    EXPECT_EQ(YrnZlibTransform(packed.data(), packed.size(), plain, 0x402, 100), 0);
    EXPECT_EQ(YrnZlibTransform(packed.data(), packed.size(), plain, 0x002), 0);
    EXPECT_EQ(YrnZlibTransform(packed.data(), packed.size(), plain, 0x400), 0);  // no direction
    const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(YrnZlibTransform(junk, sizeof junk, plain, 0x402), 0);
}

TEST(Codec, BothStepsRoundTrip) {
    CYrnCodec codec(kKey, 128, kCodecAes, kCodecZlib);
    std::string text(10000, 'z');
    CYrnBuffer b = bufOf(text);
    ASSERT_EQ(codec.Process(b, kCodecEncode), 1);
    EXPECT_LT(b.Size(), 1000u);
    EXPECT_EQ(u32at(b, 0), 0x100u);
    ASSERT_EQ(codec.Process(b, kCodecDecode), 1);
    EXPECT_EQ(strOf(b), text);
    // The receiver follows the headers: a codec without compression still decodes it.
    CYrnCodec aesOnly(kKey, 128, kCodecAes, 0);
    CYrnBuffer c = bufOf(text);
    codec.Process(c, kCodecEncode);
    ASSERT_EQ(aesOnly.Process(c, kCodecDecode), 1);
    EXPECT_EQ(strOf(c), text);
}

TEST(Codec, MalformedInputFailsCleanly) {
    CYrnCodec codec(kKey, 128, kCodecAes, 0);
    CYrnBuffer good = bufOf("payload!");
    ASSERT_EQ(codec.Process(good, kCodecEncode), 1);

    CYrnBuffer wrongFlags = good;
    putU32(wrongFlags, 0, 0x400);  // an encryption header that names compression
    EXPECT_EQ(codec.Process(wrongFlags, kCodecDecode), 0);

    CYrnBuffer longer = good;
    putU32(longer, 16, u32at(longer, 16) + 1);
    EXPECT_EQ(codec.Process(longer, kCodecDecode), 0);

    CYrnBuffer bigSize = good;
    putU32(bigSize, 4, 0x7fffffff);
    EXPECT_EQ(codec.Process(bigSize, kCodecDecode), 0);

    // Every step header shorter than its 20 bytes is refused by both steps, also one that
    // would announce a pass-through.
    for (size_t n = 0; n < 20; ++n) {
        std::vector<uint8_t> zeros(n, 0);
        CYrnBuffer a, z;
        a.Append(zeros.data(), n);
        z.Append(zeros.data(), n);
        EXPECT_EQ(codec.AesStep(a, 2), 0) << n;
        EXPECT_EQ(codec.ZlibStep(z, 2), 0) << n;
    }

    CYrnBuffer shortHead = bufOf("tiny");
    EXPECT_EQ(codec.Process(shortHead, kCodecDecode), 0);
    CYrnBuffer empty;
    EXPECT_EQ(codec.Process(empty, kCodecDecode), 0);

    CYrnCodec noKey(nullptr, 128, kCodecAes, 0);
    CYrnBuffer c = good;
    EXPECT_EQ(noKey.Process(c, kCodecDecode), 0);
    CYrnBuffer d = bufOf("x");
    EXPECT_EQ(noKey.Process(d, kCodecEncode), 0);

    // A compression header whose size disagrees with what inflates: the size is the
    // sender's note, not a check; what inflates is the message.
    CYrnCodec zip(nullptr, 128, 0, kCodecZlib);
    CYrnBuffer z = bufOf(std::string(500, 'q'));
    ASSERT_EQ(zip.ZlibStep(z, 1), 1);
    ASSERT_EQ(u32at(z, 0), 0x400u);
    for (uint32_t size : {0u, 1u, 499u, 501u, 0xFFFFFFFFu}) {
        CYrnBuffer other = z;
        putU32(other, 4, size);
        EXPECT_EQ(zip.ZlibStep(other, 2), 1) << size;
        EXPECT_EQ(strOf(other), std::string(500, 'q')) << size;
    }
    ASSERT_EQ(zip.ZlibStep(z, 2), 1);
    EXPECT_EQ(strOf(z), std::string(500, 'q'));
    // A header and data that agree on one byte more than a message may hold.
    std::vector<uint8_t> plain(kMaxMessageSize + 1, 'q');
    uLongf packed = compressBound(plain.size());
    std::vector<uint8_t> zdata(packed);
    ASSERT_EQ(compress(zdata.data(), &packed, plain.data(), plain.size()), Z_OK);
    CYrnBuffer huge = bufOf(std::string(20, '\0'));
    huge.Append(zdata.data(), packed);
    putU32(huge, 0, 0x400);
    putU32(huge, 4, uint32_t(plain.size()));
    putU32(huge, 16, uint32_t(packed));
    EXPECT_EQ(zip.ZlibStep(huge, 2), 0);
}

TEST(Codec, TransformFileRoundTrip) {
    std::string dir = ::testing::TempDir();
    std::string src = dir + "/codec-src.bin", enc = dir + "/codec-enc.bin",
                dec = dir + "/codec-dec.bin";
    FILE* f = std::fopen(src.c_str(), "wb");
    ASSERT_TRUE(f);
    std::string content(100, 'k');
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    CYrnCodec codec(kKey, 128, kCodecAes, 0);
    ASSERT_EQ(codec.TransformFile(src, enc, 64, kCodecEncode), 1);
    // Blocks of 64 and 36 bytes become 20 + 80 and 20 + 48 bytes.
    ASSERT_EQ(codec.TransformFile(enc, dec, 100, kCodecDecode), 1);
    f = std::fopen(dec.c_str(), "rb");
    char back[200];
    size_t got = std::fread(back, 1, sizeof back, f);
    std::fclose(f);
    // Reading back in blocks of 100 meets each encoded block whole (100, then 68 bytes).
    EXPECT_EQ(std::string(back, got), content);
    EXPECT_EQ(codec.TransformFile(dir + "/missing", enc, 64, kCodecEncode), 0);
    EXPECT_EQ(codec.TransformFile(src, dir + "/missing/out", 64, kCodecEncode), 0);
}

// Encoding and decoding in one pass must give exactly the bytes of the two steps one after
// the other, for every length around the blocks the inner header shifts.
TEST(Codec, OnePassMatchesTheStepsByteForByte) {
    const uint8_t key256[32] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    for (int bits : {128, 256}) {
        const uint8_t* key = bits == 128 ? kKey : key256;
        CYrnCodec codec(key, bits, kCodecAes, 0);
        for (size_t n : {0, 1, 11, 12, 13, 27, 28, 29, 44, 45, 60, 61, 4000, 4096, 65536}) {
            std::string text(n, '\0');
            for (size_t i = 0; i < n; ++i) text[i] = char(i * 7 + n);
            CYrnBuffer one = bufOf(text), steps = bufOf(text);
            ASSERT_EQ(codec.Process(one, kCodecEncode), 1) << n;
            ASSERT_EQ(codec.ZlibStep(steps, 1), 1);
            ASSERT_EQ(codec.AesStep(steps, 1), 1);
            ASSERT_EQ(strOf(one), strOf(steps)) << bits << " " << n;
            ASSERT_EQ(codec.Process(one, kCodecDecode), 1) << n;
            EXPECT_EQ(strOf(one), text) << n;
            ASSERT_EQ(codec.AesStep(steps, 2), 1);
            ASSERT_EQ(codec.ZlibStep(steps, 2), 1);
            EXPECT_EQ(strOf(steps), text) << n;
        }
    }
}

// The cached cipher follows the key's bytes and its size, and survives a refused message.
TEST(Codec, ReusedCipherFollowsTheKey) {
    uint8_t key[16];
    std::memcpy(key, kKey, 16);
    CYrnCodec codec(key, 128, kCodecAes, 0);
    CYrnBuffer first = bufOf("same text"), second = bufOf("same text");
    ASSERT_EQ(codec.Process(first, kCodecEncode), 1);
    key[0] ^= 1;  // same address, other bytes
    ASSERT_EQ(codec.Process(second, kCodecEncode), 1);
    EXPECT_NE(strOf(first), strOf(second));
    CYrnCodec other(key, 128, kCodecAes, 0);
    CYrnBuffer third = bufOf("same text");
    ASSERT_EQ(other.Process(third, kCodecEncode), 1);
    EXPECT_EQ(strOf(second), strOf(third));

    // The same bytes taken as a longer key give another cipher.
    uint8_t longKey[32] = {};
    std::memcpy(longKey, key, 16);
    codec.SetParams(longKey, 128, kCodecAes, 0);
    CYrnBuffer short128 = bufOf("same text"), long256 = bufOf("same text");
    ASSERT_EQ(codec.Process(short128, kCodecEncode), 1);
    EXPECT_EQ(strOf(short128), strOf(second));
    codec.SetParams(longKey, 256, kCodecAes, 0);
    ASSERT_EQ(codec.Process(long256, kCodecEncode), 1);
    EXPECT_NE(strOf(long256), strOf(second));

    // A refused message leaves the cipher usable.
    codec.SetParams(key, 128, kCodecAes, 0);
    CYrnBuffer cut = second;
    cut.Resize(cut.Size() - 1);
    EXPECT_EQ(codec.Process(cut, kCodecDecode), 0);
    ASSERT_EQ(codec.Process(second, kCodecDecode), 1);
    EXPECT_EQ(strOf(second), "same text");
    // An encrypted step too short to hold the inner header is refused.
    CYrnBuffer tiny = bufOf(std::string(5, 'x'));
    ASSERT_EQ(codec.AesStep(tiny, 1), 1);
    EXPECT_EQ(codec.Process(tiny, kCodecDecode), 0);
}

// The inner pass-through header counts towards the largest message the encryption step
// takes: exactly kMaxMessageSize bytes go into it, one more is refused.
TEST(Codec, OnePassEncodeKeepsTheSizeLimit) {
    CYrnCodec codec(kKey, 128, kCodecAes, 0);
    std::vector<uint8_t> big(kMaxMessageSize - kCodecStepHeader + 1, 'm');
    CYrnBuffer over;
    over.Append(big.data(), big.size());
    EXPECT_EQ(codec.Process(over, kCodecEncode), 0);
    CYrnBuffer limit;
    limit.Append(big.data(), big.size() - 1);
    ASSERT_EQ(codec.Process(limit, kCodecEncode), 1);
    EXPECT_EQ(u32at(limit, 4), uint32_t(kMaxMessageSize));
}

namespace {

// A record's bytes: head words, a length word (claimed), then the data.
std::vector<uint8_t> recordBytes(size_t dataLen, int32_t claimed) {
    std::vector<uint8_t> v(28 + dataLen);
    for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 5 + 1);
    for (int b = 0; b < 4; ++b) v[24 + b] = uint8_t(uint32_t(claimed) >> (8 * b));
    return v;
}

// What joining the pieces, the codec and the record parse give: front + data, or nothing.
std::optional<std::vector<uint8_t>> generalDecode(const std::vector<uint8_t>& joined,
                                                  const uint8_t* key) {
    CYrnCodec codec(key, 128, kCodecAes, 0);
    CYrnBuffer b;
    b.Append(joined.data(), joined.size());
    if (!codec.Process(b, kCodecDecode) || b.Size() < 28) return std::nullopt;
    const uint8_t* p = b.Data();
    const int32_t len = int32_t(p[24] | p[25] << 8 | p[26] << 16 | uint32_t(p[27]) << 24);
    if (len < 0 || size_t(len) > b.Size() - 28) return std::nullopt;
    return std::vector<uint8_t>(p, p + 28 + len);
}

}  // namespace

TEST(Codec, PiecesDecodeAsTheJoinedMessage) {
    const uint8_t* key = reinterpret_cast<const uint8_t*>("0123456789abcdef");
    struct Case {
        const char* what;
        std::vector<uint8_t> plain;
        uint32_t aes, zlib;
        bool usual;  // the shape read from the pieces
    };
    const Case cases[] = {
        {"empty data", recordBytes(0, 0), kCodecAes, 0, true},
        {"one byte", recordBytes(1, 1), kCodecAes, 0, true},
        {"blocks and a tail", recordBytes(5000, 5000), kCodecAes, 0, true},
        {"shorter than sealed", recordBytes(40, 12), kCodecAes, 0, true},
        {"length past the data", recordBytes(40, 41), kCodecAes, 0, false},
        {"negative length", recordBytes(40, -1), kCodecAes, 0, false},
        {"shorter than a record", std::vector<uint8_t>(27, 9), kCodecAes, 0, false},
        {"not encrypted", recordBytes(30, 30), 0, 0, false},
        {"compressed inside", recordBytes(3000, 3000), kCodecAes, kCodecZlib, true},
    };
    for (const Case& c : cases) {
        CYrnCodec enc(key, 128, c.aes, c.zlib);
        CYrnBuffer b;
        b.Append(c.plain.data(), c.plain.size());
        ASSERT_EQ(enc.Process(b, kCodecEncode), 1) << c.what;
        std::vector<uint8_t> joined(b.Data(), b.Data() + b.Size());
        const auto want = generalDecode(joined, key);
        // Cut at every size from 1 byte, across blocks, to one piece; empty pieces between.
        for (size_t cut : {size_t(1), size_t(7), size_t(16), size_t(21), size_t(4000)}) {
            std::vector<YrnPiece> pieces;
            for (size_t at = 0; at < joined.size(); at += cut) {
                pieces.push_back({joined.data() + at, std::min(cut, joined.size() - at)});
                if (cut == 7) pieces.push_back({nullptr, 0});
            }
            CYrnCodec dec(key, 128, kCodecAes, 0);
            uint8_t front[28];
            std::unique_ptr<uint8_t[]> data;
            int32_t len = -5;
            const int r = dec.DecodeRecordPieces(pieces.data(), pieces.size(), front, &data, &len);
            ASSERT_EQ(r, c.usual ? 1 : 0) << c.what << " cut " << cut;
            if (!r) continue;
            ASSERT_TRUE(want.has_value()) << c.what;
            std::vector<uint8_t> got(front, front + 28);
            if (len > 0) got.insert(got.end(), data.get(), data.get() + len);
            EXPECT_EQ(data == nullptr, len == 0) << c.what;
            EXPECT_EQ(got, *want) << c.what << " cut " << cut;
        }
    }
    // Damage: an outer length that does not match, a sealed size past the data, too short.
    CYrnCodec enc(key, 128, kCodecAes, 0);
    CYrnBuffer b;
    const auto plain = recordBytes(100, 100);
    b.Append(plain.data(), plain.size());
    ASSERT_EQ(enc.Process(b, kCodecEncode), 1);
    const std::vector<uint8_t> good(b.Data(), b.Data() + b.Size());
    for (int field : {4, 16}) {
        for (int delta : {-1, 1}) {
            std::vector<uint8_t> bad = good;
            bad[field] = uint8_t(bad[field] + delta);
            YrnPiece one{bad.data(), bad.size()};
            CYrnCodec dec(key, 128, kCodecAes, 0);
            uint8_t front[28];
            std::unique_ptr<uint8_t[]> data;
            int32_t len = 0;
            const bool general = generalDecode(bad, key).has_value();
            EXPECT_EQ(dec.DecodeRecordPieces(&one, 1, front, &data, &len), general ? 1 : 0)
                << field << " " << delta;
        }
    }
    YrnPiece shortPiece{good.data(), 19};
    CYrnCodec dec(key, 128, kCodecAes, 0);
    uint8_t front[28];
    std::unique_ptr<uint8_t[]> data;
    int32_t len = 0;
    EXPECT_EQ(dec.DecodeRecordPieces(&shortPiece, 1, front, &data, &len), 0);
    CYrnCodec noKey(nullptr, 128, kCodecAes, 0);
    YrnPiece whole{good.data(), good.size()};
    EXPECT_EQ(noKey.DecodeRecordPieces(&whole, 1, front, &data, &len), 0);
}

// The codec keeps its compression streams from one message to the next: every message comes
// out as the stand-alone compressor makes it (a sync flush after each 32768 input bytes),
// whatever came before, and decodes back.
TEST(Codec, KeptStreamsGiveTheStandAloneBytes) {
    CYrnCodec codec(kKey, 128, 0, kCodecZlib);
    size_t round = 0;
    for (size_t n : {1, 100, 32767, 32768, 32769, 65536, 100000, 7, 70000}) {
        std::string text(n, '\0');
        for (size_t i = 0; i < n; ++i) text[i] = char('a' + (i * 31 + n + round) % 23);
        ++round;
        std::vector<uint8_t> packed;
        ASSERT_EQ(YrnZlibTransform(reinterpret_cast<const uint8_t*>(text.data()), n, packed, 0x401),
                  1);
        CYrnBuffer b = bufOf(text);
        ASSERT_EQ(codec.ZlibStep(b, kCodecEncode), 1) << n;
        ASSERT_EQ(b.Size(), kCodecStepHeader + packed.size()) << n;
        EXPECT_EQ(u32at(b, 0), kCodecZlib);
        EXPECT_EQ(u32at(b, 4), n);
        EXPECT_EQ(u32at(b, 8), 0u);
        EXPECT_EQ(u32at(b, 12), 0u);
        EXPECT_EQ(u32at(b, 16), packed.size());
        EXPECT_EQ(std::memcmp(b.At(kCodecStepHeader), packed.data(), packed.size()), 0) << n;
        ASSERT_EQ(codec.ZlibStep(b, kCodecDecode), 1) << n;
        EXPECT_EQ(strOf(b), text) << n;
    }
}

// A compression step gives what its stream inflates to, whatever size its header names:
// a finished stream or the codec's open one, bytes after a finished stream's end unread;
// a fault anywhere in the stream fails it, as does a stream that gives nothing.
TEST(Codec, DecompressionGivesWhatTheStreamHolds) {
    const std::string text = "four winds, three dragons and a flower";
    std::vector<uint8_t> packed;
    ASSERT_EQ(
        YrnZlibTransform(reinterpret_cast<const uint8_t*>(text.data()), text.size(), packed, 0x401),
        1);
    uLongf len = compressBound(text.size());
    std::vector<uint8_t> finished(len);
    compress(finished.data(), &len, reinterpret_cast<const Bytef*>(text.data()), text.size());
    finished.resize(len);
    std::vector<uint8_t> finishedThenJunk = finished, openThenJunk = packed;
    for (uint8_t j : {0xFF, 0xFF, 0x12}) finishedThenJunk.push_back(j), openThenJunk.push_back(j);
    // A stream's header and nothing else inflates to nothing.
    const std::vector<uint8_t> headerOnly(packed.begin(), packed.begin() + 2);
    // A stream whose first block is cut in the middle gives what it has so far.
    const std::vector<uint8_t> cut(packed.begin(), packed.begin() + packed.size() / 2);
    const struct {
        const std::vector<uint8_t>* stream;
        size_t size;
        int result;
    } cases[] = {{&packed, text.size(), 1},
                 {&packed, text.size() - 1, 1},
                 {&packed, text.size() + 1, 1},
                 {&packed, 1, 1},
                 {&packed, 0, 1},
                 {&finished, text.size(), 1},
                 {&finished, 3, 1},
                 {&finishedThenJunk, text.size(), 1},
                 {&openThenJunk, text.size(), 0},
                 {&headerOnly, text.size(), 0}};
    CYrnCodec codec(kKey, 128, 0, kCodecZlib);
    for (const auto& c : cases) {
        CYrnBuffer b;
        b.Resize(kCodecStepHeader);
        putU32(b, 0, kCodecZlib | kCodecEncodeBit);  // the direction bits are the sender's
        putU32(b, 4, uint32_t(c.size));
        putU32(b, 8, 0);
        putU32(b, 12, 0);
        putU32(b, 16, uint32_t(c.stream->size()));
        b.Append(c.stream->data(), c.stream->size());
        EXPECT_EQ(codec.ZlibStep(b, kCodecDecode), c.result)
            << c.size << " of " << c.stream->size() << " bytes";
        if (c.result) {
            EXPECT_EQ(strOf(b), text);
        }
        // The stand-alone decompressor agrees, and reads no size at all.
        std::vector<uint8_t> plain;
        EXPECT_EQ(YrnZlibTransform(c.stream->data(), c.stream->size(), plain, 0x402), c.result);
        if (c.result) {
            EXPECT_EQ(std::string(plain.begin(), plain.end()), text);
        }
    }
    // A cut stream gives its first bytes.
    CYrnBuffer b;
    b.Resize(kCodecStepHeader);
    putU32(b, 0, kCodecZlib);
    putU32(b, 4, uint32_t(text.size()));
    putU32(b, 8, 0);
    putU32(b, 12, 0);
    putU32(b, 16, uint32_t(cut.size()));
    b.Append(cut.data(), cut.size());
    ASSERT_EQ(codec.ZlibStep(b, kCodecDecode), 1);
    EXPECT_GT(b.Size(), 0u);
    EXPECT_LT(b.Size(), text.size());
    EXPECT_EQ(strOf(b), text.substr(0, b.Size()));
}

// The decompressor never writes past what a message may hold: a stream that inflates to
// exactly the limit decodes, one byte more fails, also when the header names a small size
// and when the output has to grow from a small start.
TEST(Codec, DecompressionStopsAtTheMessageLimit) {
    const size_t limit = 100000;
    for (size_t n : {limit - 1, limit, limit + 1, 4 * limit}) {
        std::vector<uint8_t> plain(n);
        for (size_t i = 0; i < n; ++i) plain[i] = uint8_t(i * 7 % 13);
        std::vector<uint8_t> packed;
        ASSERT_EQ(YrnZlibTransform(plain.data(), n, packed, 0x401), 1);
        std::vector<uint8_t> out;
        const int want = n <= limit ? 1 : 0;
        EXPECT_EQ(YrnZlibTransform(packed.data(), packed.size(), out, 0x402, limit), want) << n;
        if (want) {
            EXPECT_EQ(out, plain) << n;
        }
        EXPECT_TRUE(want || out.empty()) << n;
    }
    // The step's own limit: one byte more than a message may hold, with a header that
    // names 10 bytes.
    std::vector<uint8_t> big(kMaxMessageSize + 1, 'q');
    uLongf packed = compressBound(big.size());
    std::vector<uint8_t> zdata(packed);
    ASSERT_EQ(compress(zdata.data(), &packed, big.data(), big.size()), Z_OK);
    CYrnCodec zip(nullptr, 128, 0, kCodecZlib);
    for (size_t cut : {size_t(0), size_t(1)}) {
        CYrnBuffer b;
        b.Resize(kCodecStepHeader);
        putU32(b, 0, kCodecZlib);
        putU32(b, 4, 10);
        putU32(b, 8, 0);
        putU32(b, 12, 0);
        if (cut) {
            // The same stream of exactly the limit decodes.
            uLongf k = compressBound(kMaxMessageSize);
            std::vector<uint8_t> z(k);
            ASSERT_EQ(compress(z.data(), &k, big.data(), kMaxMessageSize), Z_OK);
            putU32(b, 16, uint32_t(k));
            b.Append(z.data(), k);
            ASSERT_EQ(zip.ZlibStep(b, kCodecDecode), 1);
            EXPECT_EQ(b.Size(), kMaxMessageSize);
        } else {
            putU32(b, 16, uint32_t(packed));
            b.Append(zdata.data(), packed);
            EXPECT_EQ(zip.ZlibStep(b, kCodecDecode), 0);
        }
    }
}

// Without the compression flag, or with nothing to compress, the message goes out behind a
// pass-through header; a received step without the flag, or without bytes, fails.
TEST(Codec, CompressionStepEdges) {
    for (uint32_t flags : {0x200u, kCodecZlib}) {
        CYrnCodec codec(kKey, 128, 0, flags);
        CYrnBuffer b = bufOf(flags == kCodecZlib ? "" : "plain");
        ASSERT_EQ(codec.ZlibStep(b, kCodecEncode), 1);
        EXPECT_EQ(u32at(b, 0), 0u) << flags;
        EXPECT_EQ(b.Size(), kCodecStepHeader + (flags == kCodecZlib ? 0 : 5));
    }
    CYrnCodec codec(kKey, 128, 0, kCodecZlib);
    for (uint32_t flags : {0x200u, kCodecZlib}) {
        CYrnBuffer b;
        b.Resize(kCodecStepHeader);
        putU32(b, 0, flags);
        putU32(b, 4, 10);
        putU32(b, 8, 0);
        putU32(b, 12, 0);
        putU32(b, 16, 0);
        EXPECT_EQ(codec.ZlibStep(b, kCodecDecode), 0) << flags;
    }
}

// A record encrypted from where it lies: the bytes of the general way on front + body; a
// codec that compresses or does not encrypt, or a key it cannot use, leaves out alone.
TEST(Codec, RecordEncodedWhereItLies) {
    uint8_t front[28];
    for (int i = 0; i < 28; ++i) front[i] = uint8_t(200 - i);
    CYrnCodec codec(kKey, 128, kCodecAes, 0);
    for (size_t n : {0, 1, 15, 16, 17, 4096, 4101}) {
        std::vector<uint8_t> body(n);
        for (size_t i = 0; i < n; ++i) body[i] = uint8_t(i * 13 + 1);
        CYrnBuffer general;
        general.Append(front, 28);
        if (n) general.Append(body.data(), n);
        ASSERT_EQ(codec.Process(general, kCodecEncode), 1);
        CYrnBuffer out = bufOf("old");
        ASSERT_EQ(codec.EncodeRecord(front, n ? body.data() : nullptr, n, out), 1) << n;
        EXPECT_EQ(strOf(out), strOf(general)) << n;
    }
    const uint8_t body[4] = {1, 2, 3, 4};
    CYrnCodec zipping(kKey, 128, kCodecAes, kCodecZlib), plain(kKey, 128, 0, 0),
        noCipherBit(kKey, 128, 0x200, 0), badKey(kKey, 100, kCodecAes, 0);
    for (CYrnCodec* c : {&zipping, &plain, &noCipherBit, &badKey}) {
        CYrnBuffer out = bufOf("old");
        EXPECT_EQ(c->EncodeRecord(front, body, 4, out), 0);
        EXPECT_EQ(strOf(out), "old");
    }
    CYrnBuffer out = bufOf("old");
    EXPECT_EQ(codec.EncodeRecord(front, nullptr, 4, out), 0);  // a length without a body
    EXPECT_EQ(codec.EncodeRecord(nullptr, body, 4, out), 0);
    EXPECT_EQ(strOf(out), "old");
}

// Pieces whose inner step compresses decode as the joined message does; whatever the general way
// refuses, they refuse too.
TEST(Codec, CompressedPiecesDecodeAsTheJoinedMessage) {
    const uint8_t* key = reinterpret_cast<const uint8_t*>("0123456789abcdef");
    // The inner step made by hand: its header (flags, size, 0, 0, length) and the stream of
    // `plain`, then sealed by the cipher step.
    // `finished`: a stream ended as a stand-alone compressor ends it, not the codec's open one.
    auto sealed = [&](const std::vector<uint8_t>& plain, int sizeDelta, uint32_t flags,
                      const std::vector<uint8_t>& extra, bool finished = false) {
        std::vector<uint8_t> packed;
        if (finished) {
            uLongf len = compressBound(plain.size());
            packed.resize(len);
            compress(packed.data(), &len, plain.data(), plain.size());
            packed.resize(len);
        } else if (!plain.empty()) {
            YrnZlibTransform(plain.data(), plain.size(), packed, 0x401);
        }
        packed.insert(packed.end(), extra.begin(), extra.end());
        CYrnBuffer b;
        b.Resize(kCodecStepHeader);
        putU32(b, 0, flags);
        putU32(b, 4, uint32_t(int(plain.size()) + sizeDelta));
        putU32(b, 8, 0);
        putU32(b, 12, 0);
        putU32(b, 16, uint32_t(packed.size()));
        b.Append(packed.data(), packed.size());
        CYrnCodec aes(key, 128, kCodecAes, 0);
        EXPECT_EQ(aes.AesStep(b, kCodecEncode), 1);
        return std::vector<uint8_t>(b.Data(), b.Data() + b.Size());
    };
    std::vector<uint8_t> big(40000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i % 251 * (i % 7));
    for (int b = 0; b < 4; ++b) big[24 + b] = uint8_t(uint32_t(big.size() - 28) >> (8 * b));
    const struct {
        const char* what;
        std::vector<uint8_t> message;
        bool decodes;
    } cases[] = {
        {"blocks and a tail", sealed(recordBytes(5000, 5000), 0, kCodecZlib, {}), true},
        {"more than one flush", sealed(big, 0, kCodecZlib, {}), true},
        {"data longer than the record", sealed(recordBytes(300, 12), 0, kCodecZlib, {}), true},
        {"no data", sealed(recordBytes(40, 0), 0, kCodecZlib, {}), true},
        {"direction bits of the sender", sealed(recordBytes(90, 90), 0, 0x401, {}), true},
        {"a size a byte short", sealed(recordBytes(90, 90), 1, kCodecZlib, {}), true},
        {"a size a byte over", sealed(recordBytes(90, 90), -1, kCodecZlib, {}), true},
        {"a size of nothing", sealed(recordBytes(90, 90), -118, kCodecZlib, {}), true},
        {"a fault behind the end", sealed(recordBytes(90, 90), 0, kCodecZlib, {0xFF, 0xFF}), false},
        {"length past the data", sealed(recordBytes(90, 91), 0, kCodecZlib, {}), false},
        {"negative length", sealed(recordBytes(90, -3), 0, kCodecZlib, {}), false},
        {"shorter than a record", sealed(std::vector<uint8_t>(60, 1), -40, kCodecZlib, {}), false},
        {"not the compression flag", sealed(recordBytes(90, 90), 0, 0x200, {}), false},
        {"nothing compressed", sealed({}, 50, kCodecZlib, std::vector<uint8_t>(40, 0)), false},
        {"a finished stream of the front alone", sealed(recordBytes(0, 0), 0, kCodecZlib, {}, true),
         true},
        {"a finished stream of the front, a longer size",
         sealed(recordBytes(0, 0), 5, kCodecZlib, {}, true), true},
        {"a finished stream shorter than a record",
         sealed(std::vector<uint8_t>(27, 0), 0, kCodecZlib, {}, true), false},
        {"a finished stream", sealed(recordBytes(300, 300), 0, kCodecZlib, {}, true), true},
        {"the outer step not encrypted",
         [&] {
             auto m = sealed(recordBytes(90, 90), 0, kCodecZlib, {});
             m[0] = uint8_t(kCodecZlib), m[1] = uint8_t(kCodecZlib >> 8);
             return m;
         }(),
         false},
    };
    for (const auto& c : cases) {
        const auto want = generalDecode(c.message, key);
        ASSERT_EQ(want.has_value(), c.decodes) << c.what;
        for (size_t cut : {size_t(5), size_t(16), size_t(4000), c.message.size()}) {
            std::vector<YrnPiece> pieces;
            for (size_t at = 0; at < c.message.size(); at += cut)
                pieces.push_back({c.message.data() + at, std::min(cut, c.message.size() - at)});
            CYrnCodec dec(key, 128, kCodecAes, 0);
            uint8_t front[28];
            std::unique_ptr<uint8_t[]> data;
            int32_t len = -5;
            const int r = dec.DecodeRecordPieces(pieces.data(), pieces.size(), front, &data, &len);
            ASSERT_EQ(r, c.decodes ? 1 : 0) << c.what << " cut " << cut;
            if (!r) continue;
            std::vector<uint8_t> got(front, front + 28);
            if (len > 0) got.insert(got.end(), data.get(), data.get() + len);
            EXPECT_EQ(data == nullptr, len == 0) << c.what;
            EXPECT_EQ(got, *want) << c.what << " cut " << cut;
        }
    }
    // One codec for every message, each case twice: a message that failed half inflated
    // (or half decrypted) leaves nothing behind in the kept streams for the next one.
    CYrnCodec kept(key, 128, kCodecAes, 0);
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : cases) {
            const YrnPiece whole{c.message.data(), c.message.size()};
            uint8_t front[28];
            std::unique_ptr<uint8_t[]> data;
            int32_t len = -5;
            ASSERT_EQ(kept.DecodeRecordPieces(&whole, 1, front, &data, &len), c.decodes ? 1 : 0)
                << c.what << " pass " << pass;
            if (!c.decodes) continue;
            std::vector<uint8_t> got(front, front + 28);
            if (len > 0) got.insert(got.end(), data.get(), data.get() + len);
            EXPECT_EQ(got, *generalDecode(c.message, key)) << c.what << " pass " << pass;
        }
    }
}
