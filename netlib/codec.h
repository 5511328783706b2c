#pragma once
// The message codec: an optional compression step (zlib) and an optional encryption step
// (AES, ECB, zero-padded), each announcing itself in a step header:
//   uint32 flags (0 = passed through), uint32 size of the step's input, uint32 0, uint32 0,
//   int32 length of what follows, then the bytes.
// Encoding compresses first and encrypts second; decoding undoes them in reverse order.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netlib/buffer.h"

struct evp_cipher_ctx_st;  // OpenSSL's cipher context

namespace hqlv::netlib {

constexpr uint32_t kCodecAes = 0x100;
constexpr uint32_t kCodecZlib = 0x400;
constexpr uint32_t kCodecEncodeBit = 1;
constexpr uint32_t kCodecDecodeBit = 2;
constexpr int kCodecEncode = 1;
constexpr int kCodecDecode = 2;
constexpr size_t kCodecStepHeader = 20;  // 16-byte header and the length word
// No decoded message may exceed this; it bounds what a peer can make us allocate.
constexpr size_t kMaxMessageSize = 16u << 20;

// Output length of the cipher for n input bytes: always one block more than n fills
// completely (n - n % 16 + 16).
inline size_t YrnAesOutputLength(size_t n) {
    return n - n % 16 + 16;
}

// Returns 0 unless flags contain 0x100. Encrypts (flag bit 1) or decrypts (bit 2) n bytes
// into output (which holds YrnAesOutputLength(n) bytes) and stores that length; with a null
// output only the length is stored. keyBits is 128, 192 or 256. A last partial block is
// taken zero-filled. Returns 1 after encrypting or decrypting.
int YrnAesTransform(const uint8_t* key, int keyBits, const uint8_t* input, size_t n,
                    uint8_t* output, size_t* outputLength, uint32_t flags);

// Returns 0 unless flags contain 0x400. Bit 1 compresses (sync-flushed deflate stream
// without a final block), bit 2 decompresses (accepting such a stream); output is
// replaced. Decompression stops with failure when the result would exceed maxOutput.
// An empty result is a failure. Returns 1 on success.
int YrnZlibTransform(const uint8_t* input, size_t n, std::vector<uint8_t>& output, uint32_t flags,
                     size_t maxOutput = kMaxMessageSize);

// A run of bytes of a message that lies in pieces (the chunks of a reassembled message).
struct YrnPiece {
    const uint8_t* data;
    size_t size;
};

class CYrnCodec {
public:
    // key is not copied; the caller keeps it alive while the codec is used.
    CYrnCodec(const uint8_t* key = nullptr, int keyBits = 128, uint32_t aesFlags = 0,
              uint32_t zlibFlags = 0);
    virtual ~CYrnCodec();
    CYrnCodec(const CYrnCodec&) = delete;
    CYrnCodec& operator=(const CYrnCodec&) = delete;

    // Mode 1 encodes (compression, then encryption), mode 2 decodes (the reverse). The
    // buffer is replaced by the result. 1 when both steps succeeded; other modes give 0.
    virtual int Process(CYrnBuffer& buffer, int mode);
    virtual int SetParams(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags);
    virtual int ZlibStep(CYrnBuffer& buffer, int mode);
    virtual int AesStep(CYrnBuffer& buffer, int mode);
    // Reads the source in blocks of blockSize, runs each through the encryption step in
    // the mode and writes each whole result to the destination. 1 on success.
    virtual int TransformFile(const std::string& source, const std::string& destination,
                              size_t blockSize, int mode);

    // Encoding without compression of a message given as a 28-byte front (a record's head
    // words and length) and a body: the same bytes as Process(1) on front + body, but the
    // body is encrypted from where it lies, with no copy of it. 1 when out holds the result;
    // 0 when the codec compresses, does not encrypt, or fails (out then is as it was).
    int EncodeRecord(const uint8_t* front, const uint8_t* body, size_t n, CYrnBuffer& out);

    // Encoding without compression straight into packets, for a message given as a 28-byte
    // front (a record's head words and length) and a body: the same bytes as Process(1) on
    // front + body followed by YrnFrameMessage, but the body is encrypted from where it lies
    // into the packets, with no copy of it. Returns the number of packets; 0 when the codec
    // compresses, does not encrypt, or fails (out then is as it was).
    int EncodeToPackets(const uint8_t* front, const uint8_t* body, size_t n, int maxData,
                        int32_t type, int32_t messageId, int32_t waitFlag, bool withCrc,
                        std::atomic<int32_t>& sequence, CYrnBuffer& out);

    // Decoding of a message that lies in pieces (in order), read where they lie, for the usual
    // shapes: an encryption step around a pass-through or a compression step around a record
    // (28-byte front: head words and length, then the data). 1: decoded, the same as joining the
    // pieces, Process(2) and reading the record would give; *front holds the front, *data the
    // record's data (null for none) and *length its length. 0: not that shape or not decodable
    // here; the caller takes the general way, which decides (and reports) what is wrong.
    int DecodeRecordPieces(const YrnPiece* pieces, size_t count, uint8_t* front,
                           std::unique_ptr<uint8_t[]>* data, int32_t* length);

    // The cipher context, set up once for a key and a direction and reused by every
    // message after it (an ECB context carries nothing from one message to the next).
    class Cipher;
    // The compression streams, set up on first use and reset for every message after it:
    // each message is a stream of its own, the same bytes as from a new stream, without
    // setting up (and clearing) the compressor's tables for every message.
    class Zlib;

private:
    // Encryption of a pass-through step header and the bytes behind it, straight into the
    // outer step: the same bytes as the two steps, without moving the message twice.
    int EncodePassThroughSealed(CYrnBuffer& buffer);
    // Decryption whose inner step is a pass-through: only the message is written out.
    int DecodeSealed(CYrnBuffer& buffer);
    // DecodeRecordPieces for an inner compression step: the step is decrypted (`sealed`
    // bytes, its header already in `lead`), inflated as ZlibStep inflates it and the record
    // read from the result.
    int DecodeZlibRecord(evp_cipher_ctx_st* ctx, const YrnPiece* pieces, size_t count,
                         size_t sealed, const uint8_t* lead, uint8_t* front,
                         std::unique_ptr<uint8_t[]>* data, int32_t* length);

    std::unique_ptr<Cipher> cipher_;
    std::unique_ptr<Zlib> zlib_;
    const uint8_t* key_;
    int keyBits_;
    uint32_t aesFlags_;
    uint32_t zlibFlags_;
};

}  // namespace hqlv::netlib
