#include "ChurnMemory.h"

#include "BurstWorkload.h"
#include "logstore/DataFolder.h"
#include "utility/Clock.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zlv::bench {

namespace {

namespace sfs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 100;
constexpr int kCycles = 4;

std::size_t CountLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
}

double RssMb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return 0;
}

pid_t Launch(const std::string& program, const std::string& root)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("HOME", (root + "/home").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

void End(pid_t pid)
{
    ::kill(pid, SIGKILL); // measured; the orderly way out would only ask its question
    ::waitpid(pid, nullptr, 0);
}

// Waits until the day file holds at least `lines` lines and then stops growing.
bool WaitForLines(const std::string& day, std::size_t lines, std::chrono::seconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    std::size_t seen = 0;
    auto still = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < until) {
        const std::size_t now = CountLines(day);
        if (now != seen) {
            seen = now;
            still = std::chrono::steady_clock::now();
        } else if (seen >= lines && std::chrono::steady_clock::now() - still > 2s) {
            return true;
        }
        std::this_thread::sleep_for(200ms);
    }
    return false;
}

// Recording has begun once a file made now is on record.
bool WaitUntilRecording(const std::string& root, const std::string& day, int mark)
{
    for (int attempt = 0; attempt < 60; ++attempt) {
        const std::string name = "mark-" + std::to_string(mark) + "-" + std::to_string(attempt);
        CreateEmptyFile(root + "/home/" + name);
        for (int i = 0; i < 20; ++i) {
            std::this_thread::sleep_for(100ms);
            std::ifstream in(day, std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            if (text.find("\t" + name + "\t") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

ChurnFigures MeasureChurn(const std::string& program, const std::string& root)
{
    ChurnFigures figures;
    const std::string tree = root + "/tree";
    const std::string inHome = root + "/home/tree";
    for (const char* dir : {"/home", "/data", "/run", "/config"}) {
        sfs::create_directories(root + dir);
    }
    sfs::permissions(root + "/run", sfs::perms::owner_all);
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = tree + "/f" + std::to_string(f);
        sfs::create_directories(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            CreateEmptyFile(NumberedPath(folder, "n", i));
        }
    }
    sfs::copy(tree, inHome, sfs::copy_options::recursive);
    DataFolder folder;
    folder.locate(root + "/data");
    const std::string day = folder.dayFilePath(Clock::instance().now().date);

    const pid_t churned = Launch(program, root);
    if (!WaitUntilRecording(root, day, 0)) {
        End(churned);
        figures.problem = "the program did not record";
        return figures;
    }
    constexpr std::size_t kPerTree = kFolders * (kFilesPerFolder + 1) + 1;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const std::size_t before = CountLines(day);
        sfs::remove_all(inHome);
        if (!WaitForLines(day, before + kPerTree, 180s)) {
            figures.problem = "the deletions were not all recorded";
        }
        const std::string copy = "cp -a '" + tree + "' '" + inHome + "'";
        if (std::system(copy.c_str()) != 0 || !WaitForLines(day, before + 2 * kPerTree, 180s)) {
            figures.problem = "the copies were not all recorded";
        }
    }
    std::this_thread::sleep_for(5s); // what is given back after a burst is given back by now
    figures.rssAfterChurnMb = RssMb(churned);
    End(churned);

    const pid_t fresh = Launch(program, root);
    if (!WaitUntilRecording(root, day, 1)) {
        figures.problem = "the fresh start did not record";
    }
    std::this_thread::sleep_for(5s);
    figures.rssFreshMb = RssMb(fresh);
    End(fresh);
    if (figures.rssFreshMb > 0) {
        figures.ratio = figures.rssAfterChurnMb / figures.rssFreshMb;
    }
    return figures;
}

} // namespace zlv::bench
