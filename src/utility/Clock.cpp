#include "utility/Clock.h"

#include <atomic>
#include <cstdio>
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

void ManualClock::advanceSeconds(long long seconds)
{
    long long total = m_now.date.toDayNumber() * 86400 + m_now.secondsOfDay() + seconds;
    long long days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    long long rest = total - days * 86400;
    m_now.date = Date::fromDayNumber(days);
    m_now.hour = static_cast<int>(rest / 3600);
    m_now.minute = static_cast<int>(rest / 60 % 60);
    m_now.second = static_cast<int>(rest % 60);
}

namespace {

bool TwoDigits(std::string_view s, std::size_t at, int& out)
{
    const char a = s[at];
    const char b = s[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') {
        return false;
    }
    out = (a - '0') * 10 + (b - '0');
    return true;
}

} // namespace

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
    int c = 0, y = 0;
    LocalDateTime t;
    if (!TwoDigits(s, 0, c) || !TwoDigits(s, 2, y) || !TwoDigits(s, 5, t.date.month) ||
        !TwoDigits(s, 8, t.date.day) || !TwoDigits(s, 11, t.hour) || !TwoDigits(s, 14, t.minute) ||
        !TwoDigits(s, 17, t.second)) {
        return std::nullopt;
    }
    t.date.year = c * 100 + y;
    if (!t.isValid()) {
        return std::nullopt;
    }
    return t;
}

} // namespace zlv
