// Packets, chunks, the hello, the receive checks and fragment reassembly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hqlv/config.h"
#include "netlib/codec.h"
#include "netlib/crc32.h"
#include "netlib/framing.h"
#include "netlib/log.h"
#include "netlib/message.h"

using namespace hqlv::netlib;

namespace {

int32_t i32at(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                   (uint32_t(p[3]) << 24));
}
// Each listed word {offset, value} of a packet.
void expectWords(const uint8_t* p, std::initializer_list<std::pair<size_t, int32_t>> words) {
    for (auto [off, v] : words) EXPECT_EQ(i32at(p + off), v) << "word at " << off;
}
void putI32(uint8_t* p, int32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint32_t(v) >> (8 * i));
}

const uint8_t* gameKey() {
    return reinterpret_cast<const uint8_t*>(HQLV_GAME_AES_KEY);
}

// Frames one encoded message of `size` bytes and returns the packet stream.
CYrnBuffer frameOf(size_t size, std::atomic<int32_t>& seq, int32_t id = 7, int type = 1) {
    CYrnBuffer msg, chunks, out;
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 13);
    msg.Append(bytes.data(), size);
    YrnSplitChunks(msg, chunks, kGameMaxData);
    YrnFramePackets(chunks, type, id, 1, true, seq, out);
    return out;
}

std::vector<size_t> packetSizes(const CYrnBuffer& stream) {
    std::vector<size_t> sizes;
    size_t pos = 0, sz = 0;
    while (YrnNextPacket(stream.Data() + pos, stream.Size() - pos, kGameMaxData, &sz) ==
           YrnFrame::Packet) {
        EXPECT_EQ(YrnCheckPacket(stream.Data() + pos, sz, kGameMaxData), 1);
        sizes.push_back(sz);
        pos += sz;
    }
    EXPECT_EQ(pos, stream.Size());
    return sizes;
}

CYrnBuffer onePacket(size_t n, bool crc = true) {
    YrnPacketHead h;
    h.type = 1;
    h.messageId = 1;
    h.fragment = 1;
    h.last = 1;
    std::vector<uint8_t> data(n, 0x5A);
    CYrnBuffer out;
    YrnBuildPacket(h, data.data(), n, crc, out);
    return out;
}

}  // namespace

TEST(Framing, HelloIs25Bytes) {
    CYrnBuffer hello;
    YrnBuildHello("Hello! Game Channel.", 21, hello);
    ASSERT_EQ(hello.Size(), 25u);
    EXPECT_EQ(i32at(hello.Data()), 21);
    EXPECT_EQ(0, std::memcmp(hello.Data() + 4, "Hello! Game Channel.\0", 21));
}

TEST(Framing, BodylessRequestSizesThroughTheCodec) {
    YrnRecord req;
    req.head[1] = 200110;
    CYrnBuffer raw;
    YrnRecordToBytes(req, raw);
    EXPECT_EQ(raw.Size(), 28u);
    CYrnBuffer enc;
    ASSERT_EQ(YrnEncodeMessage(req, gameKey(), 128, kCodecAes, 0, enc), 1);
    EXPECT_EQ(enc.Size(), 84u);
    EXPECT_EQ(i32at(enc.Data() + 4), 48);   // the inner step's output
    EXPECT_EQ(i32at(enc.Data() + 16), 64);  // the cipher text
    CYrnBuffer chunks, packets;
    ASSERT_EQ(YrnSplitChunks(enc, chunks, kGameMaxData), 1);
    std::atomic<int32_t> seq{0};
    ASSERT_EQ(YrnFramePackets(chunks, 1, 1, 1, true, seq, packets), 1);
    ASSERT_EQ(packets.Size(), 144u);
    const uint8_t* p = packets.Data();
    // Length, type, sequence, CRC flag, message id, fragment, last, wait, data length.
    expectWords(p,
                {{0, 140}, {4, 1}, {8, 1}, {12, 1}, {28, 1}, {32, 1}, {36, 1}, {44, 1}, {56, 84}});
    // The CRC covers the whole packet with the CRC fields zero.
    std::vector<uint8_t> copy(p, p + 144);
    std::memset(copy.data() + 12, 0, 8);
    EXPECT_EQ(uint32_t(i32at(p + 16)), CYrnCrc32().Compute(copy.data(), copy.size()));
}

