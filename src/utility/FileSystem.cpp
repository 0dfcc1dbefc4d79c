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

bool RestrictFolderToOwner(const std::string& path)
{
    return DirectoryExists(path);
}

void AppendFile::close() {}

bool AppendFile::append(const std::string& path, std::string_view bytes, FileState* after,
                        const FileState*)
{
    if (after) {
        *after = FileState{};
    }
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return false;
    }
    LARGE_INTEGER before{};
    GetFileSizeEx(h, &before);
    std::string withBreak;
    if (before.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = before.QuadPart - 1;
        char c = 0;
        DWORD got = 0;
        if (!SetFilePointerEx(h, last, nullptr, FILE_BEGIN) || !ReadFile(h, &c, 1, &got, nullptr) ||
            got != 1 || c != '\n') {
            withBreak = "\r\n";
            withBreak.append(bytes);
            bytes = withBreak;
        }
    }
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
    if (::mkdir(path.c_str(), 0700) == 0) {
        // An odd umask (0277, say) could leave even the owner without access.
        (void)::chmod(path.c_str(), 0700);
        return true;
    }
    return DirectoryExists(path);
}

bool CreateEmptyFileIfMissing(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno == EEXIST && FileExists(path);
    }
    (void)::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

bool RestrictFolderToOwner(const std::string& path)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        return false;
    }
    return (st.st_mode & 07077) == 0 || ::chmod(path.c_str(), 0700) == 0;
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

namespace {

// Whether the file ends in LF; an empty file counts as ending well. When the last byte
// cannot be read, assume damage: an extra line end costs a blank line, a missing one a
// garbled record.
bool EndsInLf(int fd, std::uint64_t size)
{
    char last = 0;
    return size == 0 || (::pread(fd, &last, 1, static_cast<off_t>(size - 1)) == 1 && last == '\n');
}

} // namespace

void AppendFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_path.clear();
}

bool AppendFile::open(const std::string& path)
{
    // O_NONBLOCK keeps a FIFO planted under the day file's name from stalling us at open;
    // the type check below then refuses it.
    constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    int fd = ::open(path.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            (void)::fchmod(fd, 0600);
        } else if (errno == EEXIST) {
            fd = ::open(path.c_str(), kFlags);
        }
    }
    if (fd < 0) {
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_device = static_cast<std::uint64_t>(st.st_dev);
    m_inode = static_cast<std::uint64_t>(st.st_ino);
    m_size = static_cast<std::uint64_t>(st.st_size);
    m_endsInLf = EndsInLf(fd, m_size);
    return true;
}

bool AppendFile::append(const std::string& path, std::string_view bytes, FileState* after,
                        const FileState* seen)
{
    if (after) {
        *after = FileState{};
    }
    if (m_fd >= 0) {
        // One look at the path tells whether it still names the file we hold: a deleted,
        // renamed or replaced day file must be found again, not written into the void.
        std::optional<FileState> now;
        if (seen) {
            now = *seen;
        } else if (struct stat st{}; ::stat(path.c_str(), &st) == 0) {
            now = FileState{static_cast<std::uint64_t>(st.st_size),
                            static_cast<std::uint64_t>(st.st_ino),
                            static_cast<std::uint64_t>(st.st_dev)};
        }
        if (path != m_path || !now || now->device != m_device || now->identity != m_inode) {
            close();
        } else if (now->size != m_size) {
            // Someone else wrote to or cut the file since our last line.
            m_size = now->size;
            m_endsInLf = EndsInLf(m_fd, m_size);
        }
    }
    if (m_fd < 0 && !open(path)) {
        return false;
    }
    std::string withBreak;
    if (!m_endsInLf) {
        withBreak = "\r\n";
        withBreak.append(bytes);
        bytes = withBreak;
    }
    ssize_t written;
    do {
        written = ::write(m_fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    struct stat st
    {
    };
    const bool stated = ::fstat(m_fd, &st) == 0;
    if (written != static_cast<ssize_t>(bytes.size())) {
        if (written > 0 && stated && st.st_size >= written) {
            // A full disk can cut a write short; take the torn line back so the next
            // record does not glue onto it. We are the file's only writer, so the end is
            // ours. Should the truncation fail too, the file is closed and reopened before
            // the next record, which then starts a line of its own.
            [[maybe_unused]] const int cut = ::ftruncate(m_fd, st.st_size - written);
        }
        close();
        return false;
    }
    m_size = stated ? static_cast<std::uint64_t>(st.st_size) : m_size + bytes.size();
    m_endsInLf = bytes.empty() ? m_endsInLf : bytes.back() == '\n';
    if (after && stated) {
        after->size = m_size;
        after->identity = m_inode;
        after->device = m_device;
    }
    return true;
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

bool AppendWhole(const std::string& path, std::string_view bytes, FileState* after)
{
    AppendFile file;
    return file.append(path, bytes, after);
}

} // namespace zlv::fs
