#include "utility/Clock.h"

#include <gtest/gtest.h>

using zlv::Date;
using zlv::LocalDateTime;

TEST(Clock, DayNumbersRoundTripAcrossCenturiesAndLeapDays)
{
    // Walk four centuries day by day: every date must come back as itself and follow its
    // predecessor, which catches off-by-one errors at month, year and leap-day edges.
    Date previous = Date{1899, 12, 31};
    for (long long n = Date{1900, 1, 1}.toDayNumber(); n <= Date{2300, 3, 1}.toDayNumber(); ++n) {
        const Date d = Date::fromDayNumber(n);
        ASSERT_TRUE(d.isValid()) << n;
        ASSERT_EQ(d.toDayNumber(), n);
        ASSERT_LT(previous, d);
        previous = d;
    }
    EXPECT_EQ((Date{1970, 1, 1}.toDayNumber()), 0);
    EXPECT_EQ((Date{2100, 2, 28}.addDays(1)), (Date{2100, 3, 1}));
    EXPECT_EQ((Date{2000, 2, 28}.addDays(1)), (Date{2000, 2, 29}));
}

TEST(Clock, ManualClockCrossesMidnightAndMonthEnd)
{
    zlv::ManualClock clock(LocalDateTime{{2024, 1, 31}, 23, 59, 59});
    clock.advanceSeconds(1);
    EXPECT_EQ(clock.now(), (LocalDateTime{{2024, 2, 1}, 0, 0, 0}));
    clock.advanceSeconds(-2);
    EXPECT_EQ(clock.now(), (LocalDateTime{{2024, 1, 31}, 23, 59, 58}));
}