TEST(Framing, MessageOf4001BytesGoesOutAsTwoPackets) {
    std::atomic<int32_t> seq{10};
    CYrnBuffer one = frameOf(4000, seq);
    EXPECT_EQ(packetSizes(one), std::vector<size_t>({4060}));
    EXPECT_EQ(i32at(one.Data()), 4056);
    CYrnBuffer two = frameOf(4001, seq, 9);
    ASSERT_EQ(packetSizes(two), std::vector<size_t>({4060, 61}));
    const uint8_t* a = two.Data();
    const uint8_t* b = two.Data() + 4060;
    // Message id, sequence, fragment, last (and the second one's data length).
    expectWords(a, {{28, 9}, {8, 12}, {32, 1}, {36, 0}});
    expectWords(b, {{28, 9}, {8, 13}, {32, 2}, {36, 1}, {56, 1}});
    // Malformed chunk input is refused by the framer.
    CYrnBuffer bad, out;
    bad.AppendI32(50);
    bad.Append("short", 5);
    EXPECT_EQ(YrnFramePackets(bad, 1, 1, 0, false, seq, out), -1);
    // So are chunk lengths of zero, below zero and above the packet limit, with the data they
    // announce (a byte at least, so that the chunk is read).
    const std::vector<uint8_t> data(4001, 1);
    for (int32_t n : {0, -1, 4001}) {
        CYrnBuffer chunk;
        chunk.AppendI32(n);
        chunk.Append(data.data(), n > 0 ? size_t(n) : 1);
        EXPECT_EQ(YrnFramePackets(chunk, 1, 1, 0, false, seq, out), -1) << n;
    }
}

TEST(Framing, MessageFramedDirectlyIsTheChunkedFraming) {
    struct Case {
        size_t size;
        int maxData;
        bool crc;
    };
    const Case cases[] = {{0, 4000, true},     {1, 4000, true},    {3999, 4000, false},
                          {4000, 4000, true},  {4001, 4000, true}, {8000, 4000, true},
                          {65557, 4000, true}, {10, 3, false},     {10, 1, true}};
    for (const Case& c : cases) {
        CYrnBuffer msg;
        std::vector<uint8_t> bytes(c.size);
        for (size_t i = 0; i < c.size; ++i) bytes[i] = uint8_t(i * 31 + 7);
        msg.Append(bytes.data(), bytes.size());
        CYrnBuffer copy = msg, chunks, want, got;
        got.Append("pre", 3);  // appended after what the output holds
        want.Append("pre", 3);
        std::atomic<int32_t> seqA{41}, seqB{41};
        YrnSplitChunks(copy, chunks, c.maxData);
        const int n = YrnFramePackets(chunks, 2, 77, 1, c.crc, seqA, want);
        EXPECT_EQ(YrnFrameMessage(msg, c.maxData, 2, 77, 1, c.crc, seqB, got), n) << c.size;
        ASSERT_EQ(got.Size(), want.Size()) << c.size << " / " << c.maxData;
        EXPECT_EQ(std::memcmp(got.Data(), want.Data(), got.Size()), 0) << c.size;
        EXPECT_EQ(seqB.load(), seqA.load());
    }
    CYrnBuffer msg, out;
    msg.Append("x", 1);
    std::atomic<int32_t> seq{0};
    for (int bad : {0, 4001}) EXPECT_EQ(YrnFrameMessage(msg, bad, 1, 1, 0, true, seq, out), 0);
    EXPECT_EQ(out.Size(), 0u);
    EXPECT_EQ(seq.load(), 0);
}

