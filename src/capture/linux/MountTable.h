#pragma once

#include <string>
#include <string_view>
#include <vector>

// The mount table as /proc/self/mountinfo tells it, and which of its mounts are drives.
namespace zlv::linuxcapture {

struct MountEntry
{
    int id = 0;             // unique per mount, so a remount at the same place is told apart
    std::string mountPoint; // decoded: "\040" in the file is a space here
    std::string source;     // the device or whatever the file system names as its source
    std::string fileSystem;

    bool operator==(const MountEntry&) const = default;
};

// Turns the kernel's octal escapes (\040 space, \011 tab, \012 newline, \134 backslash)
// back into their bytes; anything that is not a three-digit octal escape stays as it is.
std::string DecodeMountField(std::string_view field);

// Every well-formed line of a mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// True when `path` lies strictly below `root` (a mount at the root itself is not below it).
bool IsStrictlyBelow(std::string_view path, std::string_view root);
// True when `path` is `root` or lies below it.
bool IsSameOrBelow(std::string_view path, std::string_view root);

// The mounts that count as drives: those below one of `roots`.
std::vector<MountEntry> Drives(const std::vector<MountEntry>& table,
                               const std::vector<std::string>& roots);

// True for file systems whose folders live elsewhere (network shares, user-space file
// systems such as sshfs and every fuse.* type): walking and watching one costs minutes of
// traffic and the user's watch budget, so such a drive is recorded but never entered. A
// fuseblk drive is a local disk and is walked like one.
bool IsRemoteOrUserSpace(std::string_view fileSystem);

struct MountChanges
{
    std::vector<MountEntry> added;
    std::vector<MountEntry> removed;
};

// What changed between two lists of drives, matched by mount id; each list keeps the order
// of the table it came from.
MountChanges DiffMounts(const std::vector<MountEntry>& before,
                        const std::vector<MountEntry>& after);

// The whole text behind `fd`, read from its start (mountinfo cannot be sized beforehand).
// Empty with `ok` false when it could not be read.
std::string ReadWholeFile(int fd, bool* ok);

} // namespace zlv::linuxcapture
