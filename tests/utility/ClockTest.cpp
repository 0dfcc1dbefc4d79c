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

TEST(Clock, StampsParseAsTheirDigitsSayAndNothingElseParses)
{
    // Every position of a few stamps spoilt with every byte: the parse agrees with a plain
    // reading of the text, digit by digit, and with the calendar.
    const auto plain = [](const std::string& s) -> std::optional<zlv::LocalDateTime> {
        static const std::string shape = "dddd-dd-dd dd:dd:dd";
        if (s.size() != shape.size()) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < s.size(); ++i) {
            const bool digit = s[i] >= '0' && s[i] <= '9';
            if (shape[i] == 'd' ? !digit : s[i] != shape[i]) {
                return std::nullopt;
            }
        }
        zlv::LocalDateTime t;
        t.date = {std::stoi(s.substr(0, 4)), std::stoi(s.substr(5, 2)), std::stoi(s.substr(8, 2))};
        t.hour = std::stoi(s.substr(11, 2));
        t.minute = std::stoi(s.substr(14, 2));
        t.second = std::stoi(s.substr(17, 2));
        return t.isValid() ? std::optional(t) : std::nullopt;
    };
    for (const std::string stamp : {"2024-02-29 23:59:59", "2023-12-31 00:00:00",
                                    "0001-01-01 09:09:09", "1900-02-28 12:30:45"}) {
        for (std::size_t at = 0; at < stamp.size(); ++at) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string s = stamp;
                s[at] = static_cast<char>(byte);
                const auto got = zlv::ParseStamp(s);
                const auto want = plain(s);
                ASSERT_EQ(got.has_value(), want.has_value()) << s;
                if (got) {
                    EXPECT_EQ(zlv::FormatStamp(*got), s);
                }
            }
        }
        EXPECT_FALSE(zlv::ParseStamp(stamp + " "));
        EXPECT_FALSE(zlv::ParseStamp(stamp.substr(1)));
    }
}