TEST(Framing, LengthRuleIsCheckedAsSoonAsTheLengthArrives) {
    uint8_t word[4];
    size_t sz = 0;
    for (int32_t L : {0, -5, 24, 56, 4057, 0x7fffffff}) {
        putI32(word, L);
        EXPECT_EQ(YrnNextPacket(word, 4, kGameMaxData, &sz), YrnFrame::Error) << L;
    }
    putI32(word, 57);
    EXPECT_EQ(YrnNextPacket(word, 4, kGameMaxData, &sz), YrnFrame::NeedMore);
    EXPECT_EQ(YrnNextPacket(word, 3, kGameMaxData, &sz), YrnFrame::NeedMore);
    putI32(word, 4056);
    EXPECT_EQ(YrnNextPacket(word, 4, kGameMaxData, &sz), YrnFrame::NeedMore);
    putI32(word, 156);
    EXPECT_EQ(YrnNextPacket(word, 4, 100, &sz), YrnFrame::NeedMore);
    putI32(word, 157);
    EXPECT_EQ(YrnNextPacket(word, 4, 100, &sz), YrnFrame::Error);

    CYrnBuffer p57 = onePacket(1);
    ASSERT_EQ(YrnNextPacket(p57.Data(), p57.Size(), kGameMaxData, &sz), YrnFrame::Packet);
    EXPECT_EQ(sz, 61u);
    EXPECT_EQ(YrnCheckPacket(p57.Data(), p57.Size(), kGameMaxData), 1);
    // Split across two reads: complete only when its last byte is there.
    EXPECT_EQ(YrnNextPacket(p57.Data(), 60, kGameMaxData, &sz), YrnFrame::NeedMore);
}

TEST(Framing, PacketChecks) {
    CYrnBuffer good = onePacket(100);
    ASSERT_EQ(YrnCheckPacket(good.Data(), good.Size(), kGameMaxData), 1);
    CYrnBuffer flipped = good;
    flipped.Data()[100] ^= 1;
    EXPECT_EQ(YrnCheckPacket(flipped.Data(), flipped.Size(), kGameMaxData), 0);
    // Without the CRC flag no CRC is computed, whatever the data.
    CYrnBuffer plain = onePacket(100, false);
    plain.Data()[100] ^= 1;
    EXPECT_EQ(YrnCheckPacket(plain.Data(), plain.Size(), kGameMaxData), 1);
    // A CRC computed with the CRC fields filled in does not match.
    CYrnBuffer filled = onePacket(100, false);
    putI32(filled.Data() + 12, 1);
    putI32(filled.Data() + 16, 0x12345678);
    putI32(filled.Data() + 16, int32_t(CYrnCrc32().Compute(filled.Data(), filled.Size())));
    EXPECT_EQ(YrnCheckPacket(filled.Data(), filled.Size(), kGameMaxData), 0);
    // The data length may name fewer bytes than the packet holds (down to none), never more.
    CYrnBuffer shorter = onePacket(100, false);
    for (int32_t n : {100, 99, 1, 0}) {
        putI32(shorter.Data() + 56, n);
        EXPECT_EQ(YrnCheckPacket(shorter.Data(), shorter.Size(), kGameMaxData), 1) << n;
        EXPECT_EQ(YrnPacketDataLength(shorter.Data()), size_t(n));
    }
    for (int32_t n : {101, 5000, -1, INT32_MIN}) {
        putI32(shorter.Data() + 56, n);
        EXPECT_EQ(YrnCheckPacket(shorter.Data(), shorter.Size(), kGameMaxData), 0) << n;
    }
    EXPECT_EQ(YrnCheckPacket(good.Data(), good.Size() - 1, kGameMaxData), 0);
    EXPECT_EQ(YrnCheckPacket(good.Data(), good.Size(), 50), 0);
    // The largest packet a chunk size allows, and one byte more.
    EXPECT_EQ(YrnCheckPacket(good.Data(), good.Size(), 100), 1);
    CYrnBuffer over = onePacket(101);
    EXPECT_EQ(YrnCheckPacket(over.Data(), over.Size(), 100), 0);
    EXPECT_EQ(YrnCheckPacket(over.Data(), over.Size(), 101), 1);
    // A head-sized L = 24 packet is refused: it holds no message id or fragment to check.
    uint8_t tiny[28] = {};
    putI32(tiny, 24);
    putI32(tiny + 4, 1);
    EXPECT_EQ(YrnCheckPacket(tiny, sizeof tiny, kGameMaxData), 0);
}

