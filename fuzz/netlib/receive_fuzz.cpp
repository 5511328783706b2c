// The receive path on untrusted bytes: stream splitting, packet checks, fragment
// reassembly, chunk joining and message decoding, plus the codec on raw input.
#include <cstddef>
#include <cstdint>

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
            auto r = responses.Feed(head, p + kPacketOverhead, packetSize - kPacketOverhead, 1, 2);
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
        auto outcome =
            assembler.Feed(head, p + kPacketOverhead, packetSize - kPacketOverhead, 1, 2);
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
    // The input as a reassembled message.
    YrnEnvelope* env = nullptr;
    YrnRecord* rec = nullptr;
    if (YrnDecodeMessage(data, size, &env, &rec, key, 128, kCodecAes, zlib, maxData))
        YrnFreeSocketMessage(env, rec);
    return 0;
}
