// The real program, each case in a home of its own: what it records and what its options
// answer; what signals, kills, a full disk, a second instance and planted files do to the
// journal, counted against a ledger of the operations the test made.
#include "support/TempDir.h"
#include "support/Within.h"
#include "utility/ProductVersion.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
namespace stdfs = std::filesystem;
using Steady = std::chrono::steady_clock;

using zlv::test::WaitWithin;

struct Home
{
    zlv::test::TempDir dir, scratch; // scratch: the test's own files, outside the watched home
    const std::string path = dir.path(), work = path + "/work";
    const std::string data = path + "/.local/share/QBS/ZLV";

    Home()
    {
        stdfs::create_directories(work);
        stdfs::create_directory(path + "/run");
        stdfs::permissions(path + "/run", stdfs::perms::owner_all);
    }
    // A case that failed half way leaves no program running: only a child not yet waited
    // for answers waitpid, so no other process is ever hit.
    ~Home()
    {
        for (const pid_t pid : started) {
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }
    mutable std::vector<pid_t> started;

    // The binary, output to `out` (or nowhere), errors to scratch/err.txt. `runtime`: with
    // a private runtime folder, as a desktop session has one.
    pid_t start(std::vector<std::string> args = {}, bool runtime = true, int out = -1) const
    {
        const std::string err = scratch / "err.txt";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("HOME", path.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::unsetenv("XDG_DATA_HOME");
            runtime ? ::setenv("XDG_RUNTIME_DIR", (path + "/run").c_str(), 1)
                    : ::unsetenv("XDG_RUNTIME_DIR");
            ::dup2(out >= 0 ? out : ::open("/dev/null", O_WRONLY), 1);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
            args.insert(args.begin(), ZLV_APP_PATH);
            std::vector<char*> argv;
            for (std::string& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(ZLV_APP_PATH, argv.data());
            ::_exit(127);
        }
        started.push_back(pid);
        return pid;
    }

    // Runs to its end: the exit status (-1: not within 10 s) and its output.
    std::pair<int, std::string> run(const std::vector<std::string>& args, bool runtime = true) const
    {
        const std::string outPath = scratch / "out.txt";
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int status = WaitWithin(start(args, runtime, out), 10);
        ::close(out);
        return {status, zlv::test::ReadAll(outPath)};
    }

    // Today's day file (".log") or gap file (".gaps"): every case runs within a day.
    std::string today(const std::string& extension, bool read = true) const
    {
        const std::time_t now = std::time(nullptr);
        char day[16];
        std::strftime(day, sizeof day, "%Y%m/%d", std::localtime(&now));
        const std::string file = data + "/logs/" + day + extension;
        return read ? zlv::test::ReadAll(file) : file;
    }

    std::vector<std::string> make(const std::string& prefix, int count) const
    {
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            names.push_back(prefix + std::to_string(i));
            ::close(::open((work + "/" + names.back()).c_str(), O_CREAT | O_WRONLY, 0600));
        }
        return names;
    }

    // The names of `ledger` that the journal does not hold exactly once.
    std::vector<std::string> missing(const std::vector<std::string>& ledger) const
    {
        std::map<std::string, int> seen; // by the name field of each line
        const std::string text = today(".log");
        for (std::size_t end = 0, at; (at = text.find("\t\r\n", end)) != text.npos; end = at + 3) {
            ++seen[text.substr(text.rfind('\t', at - 1) + 1, at - text.rfind('\t', at - 1) - 1)];
        }
        std::vector<std::string> out;
        std::copy_if(ledger.begin(), ledger.end(), std::back_inserter(out),
                     [&](const std::string& name) { return seen[name] != 1; });
        return out;
    }

    // Waits until `names` are in the journal, once each.
    bool recorded(const std::vector<std::string>& names, std::chrono::milliseconds wait = 20s) const
    {
        for (auto until = Steady::now() + wait; Steady::now() < until;) {
            std::this_thread::sleep_for(50ms);
            if (missing(names).empty()) {
                std::this_thread::sleep_for(200ms); // a second writer would show by now
                return missing(names).empty();
            }
        }
        return false;
    }

    // Operations reach the journal: the program runs and its watches are in place. A probe
    // is on record only once it has settled, so any of those made so far answers; those
    // made after it are awaited too, so that none is still on its way when the case begins.
    bool recording() const
    {
        static int probe = 0;
        std::vector<std::string> probes;
        for (int tries = 0; tries < 60; ++tries) {
            probes.push_back(make("probe" + std::to_string(++probe) + "-", 1).front());
            std::this_thread::sleep_for(500ms);
            const auto absent = missing(probes);
            const auto first = std::find_if(probes.begin(), probes.end(), [&](const auto& p) {
                return std::find(absent.begin(), absent.end(), p) == absent.end();
            });
            if (first != probes.end()) {
                return recorded({first, probes.end()}, 10s);
            }
        }
        return false;
    }

    // --status tells of `count` records held in memory (they are held once they settled).
    bool holding(int count) const
    {
        const std::string line = "Records waiting in memory: " + std::to_string(count) + " ";
        for (auto until = Steady::now() + 20s; Steady::now() < until;) {
            const auto [status, out] = run({"--status"});
            if (status == 5 && out.find(line) != out.npos) {
                return true;
            }
        }
        return false;
    }

    // Today's day file cannot be written while a folder stands in its place.
    void block(bool on) const
    {
        const std::string file = today(".log", false);
        std::error_code ec;
        if (on) {
            stdfs::rename(file, file + ".aside", ec);
            stdfs::create_directories(file);
        } else {
            stdfs::remove(file);
            stdfs::rename(file + ".aside", file, ec);
        }
    }
};

} // namespace

