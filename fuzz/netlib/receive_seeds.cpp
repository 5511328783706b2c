// Seeds of the receive-path harness: well-formed packet streams of encoded messages and
// responses, with and without compression, in both packet sizes the harness picks; and the
// same with packets longer than the data they name.
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
                // The same packets, each holding three bytes behind the data its length
                // names (length and check sum made to fit), where a packet has room left.
                std::vector<uint8_t> padded{mode};
                bool fits = true;
                for (size_t pos = 0; pos < packets.Size() && fits;) {
                    const uint8_t* p = packets.At(pos);
                    const uint32_t L = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                       uint32_t(p[3]) << 24;
                    fits = L + 3 <= uint32_t(maxData) + 56;
                    std::vector<uint8_t> one(p, p + L + 4);
                    one.insert(one.end(), {0xEE, 0xEE, 0xEE});
                    for (int b = 0; b < 4; ++b) one[size_t(b)] = uint8_t((L + 3) >> (8 * b));
                    const uint32_t crc = YrnPacketCrc(one.data(), one.size());
                    for (int b = 0; b < 4; ++b) one[16 + size_t(b)] = uint8_t(crc >> (8 * b));
                    padded.insert(padded.end(), one.begin(), one.end());
                    pos += L + 4;
                }
                if (fits) ok &= hqlv::fuzzseed::Seed("padded-" + std::to_string(n++), padded);
            }
        }
    }
    return ok;
}
