#pragma once
// Small helpers that the framework's parts and the games share: blank trimming, the
// "|"-separated field splitter of the hall's texts, wealth titles, skin colour texts,
// web-address prefixes, and wave sounds from the program's resources and from the
// platform's shared sound folder. No window system.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::framework {

using Color = uint32_t;  // red | green << 8 | blue << 16

// Removes leading and trailing blanks (character 32 only, not tabs) in place.
std::string& TrimBlanks(std::string& text);
std::string TrimBlanksCopy(std::string_view text);

struct SplitResult {
    std::vector<std::string_view> fields;
    // What follows the "|" after the n-th field when the text held more; none otherwise.
    std::optional<std::string_view> rest;
};
// Splits at "|" into at most n fields. A text ending in "|" gives a last, empty field;
// an empty text gives one empty field.
SplitResult SplitFields(std::string_view text, size_t n);

// The title that goes with a silver amount ("待业", "临时工", ... "世界首富"; "负债" below 0).
std::string GetWealthTitle(int32_t amount);

// "r g b" (each taken modulo 256, missing numbers 0) to a colour; empty text: the default.
Color ParseColor(std::string_view text, Color fallback);

std::string IntToString(int n);

// Prefixes "http://" unless the address already begins with it, ignoring case.
void EnsureHttpPrefix(std::string& address);

// Adds a query to a page: joined with "&" when the page already holds "?", else "?".
// An empty query adds nothing.
std::string AppendQuery(std::string_view page, std::string_view query);

// ---- Wave sounds ----
// The flags of the Windows wave call, as the callers pass them. Without kSndAsync a call
// returns when the sound has ended; kSndNoStop refuses to cut off a sound that is still
// playing; kSndMemory plays bytes instead of a file; kSndFileName names a file.
// kSndNoDefault is accepted and changes nothing: there is no system default sound here.
constexpr uint32_t kSndSync = 0x0000;
constexpr uint32_t kSndAsync = 0x0001;
constexpr uint32_t kSndNoDefault = 0x0002;
constexpr uint32_t kSndMemory = 0x0004;
constexpr uint32_t kSndNoStop = 0x0010;
constexpr uint32_t kSndFileName = 0x00020000;

// Plays a file (kSndMemory not set, or kSndFileName set) or wave bytes through the
// platform's audio service with the flags above. True when the sound started (or, for a
// synchronous call, has played).
bool PlayWave(std::string_view fileOrBytes, uint32_t flags);

// The program's wave resources: "<id>.wav" in "resources/sound/" of the program folder.
// The folder can be pointed elsewhere (tests); an empty one restores the default.
void SetResourceSoundFolder(const std::string& folder);
std::string GetResourceSoundPath(int id);

// Plays the program's wave resource: asynchronously, without cutting off a sound that is
// playing. False when the program has no such resource or it did not play.
bool PlayResourceSound(int id);
// The same with the caller's flags (plus no-default and memory).
bool PlayResourceSoundEx(int id, uint32_t flags);
// Plays "<platform root>share\sound\<folder>\<name>" with the caller's flags (plus the
// file-name flag). False when the platform root is unknown or the file did not play.
bool PlayShareSound(const std::string& folder, const std::string& name, uint32_t flags);

// A period given in seconds (by the hall, the server or a setting) as a timer's
// milliseconds, taken in 64 bits: none below 0, and at most 0x7FFFFFFF, the longest period a
// timer keeps (a longer one wrapped into a short one, or was refused as negative).
uint32_t TimerPeriodMs(int64_t seconds);

// printf into a std::string (the texts of the boxes and the hall records).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hqlv::framework
