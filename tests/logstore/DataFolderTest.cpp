#include "logstore/DataFolder.h"

#include "logstore/GapFile.h"
#include "support/TempDir.h"
#include "utility/FileSystem.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using zlv::DataFolder;
using zlv::Date;
using zlv::test::ReadAll;
using zlv::test::TempDir;
using zlv::test::WriteAll;
namespace stdfs = std::filesystem;

namespace {

// Every path under `root` with its size, so that "nothing changed" can be checked whole.
std::set<std::pair<std::string, std::uintmax_t>> Snapshot(const std::string& root)
{
    std::set<std::pair<std::string, std::uintmax_t>> entries;
    for (const auto& e : stdfs::recursive_directory_iterator(root)) {
        entries.emplace(e.path().string(), e.is_regular_file() ? e.file_size() : 0);
    }
    return entries;
}

} // namespace

TEST(DataFolder, FirstStartCreatesTheLayoutAndASecondStartChangesNothing)
{
    TempDir appData;
    DataFolder folder;
    ASSERT_TRUE(folder.establish(appData.path()));

    const std::string zlv = appData / "QBS" + zlv::fs::kSeparator + "ZLV";
    EXPECT_EQ(folder.dataFolder(), zlv);
    EXPECT_TRUE(stdfs::is_directory(folder.logsFolder()));
    EXPECT_EQ(stdfs::file_size(folder.configurationFile()), 0u);
    EXPECT_EQ(
        stdfs::file_size(zlv + zlv::fs::kSeparator + "ZLV data folder, please do not delete it"),
        0u);
    EXPECT_TRUE(stdfs::is_empty(folder.logsFolder())) << "no month folder at start-up";

    // The user's settings and an existing day file survive any number of restarts.
    WriteAll(folder.configurationFile(), "[DTF]\r\nSequence=Year Month Day\r\n");
    ASSERT_TRUE(folder.append(Date{2024, 3, 5}, "x\r\n"));
    const auto before = Snapshot(appData.path());
    DataFolder again;
    ASSERT_TRUE(again.establish(appData.path()));
    EXPECT_EQ(Snapshot(appData.path()), before);
    EXPECT_EQ(ReadAll(again.configurationFile()), "[DTF]\r\nSequence=Year Month Day\r\n");
}

TEST(DataFolder, DayFilesAreNamedByMonthAndDay)
{
    TempDir appData;
    DataFolder folder;
    folder.establish(appData.path());
    const char sep = zlv::fs::kSeparator;
    EXPECT_EQ(folder.dayFilePath(Date{2024, 1, 31}),
              folder.logsFolder() + sep + "202401" + sep + "31.log");
    EXPECT_EQ(folder.dayFilePath(Date{2024, 2, 1}),
              folder.logsFolder() + sep + "202402" + sep + "01.log");
}

TEST(DataFolder, AppendRecreatesFoldersRemovedDuringTheRun)
{
    TempDir appData;
    DataFolder folder;
    folder.establish(appData.path());
    const Date day{2024, 3, 5};
    ASSERT_TRUE(folder.append(day, "first\r\n"));

    stdfs::remove_all(appData / "QBS");
    ASSERT_TRUE(folder.append(day, "second\r\n"));
    EXPECT_EQ(ReadAll(folder.dayFilePath(day)), "second\r\n");

    ASSERT_TRUE(folder.append(day, "third\r\n"));
    EXPECT_EQ(ReadAll(folder.dayFilePath(day)), "second\r\nthird\r\n");
}

TEST(DataFolder, AMissingApplicationDataFolderIsCreated)
{
    // A fresh account may not have its data folder yet.
    TempDir home;
    const char sep = zlv::fs::kSeparator;
    const std::string appData = home.path() + sep + ".local" + sep + "share";
    DataFolder folder;
    ASSERT_TRUE(folder.establish(appData));
    EXPECT_TRUE(stdfs::is_directory(folder.logsFolder()));
    ASSERT_TRUE(folder.append(Date{2024, 3, 5}, "line\r\n"));
}

TEST(GapFile, GapsAreAppendedBesideTheDayAndReadBackPastDamage)
{
    TempDir appData;
    DataFolder folder;
    ASSERT_TRUE(folder.establish(appData.path()));
    const Date day{2026, 12, 6};
    const zlv::GapRecord first{"2026-12-06 09:00:01", "overflow", "Lost\tsome\r\nevents"};
    const zlv::GapRecord second{"2026-12-06 10:00:00", "watch-limit", "12 folders"};
    ASSERT_TRUE(folder.appendGap(day, zlv::gapfile::FormatLine(first)));
    // A torn line, a foreign reason and a bad stamp in between are skipped, not fatal.
    zlv::fs::AppendWhole(folder.gapFilePath(day), "2026-12-06 09:3\r\n");
    zlv::fs::AppendWhole(folder.gapFilePath(day), "2026-12-06 09:40:00\tgremlins\tx\r\n");
    zlv::fs::AppendWhole(folder.gapFilePath(day), "2026-13-06 09:40:00\toverflow\tx\n");
    ASSERT_TRUE(folder.appendGap(day, zlv::gapfile::FormatLine(second)));

    const auto gaps = zlv::gapfile::ReadFile(folder.gapFilePath(day));
    ASSERT_EQ(gaps.size(), 2u);
    EXPECT_EQ(gaps[0].sentence, "Lost some  events");
    EXPECT_EQ(gaps[1], second);
    EXPECT_EQ(folder.gapFilePath(day).substr(folder.dayFilePath(day).size() - 6), "06.gaps");
    EXPECT_TRUE(zlv::gapfile::ReadFile(appData / "none.gaps").empty());
}
