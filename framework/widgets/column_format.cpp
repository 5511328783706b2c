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

}  // namespace hqlv::framework