TEST(Framing, ChunkJoiningIsBounded) {
    std::string dir = ::testing::TempDir() + "/hqlv-join-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    YrnLogSetFolder(dir);
    YrnLogOpen("Join", 0xA001D);
    CYrnBuffer in, out;
    in.AppendI32(3);
    in.Append("abc", 3);
    in.AppendI32(2);
    in.Append("de", 2);
    EXPECT_EQ(YrnJoinChunks(in.Data(), in.Size(), out, 4000), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.Data()), out.Size()), "abcde");

    CYrnBuffer big;
    big.AppendI32(4001);
    big.Append(std::string(4001, 'x').data(), 4001);
    EXPECT_EQ(YrnJoinChunks(big.Data(), big.Size(), out, 4000), 0);
    CYrnBuffer past;  // claims more than is there
    past.AppendI32(10);
    past.Append("abc", 3);
    EXPECT_EQ(YrnJoinChunks(past.Data(), past.Size(), out, 4000), 0);
    CYrnBuffer negative;
    negative.AppendI32(-1);
    negative.Append("abc", 3);
    EXPECT_EQ(YrnJoinChunks(negative.Data(), negative.Size(), out, 4000), 0);
    EXPECT_EQ(YrnJoinChunks(in.Data(), 4, out, 4000), 0);  // no chunk at all

    YrnLogOpen("YRNLog", 0x80008);
    YrnLogClose();
    YrnLogSetFolder("");
    std::string log;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        std::ifstream f(e.path(), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        log += ss.str();
    }
    std::filesystem::remove_all(dir);
    EXPECT_NE(log.find("packet length error! len = 4001\r\n"), std::string::npos);
    EXPECT_NE(log.find("packet length error! len = 10\r\n"), std::string::npos);
    EXPECT_NE(log.find("packet length error! len = -1\r\n"), std::string::npos);
}

namespace {
YrnPacketHead frag(int32_t id, int32_t n, bool last) {
    YrnPacketHead h;
    h.type = 1;
    h.messageId = id;
    h.fragment = n;
    h.last = last ? 1 : 0;
    return h;
}
}  // namespace

TEST(Framing, ReassemblyRules) {
    CYrnMessageAssembler a;
    const uint8_t d[] = {1, 2, 3};
    using A = CYrnMessageAssembler;
    // A fragment 2 with no message in progress is dropped.
    EXPECT_EQ(a.Feed(frag(5, 2, false), d, 3, 9, 77), A::kDropped);
    // 1, 2, 2: the repeat abandons the message; nothing is delivered.
    EXPECT_EQ(a.Feed(frag(5, 1, false), d, 3, 9, 77), A::kContinued);
    EXPECT_EQ(a.Feed(frag(5, 2, false), d, 3, 9, 77), A::kContinued);
    EXPECT_EQ(a.Feed(frag(5, 2, true), d, 3, 9, 77), A::kDropped);
    EXPECT_EQ(a.CurrentId(), 0);
    EXPECT_EQ(a.Feed(frag(5, 3, true), d, 3, 9, 77), A::kDropped);
    // 1, 3: the same.
    EXPECT_EQ(a.Feed(frag(6, 1, false), d, 3, 9, 77), A::kContinued);
    EXPECT_EQ(a.Feed(frag(6, 3, true), d, 3, 9, 77), A::kDropped);
    // Another id in the middle of a message abandons it too.
    EXPECT_EQ(a.Feed(frag(7, 1, false), d, 3, 9, 77), A::kContinued);
    EXPECT_EQ(a.Feed(frag(8, 2, true), d, 3, 9, 77), A::kDropped);
    // A good message: envelope, then [n][chunk] per fragment.
    EXPECT_EQ(a.Feed(frag(8, 1, false), d, 3, 9, 77), A::kContinued);
    EXPECT_EQ(a.Feed(frag(8, 2, true), d, 2, 9, 77), A::kComplete);
    CYrnBuffer& m = a.Message();
    ASSERT_EQ(m.Size(), 24u + 7u + 6u);
    YrnEnvelope e = YrnEnvelopeFromBytes(m.Data());
    EXPECT_EQ(e.socket, 9);
    EXPECT_EQ(e.messageId, 8);
    EXPECT_EQ(e.objectId, 77u);
    EXPECT_EQ(i32at(m.Data() + 24), 3);
    EXPECT_EQ(i32at(m.Data() + 31), 2);
    a.Clear();
    EXPECT_EQ(a.Feed(frag(8, 2, true), d, 2, 9, 77), A::kDropped);
    // A message (envelope and fragments) of exactly the largest size is taken by both
    // assemblers; one byte more is not.
    using R = CYrnResponseAssembler;
    R r;
    std::vector<uint8_t> huge(kMaxMessageSize - 8 + 1);
    for (size_t n : {huge.size() - 1, huge.size()}) {
        const bool fits = n < huge.size();
        a.Clear();
        r.Expect(9);
        EXPECT_EQ(a.Feed(frag(9, 1, false), d, 0, 9, 77), A::kContinued);
        EXPECT_EQ(r.Feed(frag(9, 1, false), d, 0, 9, 77), R::kContinued);
        EXPECT_EQ(a.Feed(frag(9, 2, true), huge.data(), n, 9, 77),
                  fits ? A::kComplete : A::kTooLarge);
        EXPECT_EQ(r.Feed(frag(9, 2, true), huge.data(), n, 9, 77), fits ? R::kComplete : R::kError);
    }
}

