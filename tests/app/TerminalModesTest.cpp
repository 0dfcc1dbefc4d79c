#include "app/TerminalModes.h"

#include "app/InstanceStatus.h"
#include "capture/RecordPipeline.h"
#include "capture/ShellEvents.h"
#include "logstore/GapFile.h"
#include "settings/DisplayFormat.h"
#include "support/TempDir.h"
#include "utility/SystemUtility.h"

#include <QLockFile>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

using namespace zlv;
using namespace zlv::cli;
using zlv::test::TempDir;
using zlv::test::WriteAll;

namespace {

const std::string kCreated = "2026-01-31 23:59:58\tFile\tCreated\t/h/a,b/\tq\"uo\u2409te.txt\t";
const std::string kRenamed =
    "2026-01-31 23:59:59\tFile\tRenamed\t/h/\tbad\xFF\xC0\xAFname\tnew, \"x\"";
const std::string kDeleted = "2026-02-01 00:00:01\tFolder\tDeleted\t/h/\tx\t";
const std::string kFFFD = "\xEF\xBF\xBD";

using Words = std::vector<std::string>;

QStringList Q(const Words& words)
{
    QStringList list{QStringLiteral("zelvory")};
    for (const std::string& w : words) {
        list << QString::fromStdString(w);
    }
    return list;
}

struct Result
{
    int status;
    std::string out, err;
};

class TerminalModesTest : public ::testing::Test
{
protected:
    void SetUp() override { folder.locate(appData.path()); }

    void WriteRange()
    {
        folder.establish(appData.path());
        folder.ensureMonthFolder({2026, 1, 31});
        folder.ensureMonthFolder({2026, 2, 1});
        WriteAll(folder.dayFilePath({2026, 1, 31}),
                 kCreated + "\r\n" + kRenamed + "\r\ndamaged\r\n");
        WriteAll(folder.dayFilePath({2026, 2, 1}), kDeleted + "\r\n");
        folder.appendGap({2026, 1, 31},
                         gapfile::FormatLine({"2026-01-31 23:59:59", "overflow", "Some lost."}));
    }

    Result Cli(const Words& args, int stopFd = -1, const std::function<void()>& following = {})
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        Result r{
            RunTerminalMode(Parse(Q(args)), folder, lockPath, clock, out, err, stopFd, following),
            Read(out), Read(err)};
        return r;
    }
    static std::string Read(std::FILE* f)
    {
        std::string s(static_cast<std::size_t>(std::ftell(f)), '\0');
        std::rewind(f);
        s.resize(std::fread(s.data(), 1, s.size(), f));
        std::fclose(f);
        return s;
    }

    TempDir appData;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2026, 2, 1}, 12, 0, 0}};
    QString lockPath = QString::fromStdString(appData / "zelvory.lock");
};

Words Plus(Words words, const char* more)
{
    words.push_back(more);
    return words;
}

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

} // namespace

TEST_F(TerminalModesTest, EachFormatReadsARangeAcrossAMonthBack)
{
    WriteRange();
    const Words range = {"--print", "--from", "2026-01-31", "--to", "2026-02-01", "--format"};
    EXPECT_EQ(Cli(Plus(range, "tsv")).out,
              kCreated + "\n" + kRenamed + "\n" + kDeleted + "\n"); // bytes as stored, no gap

    EXPECT_EQ(Cli(Plus(range, "csv")).out,
              "time,object,action,path,original_name,new_name\r\n"
              "2026-01-31 23:59:58,File,Created,\"/h/a,b/\",\"q\"\"uo\u2409te.txt\",\r\n"
              "2026-01-31 23:59:59,(gap),overflow,,Some lost.,\r\n"
              "2026-01-31 23:59:59,File,Renamed,/h/,bad" +
                  kFFFD + kFFFD + kFFFD +
                  "name,\"new, \"\"x\"\"\"\r\n"
                  "2026-02-01 00:00:01,Folder,Deleted,/h/,x,\r\n");

    EXPECT_EQ(
        Cli(Plus(range, "json")).out,
        R"({"time":"2026-01-31 23:59:58","object":"File","action":"Created","path":"/h/a,b/","original_name":"q\"uo␉te.txt","new_name":""})"
        "\n"
        R"({"gap":true,"time":"2026-01-31 23:59:59","reason":"overflow","message":"Some lost."})"
        "\n"
        R"({"time":"2026-01-31 23:59:59","object":"File","action":"Renamed","path":"/h/","original_name":"bad)" +
            kFFFD + kFFFD + kFFFD +
            R"(name","new_name":"new, \"x\""})"
            "\n"
            R"({"time":"2026-02-01 00:00:01","object":"Folder","action":"Deleted","path":"/h/","original_name":"x","new_name":""})"
            "\n");

    // The time column as the user set it up, not as the default shows it.
    DisplayFormatFields fields;
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        const auto& entries = DisplayFormatEntries()[slot];
        fields[slot] = entries[entries.size() > 1 ? 1 : 0];
        SystemUtility::WriteSetting(folder.configurationFile(), "DTF", kDisplayFormatKeys[slot],
                                    fields[slot]);
    }
    const Result display = Cli({"--print", "--from", "2026-01-31", "--find", "CREATED"});
    EXPECT_EQ(display.status, 0);
    EXPECT_EQ(display.out, *FormatTimestamp(kCreated.substr(0, 19), GetDisplayPattern(fields)) +
                               kCreated.substr(19) + "\n" +
                               *FormatTimestamp("2026-01-31 23:59:59", GetDisplayPattern(fields)) +
                               "\t-- gap in the journal (overflow): Some lost.\n");
}

