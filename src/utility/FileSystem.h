#pragma once

#include "utility/FileState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The handful of file operations the journal needs, on narrow native paths (UTF-8 bytes on
// Linux, the ANSI code page on Windows). None of them throws; failures come back as values.
namespace zlv::fs {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);

// The names of the entries of a folder ("." and ".." left out), in no particular order;
// empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& path);

// Creates one folder level; true when the folder exists afterwards. Folders and files we
// create are readable by their owner only (on POSIX systems, whatever the umask): the
// journal says what the user did, which is nobody else's business.
bool CreateDirectoryLevel(const std::string& path);

// Creates every missing level of `path`; true when the folder exists afterwards.
bool CreateDirectoryChain(const std::string& path);

// Creates an empty file when nothing exists at `path`; an existing file is never touched.
bool CreateEmptyFileIfMissing(const std::string& path);

// Takes group and other access away from a folder of ours (POSIX only; true elsewhere).
// A folder that is not a directory or belongs to someone else is left alone (false).
bool RestrictFolderToOwner(const std::string& path);

std::optional<FileState> StatFile(const std::string& path);

// Appends to one file at a time with a single write per call, keeping the file open
// between calls while the path still names the same file (deleted, renamed or replaced
// files and another path make it open afresh; on Windows it opens for every call).
// - Only regular files are written, opened without blocking and without following a link
//   in the last component: a FIFO or a planted link is refused, never waited on.
// - A file that does not end in LF (a torn last line, NULs) first gets CR LF, so a new
//   line never merges with damage.
// - A write that cannot be completed is taken back, so the file never ends in part of a
//   line; the handle is then closed and the next call opens afresh.
class AppendFile final
{
public:
    AppendFile() = default;
    ~AppendFile() { close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file when missing. When `after` is given and the write succeeded, it
    // receives the file's state right after the write (size 0 when that is unknown).
    // `seen` is the path's state as the caller looked at it a moment ago, sparing a look.
    bool append(const std::string& path, std::string_view bytes, FileState* after = nullptr,
                const FileState* seen = nullptr);
    void close();
    bool isOpen() const { return m_fd >= 0; }

private:
    bool open(const std::string& path);

    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    std::uint64_t m_size = 0; // where our last write left the end
    bool m_endsInLf = true;
};

// A file written in place, inside space set aside when it was opened: its writes need no
// new room on the disk afterwards, so they go on working once the disk is full (on file
// systems that overwrite in place). Only a regular file of ours is taken, never through a
// link; whatever else stands at the path (a FIFO, a folder, a link) is cleared first.
class ReservedFile final
{
public:
    ReservedFile() = default;
    ~ReservedFile() { close(); }
    ReservedFile(const ReservedFile&) = delete;
    ReservedFile& operator=(const ReservedFile&) = delete;

    // Sets `bytes` aside, or when the disk has less, a quarter of that and so on down to
    // `least`; returns the size set aside, 0 when the file could not be had at all.
    std::uint64_t open(const std::string& path, std::uint64_t bytes, std::uint64_t least);
    void close();
    bool isOpen() const { return m_size > 0; }
    std::uint64_t size() const { return m_size; }
    // One write inside the space set aside; false past its end or when the write fails.
    bool writeAt(std::uint64_t offset, std::string_view bytes);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    std::uint64_t m_size = 0;
};

// One append through a fresh AppendFile: opened, written once, closed.
bool AppendWhole(const std::string& path, std::string_view bytes, FileState* after = nullptr);

// Reads the file from `offset` to its end (at most `maxBytes`). Empty when nothing could be
// read; `ok` tells a failure from an empty range. Only a regular file is read (see
// RegularFile): a FIFO or a device in its place reads as a failure, at once.
std::string ReadFrom(const std::string& path, std::uint64_t offset, std::uint64_t maxBytes,
                     bool* ok = nullptr);

} // namespace zlv::fs
