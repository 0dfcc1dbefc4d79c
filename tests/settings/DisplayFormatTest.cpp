#include "settings/DisplayFormat.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace zlv;

namespace {

const LocalDateTime kSample{{2006, 2, 8}, 23, 34, 23};

LocalDateTime At(int hour, int minute, int second, Date date = {2006, 2, 8})
{
    return LocalDateTime{date, hour, minute, second};
}

} // namespace

TEST(DisplayPattern, TheSixFieldsBuildAPatternThatRendersExactly)
{
    const std::tuple<DisplayFormatFields, std::string, std::string> rows[] = {
        {{"Month Day Year", "{Space}", "YYYY", "MMM", "DD", "HH:MM:SS"},
         "MMM DD YYYY HH:MM:SS",
         "Feb 08 2006 23:34:23"},
        {{"Year Month Day", "-", "YYYY", "MM", "DD", "HH:MM:SS"},
         "YYYY-MM-DD HH:MM:SS",
         "2006-02-08 23:34:23"},
        // The slash is a slash even though a date separator could be anything.
        {{"Day Month Year", "/", "YY", "M", "D", "H:M:S AM/PM"},
         "D\\/M\\/YY H:M:S AM/PM",
         "8/2/06 11:34:23 PM"},
        {{"Month Day Year", "", "YYYY", "MM", "DD", "HH:MM:SS"},
         "MMDDYYYY HH:MM:SS",
         "02082006 23:34:23"},
        // Only the two exact sequence texts choose their order, and only "{Space}" is a space;
        // anything else is day, month, year and text of its own.
        {{"month day year", "{space}", "YYYY", "MM", "DD", "H"},
         "DD{space}MM{space}YYYY H",
         "08{23pace}02{23pace}2006 23"},
        {{}, " ", " "}, // an empty date, one space, an empty time
    };
    for (const auto& [fields, expected, text] : rows) {
        const std::string pattern = GetDisplayPattern(fields);
        EXPECT_EQ(pattern, expected);
        EXPECT_EQ(FormatTimestamp(kSample, pattern), text);
        EXPECT_EQ(FormatTimestamp("2006-02-08 23:34:23", pattern), text);
    }
}

TEST(FormatTimestamp, TokensAndTheTwelveHourClock)
{
    const std::tuple<LocalDateTime, const char*, const char*> rows[] = {
        {At(0, 0, 0), "H:M:S AM/PM", "12:0:0 AM"},
        {At(12, 30, 0), "HH:MM:SS AM/PM", "12:30:00 PM"},
        {At(23, 59, 9), "H:M:S AM/PM", "11:59:9 PM"},
        {At(0, 0, 0), "H:M:S", "0:0:0"}, // without AM/PM, the 24-hour clock
        // AM/PM anywhere switches the clock, and always shows in capitals.
        {At(15, 4, 0), "am/pm HH:MM", "PM 03:04"},
        {At(3, 4, 0), "Am/pM H", "AM 3"},
        {At(1, 2, 3, {987, 1, 5}), "YYYY", "0987"},
        {kSample, "mmm dd yyyy hh:mm:ss", "Feb 08 2006 23:34:23"}, // letters of either case
        // M is the minute right after an hour, separators or not, and otherwise a month.
        {At(7, 45, 6, {2006, 3, 9}), "MM HH:MM", "03 07:45"},
        {At(7, 45, 6, {2006, 3, 9}), "H M", "7 45"},
        {At(7, 45, 6, {2006, 3, 9}), "HHMM", "0745"},
        {At(7, 45, 6, {2006, 3, 9}), "HH:SS:MM", "07:06:03"},
        {kSample, "\\Y\\M\\D\\H\\S", "YMDHS"},
        {kSample, "\\\\YY", "\\06"},
        // An escaped A breaks the AM/PM token: 24 hours, and each M a month or a minute.
        {kSample, "\\AM/PM", "A2/P2"},
        {At(21, 0, 0), "H \\AM/PM", "21 A0/P2"},
        // Runs longer than any listed token take the longest form of their letter.
        {kSample, "YYYYYYYYYYYY", "2006"},
        {kSample, "MMMM", "February"},
        {kSample, "DDD DDDD", "Wed Wednesday"},
        {kSample, "HHHHHH:MMMMMM:SSSSSS", "23:34:23"},
        {kSample, "", ""},
    };
    for (const auto& [at, pattern, text] : rows) {
        EXPECT_EQ(FormatTimestamp(at, pattern), text) << pattern;
    }
}

TEST(FormatTimestamp, HandEditedGarbageNeverBreaksTheRenderer)
{
    // Bytes beyond ASCII, broken UTF-8 and NUL pass through; an escape takes a whole character.
    const std::string odd = std::string("\xC3\xA9 \xFF\xFE ") + std::string(1, '\0') + "|";
    EXPECT_EQ(FormatTimestamp(kSample, odd + "YY"), odd + "06");
    EXPECT_EQ(FormatTimestamp(kSample, "\\\xC3\xA9YY"), "\xC3\xA9"
                                                        "06");
    EXPECT_EQ(FormatTimestamp(kSample, "\\\xE2\x82"), "\xE2\x82") << "cut short at the end";
    EXPECT_EQ(FormatTimestamp(kSample, std::string(200000, 'M')), "February");

    // Stored stamps are parsed first; one that names no real moment gives nothing.
    EXPECT_EQ(FormatTimestamp("2024-02-29 00:00:00", "DD MMM YYYY H AM/PM"),
              std::optional<std::string>("29 Feb 2024 12 AM"));
    for (const char* bad : {"", "2023-02-29 00:00:00", "2006-02-08T23:34:23", "2006-02-08 24:00:00",
                            "2006-2-8 23:34:23", "garbage", "2006-02-08 23:34:23 "}) {
        EXPECT_EQ(FormatTimestamp(std::string_view(bad), "YYYY"), std::nullopt) << bad;
    }
}

TEST(CompiledPattern, AppendsAndCutsAtACharacterBoundary)
{
    // An impossible moment (only reachable through a hand-built value) still renders.
    EXPECT_EQ(CompiledPattern("MMM MMMM").render(At(0, 0, 0, {2006, 13, 1})), "13 13");

    const auto render = [](const std::string& pattern, std::size_t limit) {
        std::string out = "> ";
        CompiledPattern(pattern).renderTo(kSample, out, limit);
        return out;
    };
    EXPECT_EQ(render("DD.MM.YYYY HH:MM:SS AM/PM", std::string::npos), "> 08.02.2006 11:34:23 PM");
    EXPECT_EQ(render("YYYY-MM", 4), "> 2006");
    EXPECT_EQ(render(std::string(100000, 'x') + "YYYY", 10), "> " + std::string(10, 'x'));
    EXPECT_EQ(render("\xC3\xA9\xC3\xA9\xC3\xA9", 3), "> \xC3\xA9") << "never half a character";
}
