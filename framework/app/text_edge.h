#pragma once
// The framework's one seam to GBK: texts inside the program are UTF-8; the records of the
// hall and the server carry GBK. Every conversion of the framework goes through here.
#include <string>
#include <string_view>

namespace hqlv::framework {

// GBK (read as GB18030, its superset) to UTF-8; undecodable bytes become '?'.
std::string GbkToUtf8(std::string_view gbk);
// UTF-8 to GBK; characters GBK cannot hold become '?'.
std::string Utf8ToGbk(std::string_view utf8);
// Cuts GBK text to at most maxBytes bytes without splitting a two-byte character.
std::string GbkCut(std::string_view gbk, size_t maxBytes);
// UTF-8 text converted and cut to fit a fixed GBK field of maxBytes bytes.
std::string Utf8ToGbkCut(std::string_view utf8, size_t maxBytes);

}  // namespace hqlv::framework
