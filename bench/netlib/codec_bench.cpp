// Throughput of the message codec beside the raw library operations it is built on, in the
// same run, each baseline used the way a program that knew its job would use it: AES-128-ECB
// through EVP with one context keyed once (an ECB context carries nothing from one message
// to the next), and zlib deflate/inflate with one stream reset for every message, writing
// into buffers made once and compressing what the wire compresses (the message's front
// with its body, checked to give the codec's bytes). Rows: the message alone (serialise, steps,
// cipher; the way in: joining, steps, cipher, record) and the whole way (with the chunks, packets
// and their CRC-32, packet checks and reassembly). After the runs the ratios to the baselines are
// printed by size, with the codec's own cost per message (its time less the cipher's). Every
// row runs 9 times, interleaved, and counts at its fastest run (see fastest_runs.h).
// The packets' CRC-32 is measured beside zlib's crc32 over the same bytes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/fastest_runs.h"
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
void BM_MessageEncodeAesZlib(benchmark::State& s) {
    MessageEncode(s, kCodecZlib);
}
void BM_MessageDecodeAesZlib(benchmark::State& s) {
    MessageDecode(s, kCodecZlib);
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
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key(), nullptr, enc);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int got = 0;
        EVP_CipherUpdate(ctx, out.data(), &got, body.data(), static_cast<int>(n));
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
void BM_RawAesEncrypt(benchmark::State& s) {
    RawAes(s, 1);
}
void BM_RawAesDecrypt(benchmark::State& s) {
    RawAes(s, 0);
}

// The cipher and the packets' checksum over its output: the library work the whole way
// cannot do without (the CRC-32 is this library's, as fast as any at hand; zlib's is beside
// it below).
void BM_RawAesCrc(benchmark::State& state) {
    auto body = payload(static_cast<size_t>(state.range(0)));
    size_t n = body.size() - body.size() % 16 + 16;
    body.resize(n, 0);
    std::vector<uint8_t> out(n);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key(), nullptr, 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int got = 0;
        EVP_CipherUpdate(ctx, out.data(), &got, body.data(), static_cast<int>(n));
        benchmark::DoNotOptimize(CYrnCrc32::Update(0, out.data(), n));
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// What the compression step takes in: the message as the record serialises it (its 28-byte
// front, then the body). The wire compresses the front too, so the baselines get it as well.
std::vector<uint8_t> serialised(size_t n) {
    auto body = payload(n);
    YrnRecord rec;
    rec.head[1] = 229010;
    rec.length = static_cast<int32_t>(body.size());
    rec.data = body.data();
    CYrnBuffer bytes;
    YrnRecordToBytes(rec, bytes);
    return std::vector<uint8_t>(bytes.Data(), bytes.Data() + bytes.Size());
}

// zlib making the bytes of the codec's compression step (a sync flush after every 32768
// input bytes; checked to be the same bytes), with one stream reset for each message.
void BM_RawDeflate(benchmark::State& state) {
    const auto in = serialised(static_cast<size_t>(state.range(0)));
    z_stream zs{};
    deflateInit(&zs, Z_DEFAULT_COMPRESSION);
    std::vector<uint8_t> out(deflateBound(&zs, in.size()) + 6 * (in.size() / 32768 + 1));
    auto once = [&] {
        deflateReset(&zs);
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        for (size_t pos = 0; pos < in.size(); pos += 32768) {
            zs.next_in = const_cast<Bytef*>(in.data() + pos);
            zs.avail_in = static_cast<uInt>(std::min<size_t>(32768, in.size() - pos));
            deflate(&zs, Z_SYNC_FLUSH);
        }
        return out.size() - zs.avail_out;
    };
    std::vector<uint8_t> codec;
    YrnZlibTransform(in.data(), in.size(), codec, 0x401);
    const size_t made = once();
    if (made != codec.size() || !std::equal(codec.begin(), codec.end(), out.begin()))
        state.SkipWithError("not the codec's bytes");
    for (auto _ : state) benchmark::DoNotOptimize(once());
    deflateEnd(&zs);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// zlib undoing the codec's compression step, with one stream reset for each message.
void BM_RawInflate(benchmark::State& state) {
    const auto in = serialised(static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> packed;
    YrnZlibTransform(in.data(), in.size(), packed, 0x401);
    std::vector<uint8_t> out(in.size());
    z_stream zs{};
    inflateInit(&zs);
    for (auto _ : state) {
        inflateReset(&zs);
        zs.next_in = packed.data();
        zs.avail_in = static_cast<uInt>(packed.size());
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        inflate(&zs, Z_SYNC_FLUSH);
        benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&zs);
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
BENCHMARK(BM_MessageEncodeAes)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_MessageDecodeAes)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_MessageEncodeAesZlib)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_MessageDecodeAesZlib)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_CodecEncodeAes)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_CodecDecodeAes)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_RawAesEncrypt)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_RawAesDecrypt)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_RawAesCrc)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_CodecEncodeAesZlib)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_CodecDecodeAesZlib)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_RawDeflate)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_RawInflate)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_Crc32)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_ZlibCrc32)->SIZES->Apply(hqlv::bench::Repeated);
BENCHMARK(BM_PacketCrc)->Arg(kGameMaxData + kPacketOverhead)->Apply(hqlv::bench::Repeated);

