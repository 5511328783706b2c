#pragma once
// The token readers and scans shared by the compiler and the statement executor. They work
// on UTF-8 texts and never read past the end; a reader whose limit is exceeded yields an
// empty token, consumes nothing and leaves its message (formatted with the rest of the
// text) in *error. Limits count the bytes the token would take in GBK, the script files'
// encoding.
#include <cstddef>
#include <string>
#include <string_view>

namespace hqlv::engine::script {

constexpr size_t kWordLimit = 16;
constexpr size_t kFunctionNameLimit = 32;
constexpr size_t kConditionLimit = 1024;
constexpr size_t kPrefixLimit = 256;
constexpr size_t kSuffixLimit = 1024;
constexpr size_t npos = std::string_view::npos;

// The bytes the UTF-8 text takes in GBK (two per double-byte character, four for the
// characters outside the Basic Multilingual Plane).
size_t GbkLength(std::string_view utf8);
// The length of the UTF-8 character at text[i] (1 for a stray byte), never past the end.
size_t CharLength(std::string_view text, size_t i);

bool IsBlankChar(char c);
bool IsTokenDelimiter(char c);
bool IsOperatorChar(char c);
bool IsOperatorWord(std::string_view word);
bool IsKeywordWord(std::string_view word);
size_t SkipBlanks(std::string_view text, size_t pos);

// A message with one %s: the rest of the text from pos (cut to a readable length).
std::string FormatRest(const char* format, std::string_view text, size_t pos);
std::string FormatText(const char* format, std::string_view value);

// "{" or "}" alone; else up to the end, a blank, ";", "(" or "{", then one following space or
// ";" is consumed. Over the limit: empty, nothing consumed, no message.
std::string ReadWord(std::string_view text, size_t& pos);
// Up to a space ; , ( ) = or the end.
std::string ReadFunctionName(std::string_view text, size_t& pos, std::string* error);
// Skips to "(" and reads up to its matching ")" (outside double quotes), which is consumed.
// No "(" or no matching ")" before the end: empty, with the message.
std::string ReadCondition(std::string_view text, size_t& pos, std::string* error);
// Up to "=" or ";" (consumed) or the end; trailing spaces dropped.
std::string ReadPrefix(std::string_view text, size_t& pos, std::string* error);
// Up to ";" outside double quotes, then through it (to the end when there is none);
// trailing spaces dropped.
std::string ReadSuffix(std::string_view text, size_t& pos, std::string* error);

// The first ch at or after pos outside double quotes; npos when none.
size_t FindOutside(std::string_view text, char ch, size_t pos);
// The offset of the "=" of an assignment before the first ";" outside quotes; npos when
// the statement assigns nothing.
size_t FindAssignment(std::string_view text, size_t pos);
// The ")" closing a "(" already opened before pos (outside quotes); npos when none.
size_t FindClosingParen(std::string_view text, size_t pos);
// Items of a call's argument text separated by top-level commas; an empty last item does
// not count.
int CountArguments(std::string_view args);

}  // namespace hqlv::engine::script