TEST(Framing, HeadFieldsAndShortPackets) {
    YrnPacketHead h;
    int32_t* f[] = {&h.type,      &h.sequence,  &h.crcFlag,  nullptr, &h.reserved1,
                    &h.reserved2, &h.messageId, &h.fragment, &h.last, &h.reserved3,
                    &h.waitFlag,  &h.reserved4, &h.reserved5};
    h.crc = 0x01020304u;
    for (int i = 0; i < 13; ++i)
        if (f[i]) *f[i] = 0x01010101 * (i + 1) + i;
    uint8_t bytes[52];
    YrnWriteHead(h, bytes);
    const YrnPacketHead back = YrnReadHead(bytes);
    EXPECT_EQ(std::memcmp(&back, &h, sizeof h), 0);
    EXPECT_EQ(i32at(bytes + 12), 0x01020304);
    // Packets shorter than the CRC fields take the CRC of all their bytes.
    EXPECT_EQ(YrnPacketCrc(bytes, 10), CYrnCrc32::Update(0, bytes, 10));
    // Chunk lengths of 0 or past the largest packet stop the framing.
    for (int32_t n : {0, kMaxPacketData + 1}) {
        CYrnBuffer chunks, out;
        chunks.AppendI32(n);
        chunks.Append(std::vector<uint8_t>(kMaxPacketData + 1, 1).data(), kMaxPacketData + 1);
        std::atomic<int32_t> seq{0};
        EXPECT_EQ(YrnFramePackets(chunks, 1, 1, 0, true, seq, out), -1) << n;
    }
}

