#include "netlib/message.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "netlib/codec.h"
#include "netlib/framing.h"

namespace hqlv::netlib {
namespace {
void putI32(uint8_t* p, int32_t v) {
    auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
int32_t getI32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                                (uint32_t(p[3]) << 24));
}
}  // namespace

void YrnFreeResponseData(YrnRecord* record) {
    if (!record || !record->data) return;
    delete[] record->data;
    record->data = nullptr;
}

void YrnCopyRecord(YrnRecord* destination, const YrnRecord* source) {
    if (!destination || !source) return;
    std::memcpy(destination->head, source->head, sizeof destination->head);
    destination->length = source->length;
    destination->data = nullptr;
    if (source->length > 0 && source->data) {
        destination->data = new uint8_t[static_cast<size_t>(source->length)];
        std::memcpy(destination->data, source->data, static_cast<size_t>(source->length));
    } else if (source->length > 0) {
        destination->length = 0;
    }
}

void YrnFreeSocketMessage(YrnEnvelope* envelope, YrnRecord* record) {
    delete envelope;
    if (record) {
        YrnFreeResponseData(record);
        delete record;
    }
}

void YrnDisposeSocketMessage(const platform::Message& msg) {
    YrnFreeSocketMessage(YrnEnvelopeOf(msg), YrnRecordOf(msg));
}

platform::Message YrnMakeSocketMessage(YrnEnvelope* envelope, YrnRecord* record) {
    platform::Message m;
    m.id = kMsgSocketEvent;
    m.w = reinterpret_cast<uintptr_t>(envelope);
    m.l = reinterpret_cast<intptr_t>(record);
    m.dispose = &YrnDisposeSocketMessage;
    return m;
}

void YrnRecordToBytes(const YrnRecord& record, CYrnBuffer& out) {
    out.Reset();
    uint8_t head[kRecordHeadSize + 4];
    for (int i = 0; i < 6; ++i) putI32(head + 4 * i, record.head[i]);
    int32_t len = record.length > 0 && record.data ? record.length : 0;
    putI32(head + 24, len);
    // Room for the codec's two step headers and the cipher's last block as well.
    out.Reserve(sizeof head + static_cast<size_t>(len) + 64);
    out.Append(head, sizeof head);
    if (len > 0) out.Append(record.data, static_cast<size_t>(len));
}

YrnEnvelope YrnEnvelopeFromBytes(const uint8_t* p) {
    YrnEnvelope e;
    e.socket = getI32(p);
    e.messageId = getI32(p + 4);
    e.waitFlag = getI32(p + 8);
    e.objectId = static_cast<uint32_t>(getI32(p + 12));
    e.reserved[0] = getI32(p + 16);
    e.reserved[1] = getI32(p + 20);
    return e;
}

void YrnEnvelopeToBytes(const YrnEnvelope& e, uint8_t* p) {
    putI32(p, e.socket);
    putI32(p + 4, e.messageId);
    putI32(p + 8, e.waitFlag);
    putI32(p + 12, static_cast<int32_t>(e.objectId));
    putI32(p + 16, e.reserved[0]);
    putI32(p + 20, e.reserved[1]);
}

namespace {
// One codec per thread: its cipher contexts stay set up from one message to the next.
CYrnCodec& threadCodec() {
    thread_local CYrnCodec codec;
    return codec;
}

// The chunks of a reassembled message as pieces, under YrnJoinChunks' rules; false where
// those refuse the chunks, or find none (the joining way then reports it).
bool chunkPieces(const uint8_t* in, size_t n, int maxData, std::vector<YrnPiece>& pieces) {
    size_t pos = 0;
    // Full chunks but for the last: one allocation for the usual message.
    if (maxData > 0) pieces.reserve(n / (static_cast<size_t>(maxData) + 4) + 1);
    while (n - pos >= 5) {
        const int32_t len = getI32(in + pos);
        pos += 4;
        if (len < 0 || len > maxData || static_cast<size_t>(len) > n - pos) return false;
        pieces.push_back({in + pos, static_cast<size_t>(len)});
        pos += static_cast<size_t>(len);
    }
    return !pieces.empty();
}
}  // namespace

