#include "utility/ColumnShare.h"

#include <gtest/gtest.h>
#include <numeric>

using zlv::ColumnNeed;
using zlv::ShareColumnWidths;

// The Today list's columns (time, object, action, path, original name, new name) with a
// path whose text needs `path` pixels.
static std::vector<ColumnNeed> Today(int path)
{
    return {{110, 110, 40}, {50, 40, 45},
            {55, 50, 48},   {std::max(230, path), path, 30, false, true},
            {170, 90, 95},  {70, 0, 70}};
}

TEST(ColumnShare, ADeepPathGivesWayBeforeTheNamesAfterIt)
{
    EXPECT_EQ(ShareColumnWidths(Today(120), 800), (std::vector<int>{110, 50, 55, 230, 170, 70}));
    // Only the path is cut; the others keep what their texts need, and all end in the list.
    EXPECT_EQ(ShareColumnWidths(Today(900), 700), (std::vector<int>{110, 45, 50, 330, 95, 70}));
    // Narrower: the path stops at its caption and the others share the cut, none below its
    // caption either.
    EXPECT_EQ(ShareColumnWidths(Today(900), 330), (std::vector<int>{42, 45, 48, 30, 95, 70}));
    std::vector<ColumnNeed> chosen = Today(900);
    chosen[4] = {400, 400, 0, true}; // the user's own width, kept whatever it costs
    EXPECT_EQ(ShareColumnWidths(chosen, 700), (std::vector<int>{105, 45, 50, 30, 400, 70}));
}
