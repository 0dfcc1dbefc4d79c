#include "app/TerminalModes.h"

#include "app/InstanceStatus.h"
#include "app/JournalFollow.h"
#include "app/JournalPrinter.h"
#include "capture/RecordPipeline.h"
#include "capture/ShellEvents.h"
#include "logstore/GapFile.h"
#include "mock/ManualClock.h"
#include "settings/DisplayFormat.h"
#include "support/TempDir.h"
#include "support/Within.h"
#include "utility/FileSystem.h"
#include "utility/SystemUtility.h"

#include <csignal>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zlv;
using namespace zlv::cli;

namespace {

const std::string kCreated = "2026-01-31 23:59:58\tFile\tCreated\t/h/a,b/\tq\"uo\u2409te.txt\t";
const std::string kRenamed =
    "2026-01-31 23:59:59\tFile\tRenamed\t/h/\tbad\xFF\xC0\xAFz\tnew, \"x\"";
const std::string kDeleted = "2026-02-01 00:00:01\tFolder\tDeleted\t/h/\tx\t";
const std::string kBad = "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"; // one U+FFFD per stray byte

struct TerminalModesTest : ::testing::Test
{
    // Runs the words of `args` in a child that must end within 10 s: its exit status ("-1"
    // when it did not end) and what went to standard output and error.
    std::array<std::string, 3> Cli(const std::string& args)
    {
        const std::string out = appData / "out.txt", err = appData / "err.txt";
        const std::optional<int> status = test::ExitWithin(10, [&] {
            std::FILE* files[2] = {std::fopen(out.c_str(), "w"), std::fopen(err.c_str(), "w")};
            const Arguments a = Parse(QString::fromStdString("zelvory " + args).split(u' '));
            const int code = RunTerminalMode(a, folder, {}, clock, files[0], files[1], -1);
            std::fclose(files[0]);
            std::fclose(files[1]);
            return code;
        });
        return {std::to_string(status.value_or(-1)), test::ReadAll(out), test::ReadAll(err)};
    }
    // Runs `args` (a --follow) on a thread of its own, printing to `out` and `err` until
    // `stopFd` is readable; returns once it follows, with its exit status to come.
    std::future<int> Follow(const std::string& args, std::FILE* out, std::FILE* err, int stopFd)
    {
        auto started = std::make_shared<std::promise<void>>();
        std::future<int> status = std::async(std::launch::async, [=, this] {
            const Arguments a = Parse(QString::fromStdString("zelvory " + args).split(u' '));
            return RunTerminalMode(a, folder, {}, clock, out, err, stopFd,
                                   [started] { started->set_value(); });
        });
        started->get_future().wait();
        return status;
    }
    // A --follow printing tsv or json into a pipe of its own, whose other end is `printed`.
    bool FollowIntoPipe(const std::string& format)
    {
        int out[2];
        if (pipe(out) != 0 || pipe(m_stop) != 0 || !(m_printed = fdopen(out[1], "w"))) {
            return false;
        }
        printed = out[0];
        m_following = Follow("--follow --format=" + format, m_printed, stderr, m_stop[0]);
        return true;
    }
    // Stops it; its exit status, once all it printed is in the pipe.
    int StopFollowing()
    {
        EXPECT_EQ(write(m_stop[1], "x", 1), 1);
        const int status = m_following.get();
        std::fclose(m_printed);
        return status;
    }
    bool Create(const std::string& name)
    {
        return pipeline.handle({shell::SHCNE_CREATE, ShellItem{name, "/h/" + name}, {}}) ==
               RecordPipeline::Outcome::Written;
    }

    test::TempDir appData;
    DataFolder folder;
    bool established = folder.establish(appData.path());
    int printed = -1; // what a FollowIntoPipe printed, to read
    int m_stop[2] = {-1, -1};
    std::FILE* m_printed = nullptr;
    std::future<int> m_following;
    ManualClock clock{LocalDateTime{{2026, 2, 1}, 12, 0, 0}};
    RecordPipeline pipeline{folder, clock};
};

// The next line written to `fd`, without its end; what came of it when nothing more comes
// within 5 s.
std::string ReadLine(int fd)
{
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 5000) == 1 && read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

// The next json line's original name, or its gap reason.
std::string NextName(int fd)
{
    const std::string line = ReadLine(fd);
    for (const std::string key : {"\"original_name\":\"", "\"reason\":\""}) {
        if (const std::size_t at = line.find(key); at != std::string::npos) {
            return line.substr(at + key.size(), line.find('"', at + key.size()) - at - key.size());
        }
    }
    return line;
}

} // namespace

