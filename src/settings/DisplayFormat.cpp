#include "settings/DisplayFormat.h"

#include <algorithm>

namespace zlv {

namespace {

constexpr std::array<const char*, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kMonthFullNames{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
// tm_wday order, which is also what the day-number arithmetic below yields.
constexpr std::array<const char*, 7> kWeekdayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> kWeekdayFullNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithAmPm(std::string_view s)
{
    static constexpr std::string_view kAmPm = "AM/PM";
    if (s.size() < kAmPm.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kAmPm.size(); ++i) {
        if (Upper(s[i]) != kAmPm[i]) {
            return false;
        }
    }
    return true;
}

// Length of the UTF-8 sequence led by `lead`, so that an escaped non-ASCII character is
// taken whole; stray continuation bytes and invalid leads count as one byte.
std::size_t SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    if (lead >= 0xC2) {
        return 2;
    }
    return 1;
}

void AppendNumber(std::string& out, long long value, int minDigits)
{
    // Written from the end of a buffer and appended at once: a year of stamps is rendered
    // when it is printed.
    char digits[24];
    char* const end = digits + sizeof digits;
    char* p = end;
    const bool negative = value < 0;
    unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value)
                                    : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (end - p < minDigits && p > digits + 1) {
        *--p = '0';
    }
    if (negative) {
        *--p = '-';
    }
    out.append(p, static_cast<std::size_t>(end - p));
}

void AppendName(std::string& out, const std::array<const char*, 12>& names, int month)
{
    if (month >= 1 && month <= 12) {
        out += names[static_cast<std::size_t>(month - 1)];
    } else {
        AppendNumber(out, month, 1); // an impossible month still shows what it is
    }
}

int Weekday(const Date& date)
{
    // 1970-01-01 was a Thursday.
    const long long w = (date.toDayNumber() + 4) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

} // namespace

const std::array<std::vector<std::string>, 6>& DisplayFormatEntries()
{
    static const std::array<std::vector<std::string>, 6> entries{{
        {"Month Day Year", "Year Month Day", "Day Month Year"},
        {"{Space}", "-", "/", "."},
        {"YYYY", "YY"},
        {"MMM", "MM", "M"},
        {"DD", "D"},
        {"HH:MM:SS", "H:M:S", "HH:MM:SS AM/PM", "H:M:S AM/PM"},
    }};
    return entries;
}

const DisplayFormatFields& DefaultDisplayFormat()
{
    static const DisplayFormatFields defaults = [] {
        DisplayFormatFields fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i] = DisplayFormatEntries()[i].front();
        }
        return fields;
    }();
    return defaults;
}

DisplayFormatFields& ProgramDisplayFormat()
{
    static DisplayFormatFields fields;
    return fields;
}

std::string GetDisplayPattern()
{
    return GetDisplayPattern(ProgramDisplayFormat());
}

std::string GetDisplayPattern(const DisplayFormatFields& f)
{
    std::string separator = f[kSeparatorSlot];
    if (separator == "{Space}") {
        separator = " ";
    } else if (separator == "/") {
        // Escaped, so that it stays a slash whatever the system's date separator is.
        separator = "\\/";
    }
    const std::string& sequence = f[kSequenceSlot];
    const std::string* order[3];
    if (sequence == "Month Day Year") {
        order[0] = &f[kMonthSlot], order[1] = &f[kDaySlot], order[2] = &f[kYearSlot];
    } else if (sequence == "Year Month Day") {
        order[0] = &f[kYearSlot], order[1] = &f[kMonthSlot], order[2] = &f[kDaySlot];
    } else {
        order[0] = &f[kDaySlot], order[1] = &f[kMonthSlot], order[2] = &f[kYearSlot];
    }
    std::string pattern;
    pattern.append(*order[0]).append(separator).append(*order[1]).append(separator);
    pattern.append(*order[2]).append(1, ' ').append(f[kTimeSlot]);
    return pattern;
}

