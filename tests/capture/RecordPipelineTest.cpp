#include "capture/RecordPipeline.h"
#include "capture/ShellEvents.h"
#include "support/TempDir.h"
#include "utility/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace zlv;
using zlv::test::ReadAll;
using zlv::test::TempDir;
using zlv::test::WriteAll;

namespace {

const std::string kSep(1, fs::kSeparator);

// Paths as the platform spells them: /d/a.txt on Linux, \d\a.txt on Windows.
std::string P(const std::string& slashed)
{
    std::string p = slashed;
    for (char& c : p) {
        if (c == '/') {
            c = fs::kSeparator;
        }
    }
    return p;
}

ShellItem Item(const std::string& name, const std::string& path)
{
    return ShellItem{name, P(path)};
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

    TempDir appData;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 14, 7, 9}};
    RecordPipeline pipeline{folder, clock};
};

} // namespace

TEST_F(PipelineTest, CreatedFileAndRenameLinesHaveTheExactBytes)
{
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("a.txt", "/Data/a.txt")));
    ASSERT_TRUE(Handle(shell::SHCNE_RENAMEITEM, Item("a.txt", "/Data/a.txt"), Item("b.txt", "/Data/b.txt")));
    EXPECT_EQ(Today(), "2024-03-05 14:07:09\tFile\tCreated\t" + P("/Data/") + "\ta.txt\t\r\n"
                       "2024-03-05 14:07:09\tFile\tRenamed\t" + P("/Data/") + "\ta.txt\tb.txt\r\n");
}

TEST_F(PipelineTest, RecordsRollOverToTheNextDayAndMonthAtMidnight)
{
    clock.set(LocalDateTime{{2024, 1, 31}, 23, 59, 59});
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("late.txt", "/d/late.txt")));
    clock.advanceSeconds(1);
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("early.txt", "/d/early.txt")));

    const std::string jan = folder.logsFolder() + kSep + "202401" + kSep + "31.log";
    const std::string feb = folder.logsFolder() + kSep + "202402" + kSep + "01.log";
    EXPECT_EQ(ReadAll(jan).substr(0, 19), "2024-01-31 23:59:59");
    EXPECT_EQ(ReadAll(feb).substr(0, 19), "2024-02-01 00:00:00");
    EXPECT_EQ(ReadAll(jan).find("early"), std::string::npos);
}

TEST_F(PipelineTest, ARepeatWithinFiveSecondsOfTheLatestIdenticalLineIsDropped)
{
    const auto create = [&] { return Handle(shell::SHCNE_CREATE, Item("a.txt", "/d/a.txt")); };
    ASSERT_TRUE(create()); // 14:07:09
    clock.advanceSeconds(3);
    EXPECT_FALSE(create()) << "3 s after";
    clock.advanceSeconds(2);
    EXPECT_TRUE(create()) << "5 s after the written line";
    clock.advanceSeconds(4);
    EXPECT_FALSE(create()) << "4 s after the newer line";

    // The clock was set back (or the file holds later lines from a run with another
    // time zone): the window counts in both directions.
    clock.set(LocalDateTime{{2024, 3, 5}, 14, 7, 12});
    EXPECT_FALSE(create());
    // Other records do not take part.
    EXPECT_TRUE(Handle(shell::SHCNE_DELETE, Item("a.txt", "/d/a.txt")));
}

TEST_F(PipelineTest, TheRepeatTestComparesWholeFieldsOfTheLatestMatchingLine)
{
    // A rename of a to bc, then within 5 s of a to b: "a\tb" is a substring of "a\tbc",
    // yet these are different operations and both must be recorded.
    ASSERT_TRUE(Handle(shell::SHCNE_RENAMEITEM, Item("a", "/d/a"), Item("bc", "/d/bc")));
    clock.advanceSeconds(1);
    EXPECT_TRUE(Handle(shell::SHCNE_RENAMEITEM, Item("a", "/d/a"), Item("b", "/d/b")));
    // Neither is a prefix match in the other direction.
    EXPECT_TRUE(Handle(shell::SHCNE_CREATE, Item("x", "/dd/x")));
    EXPECT_TRUE(Handle(shell::SHCNE_CREATE, Item("x", "/d/x")));

    // An identical operation early in the day must not hide the one just written.
    const std::string file = folder.dayFilePath(clock.now().date);
    const std::string early = "2024-03-05 09:00:00\tFile\tDeleted\t" + P("/d/") + "\tz\t\r\n";
    std::ofstream(file, std::ios::binary | std::ios::app) << early;
    clock.set(LocalDateTime{{2024, 3, 5}, 14, 7, 20});
    ASSERT_TRUE(Handle(shell::SHCNE_DELETE, Item("z", "/d/z")));
    clock.advanceSeconds(2);
    EXPECT_FALSE(Handle(shell::SHCNE_DELETE, Item("z", "/d/z")));
}

