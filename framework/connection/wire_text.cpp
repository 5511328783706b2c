#include "framework/connection/wire_text.h"

#include "platform/core/text.h"

namespace hqlv::framework {

std::string WireToText(std::string_view gbk) {
    return platform::gbkToUtf8(gbk);
}

std::string TextToWire(std::string_view utf8, size_t maxBytes) {
    return platform::utf8ToGbkFit(utf8, maxBytes);
}

}  // namespace hqlv::framework