TEST_F(TerminalModesTest, EachFormatReadsARangeAcrossAMonthBack)
{
    ASSERT_TRUE(folder.append({2026, 1, 31}, kCreated + "\r\n" + kRenamed + "\r\nbad\r\n") &&
                folder.append({2026, 2, 1}, kDeleted + "\r\n"));
    folder.appendGap({2026, 1, 31},
                     gapfile::FormatLine({"2026-01-31 23:59:59", "overflow", "Lost."}));

    const std::string range = "--print --from 2026-01-31 --to 2026-02-01 --format ";
    EXPECT_EQ(Cli(range + "tsv")[1], kCreated + "\n" + kRenamed + "\n" + kDeleted + "\n");
    EXPECT_EQ(Cli(range + "csv")[1],
              "time,object,action,path,original_name,new_name\r\n"
              "2026-01-31 23:59:58,File,Created,\"/h/a,b/\",\"q\"\"uo\u2409te.txt\",\r\n"
              "2026-01-31 23:59:59,File,Renamed,/h/,bad" +
                  kBad +
                  "z,\"new, \"\"x\"\"\"\r\n"
                  "2026-01-31 23:59:59,(gap),overflow,,Lost.,\r\n"
                  "2026-02-01 00:00:01,Folder,Deleted,/h/,x,\r\n");
    EXPECT_EQ(
        Cli(range + "json")[1],
        R"({"time":"2026-01-31 23:59:58","object":"File","action":"Created","path":"/h/a,b/","original_name":"q\"uo␉te.txt","new_name":""}
{"time":"2026-01-31 23:59:59","object":"File","action":"Renamed","path":"/h/","original_name":"bad)" +
            kBad + R"(z","new_name":"new, \"x\""}
{"gap":true,"time":"2026-01-31 23:59:59","reason":"overflow","message":"Lost."}
{"time":"2026-02-01 00:00:01","object":"Folder","action":"Deleted","path":"/h/","original_name":"x","new_name":""}
)");

    // The time column as the user set it up, not as the default shows it.
    DisplayFormatFields fields;
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        fields[slot] = DisplayFormatEntries()[slot].back();
        SystemUtility::WriteSetting(folder.configurationFile(), "DTF", kDisplayFormatKeys[slot],
                                    fields[slot]);
    }
    const std::string pattern = GetDisplayPattern(fields);
    EXPECT_EQ(Cli("--print --from 2026-01-31 --find CREATED")[1],
              *FormatTimestamp(kCreated.substr(0, 19), pattern) + kCreated.substr(19) + "\n" +
                  *FormatTimestamp("2026-01-31 23:59:59", pattern) +
                  "\t-- gap in the journal (overflow): Lost.\n");
    for (const char* bad : {"--print --from 2026-02-30", "--follow --to 1.2.2026",
                            "--print --format xml", "--print --from 2026-02-01 --to 2026-01-31",
                            "--print --frobnicate", "--status --print"}) {
        std::string value = std::string(bad).substr(std::string(bad).rfind(' ') + 1);
        value.erase(0, value.find_first_not_of('-'));
        const auto r = Cli(bad);
        EXPECT_TRUE(r[0] == "2" && r[2].find(value) != std::string::npos) << bad << ": " << r[2];
    }
}

TEST_F(TerminalModesTest, DamagedLinesReadTheSameInEveryFormatAndFindStaysInAField)
{
    // Three records ended by a CR alone, then one damaged into eight fields.
    const std::string cr = "2026-02-01 09:00:0";
    const std::string wide = "2026-02-01 09:00:03\tFile\tRenamed\t/h/\told\tnew\textra\tmore";
    ASSERT_TRUE(folder.append({2026, 2, 1}, cr + "0\tFile\tCreated\t/h/\t\xC3\x89lan.txt\t\r" + cr +
                                                "1\tFile\tDeleted\t/h/\tb\t\r" + cr +
                                                "2\tFile\tCreated\t/h/\tc\t\r" + wide + "\r\n"));
    const std::string print = "--print --from 2026-02-01 --to 2026-02-01 --format ";
    const auto lines = [](const std::string& text) {
        return std::count(text.begin(), text.end(), '\n');
    };
    for (const char* format : {"tsv", "display", "json"}) {
        EXPECT_EQ(lines(Cli(print + format)[1]), 4) << format;
    }
    // Every format shows the extra fields inside the New Name, tabs and all.
    EXPECT_EQ(Cli(print + "tsv --find more")[1], wide + "\n");
    EXPECT_EQ(Cli(print + "csv --find more")[1],
              "time,object,action,path,original_name,new_name\r\n"
              "2026-02-01 09:00:03,File,Renamed,/h/,old,new\textra\tmore\r\n");
    EXPECT_EQ(Cli(print + "json --find more")[1],
              R"({"time":"2026-02-01 09:00:03","object":"File","action":"Renamed","path":"/h/",)"
              R"("original_name":"old","new_name":"new\u0009extra\u0009more"})"
              "\n");
    EXPECT_NE(Cli(print + "display --find more")[1].find("\told\tnew\textra\tmore\n"),
              std::string::npos);

    // The window's matcher: letter case as Unicode folds it, inside one field only.
    EXPECT_EQ(Cli(print + "tsv --find \xC3\xA9LAN")[0], "0");
    for (const char* across : {"Created/h/", "File\tCreated", "\t"}) {
        const auto r = Cli(print + "tsv --find " + across);
        EXPECT_TRUE(r[0] == "1" && r[1].empty()) << across;
    }
}

