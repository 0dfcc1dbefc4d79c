#include "capture/RecordPipeline.h"

#include "capture/ShellEvents.h"
#include "capture/frmPubHide.h"
#include "mock/ManualClock.h"
#include "support/TempDir.h"
#include "utility/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

using namespace zlv;
using zlv::test::ReadAll;
using zlv::test::TempDir;
using zlv::test::WriteAll;

namespace {

const std::string kSep(1, fs::kSeparator);

// Paths as the platform spells them: /d/a.txt on Linux, \d\a.txt on Windows.
std::string P(std::string path)
{
    std::replace(path.begin(), path.end(), '/', fs::kSeparator);
    return path;
}

ShellItem Item(const std::string& name, const std::string& path)
{
    return ShellItem{name, P(path)};
}

// A created-file line in /d/; a stamp without a date is on 5 March 2024.
std::string Line(const std::string& stamp, const std::string& name)
{
    return (stamp.size() == 8 ? "2024-03-05 " : "") + stamp + "\tFile\tCreated\t" + P("/d/") +
           "\t" + name + "\t\r\n";
}

class PipelineTest : public ::testing::Test
{
protected:
    void SetUp() override { folder.establish(appData.path()); }

    bool Handle(std::uint32_t event, std::optional<ShellItem> a, std::optional<ShellItem> b = {})
    {
        return pipeline.handle(Notification{event, std::move(a), std::move(b)}) ==
               RecordPipeline::Outcome::Written;
    }
    std::string Today() { return ReadAll(folder.dayFilePath(clock.now().date)); }
    bool Create(const std::string& name)
    {
        return Handle(shell::SHCNE_CREATE, Item(name, "/d/" + name));
    }
    bool Rename(const std::string& from, const std::string& to)
    {
        return Handle(shell::SHCNE_RENAMEITEM, Item(from, "/d/" + from), Item(to, "/d/" + to));
    }

    TempDir appData;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 14, 7, 9}};
    RecordPipeline pipeline{folder, clock};
};

} // namespace

TEST_F(PipelineTest, LinesHaveTheExactBytesAndNamesCannotBreakThem)
{
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("a.txt", "/Data/a.txt")));
    ASSERT_TRUE(Handle(shell::SHCNE_RENAMEITEM, Item("a.txt", "/Data/a.txt"),
                       Item("b.txt", "/Data/b.txt")));
    // Control characters are legal in names, but a record must stay one line of six fields.
    ASSERT_TRUE(Rename("o\tn", "n\nn"));
    EXPECT_EQ(Today(), "2024-03-05 14:07:09\tFile\tCreated\t" + P("/Data/") + "\ta.txt\t\r\n" +
                           "2024-03-05 14:07:09\tFile\tRenamed\t" + P("/Data/") +
                           "\ta.txt\tb.txt\r\n" + "2024-03-05 14:07:09\tFile\tRenamed\t" +
                           P("/d/") + "\to\u2409n\tn\u240An\r\n");
    // And a repeat of it is still recognised through the sanitised form.
    EXPECT_FALSE(Rename("o\tn", "n\nn"));
}

TEST_F(PipelineTest, TheKeptOpenDayFileIsFoundAgainWhenDeletedReplacedOrRotated)
{
    const std::string file = folder.dayFilePath(clock.now().date);
    ASSERT_TRUE(Create("a"));
    std::filesystem::remove(file);
    ASSERT_TRUE(Create("b"));
    EXPECT_EQ(Today(), Line("14:07:09", "b"));

    WriteAll(appData / "other", "other\r\n");
    std::filesystem::rename(appData / "other", file);
    ASSERT_TRUE(Create("c"));
    EXPECT_EQ(Today(), "other\r\n" + Line("14:07:09", "c"));

    std::filesystem::remove_all(folder.dataFolder());
    ASSERT_TRUE(Create("d"));
    EXPECT_EQ(Today(), Line("14:07:09", "d"));

    clock.set(LocalDateTime{{2024, 1, 31}, 23, 59, 59});
    ASSERT_TRUE(Create("late"));
    clock.advanceSeconds(1);
    ASSERT_TRUE(Create("early"));
    EXPECT_EQ(ReadAll(folder.logsFolder() + kSep + "202401" + kSep + "31.log"),
              Line("2024-01-31 23:59:59", "late"));
    EXPECT_EQ(ReadAll(folder.logsFolder() + kSep + "202402" + kSep + "01.log"),
              Line("2024-02-01 00:00:00", "early"));
}

