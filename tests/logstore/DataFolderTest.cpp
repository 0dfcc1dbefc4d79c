#include "logstore/DataFolder.h"

#include "logstore/GapFile.h"
#include "support/TempDir.h"
#include "utility/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#endif

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
    EXPECT_EQ(stdfs::file_size(folder.configurationFile()), 0u);
    EXPECT_EQ(stdfs::file_size(zlv + zlv::fs::kSeparator + std::string(DataFolder::kMarkerName)),
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

#ifndef _WIN32
TEST(DataFolder, EverythingItCreatesIsPrivateWhateverTheUmask)
{
    // A fresh account may not have its data folder yet; another user must not read it.
    TempDir home;
    const mode_t oldMask = ::umask(022);
    DataFolder folder;
    ASSERT_TRUE(folder.establish(home / ".local/share"));
    const Date day{2024, 3, 5};
    ASSERT_TRUE(folder.append(day, "line\r\n"));
    ASSERT_TRUE(folder.appendGap(day, "gap\r\n"));
    ::umask(oldMask);
    const auto mode = [](const std::string& p) {
        return static_cast<int>(stdfs::status(p).permissions() & stdfs::perms::all);
    };
    for (const std::string& made :
         {home / ".local", home / ".local/share", home / ".local/share/QBS", folder.dataFolder(),
          folder.logsFolder(), folder.monthFolder(day)}) {
        EXPECT_EQ(mode(made), 0700) << made;
    }
    for (const std::string& made : {folder.configurationFile(), folder.markerFile(),
                                    folder.dayFilePath(day), folder.gapFilePath(day)}) {
        EXPECT_EQ(mode(made), 0600) << made;
    }
    // Ours, so a looser folder left by an older version is tightened at the next start.
    stdfs::permissions(folder.dataFolder(), stdfs::perms(0755));
    ASSERT_TRUE(DataFolder().establish(home / ".local/share"));
    EXPECT_EQ(mode(folder.dataFolder()), 0700);
}

TEST(DataFolder, AppendsNeverMergeWithDamageAndWriteOnlyRegularFiles)
{
    TempDir dir;
    const std::string torn = dir / "torn.log", nuls = dir / "nuls.log";
    WriteAll(torn, "2024-03-05 09:00:00\tFile\tCrea");
    WriteAll(nuls, std::string("good\r\n\0\0\0", 9));
    zlv::fs::AppendFile kept;
    ASSERT_TRUE(kept.append(torn, "x\r\n"));
    ASSERT_TRUE(zlv::fs::AppendWhole(nuls, "x\r\n"));
    EXPECT_EQ(ReadAll(torn), "2024-03-05 09:00:00\tFile\tCrea\r\nx\r\n");
    EXPECT_EQ(ReadAll(nuls), std::string("good\r\n\0\0\0\r\nx\r\n", 14));
    // Someone else tears the file while we keep it open.
    std::ofstream(torn, std::ios::binary | std::ios::app) << "y";
    ASSERT_TRUE(kept.append(torn, "z\r\n"));
    EXPECT_EQ(ReadAll(torn).substr(31), "x\r\ny\r\nz\r\n");

    // A FIFO must not stall the caller, and a planted link must not redirect the line.
    const std::string fifo = dir / "fifo.log", link = dir / "link.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(kept.append(fifo, "x\r\n"));
    stdfs::create_symlink(torn, link);
    EXPECT_FALSE(zlv::fs::AppendWhole(link, "x\r\n"));
}
#endif

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
    zlv::fs::AppendWhole(folder.gapFilePath(day), "2026-12-06 09:3\r\n2026-12-06 09:40:00\tgremlins"
                                                  "\tx\r\n2026-13-06 09:40:00\toverflow\tx\n");
    ASSERT_TRUE(folder.appendGap(day, zlv::gapfile::FormatLine(second)));

    const auto gaps = zlv::gapfile::ReadFile(folder.gapFilePath(day));
    ASSERT_EQ(gaps.size(), 2u);
    EXPECT_EQ(gaps[0].sentence, "Lost some  events");
    EXPECT_EQ(gaps[1], second);
    EXPECT_EQ(folder.gapFilePath(day).substr(folder.dayFilePath(day).size() - 6), "06.gaps");
    EXPECT_TRUE(zlv::gapfile::ReadFile(appData / "none.gaps").empty());
}

TEST(DataFolder, ARangeCostsWhatTheJournalHoldsAndAFolderMovedAwayComesBackWhole)
{
    TempDir appData;
    DataFolder folder;
    ASSERT_TRUE(folder.establish(appData.path()));
    for (const Date& d : {Date{2024, 2, 29}, Date{2024, 3, 1}, Date{2026, 1, 31}}) {
        ASSERT_TRUE(folder.ensureMonthFolder(d));
        WriteAll(d.day == 1 ? folder.gapFilePath(d) : folder.dayFilePath(d), "x\r\n");
    }
    // Names that only look like ours: a day February never has, a stray file, a folder
    // that is no month.
    WriteAll(folder.monthFolder({2024, 2, 1}) + "/30.log", "");
    WriteAll(folder.monthFolder({2024, 2, 1}) + "/notes.txt", "");
    stdfs::create_directory(folder.logsFolder() + "/2024xx");
    EXPECT_EQ(folder.daysOnDisk({1, 1, 1}, {9999, 12, 31}),
              (std::vector<Date>{{2024, 2, 29}, {2024, 3, 1}, {2026, 1, 31}}));
    EXPECT_EQ(folder.daysOnDisk({2024, 3, 1}, {2026, 1, 30}), (std::vector<Date>{{2024, 3, 1}}));

    // The whole data folder moved away during the run: the next record makes it again,
    // with its configuration and marker files, and the owner hears of it once.
    int remade = 0;
    folder.setRemadeCallback([&] { ++remade; });
    stdfs::rename(folder.dataFolder(), appData / "moved");
    ASSERT_TRUE(folder.append({2026, 2, 1}, "line\r\n"));
    EXPECT_TRUE(stdfs::is_regular_file(folder.configurationFile()));
    EXPECT_TRUE(stdfs::is_regular_file(folder.markerFile()));
    EXPECT_EQ(remade, 1);
    ASSERT_TRUE(folder.append({2026, 2, 1}, "line\r\n"));
    EXPECT_EQ(remade, 1);
}
