// The receive path on untrusted bytes: stream splitting, packet checks, fragment
// reassembly, chunk joining and message decoding, plus the codec on raw input.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/framing.h"
#include "netlib/log.h"
#include "netlib/message.h"

using namespace hqlv::netlib;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool once = [] {
        YrnLogOpen(nullptr, kLogLineEnd);  // format lines, write no files
        return true;
    }();
    (void)once;
    if (size < 1) return 0;
    const auto* key = reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
    uint8_t mode = data[0];
    ++data;
    --size;
    int maxData = (mode & 1) ? kGameMaxData : 64;
    uint32_t zlib = (mode & 2) ? kCodecZlib : 0;

    // The codec straight on the input, both directions.
    CYrnCodec codec(key, 128, kCodecAes, zlib);
    CYrnBuffer raw;
    raw.Append(data, size);
    CYrnBuffer copy = raw;
    codec.Process(raw, kCodecDecode);
    if (size < 2048) {
        codec.Process(copy, kCodecEncode);
        codec.Process(copy, kCodecDecode);
    }
    CYrnBuffer joined;
    YrnJoinChunks(data, size, joined, maxData);

    // The input as a packet stream.
    CYrnMessageAssembler assembler;
    CYrnResponseAssembler responses;
    responses.Expect(static_cast<int32_t>(mode >> 2) + 1);
    size_t pos = 0, packetSize = 0;
    for (;;) {
        YrnFrame f = YrnNextPacket(data + pos, size - pos, maxData, &packetSize);
        if (f != YrnFrame::Packet) break;
        const uint8_t* p = data + pos;
        pos += packetSize;
        if (!YrnCheckPacket(p, packetSize, maxData)) continue;
        YrnPacketHead head = YrnReadHead(p + 4);
        if (head.messageId <= 0 || head.fragment <= 0) continue;
        if (head.type == kPacketResponse) {
            auto r = responses.Feed(head, p + kPacketOverhead, YrnPacketDataLength(p), 1, 2);
            if (r == CYrnResponseAssembler::kComplete) {
                YrnEnvelope* env = nullptr;
                YrnRecord* rec = nullptr;
                CYrnBuffer& m = responses.Message();
                if (YrnDecodeMessage(m.Data(), m.Size(), &env, &rec, key, 128, kCodecAes, zlib,
                                     maxData))
                    YrnFreeSocketMessage(env, rec);
                responses.Expect(head.messageId < 0x7fffffff ? head.messageId + 1 : 1);
            }
            continue;
        }
        auto outcome = assembler.Feed(head, p + kPacketOverhead, YrnPacketDataLength(p), 1, 2);
        if (outcome == CYrnMessageAssembler::kComplete) {
            YrnEnvelope* env = nullptr;
            YrnRecord* rec = nullptr;
            CYrnBuffer& m = assembler.Message();
            if (YrnDecodeMessage(m.Data(), m.Size(), &env, &rec, key, 128, kCodecAes, zlib,
                                 maxData))
                YrnFreeSocketMessage(env, rec);
            assembler.Clear();
        }
    }
    // The input as a reassembled message. The decoder reads the usual shape from the chunks
    // where they lie: it must give what joining them and the general codec give.
    YrnEnvelope* env = nullptr;
    YrnRecord* rec = nullptr;
    const int got = YrnDecodeMessage(data, size, &env, &rec, key, 128, kCodecAes, zlib, maxData);
    CYrnBuffer whole;
    CYrnCodec general(key, 128, kCodecAes, zlib);
    const bool joinedOk =
        size >= kEnvelopeSize &&
        YrnJoinChunks(data + kEnvelopeSize, size - kEnvelopeSize, whole, maxData) > 0 &&
        general.Process(whole, kCodecDecode) && whole.Size() >= kRecordHeadSize + 4;
    const uint8_t* w = whole.Data();
    const int32_t wantLen =
        joinedOk ? static_cast<int32_t>(w[24] | w[25] << 8 | w[26] << 16 | uint32_t(w[27]) << 24)
                 : -1;
    const bool want = joinedOk && wantLen >= 0 &&
                      static_cast<size_t>(wantLen) <= whole.Size() - kRecordHeadSize - 4;
    if ((got == 1) != want) abort();
    if (got) {
        if (rec->length != wantLen || (wantLen > 0 && std::memcmp(rec->data, w + 28, wantLen)))
            abort();
        for (int i = 0; i < 6; ++i) {
            const int32_t h = static_cast<int32_t>(
                w[4 * i] | w[4 * i + 1] << 8 | w[4 * i + 2] << 16 | uint32_t(w[4 * i + 3]) << 24);
            if (rec->head[i] != h) abort();
        }
        YrnFreeSocketMessage(env, rec);
    }

    // The input as a record's data: packets encoded straight from it are the encoding framed.
    if (size < 2048) {
        YrnRecord out;
        out.head[2] = static_cast<int32_t>(size);
        out.length = static_cast<int32_t>(size);
        out.data = const_cast<uint8_t*>(data);
        CYrnBuffer encoded, direct, framed;
        std::atomic<int32_t> a{0}, b{0};
        const int n = YrnEncodeMessagePackets(out, key, 128, kCodecAes, zlib, maxData, 1, 1, 0,
                                              true, a, direct);
        if (!YrnEncodeMessage(out, key, 128, kCodecAes, zlib, encoded)) abort();
        if (YrnFrameMessage(encoded, maxData, 1, 1, 0, true, b, framed) != n) abort();
        if (direct.Size() != framed.Size() ||
            std::memcmp(direct.Data(), framed.Data(), direct.Size()) != 0)
            abort();
    }
    return 0;
}