TEST_F(PipelineTest, ARepeatWithinFiveSecondsOfTheLatestIdenticalLineIsDropped)
{
    ASSERT_TRUE(Create("a")); // 14:07:09
    clock.advanceSeconds(3);
    EXPECT_FALSE(Create("a")) << "3 s after";
    clock.advanceSeconds(2);
    EXPECT_TRUE(Create("a")) << "5 s after the written line";
    clock.advanceSeconds(4);
    EXPECT_FALSE(Create("a")) << "4 s after the newer line";

    // The clock was set back (or the file holds later lines from a run with another
    // time zone): the window counts in both directions.
    clock.set(LocalDateTime{{2024, 3, 5}, 14, 7, 12});
    EXPECT_FALSE(Create("a"));
    EXPECT_TRUE(Handle(shell::SHCNE_DELETE, Item("a", "/d/a"))) << "another record";
}

TEST_F(PipelineTest, OnlyTheLatestRecordAboutAnItemCanBeRepeated)
{
    // The shell's double notification of one operation is dropped; anything that happened
    // to the item's names in between makes the next record news, written or still held.
    for (const bool held : {false, true}) {
        clock.advanceSeconds(60);
        if (held) {
            std::filesystem::remove_all(folder.logsFolder());
            WriteAll(folder.logsFolder(), "in the way");
        }
        EXPECT_EQ(Create("x"), !held);
        EXPECT_FALSE(Create("x")) << "the same operation told twice";
        EXPECT_EQ(Handle(shell::SHCNE_DELETE, Item("x", "/d/x")), !held);
        EXPECT_EQ(Create("x"), !held) << "created again after a deletion";
        EXPECT_EQ(Rename("a", "b"), !held);
        EXPECT_EQ(Rename("b", "a"), !held);
        EXPECT_EQ(Rename("a", "b"), !held) << "renamed a third time";
        EXPECT_FALSE(Rename("a", "b"));
        EXPECT_EQ(Create("b"), !held) << "another operation on the new name";
    }
    EXPECT_EQ(pipeline.heldRecords(), 7u);
    std::filesystem::remove(folder.logsFolder());
    EXPECT_EQ(pipeline.writeHeld(), 7u);
}

TEST_F(PipelineTest, TheRepeatTestComparesWholeFieldsOfTheLatestLineAsTheFileNowIs)
{
    // A rename of a to bc, then within 5 s of a to b: "a\tb" is a substring of "a\tbc",
    // yet these are different operations and both must be recorded.
    ASSERT_TRUE(Rename("a", "bc"));
    clock.advanceSeconds(1);
    EXPECT_TRUE(Rename("a", "b"));
    // Neither is a prefix match in the other direction.
    EXPECT_TRUE(Handle(shell::SHCNE_CREATE, Item("x", "/dd/x")));
    EXPECT_TRUE(Handle(shell::SHCNE_CREATE, Item("x", "/d/x")));

    // An identical operation early in the day must not hide the one just written.
    const std::string file = folder.dayFilePath(clock.now().date);
    std::ofstream(file, std::ios::binary | std::ios::app) << Line("09:00:00", "z");
    clock.set(LocalDateTime{{2024, 3, 5}, 14, 7, 20});
    ASSERT_TRUE(Create("z"));
    // Emptied by the user, the file no longer holds a line to repeat; damage is read past.
    WriteAll(file, "");
    clock.advanceSeconds(1);
    EXPECT_TRUE(Create("z"));
    std::ofstream(file, std::ios::binary | std::ios::app) << "junk\r\n" << Line("14:07:21", "q");
    EXPECT_FALSE(Create("q"));
}

TEST_F(PipelineTest, KeepTestsDropIncompleteAndUnchangedRecords)
{
    // A rename to an equal display name says nothing; a case-only rename does.
    EXPECT_FALSE(Handle(shell::SHCNE_RENAMEITEM, Item("a", "/d/a.txt"), Item("a", "/d/a.doc")));
    EXPECT_TRUE(Rename("a.txt", "A.txt"));

    // Files and folders need a path; media and drives are kept without one.
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, Item("virtual", "")));
    EXPECT_FALSE(Handle(shell::SHCNE_MKDIR, Item("nosep", "nosep")));
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, ShellItem{"", P("/d/a")})) << "no display name";
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, std::nullopt));
    EXPECT_TRUE(Handle(shell::SHCNE_MEDIAINSERTED, Item("Card", "")));
    EXPECT_TRUE(Handle(shell::SHCNE_DRIVEADD, Item("Stick", "/media/stick/")));

    // Unnamed values, the interrupt flag and named events without a row leave no trace.
    for (std::uint32_t e :
         {0x80000002u, 0x0u, 0x3u, shell::SHCNE_DRIVEADDGUI, shell::SHCNE_UPDATEDIR,
          shell::SHCNE_ATTRIBUTES, shell::SHCNE_UPDATEIMAGE, shell::SHCNE_FREESPACE}) {
        EXPECT_FALSE(Handle(e, Item("x", "/d/x"), Item("y", "/d/y"))) << std::hex << e;
    }

    const std::string at = "2024-03-05 14:07:09\t";
    EXPECT_EQ(Today(), at + "File\tRenamed\t" + P("/d/") + "\ta.txt\tA.txt\r\n" + at +
                           "Storage Media\tInserted\t\tCard\t\r\n" + at + "Driver\tAdded\t" +
                           P("/media/stick/") + "\tStick\t\r\n");
}

