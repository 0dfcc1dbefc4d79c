#include "support/TempDir.h"
#include "utility/TextFileUtility.h"

#include <gtest/gtest.h>

using zlv::test::TempDir;
using zlv::test::WriteAll;

TEST(TextFileUtility, FindLineGivesTheLatestWholeLineContainingTheText)
{
    // The wanted lines lie megabytes apart, so the search crosses its read chunks.
    TempDir dir;
    const std::string file = dir / "05.log";
    std::string content = "09:00 first\tneedle\r\n";
    for (int i = 0; content.size() < (3u << 20); ++i) {
        content += "line " + std::to_string(i) + " padding padding padding\r\n";
    }
    WriteAll(file, content + "11:00 second\tneedle\r\n12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "\tneedle", 0), "11:00 second\tneedle");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "first", 0), "09:00 first\tneedle");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "needle-ish", 0),
              "12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "absent", 0), "");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(dir / "missing.log", "x", 0), "");
}