TEST_F(TerminalModesTest, FollowingPrintsWhatThePipelineAppendsAcrossMidnight)
{
    clock.set({{2026, 1, 31}, 23, 59, 58});
    ASSERT_TRUE(Create("before.txt"));

    ASSERT_TRUE(FollowIntoPipe("tsv"));

    clock.set({{2026, 1, 31}, 23, 59, 59});
    ASSERT_TRUE(Create("late.txt"));
    EXPECT_EQ(ReadLine(printed), "2026-01-31 23:59:59\tFile\tCreated\t/h/\tlate.txt\t");
    clock.set({{2026, 2, 1}, 0, 0, 2}); // a new day, in a month with no folder yet
    for (const char* name : {"early.txt", "second.txt"}) {
        ASSERT_TRUE(Create(name));
        EXPECT_EQ(ReadLine(printed),
                  std::string("2026-02-01 00:00:02\tFile\tCreated\t/h/\t") + name + "\t");
    }
    EXPECT_EQ(StopFollowing(), 0);
    EXPECT_EQ(ReadLine(printed), "") << "nothing from before the start";
}

TEST_F(TerminalModesTest, FollowingCutsLinesEndedByACrAlone)
{
    ASSERT_TRUE(folder.ensureMonthFolder(clock.now().date));
    ASSERT_TRUE(FollowIntoPipe("tsv"));
    // As another program may write them.
    const std::string cr = "2026-02-01 12:00:01\tFile\tCreated\t/h/\tcr";
    ASSERT_TRUE(fs::AppendWhole(folder.dayFilePath(clock.now().date), cr + "1\t\r" + cr + "2\t\r"));
    EXPECT_EQ(ReadLine(printed), cr + "1\t");
    EXPECT_EQ(ReadLine(printed), cr + "2\t");
    EXPECT_EQ(StopFollowing(), 0);
}

TEST_F(TerminalModesTest, AnEmptyAnswerOrAMisplacedOptionIsExplained)
{
    ASSERT_TRUE(folder.append({2026, 1, 31}, kCreated + "\r\n"));
    auto r = Cli("--print --from 2026-01-01 --to 2026-01-30");
    EXPECT_EQ(r, (std::array<std::string, 3>{
                     "1", "", "zelvory: No records between 2026-01-01 and 2026-01-30.\n"}));
    EXPECT_EQ(Cli("--print --find nowhere")[2], "zelvory: No records matching \"nowhere\" on "
                                                "2026-02-01.\n");
    EXPECT_EQ(Cli("--print --to 2026-01-31")[2], "");
    // A range or a search without --print or --follow is a misuse, not a window.
    for (const char* alone : {"--from 2026-01-01", "--find x", "--tray --format csv"}) {
        r = Cli(alone);
        EXPECT_TRUE(r[0] == "2" && r[2].find("go with --print") != std::string::npos) << alone;
    }
    r = Cli("--status");
    EXPECT_NE(r[1].find("Data folder: " + folder.dataFolder() + "\n"), std::string::npos) << r[1];
}

