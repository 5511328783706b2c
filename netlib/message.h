#pragma once
// The blocks that travel with a received message (message 2025) and the request and
// response records of synchronous requests.
//
// A message is posted as {kMsgSocketEvent, w = YrnEnvelope*, l = YrnRecord*} with the
// disposer YrnDisposeSocketMessage. Once the post succeeds the receiver owns the envelope,
// the record and the record's data and frees them with YrnFreeSocketMessage; when the
// post fails the sender frees them.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "netlib/buffer.h"
#include "platform/core/message.h"

namespace hqlv::netlib {

constexpr uint32_t kMsgSocketEvent = 2025;
// Word 1 of the record in the socket's own notices.
constexpr int32_t kNoticeClosed = 1;
constexpr int32_t kNoticeError = 2;

constexpr size_t kEnvelopeSize = 24;
constexpr size_t kRecordHeadSize = 24;  // words 0..5 of a record

struct YrnEnvelope {
    int32_t socket = 0;     // the socket handle
    int32_t messageId = 0;  // 0 in close and error notices
    int32_t waitFlag = 0;   // 1 when the peer waits for a response
    uint32_t objectId = 0;  // the socket's object id when the message was received
    int32_t reserved[2] = {0, 0};
};

struct YrnRecord {
    int32_t head[6] = {0, 0, 0, 0, 0, 0};  // the message head; head[1] is the code
    int32_t length = 0;                    // data length, at least 0
    uint8_t* data = nullptr;               // heap block of length bytes (new[]), or null
};

// Frees the record's data and clears the pointer; null is ignored.
void YrnFreeResponseData(YrnRecord* record);
// Copies the eight words; a non-zero length gets its own new data block.
void YrnCopyRecord(YrnRecord* destination, const YrnRecord* source);
// Frees envelope, record and data (any may be null).
void YrnFreeSocketMessage(YrnEnvelope* envelope, YrnRecord* record);
// The platform disposer for a posted 2025 message that could not be delivered.
void YrnDisposeSocketMessage(const platform::Message& msg);
// Builds the 2025 message for an envelope and a record.
platform::Message YrnMakeSocketMessage(YrnEnvelope* envelope, YrnRecord* record);
// Reads the blocks of a received 2025 message (null when absent).
inline YrnEnvelope* YrnEnvelopeOf(const platform::Message& m) {
    return reinterpret_cast<YrnEnvelope*>(m.w);
}
inline YrnRecord* YrnRecordOf(const platform::Message& m) {
    return reinterpret_cast<YrnRecord*>(m.l);
}

// Serialises a record as a message: head words, length, data (28 + length bytes).
void YrnRecordToBytes(const YrnRecord& record, CYrnBuffer& out);
// Parses an envelope from its 24 wire bytes (little-endian words).
YrnEnvelope YrnEnvelopeFromBytes(const uint8_t* p);
void YrnEnvelopeToBytes(const YrnEnvelope& e, uint8_t* p);

// Encodes a record for sending: serialise, then the codec in mode 1. 1 on success.
int YrnEncodeMessage(const YrnRecord& record, const uint8_t* key, int keyBits, uint32_t aesFlags,
                     uint32_t zlibFlags, CYrnBuffer& out);

// Encodes a record and frames it into packets appended to out: the same bytes as
// YrnEncodeMessage followed by YrnFrameMessage. Without compression the record's data is
// encrypted straight into the packets. Returns the number of packets, 0 on failure.
int YrnEncodeMessagePackets(const YrnRecord& record, const uint8_t* key, int keyBits,
                            uint32_t aesFlags, uint32_t zlibFlags, int maxData, int32_t type,
                            int32_t messageId, int32_t waitFlag, bool withCrc,
                            std::atomic<int32_t>& sequence, CYrnBuffer& out);

// Decodes a reassembled message: [24-byte envelope][int32 n][chunk]... The chunks are
// joined, decoded with a codec of the given settings, and parsed into a new record.
// On success *envelope and *record are new blocks the caller owns; returns 1. Any
// malformed part (short buffer, bad chunk, codec failure, a length that does not fit the
// decoded bytes) returns 0 and allocates nothing.
int YrnDecodeMessage(const uint8_t* buffer, size_t length, YrnEnvelope** envelope,
                     YrnRecord** record, const uint8_t* key, int keyBits, uint32_t aesFlags,
                     uint32_t zlibFlags, int maxData);

}  // namespace hqlv::netlib
