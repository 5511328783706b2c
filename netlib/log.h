#pragma once
// The process-wide daily log: one stamped line per call, appended to
// <program folder><name><yyyymmdd>.log. Any thread may write.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace hqlv::netlib {

// Mode bits that have an effect; all others are accepted and ignored.
constexpr uint32_t kLogLineEnd = 0x8;     // end every line with "\r\n"
constexpr uint32_t kLogToFile = 0x80000;  // write lines to the daily file
constexpr uint32_t kLogDefaultMode = 0x80008;
constexpr size_t kLogMaxText = 3999;

// name null keeps the current name ("YRNLog" at first); mode 0 keeps the current mode.
// While the log is open, the platform's diagnostics are written to it as well.
void YrnLogOpen(const char* name, uint32_t mode);
void YrnLogClose();
void YrnLogWrite(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Current settings, and the path a line written at the given local time goes to.
std::string YrnLogName();
uint32_t YrnLogMode();
std::string YrnLogPathFor(const std::tm& local);

// Test seams: the folder the files go to (empty: the program folder) and the source of
// the local time (empty: the system clock).
void YrnLogSetFolder(const std::string& folder);
void YrnLogSetClock(std::function<std::tm()> localNow);

}  // namespace hqlv::netlib
