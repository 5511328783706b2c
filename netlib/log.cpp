#include "netlib/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "netlib/util.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"

namespace hqlv::netlib {
namespace {

// The lock and the settings live for the whole process, so a write before the log is
// opened or after it is closed is still safe.
struct LogState {
    std::mutex lock;
    char name[260] = "YRNLog";
    uint32_t mode = kLogDefaultMode;
    std::string folder;
    std::function<std::tm()> clock;
    bool diagHooked = false;
    platform::DiagSink previousSink;
    char message[4096] = {};
    char line[4096] = {};
};

LogState& state() {
    static LogState s;
    return s;
}

std::tm nowLocal(LogState& s) {
    if (s.clock) return s.clock();
    // The process clock, so a test double installed for the whole process applies here too.
    platform::LocalTime t = platform::localTime();
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return tm;
}

std::string pathLocked(LogState& s, const std::tm& tm) {
    std::string folder = s.folder;
    if (folder.empty()) {
        YrnGetModuleFolder(folder);
    } else if (folder.back() != '/') {
        folder += '/';
    }
    char date[32];
    std::snprintf(date, sizeof date, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return folder + s.name + date + ".log";
}

void writeLocked(LogState& s) {
    std::tm tm = nowLocal(s);
    int n = std::snprintf(s.line, sizeof s.line, "%04d/%02d/%02d  %02d:%02d:%02d  %s",
                          tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                          tm.tm_sec, s.message);
    if (n < 0) return;
    size_t len = std::strlen(s.line);
    if (s.mode & kLogLineEnd) {
        // The stamp (22) + text (3999) + line end always fit in the 4096-byte line.
        s.line[len++] = '\r';
        s.line[len++] = '\n';
        s.line[len] = 0;
    }
    if (!(s.mode & kLogToFile)) return;
    // Binary mode: the line carries exactly the line end chosen above, never a doubled one.
    std::string path = pathLocked(s, tm);
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return;
    std::fwrite(s.line, 1, len, f);
    std::fclose(f);
}

void writeText(const char* text, size_t n) {
    LogState& s = state();
    std::lock_guard guard(s.lock);
    if (n > kLogMaxText) n = kLogMaxText;
    std::memcpy(s.message, text, n);
    s.message[n] = 0;
    writeLocked(s);
}

}  // namespace

void YrnLogOpen(const char* name, uint32_t mode) {
    LogState& s = state();
    {
        std::lock_guard guard(s.lock);
        if (name) {
            std::strncpy(s.name, name, sizeof s.name - 1);
            s.name[sizeof s.name - 1] = 0;
        }
        if (mode != 0) s.mode = mode;
        if (s.diagHooked) return;
        s.diagHooked = true;
    }
    platform::DiagSink previous =
        platform::setDiagSink([](std::string_view line) { writeText(line.data(), line.size()); });
    std::lock_guard guard(s.lock);
    s.previousSink = std::move(previous);
}

void YrnLogClose() {
    LogState& s = state();
    platform::DiagSink previous;
    {
        std::lock_guard guard(s.lock);
        if (!s.diagHooked) return;
        s.diagHooked = false;
        previous = std::move(s.previousSink);
    }
    platform::setDiagSink(std::move(previous));
}

void YrnLogWrite(const char* format, ...) {
    LogState& s = state();
    std::lock_guard guard(s.lock);
    va_list ap;
    va_start(ap, format);
    // The limit keeps the text at 3999 characters and always terminated.
    int n = std::vsnprintf(s.message, kLogMaxText + 1, format, ap);
    va_end(ap);
    if (n < 0) s.message[0] = 0;
    writeLocked(s);
}

std::string YrnLogName() {
    std::lock_guard guard(state().lock);
    return state().name;
}

uint32_t YrnLogMode() {
    std::lock_guard guard(state().lock);
    return state().mode;
}

std::string YrnLogPathFor(const std::tm& local) {
    std::lock_guard guard(state().lock);
    return pathLocked(state(), local);
}

void YrnLogSetFolder(const std::string& folder) {
    std::lock_guard guard(state().lock);
    state().folder = folder;
}

void YrnLogSetClock(std::function<std::tm()> localNow) {
    std::lock_guard guard(state().lock);
    state().clock = std::move(localNow);
}

}  // namespace hqlv::netlib
