#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// Creates one folder level; true when the folder exists afterwards.
bool CreateDirectoryLevel(const std::string& path);

// Creates every missing level of `path`; true when the folder exists afterwards.
bool CreateDirectoryChain(const std::string& path);

// Creates an empty file when nothing exists at `path`; an existing file is never touched.
bool CreateEmptyFileIfMissing(const std::string& path);

// What identifies one file on disk, so that a reader notices when it was replaced.
struct FileState
{
    std::uint64_t size = 0;
    std::uint64_t identity = 0; // inode (Linux) or file index (Windows)
    std::uint64_t device = 0;   // device (Linux) or volume serial number (Windows)
};
std::optional<FileState> StatFile(const std::string& path);

// Appends `bytes` to the file with a single write on a handle opened for appending,
// creating the file when missing. A write that cannot be completed is taken back, so
// the file never ends in part of a line. When `after` is given and the write succeeded,
// it receives the file's state right after the write (size 0 when that is unknown).
bool AppendWhole(const std::string& path, std::string_view bytes, FileState* after = nullptr);

// Reads the file from `offset` to its end (at most `maxBytes`). Empty when nothing could be
// read; `ok` tells a failure from an empty range.
std::string ReadFrom(const std::string& path, std::uint64_t offset, std::uint64_t maxBytes,
                     bool* ok = nullptr);

} // namespace zlv::fs