namespace {

// The ratios of the codec's rows to their baselines, by size, from the fastest runs' CPU
// times of this run.
class RatioReporter : public hqlv::bench::FastestRuns {
public:
    void Finalize() override {
        FastestRuns::Finalize();
        auto t = [this](const std::string& row, int size) {
            return Cpu(row + "/" + std::to_string(size));
        };
        auto line = [&](const char* what, const std::string& row, const std::string& base,
                        double goal, bool fixedCost) {
            std::printf("  %-26s", what);
            bool met = true, seen = false;
            for (int size : {100, 4096, 65536}) {
                const double a = t(row, size), b = t(base, size);
                if (a <= 0 || b <= 0) {
                    std::printf("  %7s", "-");
                    continue;
                }
                std::printf("  %6.2fx", a / b);
                if (goal > 0 && (size > 100 || goal < 1.5)) met = met && a / b <= goal, seen = true;
            }
            if (fixedCost && t(row, 100) > 0 && t(base, 100) > 0)
                std::printf("   own cost %.0f ns a message", t(row, 100) - t(base, 100));
            if (seen) std::printf("   goal %.1fx: %s", goal, met ? "ok" : "MISSED");
            std::printf("\n");
        };
        std::printf("\ncodec time / baseline time      100 B     4 KB    64 KB\n");
        line("message encode / AES", "BM_MessageEncodeAes", "BM_RawAesEncrypt", 1.5, true);
        line("message decode / AES", "BM_MessageDecodeAes", "BM_RawAesDecrypt", 1.5, true);
        line("whole encode / AES", "BM_CodecEncodeAes", "BM_RawAesEncrypt", 0, true);
        line("whole decode / AES", "BM_CodecDecodeAes", "BM_RawAesDecrypt", 0, true);
        line("whole encode / AES+CRC", "BM_CodecEncodeAes", "BM_RawAesCrc", 0, true);
        line("whole decode / AES+CRC", "BM_CodecDecodeAes", "BM_RawAesCrc", 0, true);
        line("message encode / deflate", "BM_MessageEncodeAesZlib", "BM_RawDeflate", 1.2, false);
        line("message decode / inflate", "BM_MessageDecodeAesZlib", "BM_RawInflate", 1.2, false);
        line("whole encode / deflate", "BM_CodecEncodeAesZlib", "BM_RawDeflate", 0, false);
        line("whole decode / inflate", "BM_CodecDecodeAesZlib", "BM_RawInflate", 0, false);
        std::printf(
            "(the goals are the codec's, the message rows: at most 1.5 times the cipher at 4 KB\n"
            " and 64 KB, 1.2 times zlib at every size. The whole way also frames, checks and\n"
            " joins packets with their CRC-32, work the libraries alone do not do.)\n");
    }
};

}  // namespace

int main(int argc, char** argv) {
    // zlib's stream state is a few hundred kilobytes: without this the first deflateInit
    // maps and faults in fresh pages, and the figures measure the allocator.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    std::vector<char*> args = hqlv::bench::InterleavedArguments(argc, argv);
    int count = int(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
