// Throughput of the message codec (encode: serialise, codec, chunks and packets with CRC;
// decode: packet checks, reassembly, joining, codec, record) beside the raw library
// operations it is built on, measured in the same run: AES-128-ECB through EVP and zlib
// deflate/inflate with sync flushes. Compare the MB/s columns to see the codec's overhead.
// The packets' CRC-32 is measured beside zlib's crc32 over the same bytes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <atomic>
#include <vector>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/crc32.h"
#include "netlib/framing.h"
#include "netlib/message.h"

using namespace hqlv::netlib;

namespace {

const uint8_t* key() {
    return reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
}

std::vector<uint8_t> payload(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 12345;
    for (auto& b : v) {
        x = x * 1103515245 + 12345;
        b = static_cast<uint8_t>((x >> 16) % 24 + 'a');  // text-like, compressible
    }
    return v;
}

CYrnBuffer encodeToPackets(const std::vector<uint8_t>& body, uint32_t zlib) {
    YrnRecord rec;
    rec.head[1] = 229010;
    rec.length = static_cast<int32_t>(body.size());
    rec.data = const_cast<uint8_t*>(body.data());
    CYrnBuffer packets;
    static std::atomic<int32_t> seq{0};
    YrnEncodeMessagePackets(rec, key(), 128, kCodecAes, zlib, kGameMaxData, 1, 1, 0, true, seq,
                            packets);
    return packets;
}

void Encode(benchmark::State& state, uint32_t zlib) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        CYrnBuffer packets = encodeToPackets(body, zlib);
        benchmark::DoNotOptimize(packets.Data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void Decode(benchmark::State& state, uint32_t zlib) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    CYrnBuffer packets = encodeToPackets(body, zlib);
    // A connection keeps one assembler: its buffer has grown to the message size already.
    CYrnMessageAssembler a;
    for (auto _ : state) {
        size_t pos = 0, sz = 0;
        while (YrnNextPacket(packets.Data() + pos, packets.Size() - pos, kGameMaxData, &sz) ==
               YrnFrame::Packet) {
            const uint8_t* p = packets.Data() + pos;
            if (!YrnCheckPacket(p, sz, kGameMaxData)) state.SkipWithError("bad packet");
            a.Feed(YrnReadHead(p + 4), p + kPacketOverhead, sz - kPacketOverhead, 1, 1);
            pos += sz;
        }
        YrnEnvelope* env = nullptr;
        YrnRecord* rec = nullptr;
        if (!YrnDecodeMessage(a.Message().Data(), a.Message().Size(), &env, &rec, key(), 128,
                              kCodecAes, zlib, kGameMaxData))
            state.SkipWithError("decode failed");
        YrnFreeSocketMessage(env, rec);
        a.Clear();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// The message alone, without packets and their CRC: serialise and codec on the way out;
// chunk joining, codec and record on the way in.
void MessageEncode(benchmark::State& state, uint32_t zlib) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    YrnRecord rec;
    rec.head[1] = 229010;
    rec.length = static_cast<int32_t>(body.size());
    rec.data = body.data();
    CYrnBuffer enc;
    for (auto _ : state) {
        if (!YrnEncodeMessage(rec, key(), 128, kCodecAes, zlib, enc))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(enc.Data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void MessageDecode(benchmark::State& state, uint32_t zlib) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    YrnRecord rec;
    rec.length = static_cast<int32_t>(body.size());
    rec.data = body.data();
    CYrnBuffer enc, chunks;
    YrnEncodeMessage(rec, key(), 128, kCodecAes, zlib, enc);
    YrnSplitChunks(enc, chunks, kGameMaxData);
    std::vector<uint8_t> message(kEnvelopeSize, 0);
    message.insert(message.end(), chunks.Data(), chunks.Data() + chunks.Size());
    for (auto _ : state) {
        YrnEnvelope* env = nullptr;
        YrnRecord* out = nullptr;
        if (!YrnDecodeMessage(message.data(), message.size(), &env, &out, key(), 128, kCodecAes,
                              zlib, kGameMaxData))
            state.SkipWithError("decode failed");
        YrnFreeSocketMessage(env, out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_MessageEncodeAes(benchmark::State& s) {
    MessageEncode(s, 0);
}
void BM_MessageDecodeAes(benchmark::State& s) {
    MessageDecode(s, 0);
}

void BM_CodecEncodeAes(benchmark::State& s) {
    Encode(s, 0);
}
void BM_CodecDecodeAes(benchmark::State& s) {
    Decode(s, 0);
}
void BM_CodecEncodeAesZlib(benchmark::State& s) {
    Encode(s, kCodecZlib);
}
void BM_CodecDecodeAesZlib(benchmark::State& s) {
    Decode(s, kCodecZlib);
}

void RawAes(benchmark::State& state, int enc) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    size_t n = body.size() - body.size() % 16 + 16;
    body.resize(n, 0);
    std::vector<uint8_t> out(n);
    for (auto _ : state) {
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key(), nullptr, enc);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        int got = 0;
        EVP_CipherUpdate(ctx, out.data(), &got, body.data(), static_cast<int>(n));
        EVP_CIPHER_CTX_free(ctx);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
void BM_RawAesEncrypt(benchmark::State& s) {
    RawAes(s, 1);
}
void BM_RawAesDecrypt(benchmark::State& s) {
    RawAes(s, 0);
}

void BM_RawDeflate(benchmark::State& state) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> out(compressBound(body.size()) + 64);
    for (auto _ : state) {
        z_stream zs{};
        deflateInit(&zs, Z_DEFAULT_COMPRESSION);
        zs.next_in = body.data();
        zs.avail_in = static_cast<uInt>(body.size());
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        deflate(&zs, Z_SYNC_FLUSH);
        deflateEnd(&zs);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_RawInflate(benchmark::State& state) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> packed;
    YrnZlibTransform(body.data(), body.size(), packed, 0x401);
    std::vector<uint8_t> out(body.size() + 64);
    for (auto _ : state) {
        z_stream zs{};
        inflateInit(&zs);
        zs.next_in = packed.data();
        zs.avail_in = static_cast<uInt>(packed.size());
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        inflate(&zs, Z_SYNC_FLUSH);
        inflateEnd(&zs);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_Crc32(benchmark::State& state) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(CYrnCrc32::Update(0, body.data(), body.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// One full packet's CRC, with its CRC fields taken as zeros, as every received packet is checked.
void BM_PacketCrc(benchmark::State& state) {
    auto packet = payload(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(YrnPacketCrc(packet.data(), packet.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_ZlibCrc32(benchmark::State& state) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0, body.data(), static_cast<uInt>(body.size())));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

}  // namespace

#define SIZES Arg(100)->Arg(4096)->Arg(65536)
BENCHMARK(BM_MessageEncodeAes)->SIZES;
BENCHMARK(BM_MessageDecodeAes)->SIZES;
BENCHMARK(BM_CodecEncodeAes)->SIZES;
BENCHMARK(BM_CodecDecodeAes)->SIZES;
BENCHMARK(BM_RawAesEncrypt)->SIZES;
BENCHMARK(BM_RawAesDecrypt)->SIZES;
BENCHMARK(BM_CodecEncodeAesZlib)->SIZES;
BENCHMARK(BM_CodecDecodeAesZlib)->SIZES;
BENCHMARK(BM_RawDeflate)->SIZES;
BENCHMARK(BM_RawInflate)->SIZES;
BENCHMARK(BM_Crc32)->SIZES;
BENCHMARK(BM_ZlibCrc32)->SIZES;
BENCHMARK(BM_PacketCrc)->Arg(kGameMaxData + kPacketOverhead);

int main(int argc, char** argv) {
    // zlib's stream state is a few hundred kilobytes: without this every deflateInit maps
    // and faults in fresh pages, and the small-message figures measure the allocator.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
