#pragma once
// The engine's small services: the engine log (one line per event, appended to the daily
// "Game<yyyymmdd>.log" in the program folder, which the network library's log shares),
// the program folder, whole-file reading, path splitting, ASCII lower-casing that leaves
// double-byte characters alone, and the three text helpers of the rich-text tags.
#include <cstdarg>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::engine {

// Formats like printf (cut at 1023 bytes, never inside a character) and appends one
// stamped line to the day's log with a single write. A file that cannot be opened loses
// the line.
void WriteLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void WriteLogV(const char* fmt, va_list ap) __attribute__((format(printf, 1, 0)));
// Writes a finished text as it stands (a '%' in it is not a format).
void WriteLogText(std::string_view text);

// Shows "<name> 由于以下错误而失败: <the system's text for the thread's last error (errno)>"
// in a box with the caption "错误" and the error icon, owned by no window. The box goes
// through the error-box hook (the engine object installs one that reaches its host); with
// none the text goes to the diagnostics output.
void ShowLastError(std::string_view name);
using ErrorBoxHook = std::function<void(const std::string& text, const std::string& caption)>;
// Returns the previous hook.
ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook);

// The folder the log files go to; empty (the default) means the program folder. Returns
// the previous one. Tests point it at a folder of their own.
std::string SetEngineLogFolder(std::string folder);
// The file a line written at this date goes to.
std::string EngineLogPath(int year, int month, int day);

// The program folder, ending in '/', and paths below it.
std::string GetModuleFolder();
std::string ModulePath(std::string_view name);
bool ModuleFileExists(std::string_view name);

// The whole file ('\\' accepted, the name found whatever its case). False, with the line
// "文件<path> 打开失败!" in the log, when the file cannot be read; false without a line for
// an empty path.
bool ReadWholeFile(std::string_view path, std::string* out);

// In place over UTF-8: A-Z become a-z, every other character stays as it is (the same as
// lowering the GBK form while leaving its double-byte characters alone).
void ToLowerAscii(std::string& text);

// The extension with its dot, lower-cased ("" when the name has none), and the file name
// without folder and extension. Both '/' and '\\' separate folders.
std::string SplitFileExtension(std::string_view path);
std::string SplitFileTitle(std::string_view path);

// The leading decimal integer, as atoi (0 when none; saturates instead of overflowing).
int StrToInt(std::string_view text);
// The characters strictly between the first and the last double quote when there are two
// different ones; otherwise the text unchanged.
std::string UnquoteText(std::string_view text);
// Appends the comma-separated pieces of the text: every ',' ends a piece (empty ones
// included); the piece after the last comma only when it is not empty. Returns the list's
// new size; an empty text appends nothing and returns 0.
size_t SplitCommaList(std::string_view text, std::vector<std::string>& list);

}  // namespace hqlv::engine