TEST(Framing, DecodeMessageFromReassembledFragments) {
    YrnRecord rec;
    rec.head[0] = 11;
    rec.head[1] = 229010;
    std::string body(6000, 'b');
    rec.length = int32_t(body.size());
    rec.data = reinterpret_cast<uint8_t*>(body.data());
    CYrnBuffer enc, chunks, packets;
    ASSERT_EQ(YrnEncodeMessage(rec, gameKey(), 128, kCodecAes, 0, enc), 1);
    ASSERT_EQ(YrnSplitChunks(enc, chunks, kGameMaxData), 2);
    std::atomic<int32_t> seq{0};
    ASSERT_EQ(YrnFramePackets(chunks, 1, 3, 0, true, seq, packets), 2);
    CYrnMessageAssembler a;
    size_t pos = 0, sz = 0;
    CYrnMessageAssembler::Outcome o = CYrnMessageAssembler::kDropped;
    while (YrnNextPacket(packets.Data() + pos, packets.Size() - pos, kGameMaxData, &sz) ==
           YrnFrame::Packet) {
        const uint8_t* p = packets.Data() + pos;
        o = a.Feed(YrnReadHead(p + 4), p + 60, sz - 60, 4, 5);
        pos += sz;
    }
    ASSERT_EQ(o, CYrnMessageAssembler::kComplete);
    YrnEnvelope* env = nullptr;
    YrnRecord* out = nullptr;
    ASSERT_EQ(YrnDecodeMessage(a.Message().Data(), a.Message().Size(), &env, &out, gameKey(), 128,
                               kCodecAes, 0, kGameMaxData),
              1);
    EXPECT_EQ(env->messageId, 3);
    EXPECT_EQ(out->head[1], 229010);
    ASSERT_EQ(out->length, 6000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out->data), 6000), body);
    YrnFreeSocketMessage(env, out);

    // Wrong key: the decode fails and nothing is allocated (ASan would see a leak).
    const uint8_t other[16] = {9};
    EXPECT_EQ(YrnDecodeMessage(a.Message().Data(), a.Message().Size(), &env, &out, other, 128,
                               kCodecAes, 0, kGameMaxData),
              0);
    EXPECT_EQ(env, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(YrnDecodeMessage(a.Message().Data(), 20, &env, &out, gameKey(), 128, kCodecAes, 0,
                               kGameMaxData),
              0);

    // A decoded length beyond the decoded bytes is refused.
    YrnRecord liar;
    CYrnBuffer raw;
    YrnRecordToBytes(liar, raw);
    putI32(raw.Data() + 24, 50);
    CYrnCodec codec(nullptr, 128, 0, 0);
    codec.Process(raw, kCodecEncode);
    CYrnBuffer msg;
    uint8_t envBytes[24] = {};
    msg.Append(envBytes, 24);
    msg.AppendI32(int32_t(raw.Size()));
    msg.Append(raw.Data(), raw.Size());
    EXPECT_EQ(YrnDecodeMessage(msg.Data(), msg.Size(), &env, &out, nullptr, 128, 0, 0, 4000), 0);
    putI32(msg.Data() + 28 + 40 + 24, -1);
    EXPECT_EQ(YrnDecodeMessage(msg.Data(), msg.Size(), &env, &out, nullptr, 128, 0, 0, 4000), 0);
    putI32(msg.Data() + 28 + 40 + 24, 0);
    ASSERT_EQ(YrnDecodeMessage(msg.Data(), msg.Size(), &env, &out, nullptr, 128, 0, 0, 4000), 1);
    EXPECT_EQ(out->length, 0);
    EXPECT_EQ(out->data, nullptr);
    YrnFreeSocketMessage(env, out);

    // Decoded bytes too short to hold a record head and its length.
    CYrnBuffer stub;
    stub.Append("ten bytes!", 10);
    codec.Process(stub, kCodecEncode);
    CYrnBuffer shortMsg;
    shortMsg.Append(envBytes, 24);
    shortMsg.AppendI32(int32_t(stub.Size()));
    shortMsg.Append(stub.Data(), stub.Size());
    EXPECT_EQ(
        YrnDecodeMessage(shortMsg.Data(), shortMsg.Size(), &env, &out, nullptr, 128, 0, 0, 4000),
        0);
    EXPECT_EQ(out, nullptr);
}

TEST(Framing, RecordCopies) {
    YrnRecord src;
    src.head[1] = 42;
    uint8_t data[3] = {1, 2, 3};
    src.length = 3;
    src.data = data;
    YrnRecord dst;
    YrnCopyRecord(&dst, &src);
    ASSERT_NE(dst.data, data);
    EXPECT_EQ(dst.head[1], 42);
    EXPECT_EQ(0, std::memcmp(dst.data, data, 3));
    YrnFreeResponseData(&dst);
    EXPECT_EQ(dst.data, nullptr);
    YrnFreeResponseData(&dst);
    YrnFreeResponseData(nullptr);
    for (int32_t length : {0, 1}) {  // no bytes to copy: no data, and a length of 0
        src.length = length;
        src.data = length ? nullptr : data;
        YrnCopyRecord(&dst, &src);
        EXPECT_EQ(dst.data, nullptr);
        EXPECT_EQ(dst.length, 0);
    }
}

TEST(Framing, ResponseMatchingRules) {
    using R = CYrnResponseAssembler;
    R r;
    const uint8_t d[] = {7, 7};
    auto resp = [](int32_t id, int32_t n, bool last) {
        YrnPacketHead h = frag(id, n, last);
        h.type = 2;
        return h;
    };
    EXPECT_EQ(r.Feed(resp(3, 1, true), d, 2, 0, 0), R::kStray);  // nobody waits
    r.Expect(5);
    EXPECT_EQ(r.Feed(resp(4, 1, true), d, 2, 0, 0), R::kDropped);  // late answer
    EXPECT_EQ(r.Feed(resp(5, 1, false), d, 2, 0, 0), R::kContinued);
    EXPECT_EQ(r.Feed(resp(5, 1, false), d, 2, 0, 0), R::kDropped);  // repeat
    EXPECT_EQ(r.Feed(resp(5, 2, true), d, 1, 0, 0), R::kComplete);
    EXPECT_EQ(r.Message().Size(), 24u + 6u + 5u);
    EXPECT_EQ(r.ExpectedId(), 5);  // kept until the answer is stored
    r.Expect(0);
    EXPECT_EQ(r.Feed(resp(5, 2, true), d, 1, 0, 0), R::kStray);  // the last fragment again

    r.Expect(6);
    EXPECT_EQ(r.Feed(resp(6, 2, true), d, 2, 0, 0), R::kError);  // skipped fragment 1
    EXPECT_EQ(r.ExpectedId(), 0);
    r.Expect(7);
    EXPECT_EQ(r.Feed(resp(8, 1, true), d, 2, 0, 0), R::kError);  // a newer id
    EXPECT_EQ(r.ExpectedId(), 0);
    r.Expect(9);
    EXPECT_EQ(r.Feed(resp(9, 1, false), d, 2, 0, 0), R::kContinued);
    r.Expect(10);  // a new request drops the half-assembled one
    EXPECT_EQ(r.Message().Size(), 0u);
    EXPECT_EQ(r.Feed(resp(9, 2, true), d, 2, 0, 0), R::kDropped);
}

