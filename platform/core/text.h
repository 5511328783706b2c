#pragma once
// GBK text at the edges of the program. Inside, all text is UTF-8; the wire, the hall
// channel, INI and skin files, scripts and logs that a peer reads hold GBK. Byte limits of
// the wire and of fixed fields count GBK bytes, so cut after converting.
#include <cstddef>
#include <string>
#include <string_view>

namespace hqlv::platform {

// Decodes GBK (read as GB18030, its superset, so four-byte sequences decode too) into
// UTF-8. A byte that starts no valid character becomes '?'. Thread-safe.
std::string gbkToUtf8(std::string_view gbk);

// Encodes UTF-8 as GBK. A character GBK cannot hold, or a malformed UTF-8 byte, becomes
// '?'. Thread-safe.
std::string utf8ToGbk(std::string_view utf8);

// The longest prefix of a GBK/GB18030 text that has at most maxBytes bytes and ends on a
// character boundary: a double-byte (or four-byte) character is never split. An incomplete
// character at the very end of the text is dropped as well.
std::string_view gbkTruncate(std::string_view gbk, size_t maxBytes);

// utf8ToGbk followed by gbkTruncate, for filling a fixed field (pass the field size less
// one for the terminator).
std::string utf8ToGbkFit(std::string_view utf8, size_t maxBytes);

// The length in bytes of the GBK/GB18030 character that starts at text[0] (1, 2 or 4),
// or 0 when the text ends inside it. Bytes that start no valid character count as 1.
size_t gbkCharLength(std::string_view text);

// The longest prefix of a UTF-8 text with at most maxBytes bytes that does not split a
// character.
std::string_view utf8Truncate(std::string_view utf8, size_t maxBytes);

}  // namespace hqlv::platform
