#include "app/InstanceStatus.h"

#include "logstore/DayFile.h"
#include "logstore/GapFile.h"
#include "logstore/RunState.h"
#include "utility/RegularFile.h"

#include <csignal>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#ifdef __linux__
#include <dirent.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace zlv::cli {

namespace {

#ifdef __linux__

std::optional<LocalDateTime> ProcessStart(long long pid)
{
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses; the fields after the last ')' do not.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    // The state is field 3; the start time, in clock ticks after boot, is field 22.
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    std::ifstream system("/proc/stat");
    std::string line;
    long long bootTime = -1;
    while (std::getline(system, line)) {
        if (line.rfind("btime ", 0) == 0) {
            bootTime = std::stoll(line.substr(6));
        }
    }
    const long ticks = sysconf(_SC_CLK_TCK);
    if (bootTime < 0 || ticks <= 0 || field.empty()) {
        return std::nullopt;
    }
    const std::time_t started = static_cast<std::time_t>(bootTime + std::stoll(field) / ticks);
    std::tm local{};
    if (!localtime_r(&started, &local)) {
        return std::nullopt;
    }
    return LocalDateTime{{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec};
}

// The watches of the process's busiest inotify descriptor: the capture's. Other parts of
// a process (a toolkit's file watcher) may hold a descriptor with a handful.
long long WatchCount(long long pid)
{
    const std::string base = "/proc/" + std::to_string(pid);
    DIR* dir = opendir((base + "/fd").c_str());
    if (!dir) {
        return -1;
    }
    long long best = -1;
    while (const dirent* e = readdir(dir)) {
        char target[64] = {};
        const std::string link = base + "/fd/" + e->d_name;
        if (readlink(link.c_str(), target, sizeof target - 1) <= 0 ||
            std::string_view(target) != "anon_inode:inotify") {
            continue;
        }
        std::ifstream info(base + "/fdinfo/" + e->d_name);
        long long watches = 0;
        for (std::string line; std::getline(info, line);) {
            watches += line.rfind("inotify wd:", 0) == 0;
        }
        best = std::max(best, watches);
    }
    closedir(dir);
    return best;
}

// The process named in the lock file, provided the kernel still sees a lock on that very
// file: the number alone may be left over from a run that was killed.
long long LockHolder(const std::string& path)
{
    struct stat st
    {
    };
    // Read without waiting: whatever stands in the lock's place (a FIFO) must not hold us.
    std::string text;
    long long pid = 0;
    if (path.empty() || stat(path.c_str(), &st) != 0 ||
        ReadRegularFile(path, 64, text) != RegularFile::Status::Open ||
        !(std::istringstream(text) >> pid)) {
        return 0;
    }
    // Each line of /proc/locks ends "... PID MAJOR:MINOR:INODE START END".
    std::ifstream locks("/proc/locks");
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    for (std::string line; std::getline(locks, line);) {
        if (line.find("FLOCK") != std::string::npos && line.find(inode) != std::string::npos &&
            line.find(" " + std::to_string(pid) + " ") != std::string::npos) {
            return pid;
        }
    }
    return 0;
}

// Ours and alive. A lock in a shared temporary folder may name another user's instance, or a
// process id that has been given to someone else since.
bool Alive(long long pid)
{
    struct stat st
    {
    };
    return pid > 0 && kill(static_cast<pid_t>(pid), 0) == 0 &&
           stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0 && st.st_uid == getuid();
}

#else

std::optional<LocalDateTime> ProcessStart(long long)
{
    return std::nullopt;
}
long long WatchCount(long long)
{
    return -1;
}
bool Alive(long long)
{
    return false;
}
long long LockHolder(const std::string&)
{
    return 0;
}

#endif

} // namespace

InstanceState ReadInstance(const QString& lockPath)
{
    InstanceState s;
    // Only read: taking the lock, even shared, to test it would make an instance starting
    // at that moment believe another one runs and leave.
    const long long pid = LockHolder(lockPath.toStdString());
    if (!Alive(pid)) {
        return s;
    }
    s.running = true;
    s.pid = pid;
    s.since = ProcessStart(pid);
    s.watchedFolders = WatchCount(pid);
    return s;
}

int OpenProcessEnd(long long pid)
{
#if defined(__linux__) && defined(SYS_pidfd_open)
    return pid > 0 ? static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0)) : -1;
