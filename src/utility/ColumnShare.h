#pragma once

#include <vector>

namespace zlv {

// One column of a list, as its width is decided.
struct ColumnNeed
{
    int natural = 0;          // the width it would like (its designed width or more)
    int content = 0;          // what its texts need, at most `natural`
    int minimum = 0;          // never narrower (its caption)
    bool fixed = false;       // the user chose its width: it keeps `natural`
    bool yieldsFirst = false; // gives way before any other column does (a path)
};

// The widths of columns that share `available` pixels. While everything fits, every column
// gets the width it would like. Otherwise columns first give up room their texts do not
// need; then the columns that yield first cut their texts, the widest first, down to their
// minimum; if that is not enough, the others follow the same way. So one very long text (a
// deep path) cannot push the columns after it out of sight. Fixed columns keep their width
// whatever it costs.
std::vector<int> ShareColumnWidths(const std::vector<ColumnNeed>& columns, int available);

} // namespace zlv
