// Prints a year of a million records as stored (zelvory --print --format tsv) next to cat of
// the same files, both to /dev/null, three times each, side by side; finds a word with
// --find next to grep -F -i, both into a pipe that is read to its end (grep stops at the
// first hit when it writes to /dev/null); prints the display format, csv and json next to
// tsv; then follows the journal while records are appended and times each from its append
// to its line printed.
#include "YearOfRecords.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace zlv;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kDays = bench::kYearDays;
constexpr long kRecords = bench::kYearRecords;
constexpr int kFollowed = 500;
const Date kFirstDay = bench::kYearFirstDay;
using bench::Median;

double MsSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Starts `argv` with its standard output on `outFd`; the process id.
pid_t Spawn(const std::vector<std::string>& argv, int outFd)
{
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs `argv` to its end with its output thrown away (into /dev/null, or into a pipe this
// process drains, counting its lines); milliseconds, or -1 on failure.
double TimedRun(const std::vector<std::string>& argv, bool intoPipe = false, long* lines = nullptr)
{
    int fds[2] = {-1, -1};
    if (intoPipe ? pipe2(fds, O_CLOEXEC) != 0
                 : (fds[1] = open("/dev/null", O_WRONLY | O_CLOEXEC)) < 0) {
        return -1;
    }
    const auto start = Steady::now();
    const pid_t pid = Spawn(argv, fds[1]);
    close(fds[1]);
    long got = 0;
    if (intoPipe) {
        static char sink[1 << 16];
        for (ssize_t n; (n = read(fds[0], sink, sizeof sink)) > 0;) {
            got += std::count(sink, sink + n, '\n');
        }
        close(fds[0]);
    }
    int status = 0;
    const bool ok =
        pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double ms = MsSince(start);
    if (lines) {
        *lines = got;
    }
    return ok ? ms : -1;
}

// Runs `a` and `b` by turns three times; the median of each and of their ratios.
struct SideBySide
{
    double a, b, ratio;
};
SideBySide Compare(const std::vector<std::string>& a, const std::vector<std::string>& b,
                   bool intoPipe)
{
    std::vector<double> as, bs, ratios;
    for (int run = 0; run < 3; ++run) {
        as.push_back(TimedRun(a, intoPipe));
        bs.push_back(TimedRun(b, intoPipe));
        ratios.push_back(as.back() / bs.back());
    }
    if (*std::min_element(as.begin(), as.end()) < 0 ||
        *std::min_element(bs.begin(), bs.end()) < 0) {
        std::fprintf(stderr, "%s or %s failed\n", a[0].c_str(), b[0].c_str());
        std::exit(1);
    }
    return {Median(as), Median(bs), Median(ratios)};
}

std::vector<std::string> Print(const std::string& format, const std::string& find = {})
{
    std::vector<std::string> argv = {ZLV_APP_PATH, "--print",    "--from",   "2023-01-01",
                                     "--to",       "2023-12-31", "--format", format};
    if (!find.empty()) {
        argv.insert(argv.end(), {"--find", find});
    }
    return argv;
}

// Reads one line from `fd` within `timeoutMs`; false when none came.
bool ReadLine(int fd, int timeoutMs)
{
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) == 1 && read(fd, &c, 1) == 1) {
        if (c == '\n') {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // "print_year --write DIR" only writes the year into DIR (a data folder), for profiling.
    const bool writeOnly = argc == 3 && std::string(argv[1]) == "--write";
    const auto root = writeOnly ? std::filesystem::path(argv[2])
                                : std::filesystem::temp_directory_path() /
                                      ("zlv-bench-print-" + std::to_string(getpid()));
    DataFolder folder;
    if (!folder.establish(root.string())) {
        std::fprintf(stderr, "cannot create %s\n", root.c_str());
        return 1;
    }
    // The program finds its data folder through XDG_DATA_HOME.
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    const std::vector<std::string> files = bench::WriteYearOfRecords(folder);
    if (writeOnly) {
        return 0;
    }

    std::vector<std::string> cat = {"cat"};
    cat.insert(cat.end(), files.begin(), files.end());
    // A word the year holds in a few hundred records, as a search for a rare thing does.
    std::vector<std::string> grep = {"grep", "-F", "-i", "-h", "quarterly"};
    grep.insert(grep.end(), files.begin(), files.end());
    TimedRun(cat); // the page cache holds both from here on
    long printed = 0, grepped = 0;
    TimedRun(Print("tsv", "quarterly"), true, &printed);
    TimedRun(grep, true, &grepped);
    if (printed != grepped || printed == 0) {
        std::fprintf(stderr, "--find printed %ld lines, grep %ld\n", printed, grepped);
        return 1;
    }
    const SideBySide tsv = Compare(Print("tsv"), cat, false);
    const SideBySide find = Compare(Print("tsv", "quarterly"), grep, true);
    const SideBySide display = Compare(Print("display"), Print("tsv"), false);
    const SideBySide csv = Compare(Print("csv"), Print("tsv"), false);
    const SideBySide json = Compare(Print("json"), Print("tsv"), false);
    std::printf("records: %ld in %d day files\n", kRecords, kDays);
    std::printf("print_tsv_ms_median: %.1f\n", tsv.a);
    std::printf("cat_ms_median: %.1f\n", tsv.b);
    std::printf("find_ms_median: %.1f (grep -F -i: %.1f)\n", find.a, find.b);
    std::printf("display_ms_median: %.1f (tsv: %.1f)\n", display.a, display.b);
    std::printf("csv_ratio_vs_tsv: %.2f\n", csv.ratio);
    std::printf("json_ratio_vs_tsv: %.2f\n", json.ratio);

    // Following: records appended to today's file, one at a time.
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return 1;
    }
    const pid_t follower = Spawn({ZLV_APP_PATH, "--follow", "--format", "tsv"}, out[1]);
    close(out[1]);
    const Date today = SystemClock().now().date;
    folder.ensureMonthFolder(today);
    const std::string line = "2000-01-01 00:00:00\tFile\tCreated\t/home/user/\tnote.txt\t\r\n";
    // Until the follower has taken its starting point, an append may go unseen: knock until
    // one is answered.
    bool ready = false;
    for (int knock = 0; knock < 100 && !ready; ++knock) {
        folder.append(today, line);
        ready = ReadLine(out[0], 100);
    }
    std::vector<double> latencies;
    for (int i = 0; ready && i < kFollowed; ++i) {
        while (ReadLine(out[0], 0)) {
        }
        const auto start = Steady::now();
        folder.append(today, line);
        if (!ReadLine(out[0], 2000)) {
            break;
        }
        latencies.push_back(MsSince(start));
    }
    kill(follower, SIGTERM);
    waitpid(follower, nullptr, 0);
    std::filesystem::remove_all(root);
    if (latencies.size() != kFollowed) {
        std::fprintf(stderr, "the follower printed %zu of %d records\n", latencies.size(),
                     kFollowed);
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("follow_latency_ms_median: %.2f\n", latencies[latencies.size() / 2]);
    std::printf("follow_latency_ms_p99: %.2f\n", latencies[latencies.size() * 99 / 100]);
    std::printf("ratio_vs_cat: %.2f\n", tsv.ratio);
    std::printf("find_ratio_vs_grep: %.2f\n", find.ratio);
    std::printf("display_ratio_vs_tsv: %.2f\n", display.ratio);
    return 0;
}
