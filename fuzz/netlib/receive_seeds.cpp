// Seeds of the receive-path harness: well-formed packet streams of encoded messages and
// responses, with and without compression, in both packet sizes the harness picks.
#include <atomic>
#include <string>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/framing.h"
#include "netlib/message.h"
#include "seed_writer.h"

using namespace hqlv::netlib;

bool WriteSeeds() {
    const auto* key = reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
    bool ok = true;
    int n = 0;
    std::atomic<int32_t> sequence{0};
    for (uint8_t mode : {0, 1, 2, 3}) {
        const int maxData = (mode & 1) ? kGameMaxData : 64;
        const uint32_t zlib = (mode & 2) ? kCodecZlib : 0;
        for (int32_t type : {kPacketMessage, kPacketResponse}) {
            for (size_t len : {0, 9, 150}) {
                std::vector<uint8_t> body(len);
                for (size_t i = 0; i < len; ++i) body[i] = uint8_t('a' + i % 7);
                YrnRecord rec;
                rec.head[1] = 229010;
                rec.length = static_cast<int32_t>(len);
                rec.data = body.data();
                CYrnBuffer enc, chunks, packets;
                if (!YrnEncodeMessage(rec, key, 128, kCodecAes, zlib, enc)) return false;
                YrnSplitChunks(enc, chunks, maxData);
                // The response the harness expects first has id (mode >> 2) + 1 = 1.
                YrnFramePackets(chunks, type, 1, 0, true, sequence, packets);
                std::vector<uint8_t> seed{mode};
                seed.insert(seed.end(), packets.Data(), packets.Data() + packets.Size());
                ok &= hqlv::fuzzseed::Seed("stream-" + std::to_string(n++), seed);
            }
        }
    }
    return ok;
}