TEST(App, OptionsAnswerWithoutAWindowOrAFolder)
{
    Home home;
    EXPECT_EQ(home.run({"--version"}), std::pair(0, std::string("Zelvory ") + zlv::kProgramVersion +
                                                        " (Build " + zlv::kBuildNumber + ")\n"));
    EXPECT_NE(home.run({"-h"}).second.find("--tray"), std::string::npos);
    EXPECT_EQ(home.run({"--print"}).first, 1);
    EXPECT_EQ(home.run({"--status"}).first, 4);
    EXPECT_FALSE(stdfs::exists(home.data)) << "options never touch the data folder";
}

TEST(App, OperationsBecomeDayFileLinesThatASecondLaunchLeavesAlone)
{
    Home home;
    // As a session manager restarts it, with a word nobody knows on top.
    const pid_t app = home.start({"-session", "1234_5678", "--x"});
    ASSERT_TRUE(home.recording());
    // What each kind of operation and each program's way of saving leaves is the capture
    // tests' to say; here, that the program records through them, and nothing of its own.
    ASSERT_TRUE(home.recorded(home.make("note", 1)));
    const std::string text = home.today(".log");
    EXPECT_NE(text.find(home.work + "/\tnote0\t\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("QBS/ZLV"), std::string::npos) << "the program's own writes";
    std::istringstream lines(text);
    int others = 0; // neither probes nor the note
    for (std::string line; std::getline(lines, line);) {
        others += line.find("\tprobe") == std::string::npos;
    }
    EXPECT_EQ(others, 1) << text;
    std::string plain = text;
    std::erase(plain, '\r');
    EXPECT_EQ(home.run({"--print", "--format", "tsv"}), std::pair(0, plain));
    const std::string err = zlv::test::ReadAll(home.scratch / "err.txt");
    EXPECT_TRUE(err.find("'x'") != std::string::npos && err.find("1234") == std::string::npos)
        << err;

    // A second launch leaves at once and touches nothing; --status reads the first from
    // outside: the lock names the process, /proc tells its watches.
    const auto file = [&] {
        const std::string day = home.today(".log", false);
        return std::pair(stdfs::file_size(day), stdfs::last_write_time(day));
    };
    const auto before = file();
    EXPECT_EQ(home.run({}).first, 0);
    EXPECT_TRUE(file() == before);
    EXPECT_EQ(::kill(app, 0), 0) << "the first goes on";
    const std::string status = home.run({"--status"}).second;
    EXPECT_EQ(status.rfind("Zelvory is running (process " + std::to_string(app) + ") since ", 0),
              0u)
        << status;
    EXPECT_TRUE(std::regex_search(status, std::regex("folders: [1-9]"))) << status;
    std::ofstream(home.today(".gaps", false), std::ios::app)
        << "2026-01-01 00:00:00\toverflow\tx\r\n";
    EXPECT_EQ(home.run({"--status"}).first, 3);
}

TEST(App, TerminationHangUpAndInterruptDuringABurstLoseNothingMadeBeforeThem)
{
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        Home home;
        const pid_t app = home.start();
        ASSERT_TRUE(home.recording());
        std::atomic<int> made{0};
        std::thread burst([&] {
            for (; made < 3000; ++made) {
                home.make("b" + std::to_string(made.load()) + "-", 1);
            }
        });
        while (made < 1000) {
            std::this_thread::sleep_for(1ms);
        }
        const int before = made; // all of these were made before the signal left
        ::kill(app, signal);
        burst.join();
        EXPECT_EQ(WaitWithin(app, 30), 0) << signal;
        std::vector<std::string> ledger;
        for (int i = 0; i < before; ++i) {
            ledger.push_back("b" + std::to_string(i) + "-0");
        }
        EXPECT_EQ(home.missing(ledger), std::vector<std::string>{}) << signal;
        EXPECT_NE(home.today(".gaps").find("not-running\tRecording stopped"), std::string::npos);
    }
}

TEST(App, RecordsHeldWhenTheProgramEndsOrIsKilledAreWrittenByTheNextStart)
{
    Home home;
    for (const int signal : {SIGTERM, SIGKILL}) {
        const pid_t app = home.start();
        ASSERT_TRUE(home.recording());
        home.block(true);
        const auto held = home.make(signal == SIGTERM ? "t" : "k", 20);
        EXPECT_TRUE(home.holding(20));
        ::kill(app, signal);
        EXPECT_EQ(WaitWithin(app, 30), signal == SIGTERM ? 0 : 128 + SIGKILL);
        home.block(false);
        const pid_t next = home.start();
        EXPECT_TRUE(home.recorded(held)) << signal;
        ::kill(next, SIGTERM);
        EXPECT_EQ(WaitWithin(next, 30), 0);
    }
    const std::string gaps = home.today(".gaps");
    EXPECT_EQ(gaps.find("write-failed"), std::string::npos) << "nothing was lost";
    EXPECT_NE(gaps.find("capture-stopped"), std::string::npos) << "the kill is told";
}

TEST(App, AKillDuringAFullDiskLosesNoneOfTheHeldRecords)
{
    Home home;
    const std::string share = home.path + "/.local/share";
    stdfs::create_directories(share);
    // The mount goes into a namespace of this process's own, which the program inherits.
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", share.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "a small tmpfs needs root and a private mount namespace";
    }
    const std::unique_ptr<const char, void (*)(const char*)> unmount(
        share.c_str(), [](const char* at) { ::umount2(at, MNT_DETACH); });
    const pid_t app = home.start();
    ASSERT_TRUE(home.recording());
    const int filler = ::open((share + "/filler").c_str(), O_CREAT | O_WRONLY, 0600);
    for (const std::string page(4096, 'f'); ::write(filler, page.data(), page.size()) > 0;) {
    }
    ::close(filler);
    const auto ledger = home.make("f", 200);
    // Records settle for a second before they are written or held; the day file's last
    // page may take a few of them.
    std::this_thread::sleep_for(3s);
    ::kill(app, SIGKILL);
    WaitWithin(app, 30);
    stdfs::remove(share + "/filler");
    const pid_t next = home.start();
    EXPECT_TRUE(home.recorded(ledger));
    ::kill(next, SIGTERM);
    EXPECT_EQ(WaitWithin(next, 30), 0);
}

