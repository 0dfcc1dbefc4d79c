#include "mainwindow/DateRange.h"

#include <gtest/gtest.h>

using namespace zlv;

TEST(DateRange, TheRangeCheckTestsTheEndDateFirst)
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
