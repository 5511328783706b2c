#pragma once
// Packets on the wire, chunks and fragment reassembly. Every integer is 32-bit
// little-endian. A packet is
//   int32 L (bytes that follow: 56 + n), the 52-byte head (13 words, below),
//   int32 n (data length), n data bytes.
// An encoded message is cut into chunks of at most maxData bytes, each written as
// [int32 n][n bytes]; each chunk is the data of one packet (one fragment).
//
// These pieces serve both ends of a connection: the client's socket object and a server
// that speaks the same protocol (parse the stream with YrnNextPacket/YrnCheckPacket,
// reassemble with CYrnMessageAssembler, decode with YrnDecodeMessage; answer with
// YrnEncodeMessage and YrnFrameMessage).
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "netlib/buffer.h"

namespace hqlv::netlib {

constexpr int32_t kPacketMessage = 1;   // a message or request fragment
constexpr int32_t kPacketResponse = 2;  // a response fragment
constexpr size_t kPacketHeadSize = 52;
constexpr size_t kPacketOverhead = 60;  // L, head and n
constexpr int kMaxPacketData = 4000;    // no chunk is ever larger
constexpr int kGameMaxData = 4000;

struct YrnPacketHead {
    int32_t type = 0;
    int32_t sequence = 0;
    int32_t crcFlag = 0;
    uint32_t crc = 0;
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
    int32_t messageId = 0;
    int32_t fragment = 0;
    int32_t last = 0;
    int32_t reserved3 = 0;
    int32_t waitFlag = 0;
    int32_t reserved4 = 0;
    int32_t reserved5 = 0;
};

void YrnWriteHead(const YrnPacketHead& head, uint8_t* out52);
YrnPacketHead YrnReadHead(const uint8_t* in52);

// Empties out and moves all of in into chunks of at most maxData bytes; returns the number
// of chunks (0 for an empty input or a maxData outside 1..4000).
int YrnSplitChunks(CYrnBuffer& in, CYrnBuffer& out, int maxData);
// Empties out; joins the [n][bytes] chunks of the input. A chunk length outside
// 0..maxData, or one that runs past the input, logs "packet length error! len = %ld" and
// returns 0; otherwise the number of chunks joined (0 chunks is a failure for callers).
int YrnJoinChunks(const uint8_t* in, size_t n, CYrnBuffer& out, int maxData);

// The CRC of a whole packet (L field to the last data byte) with the CRC flag and CRC
// fields taken as zero.
uint32_t YrnPacketCrc(const uint8_t* packet, size_t size);
// Appends one packet (L + 4 bytes) with the head and the data; with withCrc the CRC flag
// and CRC are filled in. False when n is 0 or above kMaxPacketData.
bool YrnBuildPacket(const YrnPacketHead& head, const uint8_t* data, size_t n, bool withCrc,
                    CYrnBuffer& out);

// Appends the packets of one chunked message (YrnSplitChunks output): type, message id and
// wait flag as given, fragment numbers from 1, the last flag on the last one, a sequence
// number from the counter for each. Returns the number of packets, or -1 when the chunked
// input is malformed.
int YrnFramePackets(const CYrnBuffer& chunks, int32_t type, int32_t messageId, int32_t waitFlag,
                    bool withCrc, std::atomic<int32_t>& sequence, CYrnBuffer& out);

// The packets of an encoded message straight from it: the same bytes as YrnSplitChunks
// followed by YrnFramePackets, without the chunked copy between them. Returns the number of
// packets (0 for an empty message or a maxData outside 1..4000).
int YrnFrameMessage(const CYrnBuffer& message, int maxData, int32_t type, int32_t messageId,
                    int32_t waitFlag, bool withCrc, std::atomic<int32_t>& sequence,
                    CYrnBuffer& out);

// The hello that precedes all packets: [int32 n][n bytes], no head, no codec.
void YrnBuildHello(const void* data, size_t n, CYrnBuffer& out);

enum class YrnFrame { NeedMore, Packet, Error };
// Looks at the front of a receive buffer. As soon as the length word is there it must
// announce a packet that can hold a head and at least one data byte and fits maxData
// (57 <= L <= maxData + 56), else Error. Packet: *packetSize = L + 4 bytes are there.
YrnFrame YrnNextPacket(const uint8_t* data, size_t size, int maxData, size_t* packetSize);
// Checks one whole packet: length rule, a data length from 0 to L - 56, and the CRC when
// the packet's CRC flag is set. 1 accepts.
int YrnCheckPacket(const uint8_t* packet, size_t size, int maxData);
// The data bytes of a checked packet: its data length field, which may be less than the
// packet holds (the data are then its first bytes; the rest is not read).
size_t YrnPacketDataLength(const uint8_t* packet);

// Reassembly of type-1 messages from their fragments. The reassembled form is
// [24-byte envelope][int32 n1][chunk 1][int32 n2][chunk 2]..., which YrnDecodeMessage
// takes.
class CYrnMessageAssembler {
public:
    enum Outcome {
        kDropped,    // not part of a message in progress (ignored, not an error)
        kContinued,  // appended; more fragments to come
        kComplete,   // the message is in Message(); call Clear() after taking it
        kTooLarge,   // the message outgrew kMaxMessageSize and was abandoned
    };
    // socket and objectId go into the envelope when a message starts.
    Outcome Feed(const YrnPacketHead& head, const uint8_t* data, size_t n, int32_t socket,
                 uint32_t objectId);
    CYrnBuffer& Message() { return buffer_; }
    void Clear();
    int32_t CurrentId() const { return currentId_; }
    int32_t LastFragment() const { return lastFragment_; }

private:
    int32_t currentId_ = 0;
    int32_t lastFragment_ = 0;
    CYrnBuffer buffer_;
};

// Matching and reassembly of type-2 responses against the one response expected. The
// caller serialises access (the sender sets the expectation, the receiver feeds).
class CYrnResponseAssembler {
public:
    enum Outcome {
        kStray,      // nothing expected (none waiting, or already answered): drop quietly
        kDropped,    // a late answer to an older request, or a repeated fragment
        kContinued,  // appended; more fragments to come
        kComplete,   // the response is in Message(); the expectation stays until cleared
        kError,      // a newer id, a skipped fragment or an oversized response; cleared
    };
    // Expects the response to id (0: none) and empties the buffer.
    void Expect(int32_t id);
    Outcome Feed(const YrnPacketHead& head, const uint8_t* data, size_t n, int32_t socket,
                 uint32_t objectId);
    int32_t ExpectedId() const { return expectedId_; }
    int32_t ExpectedFragment() const { return expectedFragment_; }
    CYrnBuffer& Message() { return buffer_; }

private:
    int32_t expectedId_ = 0;
    int32_t expectedFragment_ = 0;
    CYrnBuffer buffer_;
};

// Appends one fragment to a reassembly buffer: on fragment 1 the buffer is first emptied
// and the envelope written; then [int32 n][n bytes].
void YrnAppendFragment(CYrnBuffer& buffer, const YrnPacketHead& head, const uint8_t* data, size_t n,
                       int32_t socket, uint32_t objectId);

}  // namespace hqlv::netlib
