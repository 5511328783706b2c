#include "engine/core/engine_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/text.h"

namespace hqlv::engine {
namespace {

constexpr size_t kMaxMessage = 1023;

std::mutex& folderMutex() {
    static std::mutex m;
    return m;
}
std::string& folderRef() {
    static std::string folder;
    return folder;
}

std::string logFolder() {
    std::lock_guard lock(folderMutex());
    std::string folder = folderRef();
    if (folder.empty()) return platform::programFolder();
    if (folder.back() != '/') folder += '/';
    return folder;
}

ErrorBoxHook& errorBoxHook() {
    static ErrorBoxHook hook;
    return hook;
}

}  // namespace

ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook) {
    std::swap(hook, errorBoxHook());
    return hook;
}

void ShowLastError(std::string_view name) {
    const int error = errno;
    char buffer[256];
    // The GNU strerror_r answers with its own text or the buffer.
    const char* reason = strerror_r(error, buffer, sizeof buffer);
    std::string text(name);
    text += " 由于以下错误而失败: ";
    text += reason;
    if (errorBoxHook())
        errorBoxHook()(text, "错误");
    else
        platform::diag(text);
}

std::string SetEngineLogFolder(std::string folder) {
    std::lock_guard lock(folderMutex());
    std::swap(folder, folderRef());
    return folder;
}

std::string EngineLogPath(int year, int month, int day) {
    char name[64];
    std::snprintf(name, sizeof name, "Game%d%02d%02d.log", year, month, day);
    return logFolder() + name;
}

void WriteLogText(std::string_view text) {
    const std::string_view message = platform::utf8Truncate(text, kMaxMessage);
    const platform::LocalTime t = platform::localTime();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d     %02d:%02d:%02d      ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
    std::string line = stamp;
    line.append(message);
    line += "\r\n";
    const std::string path = EngineLogPath(t.year, t.month, t.day);
    // One append write per line, so the network library's lines in the same file never
    // split ours.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const ssize_t written = ::write(fd, line.data(), line.size());
    (void)written;  // a line that cannot be written is lost, like one whose file cannot open
    ::close(fd);
}

void WriteLogV(const char* fmt, va_list ap) {
    // One byte past the cut is kept, so WriteLogText sees whether the cut falls inside a
    // character and steps back to its start.
    char message[kMaxMessage + 2];
    std::vsnprintf(message, sizeof message, fmt, ap);
    WriteLogText(message);
}

void WriteLog(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    WriteLogV(fmt, ap);
    va_end(ap);
}

std::string GetModuleFolder() {
    return platform::programFolder();
}

std::string ModulePath(std::string_view name) {
    return GetModuleFolder() + std::string(name);
}

bool ModuleFileExists(std::string_view name) {
    return platform::pathExists(ModulePath(name));
}

bool ReadWholeFile(std::string_view path, std::string* out) {
    out->clear();
    if (path.empty()) return false;  // no file named: nothing to log
    if (!platform::readFile(path, out)) {
        WriteLog("文件%.*s 打开失败!", int(path.size()), path.data());
        return false;
    }
    return true;
}

void ToLowerAscii(std::string& text) {
    // Every byte of a multi-byte UTF-8 character has its top bit set, so no ASCII test can
    // hit one: lowering every A-Z byte leaves the other characters as they are.
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

namespace {
size_t nameStart(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}
}  // namespace

std::string SplitFileExtension(std::string_view path) {
    const std::string_view name = path.substr(nameStart(path));
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot));
    ToLowerAscii(ext);
    return ext;
}

std::string SplitFileTitle(std::string_view path) {
    std::string_view name = path.substr(nameStart(path));
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

int StrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1LL + INT_MAX) value = 1LL + INT_MAX;  // keeps the sum bounded
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::string UnquoteText(std::string_view text) {
    const size_t first = text.find('"');
    const size_t last = text.rfind('"');
    if (first == std::string_view::npos || first == last) return std::string(text);
    return std::string(text.substr(first + 1, last - first - 1));
}

size_t SplitCommaList(std::string_view text, std::vector<std::string>& list) {
    if (text.empty()) return 0;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string_view::npos;
         start = comma + 1) {
        list.emplace_back(text.substr(start, comma - start));
    }
    if (start < text.size()) list.emplace_back(text.substr(start));
    return list.size();
}

}  // namespace hqlv::engine
