#pragma once
// The column text of the report lists: "title|width|alignment|" repeated, one triple per
// column ("用户名|100|0|总成绩|75|2|"). No window system, so panes and tests share it.
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::framework {

enum ColumnAlign { kColumnLeft = 0, kColumnRight = 1, kColumnCentre = 2 };

struct ColumnSpec {
    std::string title;
    int width = 0;
    int align = kColumnLeft;
};

// One column per complete triple (a trailing "|" is allowed; fields past the last whole
// triple are ignored). Widths and alignments are decimal; anything else reads as 0.
std::vector<ColumnSpec> ParseColumnSpec(std::string_view spec);

// Index of the first column whose title equals `title` ignoring letter case; -1 when none.
int FindColumnTitle(const std::vector<ColumnSpec>& columns, std::string_view title);

}  // namespace hqlv::framework