TEST(App, OneInstancePerDataFolderWithOrWithoutARuntimeFolder)
{
    Home home;
    for (const bool firstHasRuntime : {true, false}) {
        const pid_t first = home.start({}, firstHasRuntime);
        ASSERT_TRUE(home.recording());
        EXPECT_EQ(home.run({}, !firstHasRuntime).first, 0) << "a second launch leaves at once";
        EXPECT_EQ(::kill(first, 0), 0) << "and leaves the first running";
        // Two recording processes would write this twice.
        EXPECT_TRUE(home.recorded(home.make(firstHasRuntime ? "once-a" : "once-b", 1)));
        ::kill(first, SIGTERM);
        EXPECT_EQ(WaitWithin(first, 30), 0);
    }
}

TEST(App, PrintingAllTimeEndsWhenInterruptedEvenWithItsOutputBlocked)
{
    Home home;
    stdfs::create_directories(home.data + "/logs/202001");
    std::string day;
    for (int i = 0; i < 100000; ++i) {
        day += "2020-01-01 12:00:00\tFile\tCreated\t/h/\tn" + std::to_string(i) + "\t\r\n";
    }
    zlv::test::WriteAll(home.data + "/logs/202001/01.log", day);
    for (const int signal : {SIGINT, SIGTERM}) {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        const pid_t print =
            home.start({"--print", "--from", "0001-01-01", "--to", "9999-12-31"}, true, out[1]);
        std::this_thread::sleep_for(500ms); // nobody reads: the output is blocked by now
        const auto asked = Steady::now();
        ::kill(print, signal);
        EXPECT_NE(WaitWithin(print, 5), -1) << "still printing 5 s after the signal";
        std::printf("ended %lld ms after signal %d\n",
                    static_cast<long long>((Steady::now() - asked) / 1ms), signal);
        ::close(out[0]);
        ::close(out[1]);
    }
}
