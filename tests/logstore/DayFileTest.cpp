#include "logstore/DayFile.h"

#include <gtest/gtest.h>

namespace dayfile = zlv::dayfile;

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
