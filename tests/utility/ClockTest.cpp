#include "utility/Clock.h"

#include <cctype>
#include <cstdio>
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

TEST(Clock, StampsParseAsTheirDigitsSayAndNothingElseParses)
{
    // Each position of a few stamps spoilt with every byte: a stamp reads only when a plain
    // reading finds its shape and the calendar has the moment, and reads back as itself.
    for (const std::string stamp : {"2024-02-29 23:59:59", "0001-01-01 09:09:09"}) {
        for (std::size_t at = 0; at < stamp.size(); ++at) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string s = stamp;
                s[at] = static_cast<char>(byte);
                LocalDateTime t;
                char end = 0;
                const bool shape =
                    std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.date.year, &t.date.month,
                                &t.date.day, &t.hour, &t.minute, &t.second, &end) == 6 &&
                    (std::isdigit(stamp[at]) ? std::isdigit(byte) != 0 : byte == stamp[at]);
                const auto got = zlv::ParseStamp(s);
                ASSERT_EQ(got.has_value(), shape && t.isValid()) << s;
                EXPECT_TRUE(!got || zlv::FormatStamp(*got) == s) << s;
            }
        }
    }
    // Shorter or longer than a stamp, whatever the digits.
    for (const char* bad : {"2024-1-01 10:00:00", "2024-01-01 10:00:00 ", ""}) {
        EXPECT_FALSE(zlv::ParseStamp(bad)) << bad;
    }
}
