#pragma once
// The numbers of the safe-box dialogs without any window: amount texts, the amount
// histories, the six fixed amounts, the soft keypad's digits and response, and the code
// picture's characters. Texts that do not fit in 32 bits never wrap around.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::framework::web {

// The leading decimal number of at most `maxChars` characters (optional sign, digits up to
// the first other character; none gives 0); none when it does not fit in 32 bits.
std::optional<int32_t> ParseLeadingInt(std::string_view text, size_t maxChars);
// An amount typed in a dialog: out of range counts as no amount (0).
int32_t ParseAmountText(std::string_view text, size_t maxChars = 29);

// The "DEPOSIT" histories: at most 16 positive amounts, oldest first, no duplicates.
inline constexpr size_t kHistoryMax = 16;
std::vector<int32_t> ParseHistory(std::string_view text);
std::string FormatHistory(const std::vector<int32_t>& amounts);
// False (nothing changed) for 0 or an amount already listed; a full list drops its oldest.
bool AddToHistory(std::vector<int32_t>& amounts, int32_t amount);

// The six fixed amounts from the texts of Fix0..Fix5; an empty Fix5 gives the defaults.
inline constexpr std::array<int32_t, 6> kFixDefaults = {100, 200, 500, 1000, 10000, 30000};
std::array<int32_t, 6> FixAmountsFromTexts(const std::array<std::string, 6>& texts);

// The move the tool view makes to bring the silver in hand to a target: a positive save,
// a positive take, or nothing. Computed without overflow; none when it does not fit.
struct FixMove {
    enum Kind { kNone, kSave, kTake } kind = kNone;
    int32_t amount = 0;
};
std::optional<FixMove> PlanFixMove(int32_t current, int32_t target);

// The soft keypad: up to 16 typed digits through a shuffled map of the ten buttons.
class KeypadModel {
public:
    static constexpr size_t kMaxDigits = 16;
    KeypadModel();
    // The map is 0..9 shuffled: for k = 0..9 swap entries k and rand() % 10.
    void Shuffle(unsigned seed);
    void SetMap(const std::array<int, 10>& map) { map_ = map; }
    const std::array<int, 10>& map() const { return map_; }
    void PressButton(int button);  // 0..9; ignored past 16 digits or out of range
    void Erase();
    void TypeDigits(std::string_view digits);  // tests: as many presses of the digit buttons
    const std::string& digits() const { return digits_; }
    std::string Echo() const { return std::string(digits_.size(), '*'); }
    // Groups of four digits plus challenge / 10000 and challenge % 10000 (16 digits and a
    // 32-bit challenge stay far inside 32 bits).
    int32_t Response(int32_t challenge) const;

private:
    std::array<int, 10> map_;
    std::string digits_;
};

// The verification-code dialog's response: the leading number of at most 15 characters;
// none when it does not fit in 32 bits (the dialog then stays open).
inline std::optional<int32_t> ParseVerifyResponse(std::string_view text) {
    return ParseLeadingInt(text, 15);
}

// The characters the code picture draws for a challenge: its "%08d" digits only, at most
// eight (a sign or a ninth digit has no glyph).
std::string CodePictureText(int32_t challenge);
// Glyph index of a code character: 1..10 for '0'..'9'; 0 is the separator.
inline constexpr int kSeparatorGlyph = 0;
int GlyphIndex(char digit);
// Where character i of the code goes from the anchor's x0; the separator sits at x0 + 64.
inline int CodeGlyphX(int x0, int i) {
    return x0 + 15 * i + (i >= 4 ? 20 : 0);
}
inline int CodeSeparatorX(int x0) {
    return x0 + 64;
}

}  // namespace hqlv::framework::web
