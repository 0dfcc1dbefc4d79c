#pragma once

#include "utility/Clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

enum DisplayFormatSlot
{
    kSequenceSlot = 0,
    kSeparatorSlot,
    kYearSlot,
    kMonthSlot,
    kDaySlot,
    kTimeSlot
};

using DisplayFormatFields = std::array<std::string, 6>;

// What the Options lists offer for each slot, in list order; the first entry is the default.
const std::array<std::vector<std::string>, 6>& DisplayFormatEntries();
const DisplayFormatFields& DefaultDisplayFormat();

inline constexpr std::array<const char*, 6> kDisplayFormatKeys{"Sequence", "Separator", "Year",
                                                               "Month",    "Day",       "Time"};

// The program-wide display settings. Empty until the configuration is loaded.
DisplayFormatFields& ProgramDisplayFormat();

// Built afresh on every call, so a change to the fields shows at once.
std::string GetDisplayPattern();
std::string GetDisplayPattern(const DisplayFormatFields& fields);

// A pattern turned once into a list of tokens, so that rendering a million rows does not
// re-read the pattern a million times. Any text compiles; what is not a token is literal.
class CompiledPattern final
{
public:
    CompiledPattern() = default;
    explicit CompiledPattern(std::string_view pattern);

    const std::string& pattern() const { return m_pattern; }

    // Appends the rendering of `at` to `out`, at most `maxBytes` of it (cut at a character
    // boundary), so that a runaway hand-edited pattern costs no more than that per stamp.
    void renderTo(const LocalDateTime& at, std::string& out,
                  std::size_t maxBytes = std::string::npos) const;
    std::string render(const LocalDateTime& at) const;

private:
    enum class Kind : std::uint8_t
    {
        Literal,
        Year4,
        Year2,
        MonthFullName,
        MonthName,
        Month2,
        Month1,
        WeekdayFullName,
        WeekdayName,
        Day2,
        Day1,
        Hour2,
        Hour1,
        Minute2,
        Minute1,
        Second2,
        Second1,
        AmPm,
    };
    struct Token
    {
        Kind kind;
        std::uint32_t begin = 0; // literal bytes in m_literals
        std::uint32_t length = 0;
    };

    void addLiteral(std::string_view bytes);

    std::string m_pattern;
    std::string m_literals;
    std::vector<Token> m_tokens;
    bool m_twelveHour = false;
};

std::string FormatTimestamp(const LocalDateTime& at, std::string_view pattern);
// The stored form "YYYY-MM-DD HH:MM:SS" rendered; nullopt when it names no real moment.
std::optional<std::string> FormatTimestamp(std::string_view storedStamp, std::string_view pattern);

} // namespace zlv
