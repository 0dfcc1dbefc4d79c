// The journal across runs: what each end and start of recording leave, what a kill leaves.
#include "capture/RecordingSession.h"

#include "capture/ShellEvents.h"
#include "capture/frmPubHide.h"
#include "logstore/GapFile.h"
#include "mock/FakeSource.h"
#include "mock/ManualClock.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zlv;
using zlv::test::ReadAll;
using zlv::test::TempDir;
namespace stdfs = std::filesystem;

namespace {

// One run of the program: a capture form that keeps the run's state, started at once; the
// test hands it created files in /d/.
struct ProgramRun
{
    ProgramRun(const DataFolder& folder, const Clock& clock)
        : source(new test::FakeSource),
          form(folder, std::unique_ptr<NotificationSource>(source), clock)
    {
        form.keepRunState();
        form.load();
    }
    void create(const std::string& name) const
    {
        const std::string path = std::string(1, fs::kSeparator) + "d" + fs::kSeparator + name;
        source->deliver(shell::SHCNE_CREATE, ShellItem{name, path});
    }
    test::FakeSource* source;
    frmPubHide form;
};

std::string Line(const std::string& stamp, const std::string& name)
{
    return stamp + "\tFile\tCreated\t" + fs::kSeparator + "d" + fs::kSeparator + "\t" + name +
           "\t\r\n";
}

// "stamp reason" of every gap of the day, in file order.
std::vector<std::string> Gaps(const DataFolder& folder, const Date& day)
{
    std::vector<std::string> out;
    for (const GapRecord& g : gapfile::ReadFile(folder.gapFilePath(day))) {
        out.push_back(g.stamp + " " + g.reason);
    }
    return out;
}

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override { folder.establish(appData.path()); }
    // Nothing can be written, gap lines neither: a file stands where the logs folder was.
    void Block(bool on)
    {
        if (on) {
            stdfs::rename(folder.logsFolder(), appData / "aside");
            test::WriteAll(folder.logsFolder(), "in the way");
        } else {
            stdfs::remove(folder.logsFolder());
            stdfs::rename(appData / "aside", folder.logsFolder());
        }
    }

    TempDir appData;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 17, 30, 5}};
};

} // namespace

TEST_F(SessionTest, AKilledRunsHeldRecordsComeBackOnceAndItsEndIsTold)
{
    // Killed right after the third held record reached its day file, before the spill file
    // could count it as written; nothing noted the end.
    const Date day{2024, 3, 5};
    std::string written;
    {
        HeldSpill spill;
        ASSERT_TRUE(spill.open(folder.heldSpillFile()));
        RunStateFile state;
        ASSERT_TRUE(state.open(folder.runStateFile()));
        RunState running;
        running.pid = 1;
        running.complete = "2024-03-05 17:30:01";
        ASSERT_TRUE(state.write(running));
        for (int s = 1; s <= 4; ++s) {
            const std::string second(1, static_cast<char>('0' + s));
            const std::string line = Line("2024-03-05 17:30:0" + second, "h" + second);
            spill.append({day, 17, 30, s}, line.substr(20, line.size() - 22)); // no stamp, no CR LF
            if (s < 4) {
                written += line;
            }
        }
        spill.written();
        spill.written();
    }
    ASSERT_TRUE(folder.append(day, written));
    clock.set({{2024, 3, 5}, 18, 0, 0});
    ProgramRun next(folder, clock);
    EXPECT_EQ(ReadAll(folder.dayFilePath(day)), written + Line("2024-03-05 17:30:04", "h4"));
    EXPECT_EQ(Gaps(folder, day), (std::vector<std::string>{"2024-03-05 17:30:01 capture-stopped",
                                                           "2024-03-05 17:59:59 not-running"}));
    EXPECT_FALSE(next.form.health().complete()) << "the user hears of the kill";
}

TEST_F(SessionTest, ARecoveredFailureLeavesNoTraceAndWhatTheEndCouldNotWriteIsToldAtTheStart)
{
    const Date day{2024, 3, 5};
    {
        ProgramRun run(folder, clock);
        run.form.setHoldLimits(2, 1 << 20);
        Block(true);
        run.create("a");
        EXPECT_FALSE(run.form.health().complete());
        Block(false);
        run.form.retryHeld();
        EXPECT_TRUE(run.form.health().complete()) << "the journal is whole again";

        // Then the disk refuses everything, gap lines too, until the end of the run.
        Block(true);
        for (const char* name : {"b", "c", "d", "e"}) {
            clock.advanceSeconds(1);
            run.create(name);
        }
    }
    Block(false);
    clock.set({{2024, 3, 5}, 20, 0, 0});
    ProgramRun next(folder, clock);
    // b and c were held and spilled: written now. d and e found no room and are lost; the
    // end of the run could not be noted then, so it is now, before the start.
    EXPECT_EQ(ReadAll(folder.dayFilePath(day)), Line("2024-03-05 17:30:05", "a") +
                                                    Line("2024-03-05 17:30:06", "b") +
                                                    Line("2024-03-05 17:30:07", "c"));
    EXPECT_EQ(Gaps(folder, day), (std::vector<std::string>{"2024-03-05 17:30:08 write-failed",
                                                           "2024-03-05 17:30:09 not-running",
                                                           "2024-03-05 19:59:59 not-running"}));
    const auto gaps = gapfile::ReadFile(folder.gapFilePath(day));
    EXPECT_NE(gaps.at(0).sentence.find("2 operations"), std::string::npos);
    // The start's line a second before it, so that records of its own second come after.
    EXPECT_NE(gaps.at(2).sentence.find("from 2024-03-05 17:30:09 to 2024-03-05 20:00:00"),
              std::string::npos);
}
