#include "logstore/RunState.h"

#include "logstore/HeldSpill.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace zlv;
using zlv::test::ReadAll;
using zlv::test::TempDir;
using zlv::test::WriteAll;

namespace {

HeldSpill::Entry Held(int n)
{
    return {{{2026, 3, 5}, 14, 7, n}, "File\tCreated\t/d/\tn" + std::to_string(n) + "\t"};
}

} // namespace

TEST(HeldSpill, WhatWasNotWrittenComesBackAfterAKillAndDamageEndsIt)
{
    TempDir dir;
    const std::string path = dir / "zelvory.held";
    {
        HeldSpill spill;
        ASSERT_TRUE(spill.open(path));
        for (int n = 0; n < 5; ++n) {
            ASSERT_TRUE(spill.append(Held(n).at, Held(n).text));
        }
        spill.written();
        spill.written();
        EXPECT_EQ(spill.pending(), 3u);
    } // no more said: the file stays as a kill would leave it
    EXPECT_EQ(HeldSpill::ReadPending(path),
              (std::vector<HeldSpill::Entry>{Held(2), Held(3), Held(4)}));

    // A damaged record ends what can be trusted.
    std::string bytes = ReadAll(path);
    bytes[bytes.find("n3") - 30] = 'x';
    WriteAll(path, bytes);
    EXPECT_EQ(HeldSpill::ReadPending(path), (std::vector<HeldSpill::Entry>{Held(2)}));

    // Taken again it starts empty; once everything is written its space serves again, and
    // when it is used up the spill says so rather than tearing a record.
    HeldSpill spill;
    ASSERT_TRUE(spill.open(path, 4096));
    EXPECT_TRUE(HeldSpill::ReadPending(path).empty());
    ASSERT_TRUE(spill.append(Held(7).at, Held(7).text));
    spill.written();
    int fitted = 0;
    while (fitted < 1000 && spill.append(Held(fitted % 60).at, Held(fitted % 60).text)) {
        ++fitted;
    }
    EXPECT_GT(fitted, 50);
    EXPECT_LT(fitted, 1000);
    EXPECT_EQ(HeldSpill::ReadPending(path).size(), static_cast<std::size_t>(fitted));
    EXPECT_EQ(HeldSpill::ReadPending(path).front(), Held(0));
}

TEST(RunState, OnlyAWholeStateReadsBackAndAPlantedFileIsClearedNotWaitedOn)
{
    TempDir dir;
    const std::string path = dir / "zelvory.state";
    RunState s;
    s.pid = 4242;
    s.started = "2026-03-05 08:00:00";
    s.complete = "2026-03-05 14:07:09";
    s.held = 12;
    s.lost = 3;
    s.lostFirst = "2026-03-05 14:00:00";
    s.lostLast = "2026-03-05 14:07:00";
    s.conditions = {{"write-failed", "Cannot write\nto /d\there."}, {"watch-limit", ""}};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(runstate::Read(path));
#endif
    RunStateFile file;
    ASSERT_TRUE(file.open(path));
    ASSERT_TRUE(file.write(s));
    RunState expected = s;
    expected.conditions[0].second = "Cannot write to /d\there.";
    EXPECT_EQ(runstate::Read(path), expected);

    // A shorter state over a longer one leaves nothing of the longer behind.
    RunState ended;
    ended.pid = 4242;
    ended.ended = "2026-03-05 18:00:00";
    ASSERT_TRUE(file.write(ended));
    EXPECT_EQ(runstate::Read(path), ended);
    // Cut before its end line (a torn write): not a state.
    WriteAll(path, runstate::Format(s).substr(0, 40));
    EXPECT_FALSE(runstate::Read(path));
}
