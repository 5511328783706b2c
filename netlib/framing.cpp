#include "netlib/framing.h"

#include <algorithm>

#include <cstring>

#include "netlib/codec.h"
#include "netlib/crc32.h"
#include "netlib/log.h"
#include "netlib/message.h"

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
bool validMaxData(int maxData) {
    return maxData >= 1 && maxData <= kMaxPacketData;
}
}  // namespace

void YrnWriteHead(const YrnPacketHead& h, uint8_t* p) {
    const int32_t w[13] = {h.type,      h.sequence,  h.crcFlag,   static_cast<int32_t>(h.crc),
                           h.reserved1, h.reserved2, h.messageId, h.fragment,
                           h.last,      h.reserved3, h.waitFlag,  h.reserved4,
                           h.reserved5};
    for (int i = 0; i < 13; ++i) putI32(p + 4 * i, w[i]);
}

YrnPacketHead YrnReadHead(const uint8_t* p) {
    YrnPacketHead h;
    h.type = getI32(p);
    h.sequence = getI32(p + 4);
    h.crcFlag = getI32(p + 8);
    h.crc = static_cast<uint32_t>(getI32(p + 12));
    h.reserved1 = getI32(p + 16);
    h.reserved2 = getI32(p + 20);
    h.messageId = getI32(p + 24);
    h.fragment = getI32(p + 28);
    h.last = getI32(p + 32);
    h.reserved3 = getI32(p + 36);
    h.waitFlag = getI32(p + 40);
    h.reserved4 = getI32(p + 44);
    h.reserved5 = getI32(p + 48);
    return h;
}

int YrnSplitChunks(CYrnBuffer& in, CYrnBuffer& out, int maxData) {
    out.Reset();
    if (!validMaxData(maxData)) return 0;
    size_t total = in.Size();
    size_t m = static_cast<size_t>(maxData);
    out.Grow(total + (total / m + 1) * 4);
    int chunks = 0;
    for (size_t pos = 0; pos < total; pos += m) {
        size_t k = total - pos < m ? total - pos : m;
        out.AppendI32(static_cast<int32_t>(k));
        out.Append(in.At(pos), k);
        ++chunks;
    }
    in.Reset();
    return chunks;
}

int YrnJoinChunks(const uint8_t* in, size_t n, CYrnBuffer& out, int maxData) {
    out.Reset();
    if (!in) return 0;
    out.Grow(n);  // the joined chunks never exceed their input: one block, no regrowth
    size_t pos = 0;
    int chunks = 0;
    while (n - pos >= 5) {
        int32_t len = getI32(in + pos);
        pos += 4;
        if (len < 0 || len > maxData || static_cast<size_t>(len) > n - pos) {
            YrnLogWrite("packet length error! len = %ld", static_cast<long>(len));
            out.Reset();
            return 0;
        }
        out.Append(in + pos, static_cast<size_t>(len));
        pos += static_cast<size_t>(len);
        ++chunks;
    }
    return chunks;
}

uint32_t YrnPacketCrc(const uint8_t* packet, size_t size) {
    if (size < 20) return CYrnCrc32::Update(0, packet, size);
    return CYrnCrc32::UpdateZeroed(0, packet, size, 12, 20);
}

bool YrnBuildPacket(const YrnPacketHead& head, const uint8_t* data, size_t n, bool withCrc,
                    CYrnBuffer& out) {
    if (n == 0 || n > static_cast<size_t>(kMaxPacketData) || !data) return false;
    size_t start = out.Size();
    uint8_t prefix[kPacketOverhead];
    putI32(prefix, static_cast<int32_t>(n + 56));
    YrnPacketHead h = head;
    h.crcFlag = 0;
    h.crc = 0;
    YrnWriteHead(h, prefix + 4);
    putI32(prefix + 56, static_cast<int32_t>(n));
    out.Append(prefix, sizeof prefix);
    out.Append(data, n);
    if (withCrc) {
        uint8_t* p = out.At(start);
        uint32_t crc = YrnPacketCrc(p, n + kPacketOverhead);
        putI32(p + 16, static_cast<int32_t>(crc));
        putI32(p + 12, 1);
    }
    return true;
}

int YrnFramePackets(const CYrnBuffer& chunks, int32_t type, int32_t messageId, int32_t waitFlag,
                    bool withCrc, std::atomic<int32_t>& sequence, CYrnBuffer& out) {
    YrnPacketHead h;
    h.type = type;
    h.messageId = messageId;
    h.waitFlag = waitFlag;
    const uint8_t* p = chunks.Data();
    size_t size = chunks.Size();
    size_t pos = 0;
    int packets = 0;
    // Room for every packet at once: each chunk's [n] gains the 56 bytes of L and head.
    out.Reserve(out.Size() + size + (size / kMaxPacketData + 2) * 56);
    while (size - pos > 4) {
        int32_t n = getI32(p + pos);
        pos += 4;
        if (n <= 0 || n > kMaxPacketData || static_cast<size_t>(n) > size - pos) return -1;
        h.sequence = sequence.fetch_add(1) + 1;
        h.fragment += 1;
        h.last = size - pos - static_cast<size_t>(n) < 5 ? 1 : 0;
        YrnBuildPacket(h, p + pos, static_cast<size_t>(n), withCrc, out);
        pos += static_cast<size_t>(n);
        ++packets;
    }
    return packets;
}

