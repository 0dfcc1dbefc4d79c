#include "mainwindow/Geometry.h"

#include <gtest/gtest.h>

using namespace zlv;
using namespace zlv::layout;

TEST(Geometry, ListsFillTheClientAreaWithinTheirMarginsAndNeverGoNegative)
{
    // The design client area with a 20-pixel status bar: 6-pixel margins right and below.
    const Size design = ListSize({723, 398}, 20, {});
    EXPECT_EQ(design.width, 723 - 6 - 6);
    EXPECT_EQ(design.height, 398 - 83 - 6 - 20);

    // Narrower than the left edge plus the margin: the width stays, the height follows.
    const Size narrow = ListSize({10, 500}, 20, design);
    EXPECT_EQ(narrow.width, design.width);
    EXPECT_EQ(narrow.height, 500 - 83 - 6 - 20);
    // Too low as well: both stay.
    EXPECT_EQ((ListSize({10, 50}, 20, design)), design);
    // Exactly at the edge is a size of zero, which is applied.
    EXPECT_EQ(ListSize({12, 109}, 20, design).width, 0);
    EXPECT_EQ(ListSize({12, 109}, 20, design).height, 0);
}

TEST(Geometry, TheRangeCheckTestsTheEndDateFirst)
{
    const Date today{2024, 3, 5};
    const Date yesterday{2024, 3, 4};
    EXPECT_EQ(CheckRange(yesterday, yesterday, today), RangeVerdict::Valid);
    EXPECT_EQ(CheckRange({2023, 12, 30}, {2024, 1, 2}, today), RangeVerdict::Valid);
    EXPECT_EQ(CheckRange(yesterday, today, today), RangeVerdict::EndTooLate);
    EXPECT_EQ(CheckRange(yesterday, {2025, 1, 1}, today), RangeVerdict::EndTooLate);
    EXPECT_EQ(CheckRange({2024, 3, 3}, {2024, 3, 2}, today), RangeVerdict::StartAfterEnd);
    // Both rules broken: only the end date is reported.
    EXPECT_EQ(CheckRange({2024, 3, 9}, today, today), RangeVerdict::EndTooLate);
    // Across a year end and a leap day.
    EXPECT_EQ(CheckRange({2024, 2, 29}, {2024, 2, 29}, {2024, 3, 1}), RangeVerdict::Valid);
    EXPECT_EQ(CheckRange({2023, 12, 31}, {2023, 12, 31}, {2024, 1, 1}), RangeVerdict::Valid);
}
