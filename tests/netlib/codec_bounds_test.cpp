// Bounds the codec steps and the packet check hold at their edges: a message over the largest
// one is refused by each encoding step (one at the largest still passes), and a packet check
// never reads a missing or short packet.
#include <gtest/gtest.h>

#include "netlib/codec.h"
#include "netlib/framing.h"

using namespace hqlv::netlib;

TEST(CodecBounds, EachEncodingStepRefusesMoreThanTheLargestMessage) {
    CYrnCodec codec(nullptr, 128, 0, 0);  // both steps pass through: only the bound decides
    for (const size_t n : {kMaxMessageSize, kMaxMessageSize + 1}) {
        CYrnBuffer b;
        b.Resize(n);
        EXPECT_EQ(codec.AesStep(b, kCodecEncode), n == kMaxMessageSize ? 1 : 0) << n;
        CYrnBuffer z;
        z.Resize(n);
        EXPECT_EQ(codec.ZlibStep(z, kCodecEncode), n == kMaxMessageSize ? 1 : 0) << n;
    }
}

TEST(CodecBounds, PacketCheckRefusesAMissingOrShortPacket) {
    const uint8_t shortPacket[3] = {61, 0, 0};
    EXPECT_EQ(YrnCheckPacket(nullptr, 0, kGameMaxData), 0);
    EXPECT_EQ(YrnCheckPacket(nullptr, 100, kGameMaxData), 0);
    EXPECT_EQ(YrnCheckPacket(shortPacket, sizeof shortPacket, kGameMaxData), 0);
}
