#pragma once
// An opt-in trace of what the panes show, for end-to-end tests and for operators who
// want to see what a player saw. Off unless HQLV_UI_TRACE names a file; each call then
// appends "<pane>\t<line>\n" to it (UTF-8). Cheap when off: one cached check.

#include <string_view>

namespace hqlv::framework {

// True when a trace file is set for this process.
bool UiTraceEnabled();

// Appends one line for `pane` ("chat", "players", ...). Line breaks inside `line` are
// written as blanks so that every call stays one line of the file.
void UiTrace(std::string_view pane, std::string_view line);

}  // namespace hqlv::framework
