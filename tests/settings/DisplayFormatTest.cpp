#include "settings/DisplayFormat.h"

#include <gtest/gtest.h>
#include <random>

using namespace zlv;

namespace {

const LocalDateTime kSample{{2006, 2, 8}, 23, 34, 23};

LocalDateTime At(int hour, int minute, int second, Date date = {2006, 2, 8})
{
    return LocalDateTime{date, hour, minute, second};
}

DisplayFormatFields Fields(const char* sequence, const char* separator, const char* year,
                           const char* month, const char* day, const char* time)
{
    return {sequence, separator, year, month, day, time};
}

} // namespace

TEST(DisplayPattern, EveryRowOfTheFormatTableBuildsAndRendersExactly)
{
    struct Row
    {
        DisplayFormatFields fields;
        std::string pattern;
        std::string rendered;
    };
    const Row rows[] = {
        {Fields("Month Day Year", "{Space}", "YYYY", "MMM", "DD", "HH:MM:SS"),
         "MMM DD YYYY HH:MM:SS", "Feb 08 2006 23:34:23"},
        {Fields("Year Month Day", "-", "YYYY", "MM", "DD", "HH:MM:SS"), "YYYY-MM-DD HH:MM:SS",
         "2006-02-08 23:34:23"},
        {Fields("Day Month Year", "/", "YY", "M", "D", "H:M:S AM/PM"), "D\\/M\\/YY H:M:S AM/PM",
         "8/2/06 11:34:23 PM"},
        {Fields("Day Month Year", ".", "YYYY", "MM", "DD", "HH:MM:SS AM/PM"),
         "DD.MM.YYYY HH:MM:SS AM/PM", "08.02.2006 11:34:23 PM"},
    };
    for (const Row& row : rows) {
        const std::string pattern = GetDisplayPattern(row.fields);
        EXPECT_EQ(pattern, row.pattern);
        EXPECT_EQ(FormatTimestamp(kSample, pattern), row.rendered);
        EXPECT_EQ(FormatTimestamp("2006-02-08 23:34:23", pattern), row.rendered);
    }
    EXPECT_EQ(GetDisplayPattern(DefaultDisplayFormat()), "MMM DD YYYY HH:MM:SS");
}

TEST(DisplayPattern, SequenceAndSeparatorRules)
{
    auto pattern = [](const char* sequence, const char* separator) {
        return GetDisplayPattern(Fields(sequence, separator, "YYYY", "MM", "DD", "HH:MM:SS"));
    };
    // Only the two exact texts choose their order; anything else is day, month, year.
    EXPECT_EQ(pattern("Month Day Year", "-"), "MM-DD-YYYY HH:MM:SS");
    EXPECT_EQ(pattern("Year Month Day", "-"), "YYYY-MM-DD HH:MM:SS");
    for (const char* other : {"Day Month Year", "", "month day year", "Year  Month Day", "zzz"}) {
        EXPECT_EQ(pattern(other, "-"), "DD-MM-YYYY HH:MM:SS") << other;
    }
    EXPECT_EQ(pattern("Year Month Day", "{Space}"), "YYYY MM DD HH:MM:SS");
    EXPECT_EQ(pattern("Year Month Day", "/"), "YYYY\\/MM\\/DD HH:MM:SS");
    EXPECT_EQ(pattern("Year Month Day", "."), "YYYY.MM.DD HH:MM:SS");
    EXPECT_EQ(pattern("Year Month Day", ""), "YYYYMMDD HH:MM:SS");
    EXPECT_EQ(pattern("Year Month Day", "{space}"), "YYYY{space}MM{space}DD HH:MM:SS")
        << "the comparison is exact";
    EXPECT_EQ(pattern("Year Month Day", "//"), "YYYY//MM//DD HH:MM:SS");

    // The slash is a slash even though a date separator could be anything.
    EXPECT_EQ(FormatTimestamp(kSample, pattern("Year Month Day", "/")), "2006/02/08 23:34:23");

    // Six empty fields: an empty date, one space, an empty time.
    EXPECT_EQ(GetDisplayPattern(DisplayFormatFields{}), " ");
    EXPECT_EQ(FormatTimestamp(kSample, " "), " ");
}

TEST(DisplayPattern, ExactlyOneSpaceSeparatesDateAndTimeForEveryChoice)
{
    const auto& entries = DisplayFormatEntries();
    for (const auto& sequence : entries[kSequenceSlot]) {
        for (const auto& separator : entries[kSeparatorSlot]) {
            for (const auto& time : entries[kTimeSlot]) {
                const DisplayFormatFields fields{sequence, separator, "YYYY", "MM", "DD", time};
                const std::string text = FormatTimestamp(kSample, GetDisplayPattern(fields));
                const std::string timeText = FormatTimestamp(kSample, time);
                ASSERT_GT(text.size(), timeText.size() + 1) << text;
                EXPECT_EQ(text.substr(text.size() - timeText.size()), timeText);
                EXPECT_EQ(text[text.size() - timeText.size() - 1], ' ') << text;
                EXPECT_NE(text[text.size() - timeText.size() - 2], ' ') << text;
            }
        }
    }
}

