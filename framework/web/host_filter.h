#pragma once
// The allowed-host list of the web panes and the check every navigation passes while the
// filter is on. The list file is a run of 64-byte records, each an AES-128 coded
// NUL-terminated host name; it is read afresh for every navigation. Only Qt Core (QUrl).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::framework::web {

inline constexpr size_t kHostRecordBytes = 64;

// The deployment's 16-byte key of the list file.
const uint8_t* HostListKey();

// One record: the host name, cut to 63 bytes, NUL-filled and coded.
std::vector<uint8_t> EncodeHostRecord(std::string_view host, const uint8_t* key);
// The names of the full records of a file's bytes, lower-cased; a trailing part shorter
// than a record is ignored, and a record without a terminator ends at its 64th byte.
std::vector<std::string> DecodeHostRecords(const uint8_t* data, size_t n, const uint8_t* key);
// Writes the list file (the hall's writer and the tests'). False when it cannot be written.
bool WriteHostListFile(const std::string& path, const std::vector<std::string>& hosts,
                       const uint8_t* key);
// Appends the file's names to `hosts`; the number of names then in the list, 0 when the
// file cannot be opened.
int LoadAllowedHosts(const std::string& path, std::vector<std::string>& hosts, const uint8_t* key);

// A "javascript:" address (any letter case): the filter lets it through without the list.
bool IsScriptUrl(std::string_view url);

// Whether a navigation to `url` may go on, against a list already loaded. "javascript:"
// addresses pass; otherwise only "http:" addresses whose host (as a URL parser sees it:
// lower-cased, user part and port ignored) is a listed name, is a listed name with one
// label added in front, or ends in a listed two-label name.
bool IsHostAllowed(std::string_view url, const std::vector<std::string>& hosts);
// The same, reading the list from its file first (no file, no names: refused).
bool IsUrlAllowed(std::string_view url, const std::string& listFile);

}  // namespace hqlv::framework::web