TEST(Framing, RecordEncodedIntoPacketsIsTheEncodingFramed) {
    static const uint8_t kKey256[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                        16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30};
    struct Case {
        size_t len;
        int maxData;
        bool crc;
        int keyBits;
        uint32_t zlib;
    };
    // Lengths around the lead (68 encoded bytes before the body's first block) and the
    // packet and block edges.
    const Case cases[] = {{0, 4000, true, 128, 0},
                          {1, 4000, true, 128, 0},
                          {15, 3, false, 128, 0},
                          {16, 16, true, 128, 0},
                          {17, 67, true, 256, 0},
                          {3915, 4000, true, 128, 0},
                          {3916, 4000, false, 128, 0},
                          {3932, 4000, true, 128, 0},
                          {8000, 68, true, 128, 0},
                          {65536, 4000, true, 128, 0},
                          {5000, 4000, true, 128, kCodecZlib}};
    for (const Case& c : cases) {
        std::vector<uint8_t> body(c.len);
        for (size_t i = 0; i < c.len; ++i) body[i] = uint8_t(i * 7 + 3);
        YrnRecord rec;
        for (int i = 0; i < 6; ++i) rec.head[i] = 1000 * i - 2;
        rec.length = static_cast<int32_t>(c.len);
        rec.data = c.len ? body.data() : nullptr;
        const uint8_t* key = c.keyBits == 256 ? kKey256 : gameKey();
        CYrnBuffer enc, want, got;
        want.Append("pre", 3);
        got.Append("pre", 3);
        std::atomic<int32_t> seqA{5}, seqB{5};
        ASSERT_EQ(YrnEncodeMessage(rec, key, c.keyBits, kCodecAes, c.zlib, enc), 1);
        const int n = YrnFrameMessage(enc, c.maxData, 1, 9, 1, c.crc, seqA, want);
        EXPECT_EQ(YrnEncodeMessagePackets(rec, key, c.keyBits, kCodecAes, c.zlib, c.maxData, 1, 9,
                                          1, c.crc, seqB, got),
                  n)
            << c.len;
        ASSERT_EQ(got.Size(), want.Size()) << c.len << " / " << c.maxData;
        EXPECT_EQ(std::memcmp(got.Data(), want.Data(), got.Size()), 0) << c.len;
        EXPECT_EQ(seqB.load(), seqA.load());
    }
    // Failures leave the output as it was.
    YrnRecord rec;
    rec.length = 4;
    rec.data = const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>("abcd"));
    CYrnBuffer out;
    out.Append("x", 1);
    std::atomic<int32_t> seq{0};
    EXPECT_EQ(
        YrnEncodeMessagePackets(rec, gameKey(), 100, kCodecAes, 0, 4000, 1, 1, 0, true, seq, out),
        0);  // no such key size
    EXPECT_EQ(
        YrnEncodeMessagePackets(rec, nullptr, 128, kCodecAes, 0, 4000, 1, 1, 0, true, seq, out), 0);
    EXPECT_EQ(YrnEncodeMessagePackets(rec, gameKey(), 128, 0x200, 0, 4000, 1, 1, 0, true, seq, out),
              0);  // encryption asked for without the cipher bit
    for (int bad : {0, 4001})
        EXPECT_EQ(YrnEncodeMessagePackets(rec, gameKey(), 128, kCodecAes, 0, bad, 1, 1, 0, true,
                                          seq, out),
                  0);
    // The same with compression on, which takes the general way: its failed encoding is not
    // framed either.
    EXPECT_EQ(YrnEncodeMessagePackets(rec, gameKey(), 100, kCodecAes, kCodecZlib, 4000, 1, 1, 0,
                                      true, seq, out),
              0);
    EXPECT_EQ(YrnEncodeMessagePackets(rec, nullptr, 128, kCodecAes, kCodecZlib, 4000, 1, 1, 0, true,
                                      seq, out),
              0);
    EXPECT_EQ(seq.load(), 0);
    CYrnBuffer refused;
    rec.length = -1;
    for (uint32_t zlib : {0u, kCodecZlib})
        EXPECT_EQ(YrnEncodeMessage(rec, gameKey(), 128, kCodecAes, zlib, refused), 0) << zlib;
    // A length without data is sent as an empty record, by either way.
    rec.length = 4;
    rec.data = nullptr;
    for (uint32_t zlib : {0u, kCodecZlib}) {
        YrnRecord empty = rec;
        empty.length = 0;
        CYrnBuffer a, b;
        std::atomic<int32_t> seqA{0}, seqB{0};
        ASSERT_GT(YrnEncodeMessagePackets(rec, gameKey(), 128, kCodecAes, zlib, 4000, 1, 1, 0, true,
                                          seqA, a),
                  0);
        ASSERT_GT(YrnEncodeMessagePackets(empty, gameKey(), 128, kCodecAes, zlib, 4000, 1, 1, 0,
                                          true, seqB, b),
                  0);
        ASSERT_EQ(a.Size(), b.Size()) << zlib;
        EXPECT_EQ(std::memcmp(a.Data(), b.Data(), a.Size()), 0) << zlib;
    }
    rec.length = -1;
    EXPECT_EQ(
        YrnEncodeMessagePackets(rec, gameKey(), 128, kCodecAes, 0, 4000, 1, 1, 0, true, seq, out),
        0);
    EXPECT_EQ(out.Size(), 1u);
    EXPECT_EQ(seq.load(), 0);
    // Too large for the codec: refused, as the encoder refuses it.
    std::vector<uint8_t> huge(kMaxMessageSize - 48 + 1);
    rec.length = static_cast<int32_t>(huge.size());
    rec.data = huge.data();
    EXPECT_EQ(
        YrnEncodeMessagePackets(rec, gameKey(), 128, kCodecAes, 0, 4000, 1, 1, 0, true, seq, out),
        0);
    rec.length -= 1;
    EXPECT_GT(
        YrnEncodeMessagePackets(rec, gameKey(), 128, kCodecAes, 0, 4000, 1, 1, 0, false, seq, out),
        0);
}

