#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Looking at folders on disk for the watch tree: opening them however long their path,
// listing them, telling when their entries came into being, and the kernel's watch limit.
namespace zlv::linuxcapture {

// A file time (seconds, nanoseconds) of the real-time clock; the zero stamp is older than
// any file.
using Stamp = std::pair<std::int64_t, std::int64_t>;

Stamp Now();
Stamp Earlier(Stamp stamp, std::chrono::nanoseconds by);
// "HH:MM:SS" of `stamp` in local time.
std::string LocalClockText(Stamp stamp);

struct FolderEntry
{
    std::string name;
    bool isDir = false;
    // When the entry came into being, where asked for and known. A folder's change time
    // moves with every entry added to it and a file's with every write, so only a birth time
    // tells an old entry from a new one; a file system without one gives a file's change
    // time instead (a write in the moment after a move then reads as new) and nothing for a
    // folder.
    std::optional<Stamp> born;
};

// A descriptor of the folder at `path`, opened without following a symbolic link in its last
// component, also when the path is longer than the kernel takes in one call (it is then
// opened a stretch at a time). -1 on failure.
int OpenFolder(const std::string& path);

// The entries of the open folder `fd` (which stays open). With `bornSince`, entries are
// described with their birth when the folder itself changed at or after that time: a folder
// untouched since then cannot hold anything born after it.
std::vector<FolderEntry> ListFolder(int fd, std::optional<Stamp> bornSince);

// The folder's change time; nullopt when it is gone or no folder.
std::optional<Stamp> FolderChangeTime(int fd);

// Whether the folder open at `dirFd` holds a "CACHEDIR.TAG" file that begins with the
// signature of the cache directory tagging convention: a cache, not the user's work. A tag
// still being written does not count yet.
bool HasCacheTag(int dirFd);

// How many watches this user may hold: the limit of the program's user namespace
// (/proc/sys/user/max_inotify_watches), else the system's (fs.inotify.max_user_watches);
// 0 when neither can be read.
long WatchLimitInForce();

// What inotify_add_watch takes to reach the folder open at `fd`: its own path while the
// kernel accepts it, else the descriptor's entry under /proc/self/fd.
std::string WatchablePath(int fd, const std::string& path);

} // namespace zlv::linuxcapture
