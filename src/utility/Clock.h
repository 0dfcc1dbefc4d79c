#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zlv {

// A calendar date in the proleptic Gregorian calendar.
struct Date
{
    int year = 1970;
    int month = 1;
    int day = 1;

    // Written out rather than defaulted with <=>: Qt's moc cannot parse <compare>, and
    // this header reaches moc through the window classes.
    bool operator==(const Date&) const = default;
    bool operator<(const Date& o) const { return toDayNumber() < o.toDayNumber(); }
    bool operator>(const Date& o) const { return o < *this; }
    bool operator<=(const Date& o) const { return !(o < *this); }
    bool operator>=(const Date& o) const { return !(*this < o); }

    // Days since 1970-01-01; negative before it.
    long long toDayNumber() const;
    static Date fromDayNumber(long long days);
    Date addDays(long long days) const { return fromDayNumber(toDayNumber() + days); }
    bool isValid() const;
};

// Local date and time to the second, the only resolution the journal records.
struct LocalDateTime
{
    Date date;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const LocalDateTime&) const = default;
    bool operator<(const LocalDateTime& o) const
    {
        return date != o.date ? date < o.date : secondsOfDay() < o.secondsOfDay();
    }

    int secondsOfDay() const { return hour * 3600 + minute * 60 + second; }
    bool isValid() const;
};

// The journal's stamp, "YYYY-MM-DD HH:MM:SS": day files, gap files and the display format
// all read and write moments in this one shape.
inline constexpr std::size_t kStampLength = 19;
std::string FormatStamp(const LocalDateTime& at);
// Accepts exactly that shape naming a real calendar moment.
std::optional<LocalDateTime> ParseStamp(std::string_view text);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Where the program reads the time. Tests install their own clock so that they can stand
// at any moment (one second before midnight, the fifth second after a record, ...).
class Clock
{
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;

    // The clock the program uses; the system clock unless a test installed another.
    static const Clock& instance();
    // Installs `clock` (not owned) as the program's clock; nullptr restores the system clock.
    static void setInstance(const Clock* clock);
};

class SystemClock final : public Clock
{
public:
    LocalDateTime now() const override;
};

} // namespace zlv
