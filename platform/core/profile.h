#pragma once
// INI profile files with the behaviour of the Windows private-profile functions.
//
// The file holds GBK text; callers pass and get UTF-8. Section and key names match
// ignoring ASCII case. Names and values are trimmed of blanks (spaces and tabs); a value
// wholly inside a pair of matching quotes (" or ') loses them. Lines may end in CRLF or LF;
// lines starting with ';' are comments; a line without '=' is not a key. When a section or
// key appears twice, the first one wins. A missing or unreadable file reads as empty, so
// every get yields its default. Writing rewrites the file with CRLF line ends through a
// temporary file, keeping every untouched line byte for byte. All functions are
// thread-safe; the file is read afresh on every call.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

// A profile's text (GBK, as on disk) parsed once, for many lookups without reading the file
// again. The file functions below read through it, so both follow the same rules.
class ProfileText {
public:
    explicit ProfileText(std::string_view content);
    ~ProfileText();
    ProfileText(ProfileText&&) noexcept;
    ProfileText& operator=(ProfileText&&) noexcept;

    // The section names, and the key names of a section, in file order without repeats.
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keys(std::string_view section) const;
    // The value of section/key (UTF-8), or nothing when the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // As profileString and getProfileInt.
    std::string string(std::string_view section, std::string_view key, std::string_view def) const;
    int integer(std::string_view section, std::string_view key, int def) const;

    struct Line;

private:
    std::vector<Line> lines_;
};

// Fills out (size bytes) like GetPrivateProfileString and returns the number of bytes
// stored, not counting the terminator:
//  - section and key given: the value, or def (null: "") without its trailing blanks when
//    the key is missing; cut to size - 1 bytes on a character boundary.
//  - key null: the section's key names, each NUL-terminated, the list ended by a second
//    NUL; section null: the section names the same way. When the list does not fit it is
//    cut, ends in two NULs, and size - 2 is returned.
// Returns 0 and stores nothing when out is null or size is 0.
uint32_t getProfileString(const char* section, const char* key, const char* def, char* out,
                          uint32_t size, std::string_view file);

// The value of section/key, or def (without trailing blanks) when it is missing.
std::string profileString(std::string_view section, std::string_view key, std::string_view def,
                          std::string_view file);

// Like GetPrivateProfileInt: a missing key or an empty value gives def; otherwise the
// value's leading decimal number (optional sign; leading blanks skipped; 0 when there are
// no digits).
int getProfileInt(std::string_view section, std::string_view key, int def, std::string_view file);

// Like WritePrivateProfileString: key and value given: sets the value (replacing the
// first such key, else appending it to the section, else appending the section); value
// null: deletes the key; key null: deletes the whole section. Creates the file when
// needed (its folder must exist). Returns false when the file cannot be written, section
// is null, or a name or value holds a line break (which would corrupt the file).
bool writeProfileString(const char* section, const char* key, const char* value,
                        std::string_view file);
// The text such a write makes of a profile's text (GBK), or nothing when it changes nothing.
// section is not null, and no name or value holds a line break.
std::optional<std::string> rewriteProfileText(std::string_view content, const char* section,
                                              const char* key, const char* value);

// The section names, and the key names of a section, in file order without repeats.
std::vector<std::string> profileSectionNames(std::string_view file);
std::vector<std::string> profileKeys(std::string_view section, std::string_view file);

}  // namespace hqlv::platform
