#include "utility/ColumnShare.h"

#include <gtest/gtest.h>
#include <numeric>

using zlv::ColumnNeed;
using zlv::ShareColumnWidths;

namespace {

int Sum(const std::vector<int>& widths)
{
    return std::accumulate(widths.begin(), widths.end(), 0);
}

// The Today list's columns: time, object, action, path, original name, new name.
std::vector<ColumnNeed> Today(int pathNeeds)
{
    return {{110, 110, 40}, {50, 40, 45},
            {55, 50, 48},   {std::max(230, pathNeeds), pathNeeds, 30, false, true},
            {170, 90, 95},  {70, 0, 70}};
}

} // namespace

TEST(ColumnShare, ADeepPathGivesWayBeforeTheNamesAfterIt)
{
    // Room for everything: every column gets its designed width or its text's.
    EXPECT_EQ(ShareColumnWidths(Today(120), 800), (std::vector<int>{110, 50, 55, 230, 170, 70}));

    // A path of 900 pixels in a list of 700: the path alone is cut, the names keep what
    // their texts need, and the columns end within the list.
    const std::vector<int> deep = ShareColumnWidths(Today(900), 700);
    EXPECT_EQ(Sum(deep), 700);
    EXPECT_GE(deep[4], 90);
    EXPECT_GE(deep[5], 70);
    EXPECT_EQ(deep[0], 110) << "the time is never cut for a path";
    EXPECT_GT(deep[3], 30);

    // Narrower still: the path stops at its caption, then the others share the cut.
    const std::vector<int> narrow = ShareColumnWidths(Today(900), 330);
    EXPECT_EQ(narrow[3], 30);
    EXPECT_EQ(Sum(narrow), 330);
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        EXPECT_GE(narrow[i], Today(900)[i].minimum) << "column " << i;
    }
    // Too narrow for even the captions: every column at its minimum, none below.
    EXPECT_EQ(ShareColumnWidths(Today(900), 50), (std::vector<int>{40, 45, 48, 30, 95, 70}));
}

TEST(ColumnShare, AWidthTheUserChoseIsKeptWhateverItCosts)
{
    std::vector<ColumnNeed> columns = Today(900);
    columns[4] = {400, 400, 0, true}; // the user widened Original Name
    const std::vector<int> widths = ShareColumnWidths(columns, 700);
    EXPECT_EQ(widths[4], 400);
    EXPECT_EQ(widths[3], 30) << "the path gave everything it could";
    columns[3] = {12, 12, 0, true}; // and narrowed the path below its caption
    EXPECT_EQ(ShareColumnWidths(columns, 2000)[3], 12);
}
