#pragma once

#include "utility/FileState.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zlv {

class MappedBytes;

// A file opened for reading only when it is a plain regular file. The open never waits: a
// FIFO, socket or device planted where a day file or the settings file belongs is refused
// at once instead of stalling the user-interface thread until some writer shows up.
class RegularFile final
{
public:
    enum class Status
    {
        Open,
        Missing,    // nothing at the path (or a folder on the way is missing)
        NotRegular, // a folder, FIFO, device or socket
        Failed      // present but unreadable (permissions, I/O)
    };

    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    Status open(const std::string& path);
    const fs::FileState& info() const { return m_info; }
    // The file was found to have grown to `size` since it was opened (a stat of its path
    // that still names it); readAt goes that far.
    void grewTo(std::uint64_t size) { m_info.size = size; }

    // Up to `maxBytes` from `offset` on (fewer at the end of the file). False on a read error.
    bool readAt(std::uint64_t offset, std::uint64_t maxBytes, std::string& out) const;
    // The bytes [offset, offset + length) where the kernel keeps them (MappedBytes), or
    // nullptr when they must be read.
    std::shared_ptr<MappedBytes> mapAt(std::uint64_t offset, std::size_t length) const;

private:
    void close();

    fs::FileState m_info;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

// The whole file when it is regular and at most `maxBytes` long. Any other status than
// Open leaves `out` empty; a longer file gives Failed.
RegularFile::Status ReadRegularFile(const std::string& path, std::uint64_t maxBytes,
                                    std::string& out);

// Up to `maxBytes` of the file from `offset` on, when it is a regular file. Any other
// status than Open leaves `out` empty.
RegularFile::Status ReadRegularRange(const std::string& path, std::uint64_t offset,
                                     std::uint64_t maxBytes, std::string& out);

// One line (on standard error unless told otherwise) saying that `path` was skipped for
// not being a regular file.
void WarnNotRegular(const std::string& path, const char* what, std::FILE* to = stderr);

} // namespace zlv
