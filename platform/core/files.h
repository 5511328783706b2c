#pragma once
// Files and paths. Paths are UTF-8. Both '/' and '\\' separate folders, so paths built the
// Windows way ("skins\\Default\\skin.ini") work unchanged. Like on Windows, an existing
// file is found whatever the case of its name: each component is matched exactly first,
// then ASCII-case-insensitively within its folder. A missing file is an error the caller
// sees (false plus a message), never a crash.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

// The folder of the running program (from /proc/self/exe), ending in '/'. Cached.
const std::string& programFolder();
// The running program's own file (from /proc/self/exe); empty when it cannot be read.
// Cached.
const std::string& programFile();

// Replaces every '\\' by '/'.
std::string normalizePath(std::string_view path);

// Joins a folder and a name with exactly one '/' between them.
std::string joinPath(std::string_view folder, std::string_view name);

// Finds an existing file or folder. On success *resolved (when given) holds the path with
// every component spelt as on disk. On failure *error (when given) says which component
// is missing.
bool resolveExisting(std::string_view path, std::string* resolved, std::string* error = nullptr);

// The path to use for creating or replacing a file: the existing folders and, when there
// is one, the existing file are matched case-insensitively; a missing last component is
// kept as written. False when a folder on the way is missing.
bool resolveForWrite(std::string_view path, std::string* resolved, std::string* error = nullptr);

// Tests, like the utility library's file test: folder = true asks for a folder.
bool pathExists(std::string_view path, bool folder = false);

// Reads a whole file (found case-insensitively). False with *error set when it is missing
// or unreadable; then *out is empty.
bool readFile(std::string_view path, std::string* out, std::string* error = nullptr);

// Writes a whole file through a temporary file and a rename, so readers never see half
// of it. The folder must exist.
bool writeFile(std::string_view path, std::string_view data, std::string* error = nullptr);

// Creates a folder and its missing parents. True when it exists afterwards.
bool makeFolders(std::string_view path);

// Deletes a file (found case-insensitively). False when there was none or it stayed.
bool removeFile(std::string_view path);

// The names (not paths) in a folder, without "." and "..". Empty when it is missing.
std::vector<std::string> listFolder(std::string_view path);

}  // namespace hqlv::platform