TEST(Framing, PacketCrcTakesTheCrcFieldsAsZero) {
    // From 20 bytes on, bytes 12..19 (CRC flag and CRC) count as zeros; shorter input is taken
    // as it is.
    for (size_t size : {size_t(12), size_t(19), size_t(20), size_t(21), size_t(64)}) {
        std::vector<uint8_t> p(size), zeroed;
        for (size_t i = 0; i < size; ++i) p[i] = uint8_t(0xA0 + i);
        zeroed = p;
        if (size >= 20) std::fill(zeroed.begin() + 12, zeroed.begin() + 20, 0);
        EXPECT_EQ(YrnPacketCrc(p.data(), size), CYrnCrc32::Update(0, zeroed.data(), size)) << size;
    }
}

TEST(Framing, HeadWordsRoundTrip) {
    YrnPacketHead h;
    int32_t* w[13] = {&h.type,      &h.sequence,  &h.crcFlag,   reinterpret_cast<int32_t*>(&h.crc),
                      &h.reserved1, &h.reserved2, &h.messageId, &h.fragment,
                      &h.last,      &h.reserved3, &h.waitFlag,  &h.reserved4,
                      &h.reserved5};
    for (int i = 0; i < 13; ++i) *w[i] = 0x01020304 * (i + 1) - i;
    uint8_t bytes[52];
    YrnWriteHead(h, bytes);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(i32at(bytes + 4 * i), *w[i]) << i;
    const YrnPacketHead back = YrnReadHead(bytes);
    EXPECT_EQ(std::memcmp(&back, &h, sizeof h), 0);
}
