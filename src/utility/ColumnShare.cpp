#include "utility/ColumnShare.h"

#include <algorithm>
#include <numeric>

namespace zlv {

namespace {

// The widths when every column that may give way is held to at most `cap`.
std::vector<int> UnderCap(const std::vector<ColumnNeed>& columns, const std::vector<bool>& gives,
                          int cap)
{
    std::vector<int> widths;
    widths.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ColumnNeed& c = columns[i];
        widths.push_back(gives[i] ? std::max(c.minimum, std::min(c.natural, cap))
                                  : std::max(c.natural, c.fixed ? 0 : c.minimum));
    }
    return widths;
}

long long Sum(const std::vector<int>& widths)
{
    return std::accumulate(widths.begin(), widths.end(), 0LL);
}

// Lowers one common cap on the columns that give way until everything fits (or they are all
// at their minimum); the pixels the cap cannot share evenly go to the columns it holds back.
std::vector<int> Fill(const std::vector<ColumnNeed>& columns, const std::vector<bool>& gives,
                      int available)
{
    int low = 0;
    int high = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        high = gives[i] ? std::max(high, columns[i].natural) : high;
    }
    // The total grows with the cap, so the largest cap that fits is found by halving.
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (Sum(UnderCap(columns, gives, mid)) <= available) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    std::vector<int> widths = UnderCap(columns, gives, low);
    long long left = available - Sum(widths);
    for (std::size_t i = 0; i < widths.size() && left > 0; ++i) {
        if (gives[i] && widths[i] == low && widths[i] < columns[i].natural) {
            ++widths[i];
            --left;
        }
    }
    return widths;
}

// Cuts the texts of the columns, those that yield first before the others, until they fit.
std::vector<int> CutToFit(const std::vector<ColumnNeed>& columns, int available)
{
    std::vector<bool> gives(columns.size(), false);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        gives[i] = !columns[i].fixed && columns[i].yieldsFirst;
    }
    std::vector<int> widths = Fill(columns, gives, available);
    if (Sum(widths) <= available) {
        return widths;
    }
    // The first to give way are at their minimum and it is still too wide: they stay there,
    // and the others share what is left.
    std::vector<ColumnNeed> rest = columns;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (gives[i]) {
            rest[i].natural = widths[i];
            rest[i].fixed = true;
        }
        gives[i] = !rest[i].fixed;
    }
    return Fill(rest, gives, available);
}

} // namespace

std::vector<int> ShareColumnWidths(const std::vector<ColumnNeed>& wished, int available)
{
    std::vector<int> widths;
    widths.reserve(wished.size());
    for (const ColumnNeed& c : wished) {
        widths.push_back(c.fixed ? c.natural : std::max(c.natural, c.minimum));
    }
    if (Sum(widths) <= available) {
        return widths;
    }
    // From here on a column asks only for what its texts need.
    std::vector<ColumnNeed> columns = wished;
    for (ColumnNeed& c : columns) {
        if (!c.fixed) {
            c.natural = std::min(c.natural, c.content);
        }
    }
    widths = CutToFit(columns, available);
    // Room left once the texts fit goes back to the columns that wished for more, in order.
    long long left = available - Sum(widths);
    for (std::size_t i = 0; i < widths.size() && left > 0; ++i) {
        const int wish = std::max(wished[i].natural, wished[i].minimum);
        if (!wished[i].fixed && widths[i] < wish) {
            const int more = static_cast<int>(std::min<long long>(left, wish - widths[i]));
            widths[i] += more;
            left -= more;
        }
    }
    return widths;
}

} // namespace zlv