TEST_F(TerminalModesTest, FollowingSaysOnceWhyNothingComesAndGoesOnWaiting)
{
    const pid_t writer = fork(); // stands in for a running Zelvory
    if (writer == 0) {
        pause();
        _exit(0);
    }
    const int writerEnd = OpenProcessEnd(writer);
    int stop[2];
    ASSERT_TRUE(writerEnd >= 0 && pipe(stop) == 0);
    std::FILE* err = std::tmpfile();
    std::future<int> status = Follow("--follow", stdout, err, stop[0]);
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    EXPECT_EQ(status.get(), 1);
    std::string said(200, '\0');
    std::rewind(err);
    said.resize(std::fread(said.data(), 1, said.size(), err));
    EXPECT_EQ(said, "zelvory: Zelvory is not running, so nothing is being recorded; waiting for "
                    "it to start (Ctrl+C ends).\n");

    // The writer going away is heard at once, once, and following goes on.
    char drained;
    ASSERT_EQ(read(stop[0], &drained, 1), 1);
    JournalPrinter printer(stdout, Format::Tsv, {}, {});
    int ended = 0;
    std::future<bool> followed = std::async(std::launch::async, [&] {
        return FollowJournal(folder, printer, clock, stop[0], {}, {}, {}, writerEnd,
                             [&] { ++ended; });
    });
    kill(writer, SIGTERM);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(followed.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    EXPECT_TRUE(followed.get());
    EXPECT_EQ(ended, 1);
    CloseProcessEnd(writerEnd);
    std::fclose(err);
}

TEST_F(TerminalModesTest, AFifoGapFileIsNamedAndPassedOverAndAllTimeReadsOnlyWhatExists)
{
    clock.set({{2026, 2, 1}, 0, 0, 5});
    ASSERT_TRUE(Create("a.txt"));
    const std::string gaps = folder.gapFilePath(clock.now().date);
    ASSERT_EQ(::mkfifo(gaps.c_str(), 0600), 0);
    // Every day from year 1 to 9999 asked for: 3.6 million days, one of them with files.
    auto r = Cli("--print --from 0001-01-01 --to 9999-12-31 --format tsv");
    EXPECT_TRUE(r[0] == "0" && r[1] == "2026-02-01 00:00:05\tFile\tCreated\t/h/\ta.txt\t\n")
        << r[1];
    r = Cli("--print");
    EXPECT_TRUE(r[0] == "0" &&
                r[2].find("gap file \"" + gaps + "\" is not a regular file") != std::string::npos)
        << r[2];
    r = Cli("--status");
    EXPECT_TRUE(r[0] == "4" && r[2].find(gaps) != std::string::npos) << r[2];
}

TEST_F(TerminalModesTest, FollowingSurvivesACopyAnEditAndAClockSteppedBackAcrossMidnight)
{
    clock.set({{2026, 1, 31}, 23, 59, 50});
    ASSERT_TRUE(Create("yesterday.txt"));
    clock.set({{2026, 2, 1}, 0, 0, 5});
    ASSERT_TRUE(Create("before.txt"));
    ASSERT_TRUE(FollowIntoPipe("json"));

    // An editor's save: a copy of what was printed put in the file's place.
    const std::string day = folder.dayFilePath(clock.now().date);
    std::filesystem::copy_file(day, day + ".copy");
    std::filesystem::rename(day + ".copy", day);
    clock.set({{2026, 2, 1}, 0, 0, 6});
    ASSERT_TRUE(Create("after-copy.txt"));
    EXPECT_EQ(NextName(printed), "after-copy.txt");

    // The clock stepped back before midnight: the writer goes back to yesterday's file.
    clock.set({{2026, 1, 31}, 23, 59, 58});
    ASSERT_TRUE(Create("stepped-back.txt"));
    EXPECT_EQ(NextName(printed), "stepped-back.txt");

    // A file that truly changed what was printed: a gap line says so, and it is read again
    // from its beginning.
    const std::string kept = "2026-02-01 00:00:01\tFile\tDeleted\t/h/\tx\t\r\n";
    test::WriteAll(day + ".edit", kept);
    std::filesystem::rename(day + ".edit", day);
    clock.set({{2026, 2, 1}, 0, 0, 9});
    ASSERT_TRUE(Create("after-edit.txt"));
    EXPECT_EQ(NextName(printed), "rewritten");
    EXPECT_EQ(NextName(printed), "x");
    EXPECT_EQ(NextName(printed), "after-edit.txt");
    EXPECT_EQ(StopFollowing(), 0);
    EXPECT_EQ(NextName(printed), "");
}

// Lines cut at a block's end, a CR ending one block and its LF the next, a line longer than
// many blocks and a last one without its end print alike in blocks of any size.
TEST_F(TerminalModesTest, AnyBlockSizePrintsWhatTheWholeFilePrints)
{
    const Date day{2026, 3, 4};
    const std::string line =
        "2026-03-04 10:00:00\tFile\tCreated\t/h/\ta\t" + std::string(3000, 'n');
    ASSERT_TRUE(
        folder.append(day, line + "\r\n" + line + "\r" + line + "\n" + line + "\r\r\n" + line));
    for (const std::size_t block : {1, 43, 1 << 30}) {
        std::FILE* out = std::fopen((appData / "out").c_str(), "wb");
        {
            JournalPrinter printer(out, Format::Tsv, "", "");
            printer.setReadBlock(block);
            printer.day(folder, day);
        }
        std::fclose(out);
        EXPECT_EQ(test::ReadAll(appData / "out"),
                  line + "\n" + line + "\n" + line + "\n" + line + "\n" + line + "\n");
    }
}