TEST_F(PipelineTest, AFreshStartReadsBackAsFarAsTheRepeatWindowNeeds)
{
    // The match lies blocks and an over-long damaged line before the end. An old line
    // between is no reason to stop, since a later stamp says the clock was set back.
    std::string day = Line("14:07:06", "x") + Line("14:00:00", "y") + std::string(3e5, 'j') + "\n";
    for (int i = 0; i < 3000; ++i) {
        day += Line("14:07:07", std::to_string(i));
    }
    folder.append(clock.now().date, day + Line("15:00:00", "z"));
    EXPECT_FALSE(Create("x")) << "3 s after its line";
    EXPECT_TRUE(Create("y"));
}

TEST_F(PipelineTest, LinesThatCannotBeWrittenWaitInOrderAndOverflowIntoOneGap)
{
    clock.set(LocalDateTime{{2024, 3, 5}, 23, 59, 58});
    frmPubHide form{folder, nullptr, clock};
    int rebuilds = 0, asked = 0;
    std::vector<int> retries;
    std::vector<CaptureIncident> told;
    form.setRecordedCallback([&] { ++rebuilds; });
    form.setRetryScheduler([&](int ms) { retries.push_back(ms); });
    form.setHealthCallback(
        [&](const CaptureIncident& i, bool ask) { told.push_back(i), asked += ask; });
    form.setHoldLimits(3, 1 << 20);
    // The logs folder replaced by a file: nothing can be written below it.
    std::filesystem::remove_all(folder.logsFolder());
    WriteAll(folder.logsFolder(), "in the way");
    for (const char* name : {"b", "b", "c", "d", "e", "f"}) {
        clock.advanceSeconds(*name == 'c' ? 2 : 0); // c and later: the next day
        form.upsReceiveEvents(Notification{shell::SHCNE_CREATE, Item(name, "/d/x"), {}});
    }
    EXPECT_EQ(form.health().heldRecords(), 3u) << "a held duplicate is still a duplicate";
    EXPECT_EQ(rebuilds, 5) << "every kept record rebuilds Today, written or not";
    ASSERT_EQ(told.size(), 2u) << "held, then the memory full";
    EXPECT_TRUE(told[0].ongoing && told[0].needsAction && !told[0].isGap && told[1].missing == 1);
    EXPECT_EQ(asked, 1) << "the user is asked to act once";
    form.retryHeld();
    EXPECT_EQ(retries, (std::vector<int>{frmPubHide::kRetryDelayMs, frmPubHide::kRetryDelayMs}));

    std::filesystem::remove(folder.logsFolder());
    form.retryHeld();
    EXPECT_EQ(form.health().heldRecords(), 0u);
    EXPECT_TRUE(told.at(2).cleared && !form.health().anyActive());
    EXPECT_EQ(ReadAll(folder.dayFilePath({2024, 3, 5})), Line("23:59:58", "b"));
    EXPECT_EQ(ReadAll(folder.dayFilePath({2024, 3, 6})),
              Line("2024-03-06 00:00:00", "c") + Line("2024-03-06 00:00:00", "d"));
    const auto gaps = gapfile::ReadFile(folder.gapFilePath({2024, 3, 6}));
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].stamp + " " + gaps[0].reason, "2024-03-06 00:00:00 write-failed");
    EXPECT_NE(gaps[0].sentence.find("2 operations"), std::string::npos);
}

#ifdef __linux__
TEST_F(PipelineTest, AFullDiskLosesNothingAndTearsNoLine)
{
    // The mount goes into a namespace of this process's own, so nobody else sees it.
    const std::string small = appData / "small";
    std::filesystem::create_directory(small);
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root and a private mount namespace";
    }
    DataFolder onSmall;
    onSmall.establish(small);
    frmPubHide form{onSmall, nullptr, clock};
    std::string expected;
    for (int i = 0; i < 1000 && form.health().heldRecords() < 20; ++i) {
        if (i == 1) { // the day file has its first page now: fill the rest
            std::ofstream(small + "/filler", std::ios::binary) << std::string(1 << 20, 'f');
        }
        const std::string name = "n" + std::to_string(i);
        form.upsReceiveEvents(Notification{shell::SHCNE_CREATE, Item(name, "/d/x"), {}});
        expected += Line("14:07:09", name);
    }
    EXPECT_EQ(form.health().heldRecords(), 20u) << "the disk never filled";
    std::filesystem::remove(small + "/filler");
    form.retryHeld();
    EXPECT_EQ(form.health().heldRecords(), 0u);
    EXPECT_EQ(ReadAll(onSmall.dayFilePath(clock.now().date)), expected);
    ::umount2(small.c_str(), MNT_DETACH);
}
#endif
