// The journal across runs: what each end and start of recording leave, what a kill leaves.
#include "capture/RecordingSession.h"

#include "capture/ShellEvents.h"
#include "capture/frmPubHide.h"
#include "logstore/GapFile.h"
#include "support/TempDir.h"
#include "support/Within.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zlv;
using zlv::test::ReadAll;
using zlv::test::TempDir;
namespace stdfs = std::filesystem;

namespace {

// The platform as a test plays it: it hands the capture form created files itself.
class HandSource final : public NotificationSource
{
public:
    bool start(Sink sink) override
    {
        m_sink = std::move(sink);
        return true;
    }
    void stop() override { m_sink = nullptr; }
    void create(const std::string& name) const
    {
        const std::string path = std::string(1, fs::kSeparator) + "d" + fs::kSeparator + name;
        m_sink(Notification{shell::SHCNE_CREATE, ShellItem{name, path}, {}});
    }

private:
    Sink m_sink;
};

// One run of the program: a capture form that keeps the run's state, started at once.
struct ProgramRun
{
    ProgramRun(const DataFolder& folder, const Clock& clock)
        : source(new HandSource), form(folder, std::unique_ptr<NotificationSource>(source), clock)
    {
        form.keepRunState();
        form.load();
    }
    HandSource* source;
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
    // Nothing can be written into the day file of `day`: a folder stands in its place
    // (the file waits aside).
    void Block(const Date& day, bool on)
    {
        const std::string path = folder.dayFilePath(day), aside = path + ".aside";
        std::error_code ec;
        if (on) {
            stdfs::rename(path, aside, ec);
            stdfs::create_directories(path);
        } else {
            stdfs::remove(path);
            stdfs::rename(aside, path, ec);
        }
    }

    TempDir appData;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 17, 30, 5}};
};

} // namespace

TEST_F(SessionTest, EachEndAndStartLeaveTheSpanBetweenForReadersAndTheLists)
{
    {
        ProgramRun first(folder, clock);
        first.source->create("a");
    } // closed in order
    clock.set({{2024, 3, 6}, 8, 59, 12});
    ProgramRun second(folder, clock);
    second.source->create("b");
    EXPECT_TRUE(second.form.health().complete()) << "a restart is no fault of recording";
    EXPECT_EQ(Gaps(folder, {2024, 3, 5}),
              (std::vector<std::string>{"2024-03-05 17:30:05 not-running"}));
    // Just before the start, so that records of the start's own second come after it.
    EXPECT_EQ(Gaps(folder, {2024, 3, 6}),
              (std::vector<std::string>{"2024-03-06 08:59:11 not-running"}));
    EXPECT_NE(gapfile::ReadFile(folder.gapFilePath({2024, 3, 6}))[0].sentence.find(
                  "from 2024-03-05 17:30:05 to 2024-03-06 08:59:12"),
              std::string::npos);
    EXPECT_EQ(ReadAll(folder.dayFilePath({2024, 3, 6})), Line("2024-03-06 08:59:12", "b"));
}

#ifndef _WIN32
TEST_F(SessionTest, AKillWhileRecordsAreHeldLosesNoneAndTheNextStartTellsTheSpan)
{
    const Date day{2024, 3, 5};
    // Killed right after a held record reached its day file, before the spill file could
    // count it as written: the next start must not write it twice.
    {
        HeldSpill spill;
        ASSERT_TRUE(spill.open(folder.heldSpillFile()));
        for (int s = 1; s <= 3; ++s) {
            spill.append({day, 17, 30, s}, std::string("File\tCreated\t") + fs::kSeparator + "d" +
                                               fs::kSeparator + "\th" + std::to_string(s) + "\t");
        }
        spill.written();
        spill.written();
    }
    std::string written;
    for (int s = 1; s <= 3; ++s) {
        written += Line("2024-03-05 17:30:0" + std::to_string(s), "h" + std::to_string(s));
    }
    ASSERT_TRUE(folder.ensureMonthFolder(day));
    test::WriteAll(folder.dayFilePath(day), written);
    clock.set({{2024, 3, 5}, 18, 0, 0});
    {
        ProgramRun next(folder, clock);
        EXPECT_EQ(ReadAll(folder.dayFilePath(day)), written);
    }

    // Now a kill with the records still held: they come back with their own times.
    const auto held = test::ExitWithin(20, [&]() -> int {
        ProgramRun run(folder, clock);
        Block(day, true);
        for (const char* name : {"k1", "k2"}) {
            clock.advanceSeconds(1);
            run.source->create(name);
        }
        ::_exit(run.form.health().heldRecords() == 2 ? 0 : 1);
    });
    ASSERT_EQ(held, 0);
    Block(day, false);
    clock.set({{2024, 3, 5}, 19, 0, 0});
    ProgramRun after(folder, clock);
    EXPECT_EQ(ReadAll(folder.dayFilePath(day)),
              written + Line("2024-03-05 18:00:01", "k1") + Line("2024-03-05 18:00:02", "k2"));
    const std::vector<std::string> gaps = Gaps(folder, day);
    ASSERT_GE(gaps.size(), 2u);
    EXPECT_EQ(gaps[gaps.size() - 2], "2024-03-05 18:00:02 capture-stopped");
    EXPECT_EQ(gaps.back(), "2024-03-05 18:59:59 not-running");
    EXPECT_FALSE(after.form.health().complete()) << "the user hears of the kill";
}
#endif

TEST_F(SessionTest, AWriteFailureRecoveredLeavesNoTraceButRecordsLostAtTheEndAreTold)
{
    const Date day{2024, 3, 5};
    {
        ProgramRun run(folder, clock);
        run.form.setHoldLimits(2, 1 << 20);
        Block(day, true);
        run.source->create("a");
        EXPECT_FALSE(run.form.health().complete());
        Block(day, false);
        run.form.retryHeld();
        EXPECT_TRUE(run.form.health().complete()) << "the journal is whole again";

        // Then the disk refuses everything, gap lines too, until the end of the run.
        stdfs::rename(folder.logsFolder(), appData / "logs");
        test::WriteAll(folder.logsFolder(), "in the way");
        for (const char* name : {"b", "c", "d", "e"}) {
            clock.advanceSeconds(1);
            run.source->create(name);
        }
    }
    stdfs::remove(folder.logsFolder());
    stdfs::rename(appData / "logs", folder.logsFolder());
    clock.set({{2024, 3, 5}, 20, 0, 0});
    ProgramRun next(folder, clock);
    // b and c were held and spilled: written now. d and e found no room and are lost.
    EXPECT_EQ(ReadAll(folder.dayFilePath(day)), Line("2024-03-05 17:30:05", "a") +
                                                    Line("2024-03-05 17:30:06", "b") +
                                                    Line("2024-03-05 17:30:07", "c"));
    const auto gaps = gapfile::ReadFile(folder.gapFilePath(day));
    ASSERT_FALSE(gaps.empty());
    EXPECT_EQ(gaps[0].stamp + " " + gaps[0].reason, "2024-03-05 17:30:08 write-failed");
    EXPECT_NE(gaps[0].sentence.find("2 operations"), std::string::npos);
}
