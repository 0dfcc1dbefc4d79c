#include "utility/FileSystem.h"

#include "utility/RegularFile.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
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

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (h == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(h, &entry));
    FindClose(h);
    return names;
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

void ReservedFile::close()
{
    if (m_handle) {
        CloseHandle(static_cast<HANDLE>(m_handle));
    }
    m_handle = nullptr;
    m_size = 0;
}

std::uint64_t ReservedFile::open(const std::string& path, std::uint64_t bytes, std::uint64_t least)
{
    close();
    const auto create = [&path] {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE h = create();
    // An empty folder in the file's place goes, as on Linux; one with anything in it stays,
    // and the file is done without.
    if (h == INVALID_HANDLE_VALUE && RemoveDirectoryA(path.c_str())) {
        h = create();
    }
    if (h == INVALID_HANDLE_VALUE) {
        return 0;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return 0;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    for (std::uint64_t want = bytes; want >= least && want > 0; want /= 4) {
        if (static_cast<std::uint64_t>(size.QuadPart) >= want) {
            m_size = static_cast<std::uint64_t>(size.QuadPart);
            break;
        }
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(want);
        if (SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h)) {
            m_size = want;
            break;
        }
    }
    if (m_size == 0) {
        CloseHandle(h);
        return 0;
    }
    m_handle = h;
    return m_size;
}

bool ReservedFile::writeAt(std::uint64_t offset, std::string_view bytes)
{
    if (!m_handle || offset + bytes.size() > m_size) {
        return false;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()),
                     &written, &at) &&
           written == bytes.size();
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

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        return names;
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names;
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

void ReservedFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_size = 0;
}

std::uint64_t ReservedFile::open(const std::string& path, std::uint64_t bytes, std::uint64_t least)
{
    close();
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat st
        {
        };
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            break;
        }
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        // Not a file of ours (a link, a FIFO, a folder, someone else's): out of the way.
        if (::unlink(path.c_str()) != 0 && ::rmdir(path.c_str()) != 0) {
            break;
        }
    }
    if (fd < 0) {
        return 0;
    }
    (void)::fchmod(fd, 0600);
    for (std::uint64_t want = bytes; want >= least && want > 0; want /= 4) {
        // Allocated for real, not a hole: a hole would need the room later, when it is gone.
        if (::posix_fallocate(fd, 0, static_cast<off_t>(want)) == 0) {
            m_size = want;
            break;
        }
    }
    if (m_size == 0) {
        ::close(fd);
        return 0;
    }
    m_fd = fd;
    return m_size;
}

bool ReservedFile::writeAt(std::uint64_t offset, std::string_view bytes)
{
    if (m_fd < 0 || offset + bytes.size() > m_size) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

#endif

bool AppendWhole(const std::string& path, std::string_view bytes, FileState* after)
{
    AppendFile file;
    return file.append(path, bytes, after);
}

std::string ReadFrom(const std::string& path, std::uint64_t offset, std::uint64_t maxBytes,
                     bool* ok)
{
    std::string out;
    const bool read = ReadRegularRange(path, offset, maxBytes, out) == RegularFile::Status::Open;
    if (ok) {
        *ok = read;
    }
    return out;
}

} // namespace zlv::fs