TEST_F(TerminalModesTest, ExitStatusesAndArgumentsThatAreNotOurs)
{
    TempDir untouched;
    folder.locate(untouched / "missing");
    EXPECT_EQ(Cli({"--print"}).status, 1);
    EXPECT_EQ(Cli({"--status"}).status, kStatusNotRunning);
    EXPECT_FALSE(fs::DirectoryExists(untouched / "missing")) << "only ever read";
    folder.locate(appData.path());
    WriteRange();
    EXPECT_EQ(Cli({"--print"}).status, 0);
    EXPECT_EQ(Cli({"--print", "--from", "2026-01-30", "--to", "2026-01-30"}).status, 1);

    for (const auto& [args, named] : std::vector<std::pair<Words, std::string>>{
             {{"--print", "--from", "2026-02-30"}, "'2026-02-30'"},
             {{"--follow", "--to", "1.2.2026"}, "'1.2.2026'"},
             {{"--print", "--format", "xml"}, "'xml'"},
             {{"--print", "--from", "2026-02-01", "--to", "2026-01-31"}, "2026-01-31"},
             {{"--print", "--frobnicate"}, "frobnicate"},
             {{"--status", "--print"}, "--status"}}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.status, 2) << named;
        EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }

    // A session manager's restart and Qt's own arguments start the window as usual; what is
    // neither ours nor Qt's is only named.
    const Arguments restored = Parse(
        Q({"-session", "1234_5678", "-platform", "xcb", "--style=fusion", "-reverse", "--tray"}));
    EXPECT_EQ(restored.mode, Mode::Window);
    EXPECT_TRUE(restored.tray);
    EXPECT_TRUE(restored.problem.isEmpty()) << qPrintable(restored.problem);
    const Arguments odd = Parse(Q({"--frobnicate", "stray"}));
    EXPECT_EQ(odd.mode, Mode::Window);
    EXPECT_TRUE(odd.problem.contains(QStringLiteral("frobnicate")));
    EXPECT_EQ(Parse(Q({"--print", "-h"})).mode, Mode::Help);
}

TEST_F(TerminalModesTest, FollowingPrintsWhatThePipelineAppendsAcrossMidnight)
{
    folder.establish(appData.path());
    clock.set({{2026, 1, 31}, 23, 59, 58});
    RecordPipeline pipeline(folder, clock);
    const auto create = [&](const char* name) {
        return pipeline.handle(
            {shell::SHCNE_CREATE, ShellItem{name, std::string("/h/") + name}, {}});
    };
    ASSERT_TRUE(create("before.txt"));

    int out[2], stop[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(stop), 0);
    std::promise<void> started;
    Result result{};
    std::thread follower([&] {
        std::FILE* f = fdopen(out[1], "w");
        result.status = RunTerminalMode(Parse(Q({"--follow", "--format", "tsv"})), folder, lockPath,
                                        clock, f, stderr, stop[0], [&] { started.set_value(); });
        std::fclose(f);
    });
    started.get_future().wait();

    clock.set({{2026, 1, 31}, 23, 59, 59});
    ASSERT_TRUE(create("late.txt"));
    EXPECT_EQ(ReadLine(out[0]), "2026-01-31 23:59:59\tFile\tCreated\t/h/\tlate.txt\t");
    clock.set({{2026, 2, 1}, 0, 0, 2}); // a new day, and a month folder that is not there yet
    ASSERT_TRUE(create("early.txt"));
    EXPECT_EQ(ReadLine(out[0]), "2026-02-01 00:00:02\tFile\tCreated\t/h/\tearly.txt\t");
    ASSERT_TRUE(create("second.txt"));
    EXPECT_EQ(ReadLine(out[0]), "2026-02-01 00:00:02\tFile\tCreated\t/h/\tsecond.txt\t");

    ASSERT_EQ(write(stop[1], "x", 1), 1);
    follower.join();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(ReadLine(out[0]), "") << "nothing from before the start";
    for (int fd : {out[0], stop[0], stop[1]}) {
        close(fd);
    }
}

TEST_F(TerminalModesTest, StatusReadsTheRunningInstanceFromOutside)
{
    WriteRange();
    QLockFile lock(lockPath);
    ASSERT_TRUE(lock.tryLock(0));
    const int watcher = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watcher, appData.path().c_str(), IN_CREATE);
    inotify_add_watch(watcher, folder.logsFolder().c_str(), IN_CREATE);

    Result r = Cli({"--status"});
    EXPECT_EQ(r.status, kStatusComplete) << r.out;
    EXPECT_NE(r.out.find("running (process " + std::to_string(getpid()) + ") since"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Watched folders: 2\n"), std::string::npos) << r.out;
    EXPECT_FALSE(SystemClock().now() < *ReadInstance(lockPath).since);

    folder.appendGap({2026, 2, 1}, gapfile::FormatLine({"2026-02-01 10:00:00", "watch-limit",
                                                        "Folders unwatched."}));
    r = Cli({"--status"});
    EXPECT_EQ(r.status, kStatusGapToday);
    EXPECT_NE(r.out.find("watch-limit  Folders unwatched."), std::string::npos) << r.out;
    close(watcher);
    lock.unlock();
    EXPECT_EQ(Cli({"--status"}).status, kStatusNotRunning);
}
