#include "framework/app/text_edge.h"

#include "platform/core/text.h"

namespace hqlv::framework {

std::string GbkToUtf8(std::string_view gbk) {
    return platform::gbkToUtf8(gbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
    return platform::utf8ToGbk(utf8);
}

std::string GbkCut(std::string_view gbk, size_t maxBytes) {
    return std::string(platform::gbkTruncate(gbk, maxBytes));
}

std::string Utf8ToGbkCut(std::string_view utf8, size_t maxBytes) {
    return platform::utf8ToGbkFit(utf8, maxBytes);
}

}  // namespace hqlv::framework