CompiledPattern::CompiledPattern(std::string_view pattern) : m_pattern(pattern)
{
    // "M" means two things. People write minutes right after hours ("HH:MM") and months
    // next to days and years, so the token before a run decides; separators are skipped
    // when looking back, or "HH:MM" would read as hours and a month.
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        if (StartsWithAmPm(pattern.substr(i))) {
            m_tokens.push_back({Kind::AmPm});
            m_twelveHour = true;
            afterHour = false;
            i += 5;
            continue;
        }
        const char c = pattern[i];
        if (c == '\\') {
            if (i + 1 >= pattern.size()) {
                addLiteral(pattern.substr(i, 1)); // nothing to escape: show the backslash
                ++i;
                continue;
            }
            const std::size_t length = std::min(
                SequenceLength(static_cast<unsigned char>(pattern[i + 1])), pattern.size() - i - 1);
            addLiteral(pattern.substr(i + 1, length));
            i += 1 + length;
            continue;
        }
        const char letter = Upper(c);
        if (letter != 'Y' && letter != 'M' && letter != 'D' && letter != 'H' && letter != 'S') {
            addLiteral(pattern.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && Upper(pattern[i + run]) == letter) {
            ++run;
        }
        i += run;
        // Runs longer than any listed token take the longest form of their letter, so a
        // hand-edited "YYYYYYYY" still renders one year, never a screenful of digits.
        Kind kind = Kind::Literal;
        switch (letter) {
        case 'Y':
            kind = run <= 2 ? Kind::Year2 : Kind::Year4;
            break;
        case 'M':
            if (afterHour) {
                kind = run == 1 ? Kind::Minute1 : Kind::Minute2;
            } else {
                kind = run == 1   ? Kind::Month1
                       : run == 2 ? Kind::Month2
                       : run == 3 ? Kind::MonthName
                                  : Kind::MonthFullName;
            }
            break;
        case 'D':
            kind = run == 1   ? Kind::Day1
                   : run == 2 ? Kind::Day2
                   : run == 3 ? Kind::WeekdayName
                              : Kind::WeekdayFullName;
            break;
        case 'H':
            kind = run == 1 ? Kind::Hour1 : Kind::Hour2;
            break;
        default:
            kind = run == 1 ? Kind::Second1 : Kind::Second2;
            break;
        }
        m_tokens.push_back({kind});
        afterHour = kind == Kind::Hour1 || kind == Kind::Hour2;
    }
}

void CompiledPattern::addLiteral(std::string_view bytes)
{
    if (!m_tokens.empty() && m_tokens.back().kind == Kind::Literal) {
        m_tokens.back().length += static_cast<std::uint32_t>(bytes.size());
    } else {
        m_tokens.push_back({Kind::Literal, static_cast<std::uint32_t>(m_literals.size()),
                            static_cast<std::uint32_t>(bytes.size())});
    }
    m_literals.append(bytes);
}

void CompiledPattern::renderTo(const LocalDateTime& at, std::string& out,
                               std::size_t maxBytes) const
{
    const std::size_t start = out.size();
    int hour = at.hour;
    if (m_twelveHour) {
        hour %= 12;
        if (hour <= 0) {
            hour += 12; // midnight is 12 AM, noon 12 PM
        }
    }
    for (const Token& t : m_tokens) {
        const std::size_t written = out.size() - start;
        if (written >= maxBytes) {
            break;
        }
        switch (t.kind) {
        case Kind::Literal:
            // A few bytes past the limit show whether the cut falls inside a character.
            out.append(m_literals, t.begin,
                       maxBytes - written >= t.length
                           ? t.length
                           : std::min<std::size_t>(t.length, maxBytes - written + 4));
            break;
        case Kind::Year4:
            AppendNumber(out, at.date.year, 4);
            break;
        case Kind::Year2:
            AppendNumber(out, (at.date.year % 100 + 100) % 100, 2);
            break;
        case Kind::MonthFullName:
            AppendName(out, kMonthFullNames, at.date.month);
            break;
        case Kind::MonthName:
            AppendName(out, kMonthNames, at.date.month);
            break;
        case Kind::Month2:
            AppendNumber(out, at.date.month, 2);
            break;
        case Kind::Month1:
            AppendNumber(out, at.date.month, 1);
            break;
        case Kind::WeekdayFullName:
            out += kWeekdayFullNames[static_cast<std::size_t>(Weekday(at.date))];
            break;
        case Kind::WeekdayName:
            out += kWeekdayNames[static_cast<std::size_t>(Weekday(at.date))];
            break;
        case Kind::Day2:
            AppendNumber(out, at.date.day, 2);
            break;
        case Kind::Day1:
            AppendNumber(out, at.date.day, 1);
            break;
        case Kind::Hour2:
            AppendNumber(out, hour, 2);
            break;
        case Kind::Hour1:
            AppendNumber(out, hour, 1);
            break;
        case Kind::Minute2:
            AppendNumber(out, at.minute, 2);
            break;
        case Kind::Minute1:
            AppendNumber(out, at.minute, 1);
            break;
        case Kind::Second2:
            AppendNumber(out, at.second, 2);
            break;
        case Kind::Second1:
            AppendNumber(out, at.second, 1);
            break;
        case Kind::AmPm:
            out += at.hour >= 12 ? "PM" : "AM";
            break;
        }
    }
    if (out.size() - start > maxBytes) {
        std::size_t cut = start + maxBytes;
        while (cut > start && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.resize(cut);
    }
}

std::string CompiledPattern::render(const LocalDateTime& at) const
{
    std::string out;
    out.reserve(m_pattern.size() + 16);
    renderTo(at, out);
    return out;
}

std::string FormatTimestamp(const LocalDateTime& at, std::string_view pattern)
{
    // Callers render many stamps with one pattern in a row; keep the last one compiled.
    thread_local CompiledPattern last;
    if (last.pattern() != pattern) {
        last = CompiledPattern(pattern);
    }
    return last.render(at);
}

std::optional<std::string> FormatTimestamp(std::string_view storedStamp, std::string_view pattern)
{
    const auto at = ParseStamp(storedStamp);
    if (!at) {
        return std::nullopt;
    }
    return FormatTimestamp(*at, pattern);
}

} // namespace zlv
