#include "utility/Clock.h"

#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace zlv {

namespace {

std::atomic<const Clock*> g_clock{nullptr};

} // namespace

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Howard Hinnant's days-from-civil: exact for every Gregorian date, no table, no loop.
long long Date::toDayNumber() const
{
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (month + 9) % 12;
    const long long doy = (153 * mp + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date Date::fromDayNumber(long long days)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return Date{static_cast<int>(y), m, d};
}

bool Date::isValid() const
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool LocalDateTime::isValid() const
{
    return date.isValid() && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
           second >= 0 && second <= 59;
}

const Clock& Clock::instance()
{
    static const SystemClock systemClock;
    const Clock* installed = g_clock.load(std::memory_order_acquire);
    return installed ? *installed : systemClock;
}

void Clock::setInstance(const Clock* clock)
{
    g_clock.store(clock, std::memory_order_release);
}

LocalDateTime SystemClock::now() const
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    LocalDateTime result;
    result.date = Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    result.hour = tm.tm_hour;
    result.minute = tm.tm_min;
    // A leap second is shown as the last second of its minute; the format has no 60.
    result.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return result;
}

std::string FormatStamp(const LocalDateTime& at)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", at.date.year,
                  at.date.month, at.date.day, at.hour, at.minute, at.second);
    return buffer;
}

std::optional<LocalDateTime> ParseStamp(std::string_view s)
{
    if (s.size() != kStampLength || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' ||
        s[16] != ':') {
        return std::nullopt;
    }
    // Every stamp of a day file is parsed when the file is read or printed: its digits are
    // checked eight at a time, the separators first set to '0' so that they pass.
    const auto digits = [&s](std::size_t at,
                             std::uint64_t separators) -> std::optional<std::uint64_t> {
        constexpr std::uint64_t kZeros = 0x3030303030303030ull;
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
        std::uint64_t w;
        std::memcpy(&w, s.data() + at, 8);
        w = (w & ~separators) | (kZeros & separators);
        if ((w & kHigh) != kZeros || ((w + 0x0606060606060606ull) & kHigh) != kZeros) {
            return std::nullopt;
        }
        return w - kZeros;
    };
    // Little-endian: byte i of the text is bits 8i..8i+7 of the word.
    const auto byte = [](std::uint64_t w, int i) {
        return static_cast<int>((w >> (8 * i)) & 0xFF);
    };
    static_assert(std::endian::native == std::endian::little);
    const auto date = digits(0, 0xFF0000FF00000000ull);     // "YYYY-MM-"
    const auto middle = digits(8, 0x0000FF0000FF0000ull);   // "DD HH:MM"
    const auto seconds = digits(11, 0x0000FF0000FF0000ull); // "HH:MM:SS", for SS
    if (!date || !middle || !seconds) {
        return std::nullopt;
    }
    LocalDateTime t;
    t.date.year =
        byte(*date, 0) * 1000 + byte(*date, 1) * 100 + byte(*date, 2) * 10 + byte(*date, 3);
    t.date.month = byte(*date, 5) * 10 + byte(*date, 6);
    t.date.day = byte(*middle, 0) * 10 + byte(*middle, 1);
    t.hour = byte(*middle, 3) * 10 + byte(*middle, 4);
    t.minute = byte(*middle, 6) * 10 + byte(*middle, 7);
    t.second = byte(*seconds, 6) * 10 + byte(*seconds, 7);
    const bool valid = t.date.year >= 1 && t.date.month >= 1 && t.date.month <= 12 &&
                       t.date.day >= 1 && (t.date.day <= 28 || t.date.isValid()) && t.hour <= 23 &&
                       t.minute <= 59 && t.second <= 59;
    if (!valid) {
        return std::nullopt;
    }
    return t;
}

} // namespace zlv