int YrnEncodeMessage(const YrnRecord& record, const uint8_t* key, int keyBits, uint32_t aesFlags,
                     uint32_t zlibFlags, CYrnBuffer& out) {
    if (record.length < 0) return 0;
    CYrnCodec& codec = threadCodec();
    codec.SetParams(key, keyBits, aesFlags, zlibFlags);
    // The usual shape is encrypted from the record where it lies; anything else, and a
    // failure, takes the general way, which decides.
    if (aesFlags != 0 && zlibFlags == 0) {
        uint8_t front[kRecordHeadSize + 4];
        for (int i = 0; i < 6; ++i) putI32(front + 4 * i, record.head[i]);
        const int32_t len = record.length > 0 && record.data ? record.length : 0;
        putI32(front + kRecordHeadSize, len);
        if (codec.EncodeRecord(front, record.data, static_cast<size_t>(len), out)) return 1;
    }
    YrnRecordToBytes(record, out);
    return codec.Process(out, kCodecEncode);
}

int YrnEncodeMessagePackets(const YrnRecord& record, const uint8_t* key, int keyBits,
                            uint32_t aesFlags, uint32_t zlibFlags, int maxData, int32_t type,
                            int32_t messageId, int32_t waitFlag, bool withCrc,
                            std::atomic<int32_t>& sequence, CYrnBuffer& out) {
    if (record.length < 0) return 0;
    if (aesFlags != 0 && zlibFlags == 0) {
        uint8_t front[kRecordHeadSize + 4];
        for (int i = 0; i < 6; ++i) putI32(front + 4 * i, record.head[i]);
        const int32_t len = record.length > 0 && record.data ? record.length : 0;
        putI32(front + kRecordHeadSize, len);
        CYrnCodec& codec = threadCodec();
        codec.SetParams(key, keyBits, aesFlags, zlibFlags);
        return codec.EncodeToPackets(front, record.data, static_cast<size_t>(len), maxData, type,
                                     messageId, waitFlag, withCrc, sequence, out);
    }
    CYrnBuffer encoded;
    if (!YrnEncodeMessage(record, key, keyBits, aesFlags, zlibFlags, encoded)) return 0;
    return YrnFrameMessage(encoded, maxData, type, messageId, waitFlag, withCrc, sequence, out);
}

int YrnDecodeMessage(const uint8_t* buffer, size_t length, YrnEnvelope** envelope,
                     YrnRecord** record, const uint8_t* key, int keyBits, uint32_t aesFlags,
                     uint32_t zlibFlags, int maxData) {
    if (envelope) *envelope = nullptr;
    if (record) *record = nullptr;
    if (!buffer || !envelope || !record || length < kEnvelopeSize) return 0;
    CYrnCodec& codec = threadCodec();
    codec.SetParams(key, keyBits, aesFlags, zlibFlags);
    // The usual shape is decrypted from the chunks where they lie, straight into the record.
    std::vector<YrnPiece> pieces;
    if (chunkPieces(buffer + kEnvelopeSize, length - kEnvelopeSize, maxData, pieces)) {
        uint8_t front[kRecordHeadSize + 4];
        std::unique_ptr<uint8_t[]> data;
        int32_t len = 0;
        if (codec.DecodeRecordPieces(pieces.data(), pieces.size(), front, &data, &len)) {
            auto* rec = new YrnRecord;
            for (int i = 0; i < 6; ++i) rec->head[i] = getI32(front + 4 * i);
            rec->length = len;
            rec->data = data.release();
            *envelope = new YrnEnvelope(YrnEnvelopeFromBytes(buffer));
            *record = rec;
            return 1;
        }
    }
    CYrnBuffer joined;
    if (YrnJoinChunks(buffer + kEnvelopeSize, length - kEnvelopeSize, joined, maxData) <= 0)
        return 0;
    if (!codec.Process(joined, kCodecDecode)) return 0;
    if (joined.Size() < kRecordHeadSize + 4) return 0;
    const uint8_t* p = joined.Data();
    int32_t len = getI32(p + kRecordHeadSize);
    if (len < 0 || static_cast<size_t>(len) > joined.Size() - kRecordHeadSize - 4) return 0;
    auto* rec = new YrnRecord;
    for (int i = 0; i < 6; ++i) rec->head[i] = getI32(p + 4 * i);
    rec->length = len;
    if (len > 0) {
        rec->data = new uint8_t[static_cast<size_t>(len)];
        std::memcpy(rec->data, p + kRecordHeadSize + 4, static_cast<size_t>(len));
    }
    *envelope = new YrnEnvelope(YrnEnvelopeFromBytes(buffer));
    *record = rec;
    return 1;
}

}  // namespace hqlv::netlib