TEST(DisplayPattern, ProgramFieldsAreReadOnEveryCall)
{
    DisplayFormatFields saved = ProgramDisplayFormat();
    ProgramDisplayFormat() = DefaultDisplayFormat();
    EXPECT_EQ(GetDisplayPattern(), "MMM DD YYYY HH:MM:SS");
    ProgramDisplayFormat()[kTimeSlot] = "H:M:S";
    EXPECT_EQ(GetDisplayPattern(), "MMM DD YYYY H:M:S");
    ProgramDisplayFormat() = saved;
}

TEST(FormatTimestamp, TwelveHourClock)
{
    const char* shortForm = "H:M:S AM/PM";
    const char* longForm = "HH:MM:SS AM/PM";
    EXPECT_EQ(FormatTimestamp(At(0, 0, 0), shortForm), "12:0:0 AM");
    EXPECT_EQ(FormatTimestamp(At(0, 0, 0), longForm), "12:00:00 AM");
    EXPECT_EQ(FormatTimestamp(At(9, 5, 7), shortForm), "9:5:7 AM");
    EXPECT_EQ(FormatTimestamp(At(9, 5, 7), longForm), "09:05:07 AM");
    EXPECT_EQ(FormatTimestamp(At(11, 59, 59), longForm), "11:59:59 AM");
    EXPECT_EQ(FormatTimestamp(At(12, 30, 0), longForm), "12:30:00 PM");
    EXPECT_EQ(FormatTimestamp(At(13, 0, 1), shortForm), "1:0:1 PM");
    EXPECT_EQ(FormatTimestamp(At(23, 59, 9), shortForm), "11:59:9 PM");
    // Without AM/PM the same hours stay on the 24-hour clock.
    EXPECT_EQ(FormatTimestamp(At(0, 0, 0), "H:M:S"), "0:0:0");
    EXPECT_EQ(FormatTimestamp(At(23, 5, 7), "HH:MM:SS"), "23:05:07");
    // AM/PM anywhere in the pattern switches the clock, and always shows in capitals.
    EXPECT_EQ(FormatTimestamp(At(15, 4, 0), "am/pm HH:MM"), "PM 03:04");
    EXPECT_EQ(FormatTimestamp(At(3, 4, 0), "Am/pM H"), "AM 3");
}

TEST(FormatTimestamp, DateTokens)
{
    EXPECT_EQ(FormatTimestamp(At(1, 2, 3, {2009, 2, 8}), "YY"), "09");
    EXPECT_EQ(FormatTimestamp(At(1, 2, 3, {2000, 12, 31}), "YY"), "00");
    EXPECT_EQ(FormatTimestamp(At(1, 2, 3, {987, 1, 5}), "YYYY"), "0987");
    EXPECT_EQ(FormatTimestamp(kSample, "M D"), "2 8");
    EXPECT_EQ(FormatTimestamp(kSample, "MM DD"), "02 08");
    EXPECT_EQ(FormatTimestamp(At(0, 0, 0, {2006, 11, 23}), "M D"), "11 23");
    const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 1; month <= 12; ++month) {
        EXPECT_EQ(FormatTimestamp(At(0, 0, 0, {2006, month, 1}), "MMM"), names[month - 1]);
    }
    // Letters match whatever their case.
    EXPECT_EQ(FormatTimestamp(kSample, "mmm dd yyyy hh:mm:ss"), "Feb 08 2006 23:34:23");
    EXPECT_EQ(FormatTimestamp(kSample, "MmM dD"), "Feb 08");
}

TEST(FormatTimestamp, MonthOrMinuteIsDecidedByPosition)
{
    const LocalDateTime at = At(7, 45, 6, {2006, 3, 9});
    EXPECT_EQ(FormatTimestamp(at, "MM HH:MM"), "03 07:45");
    EXPECT_EQ(FormatTimestamp(at, "H M"), "7 45") << "separators do not break the link";
    EXPECT_EQ(FormatTimestamp(at, "HHMM"), "0745");
    EXPECT_EQ(FormatTimestamp(at, "HH:SS:MM"), "07:06:03") << "another token in between";
    EXPECT_EQ(FormatTimestamp(at, "HH:MM:MM"), "07:45:03") << "only the first run after it";
    EXPECT_EQ(FormatTimestamp(at, "MM"), "03");
}

