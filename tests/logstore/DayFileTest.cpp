#include "logstore/DayFile.h"

#include <gtest/gtest.h>

namespace dayfile = zlv::dayfile;

TEST(DayFile, StampsAreZeroPaddedAndOnlyRealMomentsParse)
{
    EXPECT_EQ(dayfile::FormatStamp({{2024, 3, 5}, 4, 7, 9}), "2024-03-05 04:07:09");
    EXPECT_TRUE(dayfile::ParseStamp("2024-02-29 23:59:59"));
    for (const char* bad : {"2023-02-29 10:00:00", "2024-13-01 10:00:00", "2024-01-01 24:00:00",
                            "2024-01-01 10:60:00", "2024-1-01 10:00:00", "2024-01-01T10:00:00",
                            "2024-01-01 10:00:0x", "2024-01-01 10:00:00 ", "", "0000-01-01 00:00:00"}) {
        EXPECT_FALSE(dayfile::ParseStamp(bad)) << bad;
    }
}

TEST(DayFile, LinesParseBackIntoTheirFieldsAndDamageIsSkipped)
{
    const auto rename = dayfile::ParseLine("2024-03-05 14:07:09\tFile\tRenamed\t/d/\ta.txt\tb.txt\r\n");
    ASSERT_TRUE(rename);
    EXPECT_EQ(*rename, (zlv::LogRecord{"2024-03-05 14:07:09", "File", "Renamed", "/d/", "a.txt", "b.txt"}));

    // A line without CR (edited on Linux) and empty fields still parse.
    const auto media = dayfile::ParseLine("2024-03-05 14:07:09\tStorage Media\tInserted\t\tUSB\t\n");
    ASSERT_TRUE(media);
    EXPECT_EQ(media->path, "");
    EXPECT_EQ(media->originalName, "USB");
    EXPECT_EQ(media->newName, "");

    // Everything after the fifth tab is the new name, tabs and all.
    const auto extra = dayfile::ParseLine("2024-03-05 14:07:09\tFile\tRenamed\t/d/\ta\tb\tc\r\n");
    ASSERT_TRUE(extra);
    EXPECT_EQ(extra->newName, "b\tc");

    for (const char* bad : {"", "\r\n", "garbage", "2024-03-05 14:07:09\tFile\tCreated\t/d/\ta.txt",
                            "2024-02-30 14:07:09\tFile\tCreated\t/d/\ta.txt\t",
                            "\t2024-03-05 14:07:09\tFile\tCreated\t/d/\ta.txt\t"}) {
        EXPECT_FALSE(dayfile::ParseLine(bad)) << bad;
    }
    // Bytes that are not UTF-8 are carried through untouched.
    const auto latin1 = dayfile::ParseLine("2024-03-05 14:07:09\tFile\tCreated\t/d/\t\xE9t\xE9\xFF\t\r\n");
    ASSERT_TRUE(latin1);
    EXPECT_EQ(latin1->originalName, "\xE9t\xE9\xFF");
}

TEST(DayFile, ControlCharactersBecomeControlPicturesSoARecordStaysOneLine)
{
    EXPECT_EQ(dayfile::SanitizeField("plain name.txt"), "plain name.txt");
    EXPECT_EQ(dayfile::SanitizeField("a\tb"), "a\u2409b");
    EXPECT_EQ(dayfile::SanitizeField("x\r\ny"), "x\u240D\u240Ay");
    EXPECT_EQ(dayfile::SanitizeField(std::string("nul\0end", 7)), "nul\u2400end");
    EXPECT_EQ(dayfile::SanitizeField("\x1F"), "\u241F");
    // Non-ASCII bytes above the control range stay as they are.
    EXPECT_EQ(dayfile::SanitizeField("\xC3\xA9\x7F"), "\xC3\xA9\x7F");

    zlv::LogRecord r{"2024-03-05 14:07:09", "File", "Created", "/d/",
                     dayfile::SanitizeField("evil\tname\r\n"), ""};
    const std::string line = dayfile::FormatLine(r);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 5);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(dayfile::ParseLine(line)->originalName, "evil\u2409name\u240D\u240A");
}