#else
    (void)pid;
    return -1;
#endif
}

void CloseProcessEnd(int fd)
{
#ifdef __linux__
    if (fd >= 0) {
        close(fd);
    }
#else
    (void)fd;
#endif
}

int PrintStatus(const DataFolder& folder, const Clock& clock, const QString& lockPath,
                std::FILE* out, std::FILE* err)
{
    const InstanceState s = ReadInstance(lockPath);
    // What the running instance says of itself; a state left by another process (a run
    // that was killed) says nothing of now.
    std::optional<RunState> state;
    if (s.running) {
        std::fprintf(out, "Zelvory is running (process %lld)", s.pid);
        if (s.since) {
            std::fprintf(out, " since %s", dayfile::FormatStamp(*s.since).c_str());
        }
        std::fprintf(out, ".\n");
        if (s.watchedFolders >= 0) {
            std::fprintf(out, "Watched folders: %lld\n", s.watchedFolders);
        } else {
            std::fprintf(out, "Watched folders: unknown\n");
        }
        state = runstate::Read(folder.runStateFile());
        if (state && state->pid != s.pid) {
            state.reset();
        }
    } else {
        std::fprintf(out, "Zelvory is not running: nothing is being recorded.\n");
    }
    std::fprintf(out, "Data folder: %s\n",
                 folder.dataFolder().empty() ? "none (no home folder of your own)"
                                             : folder.dataFolder().c_str());
    bool incomplete = false;
    if (state) {
        if (state->held > 0) {
            std::fprintf(out,
                         "Records waiting in memory: %llu (the journal cannot be written just "
                         "now; they are written with their own times once it can)\n",
                         static_cast<unsigned long long>(state->held));
        }
        if (state->lost > 0) {
            std::fprintf(out, "Records lost: %llu (between %s and %s)\n",
                         static_cast<unsigned long long>(state->lost), state->lostFirst.c_str(),
                         state->lostLast.c_str());
        }
        for (const auto& [reason, sentence] : state->conditions) {
            std::fprintf(out, "Recording incomplete (%s): %s\n", reason.c_str(), sentence.c_str());
        }
        incomplete = state->held > 0 || state->lost > 0 || !state->conditions.empty();
    }
    RegularFile::Status read = RegularFile::Status::Missing;
    const std::string gapFile = folder.gapFilePath(clock.now().date);
    const std::vector<GapRecord> gaps = gapfile::ReadFile(gapFile, &read);
    if (read == RegularFile::Status::NotRegular && err) {
        std::fprintf(err, "zelvory: gap file \"%s\" is not a regular file; it is not read.\n",
                     gapFile.c_str());
    }
    // A span when Zelvory was not running is listed, but it is no fault of recording: a
    // day with a restart in it is not a day with a gap.
    std::size_t faults = 0;
    for (const GapRecord& g : gaps) {
        faults += g.reason != GapReasonWord(GapReason::NotRunning);
    }
    if (gaps.empty()) {
        std::fprintf(out, "Gaps today: none\n");
    } else {
        std::fprintf(out, "Gaps today: %zu\n", gaps.size());
        for (const GapRecord& g : gaps) {
            std::fprintf(out, "  %s  %s  %s\n", g.stamp.c_str(), g.reason.c_str(),
                         g.sentence.c_str());
        }
    }
    std::fflush(out);
    if (!s.running) {
        return kStatusNotRunning;
    }
    if (incomplete) {
        return kStatusIncompleteNow;
    }
    return faults == 0 ? kStatusComplete : kStatusGapToday;
}

} // namespace zlv::cli