TEST(FormatTimestamp, EscapesAndLiterals)
{
    EXPECT_EQ(FormatTimestamp(kSample, "\\Y\\M\\D\\H\\S"), "YMDHS");
    EXPECT_EQ(FormatTimestamp(kSample, "\\\\YY"), "\\06");
    EXPECT_EQ(FormatTimestamp(kSample, "YY\\"), "06\\") << "a lone backslash at the end";
    // An escaped A breaks the AM/PM token: the clock stays at 24 hours and each M is a
    // month, or the minute right after the hour.
    EXPECT_EQ(FormatTimestamp(kSample, "\\AM/PM"), "A2/P2");
    EXPECT_EQ(FormatTimestamp(At(21, 0, 0), "H \\AM/PM"), "21 A0/P2");
    EXPECT_EQ(FormatTimestamp(kSample, "Q x, [T] ~!"), "Q x, [T] ~!") << "other letters are text";
    EXPECT_EQ(FormatTimestamp(kSample, "{Space}"), "{23pace}")
        << "hand-edited text is rendered, not rejected";
}

TEST(FormatTimestamp, HandEditedGarbageNeverBreaksTheRenderer)
{
    // Runs longer than any listed token take the longest form of their letter.
    EXPECT_EQ(FormatTimestamp(kSample, "YYYYYYYYYYYY"), "2006");
    EXPECT_EQ(FormatTimestamp(kSample, "YYY Y"), "2006 06");
    EXPECT_EQ(FormatTimestamp(kSample, "MMMM"), "February");
    EXPECT_EQ(FormatTimestamp(kSample, "DDD DDDD"), "Wed Wednesday");
    EXPECT_EQ(FormatTimestamp(kSample, "HHHHHH:MMMMMM:SSSSSS"), "23:34:23");

    // Bytes beyond ASCII, broken UTF-8 and NUL pass through as they are.
    const std::string odd = std::string("\xC3\xA9 \xFF\xFE ") + std::string(1, '\0') + "|";
    EXPECT_EQ(FormatTimestamp(kSample, odd + "YY"), odd + "06");
    EXPECT_EQ(FormatTimestamp(kSample, "\\\xC3\xA9YY"), "\xC3\xA9"
                                                        "06")
        << "an escaped character is taken whole";
    EXPECT_EQ(FormatTimestamp(kSample, "\\\xE2\x82"), "\xE2\x82") << "cut short at the end";

    const std::string hugeRun(200000, 'M');
    EXPECT_EQ(FormatTimestamp(kSample, hugeRun), "February");
    EXPECT_EQ(FormatTimestamp(kSample, ""), "");

    // Random patterns: the output never grows faster than the pattern.
    std::mt19937 random(20060208);
    const std::string alphabet = "YMDHSAPymdhsap/:\\ .-x\xC3\xA9\xFF";
    for (int round = 0; round < 2000; ++round) {
        std::string pattern(random() % 40, ' ');
        for (char& c : pattern) {
            c = alphabet[random() % alphabet.size()];
        }
        const std::string text = FormatTimestamp(kSample, pattern);
        EXPECT_LE(text.size(), pattern.size() * 9 + 1) << pattern;
    }
}

TEST(FormatTimestamp, StoredStampsAreParsedFirst)
{
    EXPECT_EQ(FormatTimestamp("2024-02-29 00:00:00", "DD MMM YYYY H AM/PM"),
              std::optional<std::string>("29 Feb 2024 12 AM"));
    for (const char* bad : {"", "2023-02-29 00:00:00", "2006-02-08T23:34:23", "2006-02-08 24:00:00",
                            "2006-2-8 23:34:23", "garbage", "2006-02-08 23:34:23 "}) {
        EXPECT_EQ(FormatTimestamp(std::string_view(bad), "YYYY"), std::nullopt) << bad;
    }
}

TEST(CompiledPattern, RendersLikeTheOneShotCallAndAppends)
{
    const CompiledPattern compiled("DD.MM.YYYY HH:MM:SS AM/PM");
    std::string out = "> ";
    compiled.renderTo(kSample, out);
    EXPECT_EQ(out, "> 08.02.2006 11:34:23 PM");
    EXPECT_EQ(compiled.render(At(0, 1, 2)), FormatTimestamp(At(0, 1, 2), compiled.pattern()));
    // An impossible moment (only reachable through a hand-built value) still renders.
    EXPECT_EQ(CompiledPattern("MMM MMMM").render(At(0, 0, 0, {2006, 13, 1})), "13 13");
}

TEST(CompiledPattern, ALimitCutsTheTextAtACharacterBoundary)
{
    std::string out = "ab";
    CompiledPattern("YYYY-MM").renderTo(kSample, out, 4);
    EXPECT_EQ(out, "ab2006");

    out.clear();
    CompiledPattern(std::string(100000, 'x') + "YYYY").renderTo(kSample, out, 10);
    EXPECT_EQ(out, std::string(10, 'x'));

    out.clear();
    CompiledPattern("\xC3\xA9\xC3\xA9\xC3\xA9").renderTo(kSample, out, 3);
    EXPECT_EQ(out, "\xC3\xA9") << "never half a character";

    out.clear();
    CompiledPattern("DD").renderTo(kSample, out, 0);
    EXPECT_EQ(out, "");
}
