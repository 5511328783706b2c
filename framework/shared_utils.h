#pragma once
// Small helpers that the framework's parts and the games share: blank trimming, the
// "|"-separated field splitter of the hall's texts, wealth titles, skin colour texts and
// web-address prefixes. Pure functions, no window system.
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

// printf into a std::string (the texts of the boxes and the hall records).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hqlv::framework
