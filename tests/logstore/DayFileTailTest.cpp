#include "logstore/DayFileTail.h"

#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using zlv::DayFileTail;
using zlv::test::TempDir;
using zlv::test::WriteAll;

namespace {

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

} // namespace

TEST(DayFileTail, HandsOutOnlyWholeAppendedLines)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    DayFileTail tail;

    EXPECT_TRUE(tail.poll(file).bytes.empty()) << "a missing file is simply empty";

    WriteAll(file, "one\r\ntwo\r\nthr");
    auto chunk = tail.poll(file);
    EXPECT_EQ(chunk.bytes, "one\r\ntwo\r\n");
    EXPECT_EQ(chunk.offset, 0u);
    EXPECT_TRUE(tail.poll(file).bytes.empty()) << "a half-written line waits for its end";

    Append(file, "ee\r\nfour\r\n");
    chunk = tail.poll(file);
    EXPECT_FALSE(chunk.restarted);
    EXPECT_EQ(chunk.offset, 10u);
    EXPECT_EQ(chunk.bytes, "three\r\nfour\r\n");
}

TEST(DayFileTail, StartsOverWhenTheFileShrinksIsReplacedOrAnotherDayBegins)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    DayFileTail tail;
    WriteAll(file, "aaaa\r\nbbbb\r\n");
    tail.poll(file);

    WriteAll(file, "c\r\n"); // truncated and rewritten by hand
    auto chunk = tail.poll(file);
    EXPECT_TRUE(chunk.restarted);
    EXPECT_EQ(chunk.bytes, "c\r\n");

    // Replaced by another file of a larger size: noticed by identity, not by size.
    const std::string other = dir / "other.log";
    WriteAll(other, "dddddddd\r\neeeeeeee\r\n");
    std::filesystem::rename(other, file);
    chunk = tail.poll(file);
    EXPECT_TRUE(chunk.restarted);
    EXPECT_EQ(chunk.bytes, "dddddddd\r\neeeeeeee\r\n");

    const std::string tomorrow = dir / "06.log";
    WriteAll(tomorrow, "new day\r\n");
    chunk = tail.poll(tomorrow);
    EXPECT_TRUE(chunk.restarted);
    EXPECT_EQ(chunk.bytes, "new day\r\n");
}

TEST(DayFileTail, CatchesUpWithALargeFileInBoundedChunks)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    std::string content;
    for (int i = 0; i < 5000; ++i) {
        content += "line number " + std::to_string(i) + "\r\n";
    }
    WriteAll(file, content);
    DayFileTail tail(1000);
    std::string seen;
    for (auto chunk = tail.poll(file); !chunk.bytes.empty(); chunk = tail.poll(file)) {
        EXPECT_LE(chunk.bytes.size(), 1000u);
        EXPECT_EQ(chunk.offset, seen.size());
        seen += chunk.bytes;
    }
    EXPECT_EQ(seen, content);
}

TEST(DayFileTail, SkipsOnlyOwnAppendsThatFollowWhatItHasRead)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    DayFileTail tail;
    WriteAll(file, "one\r\n");
    tail.poll(file);

    zlv::fs::FileState after;
    ASSERT_TRUE(zlv::fs::AppendWhole(file, "two\r\n", &after));
    EXPECT_TRUE(tail.skipOwnAppend(file, after, 5));
    EXPECT_TRUE(tail.poll(file).bytes.empty()) << "our own line is not read back";

    // Someone else wrote between our last look and our append: nothing may be skipped.
    Append(file, "foreign\r\n");
    ASSERT_TRUE(zlv::fs::AppendWhole(file, "three\r\n", &after));
    EXPECT_FALSE(tail.skipOwnAppend(file, after, 7));
    EXPECT_EQ(tail.poll(file).bytes, "foreign\r\nthree\r\n");

    // A file replaced under us is never skipped over either.
    WriteAll(dir / "new.log", "x\r\n");
    std::filesystem::rename(dir / "new.log", file);
    ASSERT_TRUE(zlv::fs::AppendWhole(file, "four\r\n", &after));
    EXPECT_FALSE(tail.skipOwnAppend(file, after, 6));
    const auto chunk = tail.poll(file);
    EXPECT_TRUE(chunk.restarted);
    EXPECT_EQ(chunk.bytes, "x\r\nfour\r\n");
}
