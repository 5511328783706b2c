#include "framework/web/safebox_model.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "framework/app/shared_utils.h"

namespace hqlv::framework::web {

std::optional<int32_t> ParseLeadingInt(std::string_view text, size_t maxChars) {
    text = text.substr(0, std::min(text.size(), maxChars));
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min())
                                   : int64_t(std::numeric_limits<int32_t>::max());
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) return std::nullopt;
    }
    return int32_t(negative ? -value : value);
}

int32_t ParseAmountText(std::string_view text, size_t maxChars) {
    return ParseLeadingInt(text, maxChars).value_or(0);
}

std::vector<int32_t> ParseHistory(std::string_view text) {
    std::vector<int32_t> out;
    for (auto field : SplitFields(text, 100).fields) {
        int32_t v = ParseLeadingInt(field, field.size()).value_or(0);
        if (v != 0) out.push_back(v);
    }
    return out;
}

std::string FormatHistory(const std::vector<int32_t>& amounts) {
    std::string s;
    for (int32_t a : amounts) s += std::to_string(a) + "|";
    return s;
}

bool AddToHistory(std::vector<int32_t>& amounts, int32_t amount) {
    if (amount == 0) return false;
    if (std::find(amounts.begin(), amounts.end(), amount) != amounts.end()) return false;
    while (amounts.size() >= kHistoryMax) amounts.erase(amounts.begin());
    amounts.push_back(amount);
    return true;
}

std::array<int32_t, 6> FixAmountsFromTexts(const std::array<std::string, 6>& texts) {
    if (texts[5].empty()) return kFixDefaults;
    std::array<int32_t, 6> out{};
    for (size_t i = 0; i < 6; ++i) out[i] = ParseAmountText(texts[i], 31);
    return out;
}

std::optional<FixMove> PlanFixMove(int32_t current, int32_t target) {
    int64_t d = int64_t(target) - int64_t(current);
    if (d == 0) return FixMove{};
    int64_t mag = d < 0 ? -d : d;
    if (mag > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return FixMove{d < 0 ? FixMove::kSave : FixMove::kTake, int32_t(mag)};
}

KeypadModel::KeypadModel() {
    for (int i = 0; i < 10; ++i) map_[size_t(i)] = i;
}

void KeypadModel::Shuffle(unsigned seed) {
    for (int i = 0; i < 10; ++i) map_[size_t(i)] = i;
    std::srand(seed);
    for (size_t k = 0; k < 10; ++k) std::swap(map_[k], map_[size_t(std::rand() % 10)]);
}

void KeypadModel::PressButton(int button) {
    if (button < 0 || button > 9 || digits_.size() >= kMaxDigits) return;
    digits_.push_back(char('0' + map_[size_t(button)]));
}

void KeypadModel::Erase() {
    if (!digits_.empty()) digits_.pop_back();
}

void KeypadModel::TypeDigits(std::string_view digits) {
    for (char c : digits) {
        auto it = std::find(map_.begin(), map_.end(), c - '0');
        if (it != map_.end()) PressButton(int(it - map_.begin()));
    }
}

int32_t KeypadModel::Response(int32_t challenge) const {
    int64_t sum = 0;
    size_t at = 0, groups = 0;
    while (groups < 4 && digits_.size() - at > 4) {
        sum += std::stoll(digits_.substr(at, 4));
        at += 4;
        ++groups;
    }
    if (groups < 4 && at < digits_.size()) sum += std::stoll(digits_.substr(at));
    sum += challenge / 10000 + challenge % 10000;
    return int32_t(sum);
}

std::string CodePictureText(int32_t challenge) {
    std::string text = Format("%08d", challenge);
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9' && digits.size() < 8) digits.push_back(c);
    return digits;
}

int GlyphIndex(char digit) {
    return digit >= '0' && digit <= '9' ? 1 + (digit - '0') : kSeparatorGlyph;
}

}  // namespace hqlv::framework::web
