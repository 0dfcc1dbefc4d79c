#include "utility/FileSystem.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zlv::fs {

bool CreateDirectoryChain(const std::string& path)
{
    if (path.empty() || DirectoryExists(path)) {
        return !path.empty();
    }
    // Skip the root ("/", "C:\\" or "\\\\server\\share") and create each level below it.
    for (std::size_t at = path.find_first_not_of("/\\"); at != std::string::npos;) {
        at = path.find_first_of("/\\", at);
        const std::string prefix = path.substr(0, at);
        if (!prefix.empty() && prefix.back() != ':' && !DirectoryExists(prefix)) {
            CreateDirectoryLevel(prefix);
        }
        if (at != std::string::npos) {
            ++at;
        }
    }
    return DirectoryExists(path);
}

#ifdef _WIN32

namespace {

DWORD Attributes(const std::string& path)
{
    return GetFileAttributesA(path.c_str());
}

} // namespace

bool DirectoryExists(const std::string& path)
{
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path)
{
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryLevel(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path);
}

bool CreateEmptyFileIfMissing(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return FileExists(path);
    }
    CloseHandle(h);
    return true;
}

std::optional<FileState> StatFile(const std::string& path)
{
    // The file index and the volume serial number are what inode and device are on Linux.
    // The creation time is no identity: NTFS gives a file recreated under a recent name the
    // old file's creation time (tunnelling), and Wine reports the inode's change time.
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    FileState s;
    s.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    s.identity = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.device = info.dwVolumeSerialNumber;
    return s;
}

bool AppendWhole(const std::string& path, std::string_view bytes, FileState* after)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER before{};
    GetFileSizeEx(h, &before);
    DWORD written = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const bool complete = ok && written == bytes.size();
    if (!complete && written > 0) {
        // Take a torn line back so the next record does not glue onto it.
        SetFilePointerEx(h, before, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (complete && after && GetFileInformationByHandle(h, &info)) {
        after->size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        after->identity = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        after->device = info.dwVolumeSerialNumber;
    } else if (after) {
        *after = FileState{};
    }
    CloseHandle(h);
    return complete;
}

std::string ReadFrom(const std::string& path, std::uint64_t offset, std::uint64_t maxBytes,
                     bool* ok)
{
    if (ok) {
        *ok = false;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string out;
    LARGE_INTEGER pos{};
    pos.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(h, pos, nullptr, FILE_BEGIN)) {
        char buffer[65536];
        DWORD got = 0;
        while (out.size() < maxBytes && ReadFile(h, buffer, sizeof buffer, &got, nullptr) &&
               got > 0) {
            out.append(buffer, got);
        }
        if (out.size() > maxBytes) {
            out.resize(maxBytes);
        }
        if (ok) {
            *ok = true;
        }
    }
    CloseHandle(h);
    return out;
}

#else

bool DirectoryExists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool CreateDirectoryLevel(const std::string& path)
{
    return ::mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path);
}

bool CreateEmptyFileIfMissing(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno == EEXIST && FileExists(path);
    }
    ::close(fd);
    return true;
}

std::optional<FileState> StatFile(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    FileState s;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.identity = static_cast<std::uint64_t>(st.st_ino);
    s.device = static_cast<std::uint64_t>(st.st_dev);
    return s;
}

bool AppendWhole(const std::string& path, std::string_view bytes, FileState* after)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    ssize_t written;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    const bool complete = written == static_cast<ssize_t>(bytes.size());
    if (!complete && written > 0) {
        // A full disk can cut a write short; take the torn line back so the next record
        // does not glue onto it. We are the file's only writer, so the end is ours.
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end >= written) {
            (void)::ftruncate(fd, end - written);
        }
    }
    struct stat st
    {
    };
    if (complete && after && ::fstat(fd, &st) == 0) {
        after->size = static_cast<std::uint64_t>(st.st_size);
        after->identity = static_cast<std::uint64_t>(st.st_ino);
        after->device = static_cast<std::uint64_t>(st.st_dev);
    } else if (after) {
        *after = FileState{};
    }
    ::close(fd);
    return complete;
}

std::string ReadFrom(const std::string& path, std::uint64_t offset, std::uint64_t maxBytes,
                     bool* ok)
{
    if (ok) {
        *ok = false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string out;
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > offset) {
        std::uint64_t want = static_cast<std::uint64_t>(st.st_size) - offset;
        if (want > maxBytes) {
            want = maxBytes;
        }
        out.resize(want);
        std::size_t have = 0;
        while (have < want) {
            const ssize_t got =
                ::pread(fd, out.data() + have, want - have, static_cast<off_t>(offset + have));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            have += static_cast<std::size_t>(got);
        }
        out.resize(have);
    }
    if (ok) {
        *ok = true;
    }
    ::close(fd);
    return out;
}

#endif

} // namespace zlv::fs
