#include "support/TempDir.h"
#include "utility/TextFileUtility.h"

#include <gtest/gtest.h>

using zlv::test::TempDir;
using zlv::test::WriteAll;

TEST(TextFileUtility, FindLineGivesTheLatestWholeLineContainingTheText)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    WriteAll(file, "09:00 first\tneedle\r\n"
                   "10:00 other\r\n"
                   "11:00 second\tneedle\r\n"
                   "12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "\tneedle", 0), "11:00 second\tneedle");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "needle-ish", 0),
              "12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "absent", 0), "");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(dir / "missing.log", "x", 0), "");
}

TEST(TextFileUtility, FindLineReadsAcrossChunkBoundaries)
{
    TempDir dir;
    const std::string file = dir / "big.log";
    std::string content;
    for (int i = 0; content.size() < (3u << 20); ++i) {
        content += "line " + std::to_string(i) + " padding padding padding\r\n";
    }
    content += "the one we want\r\n";
    for (int i = 0; i < 1000; ++i) {
        content += "tail " + std::to_string(i) + "\r\n";
    }
    WriteAll(file, content);
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "one we", 0), "the one we want");
}
