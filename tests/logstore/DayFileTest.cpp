#include "logstore/DayFile.h"

#include <gtest/gtest.h>

namespace dayfile = zlv::dayfile;

TEST(DayFile, StampsAreZeroPaddedAndOnlyRealMomentsParse)
{
    EXPECT_EQ(dayfile::FormatStamp({{2024, 3, 5}, 4, 7, 9}), "2024-03-05 04:07:09");
    EXPECT_TRUE(dayfile::ParseStamp("2024-02-29 23:59:59"));
    for (const char* bad :
         {"2023-02-29 10:00:00", "2024-13-01 10:00:00", "2024-01-01 24:00:00",
          "2024-01-01 10:60:00", "2024-1-01 10:00:00", "2024-01-01T10:00:00", "2024-01-01 10:00:0x",
          "2024-01-01 10:00:00 ", "", "0000-01-01 00:00:00"}) {
        EXPECT_FALSE(dayfile::ParseStamp(bad)) << bad;
    }
}

TEST(DayFile, LinesParseBackIntoTheirFieldsAndDamageIsSkipped)
{
    // Everything after the fifth tab is the new name, tabs and all; bytes that are not
    // UTF-8 are carried through untouched.
    EXPECT_EQ(
        dayfile::ParseLine("2024-03-05 14:07:09\tFile\tRenamed\t/d/\t\xE9t\xE9\xFF\tb\tc\r\n"),
        (zlv::LogRecord{"2024-03-05 14:07:09", "File", "Renamed", "/d/", "\xE9t\xE9\xFF", "b\tc"}));
    // A line without CR (edited on Linux) and empty fields still parse.
    EXPECT_EQ(dayfile::ParseLine("2024-03-05 14:07:09\tStorage Media\tInserted\t\tUSB\t\n"),
              (zlv::LogRecord{"2024-03-05 14:07:09", "Storage Media", "Inserted", "", "USB", ""}));
    for (const char* bad : {"", "\r\n", "garbage", "2024-03-05 14:07:09\tFile\tCreated\t/d/\ta.txt",
                            "2024-02-30 14:07:09\tFile\tCreated\t/d/\ta.txt\t",
                            "\t2024-03-05 14:07:09\tFile\tCreated\t/d/\ta.txt\t"}) {
        EXPECT_FALSE(dayfile::ParseLine(bad)) << bad;
    }
}

TEST(DayFile, ControlCharactersBecomeControlPicturesSoARecordStaysOneLine)
{
    // The whole control range, and nothing above it.
    EXPECT_EQ(dayfile::SanitizeField(std::string("\0\x1F\xC3\xA9\x7F", 5)),
              "\u2400\u241F\xC3\xA9\x7F");

    zlv::LogRecord r{"2024-03-05 14:07:09",
                     "File",
                     "Created",
                     "/d/",
                     dayfile::SanitizeField("evil\tname\r\n"),
                     ""};
    const std::string line = dayfile::FormatLine(r);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 5);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(dayfile::ParseLine(line)->originalName, "evil\u2409name\u240D\u240A");
}
