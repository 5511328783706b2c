#pragma once
// Texts on the game-server wire are GBK; inside the program they are UTF-8. These two
// conversions are the connection's edge.
#include <cstddef>
#include <string>
#include <string_view>

namespace hqlv::framework {

// GBK bytes from the wire to the program's text.
std::string WireToText(std::string_view gbk);
// The program's text to GBK, cut on a character boundary to at most maxBytes bytes.
std::string TextToWire(std::string_view utf8, size_t maxBytes = static_cast<size_t>(-1));

}  // namespace hqlv::framework
