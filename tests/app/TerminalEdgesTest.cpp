// The terminal modes where files and clocks do odd things.
#include "FollowOnThread.h"
#include "app/TerminalModes.h"
#include "capture/RecordPipeline.h"
#include "capture/ShellEvents.h"
#include "logstore/GapFile.h"
#include "mock/ManualClock.h"
#include "support/TempDir.h"
#include "support/Within.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zlv;
using namespace zlv::cli;
using zlv::test::ReadAll;
using zlv::test::WriteAll;

namespace {

struct TerminalEdgesTest : ::testing::Test
{
    test::TempDir appData;
    DataFolder folder;
    bool established = folder.establish(appData.path());
    ManualClock clock{LocalDateTime{{2026, 2, 1}, 0, 0, 5}};
    RecordPipeline pipeline{folder, clock};

    bool Create(const std::string& name)
    {
        return pipeline.handle({shell::SHCNE_CREATE, ShellItem{name, "/h/" + name}, {}}) ==
               RecordPipeline::Outcome::Written;
    }
    // Runs `args` in a child that must end within 10 s; its exit status, its output in
    // out.txt and err.txt.
    std::optional<int> CliWithin(const std::string& args)
    {
        return test::ExitWithin(10, [&] {
            std::FILE* out = std::fopen((appData / "out.txt").c_str(), "w");
            std::FILE* err = std::fopen((appData / "err.txt").c_str(), "w");
            const Arguments a = Parse(QString::fromStdString("zelvory " + args).split(u' '));
            const int status = RunTerminalMode(a, folder, {}, clock, out, err, -1);
            std::fclose(out);
            std::fclose(err);
            return status;
        });
    }
};

// The next json line's original name, or its gap reason.
std::string NextName(int fd)
{
    const std::string line = test::ReadLine(fd);
    for (const std::string key : {"\"original_name\":\"", "\"reason\":\""}) {
        if (const std::size_t at = line.find(key); at != std::string::npos) {
            return line.substr(at + key.size(), line.find('"', at + key.size()) - at - key.size());
        }
    }
    return line;
}

} // namespace

TEST_F(TerminalEdgesTest, AFifoGapFileIsNamedAndPassedOverAndAllTimeReadsOnlyWhatExists)
{
    ASSERT_TRUE(Create("a.txt"));
    const std::string gaps = folder.gapFilePath(clock.now().date);
    ASSERT_EQ(::mkfifo(gaps.c_str(), 0600), 0);
    // Every day from year 1 to 9999 asked for: 3.6 million days, one of them with files.
    EXPECT_EQ(CliWithin("--print --from 0001-01-01 --to 9999-12-31 --format tsv"), 0);
    EXPECT_EQ(ReadAll(appData / "out.txt"), "2026-02-01 00:00:05\tFile\tCreated\t/h/\ta.txt\t\n");
    EXPECT_EQ(CliWithin("--print"), 0);
    EXPECT_NE(ReadAll(appData / "err.txt").find("gap file \"" + gaps + "\" is not a regular file"),
              std::string::npos);
    EXPECT_EQ(CliWithin("--status"), 4);
    EXPECT_NE(ReadAll(appData / "err.txt").find(gaps), std::string::npos);
}

TEST_F(TerminalEdgesTest, FollowingSurvivesACopyAnEditAndAClockSteppedBackAcrossMidnight)
{
    clock.set({{2026, 1, 31}, 23, 59, 50});
    ASSERT_TRUE(Create("yesterday.txt"));
    clock.set({{2026, 2, 1}, 0, 0, 5});
    ASSERT_TRUE(Create("before.txt"));
    int out[2], stop[2];
    ASSERT_TRUE(pipe(out) == 0 && pipe(stop) == 0);
    std::FILE* printed = fdopen(out[1], "w");
    std::future<int> status =
        test::FollowOnThread("--follow --format=json", folder, clock, printed, stderr, stop[0]);

    // An editor's save: a copy of what was printed put in the file's place.
    const std::string day = folder.dayFilePath(clock.now().date);
    std::filesystem::copy_file(day, day + ".copy");
    std::filesystem::rename(day + ".copy", day);
    clock.set({{2026, 2, 1}, 0, 0, 6});
    ASSERT_TRUE(Create("after-copy.txt"));
    EXPECT_EQ(NextName(out[0]), "after-copy.txt");

    // The clock stepped back before midnight: the writer goes back to yesterday's file.
    clock.set({{2026, 1, 31}, 23, 59, 58});
    ASSERT_TRUE(Create("stepped-back.txt"));
    EXPECT_EQ(NextName(out[0]), "stepped-back.txt");

    // A file that truly changed what was printed: a gap line says so, and it is read again
    // from its beginning.
    const std::string kept = "2026-02-01 00:00:01\tFile\tDeleted\t/h/\tx\t\r\n";
    WriteAll(day + ".edit", kept);
    std::filesystem::rename(day + ".edit", day);
    clock.set({{2026, 2, 1}, 0, 0, 9});
    ASSERT_TRUE(Create("after-edit.txt"));
    EXPECT_EQ(NextName(out[0]), "rewritten");
    EXPECT_EQ(NextName(out[0]), "x");
    EXPECT_EQ(NextName(out[0]), "after-edit.txt");
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    EXPECT_EQ(status.get(), 0);
    std::fclose(printed);
    EXPECT_EQ(NextName(out[0]), "");
}