TEST_F(PipelineTest, TheRepeatTestFollowsTheFileWhenItIsReplacedOrEmptied)
{
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("a", "/d/a")));
    // The user empties the day file: the earlier line no longer exists to repeat.
    WriteAll(folder.dayFilePath(clock.now().date), "");
    clock.advanceSeconds(1);
    EXPECT_TRUE(Handle(shell::SHCNE_CREATE, Item("a", "/d/a")));
    // A hand-edited file with a damaged line is read past, not trusted.
    std::ofstream(folder.dayFilePath(clock.now().date), std::ios::binary | std::ios::app)
        << "garbage without tabs\r\n2024-03-05 14:07:11\tFile\tCreated\t" << P("/d/") << "\tq\t\r\n";
    clock.advanceSeconds(1);
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, Item("q", "/d/q")));
}

TEST_F(PipelineTest, KeepTestsDropIncompleteAndUnchangedRecords)
{
    // A rename to an equal display name says nothing; a case-only rename does.
    EXPECT_FALSE(Handle(shell::SHCNE_RENAMEITEM, Item("a", "/d/a.txt"), Item("a", "/d/a.doc")));
    EXPECT_TRUE(Handle(shell::SHCNE_RENAMEITEM, Item("a.txt", "/d/a.txt"), Item("A.txt", "/d/A.txt")));

    // Files and folders need a path; media and drives are kept without one.
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, Item("virtual", "")));
    EXPECT_FALSE(Handle(shell::SHCNE_MKDIR, Item("nosep", "nosep")));
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, ShellItem{"", P("/d/a")})) << "no display name";
    EXPECT_FALSE(Handle(shell::SHCNE_CREATE, std::nullopt));
    EXPECT_TRUE(Handle(shell::SHCNE_MEDIAINSERTED, Item("Card", "")));
    EXPECT_TRUE(Handle(shell::SHCNE_DRIVEADD, Item("Stick", "/media/stick/")));

    // Unnamed values, the interrupt flag and named events without a row leave no trace.
    for (std::uint32_t e : {0x80000002u, 0x0u, 0x3u, shell::SHCNE_DRIVEADDGUI,
                            shell::SHCNE_UPDATEDIR, shell::SHCNE_ATTRIBUTES,
                            shell::SHCNE_UPDATEIMAGE, shell::SHCNE_FREESPACE}) {
        EXPECT_FALSE(Handle(e, Item("x", "/d/x"), Item("y", "/d/y"))) << std::hex << e;
    }

    const std::string text = Today();
    EXPECT_NE(text.find("\tFile\tRenamed\t" + P("/d/") + "\ta.txt\tA.txt\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tStorage Media\tInserted\t\tCard\t\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tDriver\tAdded\t" + P("/media/stick/") + "\tStick\t\r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST_F(PipelineTest, NamesWithControlCharactersStayOnOneLine)
{
    ASSERT_TRUE(Handle(shell::SHCNE_RENAMEITEM, Item("old\tname", "/d/old\tname"),
                       Item("new\nname", "/d/new\nname")));
    const std::string text = Today();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 5);
    EXPECT_NE(text.find("old\u2409name\tnew\u240Aname\r\n"), std::string::npos);
    // And a repeat of it is still recognised through the sanitised form.
    EXPECT_FALSE(Handle(shell::SHCNE_RENAMEITEM, Item("old\tname", "/d/old\tname"),
                        Item("new\nname", "/d/new\nname")));
}

TEST_F(PipelineTest, RecordsSurviveTheDataFolderBeingRemovedDuringTheRun)
{
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("a", "/d/a")));
    std::filesystem::remove_all(folder.dataFolder());
    ASSERT_TRUE(Handle(shell::SHCNE_CREATE, Item("b", "/d/b")));
    EXPECT_NE(Today().find("\tb\t\r\n"), std::string::npos);
}
