#pragma once
// The library's own Base64 coder. Its output always ends with "=" (one extra "=" when the
// input length is a multiple of three), and the string encoder breaks the line once after
// 72 characters. Decoding skips blanks and line breaks and tells whether the text ended
// with "=". YrnBase64Standard is the plain RFC 4648 form for protocol headers.
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::netlib {

class CBase64Coder {
public:
    CBase64Coder() = default;
    virtual void InitTables();
    virtual ~CBase64Coder() = default;
    // Both decoders return 1 when the text ended with "=", else 0 (an invalid character
    // also empties the output, and a text that runs out inside a group of four has one).
    virtual int DecodeString(const std::string& text, std::vector<uint8_t>& out);
    virtual int DecodeBytes(const std::vector<uint8_t>& text, std::vector<uint8_t>& out);
    virtual int EncodeToString(const std::vector<uint8_t>& bytes, std::string& out);
    virtual int EncodeToBytes(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& out);

private:
    int decode(const uint8_t* text, size_t n, std::vector<uint8_t>& out);
    uint8_t table_[256] = {};
};

// Standard Base64 (RFC 4648): "=" padding only to a multiple of four, no line breaks.
std::string YrnBase64Standard(const void* bytes, size_t n);

}  // namespace hqlv::netlib
