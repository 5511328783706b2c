// Fuzzed bytes for two readers of the stand-ins: the first byte picks the notice server's
// answer to a request head (always one whole HTTP answer whose status line names the status
// it reports, the notice only on 200) or the standings file's reader (what it reads is
// written back and read again unchanged).
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/hall/notice_server.h"
#include "tools/standings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        static const std::string notice = "<notify>fuzz";
        int status = 0;
        const std::string a = hqlv::tools::NoticeServer::Answer(text, 77, notice, &status);
        if (a.rfind("HTTP/1.1 " + std::to_string(status) + " ", 0) != 0) __builtin_trap();
        const size_t body = a.find("\r\n\r\n");
        if (body == std::string::npos) __builtin_trap();
        if ((a.substr(body + 4) == notice) != (status == 200)) __builtin_trap();
    } else {
        const hqlv::tools::Standings read = hqlv::tools::ParseStandings(text);
        if (hqlv::tools::ParseStandings(hqlv::tools::FormatStandings(read)) != read)
            __builtin_trap();
    }
    return 0;
}
