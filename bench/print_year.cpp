// Prints a year of a million records as stored (zelvory --print --format tsv) next to cat of
// the same files, both to /dev/null, three times each, side by side; then follows the
// journal while records are appended and times each from its append to its line printed.
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

// Runs `argv` to its end with its output thrown away; milliseconds, or -1 on failure.
double TimedRun(const std::vector<std::string>& argv)
{
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const auto start = Steady::now();
    const pid_t pid = Spawn(argv, devNull);
    int status = 0;
    const bool ok =
        pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double ms = MsSince(start);
    close(devNull);
    return ok ? ms : -1;
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

int main()
{
    const auto root =
        std::filesystem::temp_directory_path() / ("zlv-bench-print-" + std::to_string(getpid()));
    DataFolder folder;
    if (!folder.establish(root.string())) {
        std::fprintf(stderr, "cannot create %s\n", root.c_str());
        return 1;
    }
    // The program finds its data folder through XDG_DATA_HOME.
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    const std::vector<std::string> files = bench::WriteYearOfRecords(folder);

    const std::vector<std::string> print = {ZLV_APP_PATH, "--print",    "--from",   "2023-01-01",
                                            "--to",       "2023-12-31", "--format", "tsv"};
    std::vector<std::string> cat = {"cat"};
    cat.insert(cat.end(), files.begin(), files.end());
    TimedRun(cat); // the page cache holds both from here on
    std::vector<double> printMs, catMs, ratios;
    for (int run = 0; run < 3; ++run) {
        printMs.push_back(TimedRun(print));
        catMs.push_back(TimedRun(cat));
        ratios.push_back(printMs.back() / catMs.back());
    }
    if (*std::min_element(printMs.begin(), printMs.end()) < 0) {
        std::fprintf(stderr, "zelvory --print failed\n");
        return 1;
    }
    std::printf("records: %ld in %d day files\n", kRecords, kDays);
    std::printf("print_tsv_ms_median: %.1f\n", Median(printMs));
    std::printf("cat_ms_median: %.1f\n", Median(catMs));

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
    std::printf("ratio_vs_cat: %.2f\n", Median(ratios));
    return 0;
}
