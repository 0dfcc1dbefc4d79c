#include "capture/linux/FolderScan.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zlv::linuxcapture {

namespace {

constexpr std::int64_t kNanos = 1000000000;

// Fills in what the directory listing left open: the kind and, when asked, the birth time.
bool Describe(int dirFd, const char* name, bool withBirth, FolderEntry& entry)
{
    struct statx sx;
    const unsigned mask = withBirth ? STATX_TYPE | STATX_BTIME | STATX_CTIME : STATX_TYPE;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, mask, &sx) == 0) {
        entry.isDir = S_ISDIR(sx.stx_mode);
        if (!withBirth) {
            return true;
        }
        if (sx.stx_mask & STATX_BTIME) {
            entry.born = Stamp{sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec};
        } else if (!entry.isDir) {
            entry.born = Stamp{sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec};
        }
        return true;
    }
    if (errno != ENOSYS && errno != EPERM) {
        return false;
    }
    // statx refused (an old kernel, a sandbox that filters it): no birth times then.
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    entry.isDir = S_ISDIR(st.st_mode);
    if (withBirth && !entry.isDir) {
        entry.born = Stamp{st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
    }
    return true;
}

} // namespace

Stamp Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return Stamp{ts.tv_sec, ts.tv_nsec};
}

Stamp Earlier(Stamp stamp, std::chrono::nanoseconds by)
{
    stamp.first -= by.count() / kNanos;
    stamp.second -= by.count() % kNanos;
    if (stamp.second < 0) {
        stamp.second += kNanos;
        --stamp.first;
    }
    return stamp;
}

std::string LocalClockText(Stamp stamp)
{
    const std::time_t t = static_cast<std::time_t>(stamp.first);
    std::tm local{};
    char text[16] = "??:??:??";
    if (::localtime_r(&t, &local)) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                      local.tm_sec);
    }
    return text;
}

int OpenFolder(const std::string& path)
{
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    if (path.size() < PATH_MAX) {
        return ::open(path.c_str(), kFlags);
    }
    // Too long for one call: open the longest leading stretch that fits, then go on from it
    // one stretch at a time. Only the last component may not be a symbolic link; a link
    // earlier in the path was followed by the kernel when the path was short too.
    int at = AT_FDCWD;
    std::size_t done = 0;
    while (done < path.size()) {
        std::size_t end = path.size();
        if (end - done >= PATH_MAX) {
            end = path.rfind('/', done + PATH_MAX - 1);
            if (end == std::string::npos || end <= done) {
                break; // one component longer than any the kernel allows
            }
        }
        const std::string stretch = path.substr(done, end - done);
        const bool last = end == path.size();
        const int fd = ::openat(at, stretch.empty() ? "/" : stretch.c_str(),
                                last ? kFlags : O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (at != AT_FDCWD) {
            ::close(at);
        }
        if (fd < 0 || last) {
            return fd;
        }
        at = fd;
        done = end + 1;
    }
    if (at != AT_FDCWD) {
        ::close(at);
    }
    errno = ENAMETOOLONG;
    return -1;
}

std::vector<FolderEntry> ListFolder(int fd, std::optional<Stamp> bornSince)
{
    std::vector<FolderEntry> entries;
    if (bornSince) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || Stamp{st.st_mtim.tv_sec, st.st_mtim.tv_nsec} < *bornSince) {
            bornSince.reset();
        }
    }
    // Read straight from the descriptor: a directory stream would first duplicate it and
    // look it over again, five calls more for every new folder a user makes.
    if (::lseek(fd, 0, SEEK_SET) < 0) {
        return entries;
    }
    alignas(dirent64) char buffer[32 * 1024];
    for (ssize_t n; (n = ::getdents64(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            const std::string name = e->d_name;
            if (e->d_ino == 0 || name == "." || name == "..") {
                continue;
            }
            FolderEntry entry{name, e->d_type == DT_DIR, std::nullopt};
            if ((e->d_type == DT_UNKNOWN || bornSince) &&
                !Describe(fd, e->d_name, bornSince.has_value(), entry)) {
                continue; // gone already; its deletion is in the queue if it was ever seen
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::optional<Stamp> FolderChangeTime(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return Stamp{st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
}

bool HasCacheTag(int dirFd)
{
    static constexpr char kSignature[] = "Signature: 8a477f597d28d172789f06886806bc55";
    constexpr std::size_t kLength = sizeof kSignature - 1;
    // Not waiting on a FIFO someone named so, nor following a link out of the folder.
    const int fd = ::openat(dirFd, "CACHEDIR.TAG", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    char head[kLength];
    const bool tagged = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                        ::pread(fd, head, kLength, 0) == static_cast<ssize_t>(kLength) &&
                        std::equal(head, head + kLength, kSignature);
    ::close(fd);
    return tagged;
}

long WatchLimitInForce()
{
    for (const char* file :
         {"/proc/sys/user/max_inotify_watches", "/proc/sys/fs/inotify/max_user_watches"}) {
        long limit = 0;
        if (std::ifstream(file) >> limit && limit > 0) {
            return limit;
        }
    }
    return 0;
}

std::string WatchablePath(int fd, const std::string& path)
{
    if (path.size() < PATH_MAX) {
        return path;
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace zlv::linuxcapture
