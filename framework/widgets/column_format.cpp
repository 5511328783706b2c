#include "framework/widgets/column_format.h"

#include <algorithm>

#include "framework/app/shared_utils.h"

namespace hqlv::framework {
namespace {

// The splitter's own limit on fields.
constexpr size_t kMaxFields = 1024;

int DecimalValue(std::string_view s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
    }
    return int(negative ? -v : v);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

std::vector<ColumnSpec> ParseColumnSpec(std::string_view spec) {
    SplitResult split = SplitFields(spec, kMaxFields);
    std::vector<ColumnSpec> columns;
    size_t n = split.fields.size() / 3;
    columns.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        ColumnSpec c;
        c.title = std::string(split.fields[i * 3]);
        c.width = DecimalValue(split.fields[i * 3 + 1]);
        c.align = DecimalValue(split.fields[i * 3 + 2]);
        columns.push_back(std::move(c));
    }
    return columns;
}

int FindColumnTitle(const std::vector<ColumnSpec>& columns, std::string_view title) {
    for (size_t i = 0; i < columns.size(); ++i)
        if (EqualNoCase(columns[i].title, title)) return int(i);
    return -1;
}

std::vector<int> FitColumnWidths(const std::vector<int>& given, const std::vector<int>& needs,
                                 int available, size_t keepWhole, int minFirst) {
    std::vector<int> widths(given.size());
    long total = 0;
    for (size_t i = 0; i < given.size(); ++i) {
        const int need = i < needs.size() ? needs[i] : 0;
        widths[i] = std::max(given[i], need);
        total += widths[i];
    }
    if (total <= available || widths.empty()) return widths;
    long rest = 0;  // the other whole columns, at what their texts need
    for (size_t i = 1; i < widths.size(); ++i) {
        widths[i] = i < needs.size() ? std::max(needs[i], 0) : 0;
        if (i < keepWhole) rest += widths[i];
    }
    if (widths[0] + rest > available) widths[0] = int(std::max<long>(minFirst, available - rest));
    return widths;
}

}  // namespace hqlv::framework
