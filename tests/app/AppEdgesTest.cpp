// The real program, each case in a home of its own: what signals, kills, a full disk, a
// second instance and planted files do to the journal. Operations are counted against a
// ledger the test keeps of what it did.
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <set>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace stdfs = std::filesystem;
using Steady = std::chrono::steady_clock;

// Its exit status when it ends within `seconds`, 128 + the signal when a signal ended it;
// -1 when it had to be killed.
int WaitExit(pid_t pid, double seconds)
{
    const auto until = Steady::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Steady::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Home
{
    zlv::test::TempDir dir;
    zlv::test::TempDir scratch; // the test's own files, outside the watched home
    const std::string path = dir.path();
    const std::string work = path + "/work";
    const std::string data = path + "/.local/share/QBS/ZLV";

    Home()
    {
        stdfs::create_directories(work);
        stdfs::create_directory(path + "/run");
        stdfs::permissions(path + "/run", stdfs::perms::owner_all);
    }

    // The binary with `args`; standard output to `out` (none: nowhere), standard error
    // into err.txt. With `runtime`, a private runtime folder as a desktop session gives.
    pid_t start(const std::vector<std::string>& args = {}, bool runtime = true, int out = -1) const
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string_view v = *e;
            if (!v.starts_with("HOME=") && !v.starts_with("XDG_DATA_HOME=") &&
                !v.starts_with("XDG_RUNTIME_DIR=") && !v.starts_with("QT_QPA_PLATFORM=")) {
                env.emplace_back(v);
            }
        }
        env.push_back("HOME=" + path);
        env.push_back("QT_QPA_PLATFORM=offscreen");
        if (runtime) {
            env.push_back("XDG_RUNTIME_DIR=" + path + "/run");
        }
        std::vector<std::string> words{ZLV_APP_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv, envp;
        for (auto& w : words) {
            argv.push_back(w.data());
        }
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (out >= 0) {
            posix_spawn_file_actions_adddup2(&files, out, 1);
        } else {
            posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        }
        posix_spawn_file_actions_addopen(&files, 2, (scratch / "err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        pid_t pid = -1;
        posix_spawn(&pid, ZLV_APP_PATH, &files, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }

    // Runs to its end: the exit status (-1 when it did not end within 10 s) and its output.
    std::pair<int, std::string> run(const std::vector<std::string>& args, bool runtime = true) const
    {
        const std::string outPath = scratch / "out.txt";
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int status = WaitExit(start(args, runtime, out), 10);
        ::close(out);
        return {status, zlv::test::ReadAll(outPath)};
    }

    std::string files(const std::string& extension) const
    {
        std::set<std::string> paths;
        std::error_code ec;
        for (const auto& e : stdfs::recursive_directory_iterator(data + "/logs", ec)) {
            if (e.path().extension() == extension && e.is_regular_file()) {
                paths.insert(e.path().string());
            }
        }
        std::string all;
        for (const std::string& p : paths) {
            all += zlv::test::ReadAll(p);
        }
        return all;
    }
    std::string journal() const { return files(".log"); }

    // Operations reach the journal: the program runs and its watches are in place.
    bool recording() const
    {
        static int probe = 0;
        const auto until = Steady::now() + 30s;
        while (Steady::now() < until) {
            const std::string name = "probe-" + std::to_string(++probe);
            ::close(::open((work + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600));
            for (int i = 0; i < 20; ++i) {
                std::this_thread::sleep_for(25ms);
                if (journal().find("\t" + name + "\t") != std::string::npos) {
                    return true;
                }
            }
        }
        return false;
    }

    // The names in `ledger` that the journal does not hold exactly once.
    std::vector<std::string> missing(const std::vector<std::string>& ledger) const
    {
        const std::string text = journal();
        std::vector<std::string> out;
        for (const std::string& name : ledger) {
            const std::string field = "\t" + name + "\t";
            const std::size_t at = text.find(field);
            if (at == std::string::npos || text.find(field, at + 1) != std::string::npos) {
                out.push_back(name);
            }
        }
        return out;
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

    // Waits until --status reports `held` records in memory (and so exits 5).
    bool holds(int held) const
    {
        const std::string line = "Records waiting in memory: " + std::to_string(held) + " ";
        for (auto until = Steady::now() + 20s; Steady::now() < until;
             std::this_thread::sleep_for(50ms)) {
            const auto [status, out] = run({"--status"});
            if (status == 5 && out.find(line) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // Today's day file cannot be written while a folder stands in its place.
    void block(bool on) const
    {
        const std::time_t now = std::time(nullptr);
        char day[16];
        std::strftime(day, sizeof day, "%Y%m/%d", std::localtime(&now));
        const std::string file = data + "/logs/" + day + ".log";
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

TEST(App, TerminationHangUpAndInterruptDuringABurstLoseNothingMadeBeforeThem)
{
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        Home home;
        const pid_t app = home.start();
        ASSERT_TRUE(home.recording());
        std::vector<std::string> ledger;
        std::atomic<int> made{0};
        std::thread burst([&] {
            for (int i = 0; i < 6000; ++i) {
                ledger.push_back("b" + std::to_string(i));
                ::close(
                    ::open((home.work + "/" + ledger.back()).c_str(), O_CREAT | O_WRONLY, 0600));
                made = i + 1;
            }
        });
        while (made < 2000) {
            std::this_thread::yield();
        }
        const int before = made; // finished before the signal left
        ::kill(app, signal);
        burst.join();
        EXPECT_EQ(WaitExit(app, 30), 0) << signal;
        ledger.resize(static_cast<std::size_t>(before));
        EXPECT_EQ(home.missing(ledger), std::vector<std::string>{}) << signal;
        EXPECT_NE(home.files(".gaps").find("not-running\tRecording stopped"), std::string::npos);
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
        EXPECT_TRUE(home.holds(20)) << "--status tells of records held while they are";
        ::kill(app, signal);
        EXPECT_EQ(WaitExit(app, 30), signal == SIGTERM ? 0 : 128 + SIGKILL);
        home.block(false);
        const pid_t next = home.start();
        ASSERT_TRUE(home.recording());
        EXPECT_EQ(home.missing(held), std::vector<std::string>{}) << signal;
        ::kill(next, SIGTERM);
        EXPECT_EQ(WaitExit(next, 30), 0);
    }
    const std::string gaps = home.files(".gaps");
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
    const std::string filler = share + "/filler";
    {
        const int fd = ::open(filler.c_str(), O_CREAT | O_WRONLY, 0600);
        const std::string page(4096, 'f');
        while (::write(fd, page.data(), page.size()) > 0) {
        }
        ::close(fd);
    }
    const auto ledger = home.make("f", 200);
    std::this_thread::sleep_for(1s);
    ::kill(app, SIGKILL);
    WaitExit(app, 30);
    stdfs::remove(filler);
    const pid_t next = home.start();
    ASSERT_TRUE(home.recording());
    EXPECT_EQ(home.missing(ledger), std::vector<std::string>{});
    ::kill(next, SIGTERM);
    EXPECT_EQ(WaitExit(next, 30), 0);
}

TEST(App, OneInstancePerDataFolderWithOrWithoutARuntimeFolder)
{
    Home home;
    for (const bool firstHasRuntime : {true, false}) {
        const pid_t first = home.start({}, firstHasRuntime);
        ASSERT_TRUE(home.recording());
        EXPECT_EQ(home.run({}, !firstHasRuntime).first, 0) << "a second launch leaves at once";
        EXPECT_EQ(::kill(first, 0), 0) << "and leaves the first running";
        // Two recording processes would write it twice.
        const auto once = home.make(firstHasRuntime ? "once-a" : "once-b", 1);
        for (int i = 0; i < 200 && !home.missing(once).empty(); ++i) {
            std::this_thread::sleep_for(25ms);
        }
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(home.missing(once), std::vector<std::string>{});
        ::kill(first, SIGTERM);
        EXPECT_EQ(WaitExit(first, 30), 0);
    }
}

TEST(App, AFifoForTodaysGapFileStopsNeitherTheWindowNorTheTerminalModes)
{
    Home home;
    const std::time_t now = std::time(nullptr);
    char day[16];
    std::strftime(day, sizeof day, "%Y%m/%d", std::localtime(&now));
    const std::string gaps = home.data + "/logs/" + day + ".gaps";
    stdfs::create_directories(stdfs::path(gaps).parent_path());
    ASSERT_EQ(::mkfifo(gaps.c_str(), 0600), 0);
    const pid_t app = home.start();
    ASSERT_TRUE(home.recording());
    EXPECT_EQ(home.run({"--status"}).first, 0);
    EXPECT_EQ(home.run({"--print"}).first, 0);
    EXPECT_NE(zlv::test::ReadAll(home.scratch / "err.txt").find(gaps), std::string::npos);
    ::kill(app, SIGTERM);
    EXPECT_EQ(WaitExit(app, 30), 0);
}

TEST(App, PrintingAllTimeEndsWhenInterruptedEvenWithItsOutputBlocked)
{
    Home home;
    const std::string month = home.data + "/logs/202001";
    stdfs::create_directories(month);
    std::string day;
    for (int i = 0; i < 100000; ++i) {
        day += "2020-01-01 12:00:00\tFile\tCreated\t/h/\tn" + std::to_string(i) + "\t\r\n";
    }
    zlv::test::WriteAll(month + "/01.log", day);
    for (const int signal : {SIGINT, SIGTERM}) {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        const pid_t print =
            home.start({"--print", "--from", "0001-01-01", "--to", "9999-12-31"}, true, out[1]);
        // Nobody reads: the pipe fills at once and the program waits on its output.
        std::this_thread::sleep_for(500ms);
        const auto asked = Steady::now();
        ::kill(print, signal);
        EXPECT_NE(WaitExit(print, 5), -1) << "still printing 5 s after the signal";
        std::printf("ended %lld ms after signal %d\n",
                    static_cast<long long>((Steady::now() - asked) / 1ms), signal);
        ::close(out[0]);
        ::close(out[1]);
    }
}