int YrnFrameMessage(const CYrnBuffer& message, int maxData, int32_t type, int32_t messageId,
                    int32_t waitFlag, bool withCrc, std::atomic<int32_t>& sequence,
                    CYrnBuffer& out) {
    if (!validMaxData(maxData)) return 0;
    YrnPacketHead h;
    h.type = type;
    h.messageId = messageId;
    h.waitFlag = waitFlag;
    const size_t total = message.Size(), m = static_cast<size_t>(maxData);
    out.Reserve(out.Size() + total + (total / m + 1) * kPacketOverhead);
    int packets = 0;
    for (size_t pos = 0; pos < total; pos += m) {
        const size_t k = std::min(m, total - pos);
        h.sequence = sequence.fetch_add(1) + 1;
        h.fragment += 1;
        h.last = pos + k == total ? 1 : 0;
        YrnBuildPacket(h, message.At(pos), k, withCrc, out);
        ++packets;
    }
    return packets;
}

void YrnBuildHello(const void* data, size_t n, CYrnBuffer& out) {
    out.AppendI32(static_cast<int32_t>(n));
    if (n) out.Append(data, n);
}

YrnFrame YrnNextPacket(const uint8_t* data, size_t size, int maxData, size_t* packetSize) {
    if (size < 4) return YrnFrame::NeedMore;
    int32_t L = getI32(data);
    // The length rule also lets L = 24 through: a packet no longer than the first six words
    // of a head, without the message id and fragment number that the reassembly checks.
    // Nothing sends one, and one of another type than 1 or 2 is an error anyway, so it is
    // an error as soon as its length is seen, as every length that could not be a packet.
    if (L < 57 || L > maxData + 56) return YrnFrame::Error;
    size_t whole = static_cast<size_t>(L) + 4;
    if (size < whole) return YrnFrame::NeedMore;
    if (packetSize) *packetSize = whole;
    return YrnFrame::Packet;
}

int YrnCheckPacket(const uint8_t* packet, size_t size, int maxData) {
    if (!packet || size < kPacketOverhead + 1) return 0;
    int32_t L = getI32(packet);
    if (L < 57 || L > maxData + 56 || static_cast<size_t>(L) + 4 != size) return 0;
    // Fewer data bytes than the packet holds are read as they are; more would reach past it.
    int32_t n = getI32(packet + 56);
    if (n < 0 || n > L - 56) return 0;
    if (getI32(packet + 12) == 0) return 1;
    uint32_t kept = static_cast<uint32_t>(getI32(packet + 16));
    return YrnPacketCrc(packet, size) == kept ? 1 : 0;
}

size_t YrnPacketDataLength(const uint8_t* packet) {
    return static_cast<size_t>(getI32(packet + 56));
}

void YrnAppendFragment(CYrnBuffer& buffer, const YrnPacketHead& head, const uint8_t* data, size_t n,
                       int32_t socket, uint32_t objectId) {
    if (head.fragment == 1) {
        buffer.Reset();
        YrnEnvelope e;
        e.socket = socket;
        e.messageId = head.messageId;
        e.waitFlag = head.waitFlag;
        e.objectId = objectId;
        uint8_t env[kEnvelopeSize];
        YrnEnvelopeToBytes(e, env);
        buffer.Append(env, sizeof env);
    }
    // Room grows by half at least, so a long message is not copied again for every packet.
    const size_t need = buffer.Size() + 4 + n;
    if (need > buffer.Capacity())
        buffer.Grow(std::max(need, buffer.Capacity() + buffer.Capacity() / 2));
    buffer.AppendI32(static_cast<int32_t>(n));
    if (n) buffer.Append(data, n);
}

void CYrnMessageAssembler::Clear() {
    currentId_ = 0;
    lastFragment_ = 0;
    buffer_.Reset();
}

CYrnMessageAssembler::Outcome CYrnMessageAssembler::Feed(const YrnPacketHead& head,
                                                         const uint8_t* data, size_t n,
                                                         int32_t socket, uint32_t objectId) {
    if (currentId_ == 0) {
        if (head.fragment != 1) return kDropped;
        currentId_ = head.messageId;
        lastFragment_ = 1;
    } else if (head.messageId == currentId_ && head.fragment == lastFragment_ + 1) {
        lastFragment_ = head.fragment;
    } else {
        Clear();  // out of order: the message in progress is abandoned
        return kDropped;
    }
    if (buffer_.Size() + n + 4 > kMaxMessageSize + kEnvelopeSize) {
        Clear();
        return kTooLarge;
    }
    YrnAppendFragment(buffer_, head, data, n, socket, objectId);
    return head.last ? kComplete : kContinued;
}

void CYrnResponseAssembler::Expect(int32_t id) {
    expectedId_ = id;
    expectedFragment_ = 0;
    buffer_.Reset();
}

CYrnResponseAssembler::Outcome CYrnResponseAssembler::Feed(const YrnPacketHead& head,
                                                           const uint8_t* data, size_t n,
                                                           int32_t socket, uint32_t objectId) {
    if (expectedId_ == 0) return kStray;
    if (head.messageId < expectedId_) return kDropped;
    if (head.messageId > expectedId_ || head.fragment > expectedFragment_ + 1 ||
        buffer_.Size() + n + 4 > kMaxMessageSize + kEnvelopeSize) {
        Expect(0);
        return kError;
    }
    if (head.fragment <= expectedFragment_) return kDropped;
    expectedFragment_ = head.fragment;
    YrnAppendFragment(buffer_, head, data, n, socket, objectId);
    return head.last ? kComplete : kContinued;
}

}  // namespace hqlv::netlib
