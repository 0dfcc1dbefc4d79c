#include "logstore/DayFileTail.h"

#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using zlv::DayFileTail;
using zlv::test::TempDir;
using zlv::test::WriteAll;

TEST(DayFileTail, HandsOutOnlyWholeAppendedLinesInBoundedChunks)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    DayFileTail tail(1000);

    EXPECT_TRUE(tail.poll(file).bytes.empty()) << "a missing file is simply empty";
    WriteAll(file, "one\r\ntwo\r\nthr");
    EXPECT_EQ(tail.poll(file).bytes, "one\r\ntwo\r\n");
    EXPECT_TRUE(tail.poll(file).bytes.empty()) << "a half-written line waits for its end";

    std::string content = "ee\r\n";
    for (int i = 0; i < 5000; ++i) {
        content += "line number " + std::to_string(i) + "\r\n";
    }
    std::ofstream(file, std::ios::binary | std::ios::app) << content;
    std::string seen;
    for (auto chunk = tail.poll(file); !chunk.bytes.empty(); chunk = tail.poll(file)) {
        EXPECT_FALSE(chunk.restarted);
        EXPECT_LE(chunk.bytes.size(), 1000u);
        EXPECT_EQ(chunk.offset, 10u + seen.size());
        seen += chunk.bytes;
    }
    EXPECT_EQ(seen, "thr" + content);
}

TEST(DayFileTail, StartsOverWhenTheFileIsCutReplacedOrRewrittenInPlace)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    DayFileTail tail;
    WriteAll(file, "aaaa\r\nbbbb\r\n");
    tail.poll(file);

    // Cut, or rewritten in place at the same or a larger size (a record gone, two new).
    for (const std::string now : {"c\r\n", "aaaa\r\ncccc\r\n", "aaaa\r\ndd\r\nee\r\nffff\r\n"}) {
        WriteAll(file, now);
        const auto chunk = tail.poll(file);
        EXPECT_TRUE(chunk.restarted) << now;
        EXPECT_EQ(chunk.bytes, now);
    }

    // Replaced by another file of a larger size: noticed by identity, not by size.
    WriteAll(dir / "other.log", "dddddddd\r\neeeeeeee\r\n");
    std::filesystem::rename(dir / "other.log", file);
    auto chunk = tail.poll(file);
    EXPECT_TRUE(chunk.restarted);
    EXPECT_EQ(chunk.bytes, "dddddddd\r\neeeeeeee\r\n");

    // Deleted while we hold it, then written anew under the same name.
    std::filesystem::remove(file);
    EXPECT_TRUE(tail.poll(file).bytes.empty());
    WriteAll(file, "f\r\n");
    EXPECT_EQ(tail.poll(file).bytes, "f\r\n");
#ifndef _WIN32
    // A FIFO where a day file belongs reads as no file, at once and with a word.
    const std::string fifo = dir / "06.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    chunk = tail.poll(fifo);
    EXPECT_TRUE(chunk.restarted && chunk.bytes.empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a regular file"), std::string::npos);
#endif
}
