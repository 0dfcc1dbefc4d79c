#include "utility/RegularFile.h"

#include "utility/MappedBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zlv {

RegularFile::~RegularFile()
{
    close();
}

#ifdef _WIN32

void RegularFile::close()
{
    if (m_handle) {
        CloseHandle(static_cast<HANDLE>(m_handle));
        m_handle = nullptr;
    }
}

RegularFile::Status RegularFile::open(const std::string& path)
{
    close();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Status::Missing
                                                                              : Status::Failed;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Status::NotRegular;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Status::Failed;
    }
    m_handle = h;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK) {
        close();
        return Status::NotRegular;
    }
    if (!GetFileInformationByHandle(h, &info)) {
        close();
        return Status::Failed;
    }
    m_info.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    m_info.identity = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    m_info.device = info.dwVolumeSerialNumber;
    return Status::Open;
}

std::shared_ptr<MappedBytes> RegularFile::mapAt(std::uint64_t, std::size_t) const
{
    return nullptr;
}

bool RegularFile::readAt(std::uint64_t offset, std::uint64_t maxBytes, std::string& out) const
{
    out.clear();
    if (!m_handle) {
        return false;
    }
    HANDLE h = static_cast<HANDLE>(m_handle);
    LARGE_INTEGER pos{};
    pos.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h, pos, nullptr, FILE_BEGIN)) {
        return false;
    }
    char buffer[65536];
    while (out.size() < maxBytes) {
        DWORD got = 0;
        const std::uint64_t want = std::min<std::uint64_t>(sizeof buffer, maxBytes - out.size());
        if (!ReadFile(h, buffer, static_cast<DWORD>(want), &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        out.append(buffer, got);
    }
    return true;
}

#else

void RegularFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RegularFile::Status RegularFile::open(const std::string& path)
{
    close();
    struct stat st
    {
    };
    // Looked at before opening, so that no device is ever opened (some act on an open);
    // checked again on the open handle, in case the path changed in between.
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? Status::Missing : Status::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        return Status::NotRegular;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? Status::Missing : Status::Failed;
    }
    m_fd = fd;
    if (::fstat(fd, &st) != 0) {
        close();
        return Status::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        close();
        return Status::NotRegular;
    }
    m_info.size = static_cast<std::uint64_t>(st.st_size);
    m_info.identity = static_cast<std::uint64_t>(st.st_ino);
    m_info.device = static_cast<std::uint64_t>(st.st_dev);
    return Status::Open;
}

std::shared_ptr<MappedBytes> RegularFile::mapAt(std::uint64_t offset, std::size_t length) const
{
    return MappedBytes::map(m_fd, offset, length);
}

bool RegularFile::readAt(std::uint64_t offset, std::uint64_t maxBytes, std::string& out) const
{
    if (m_fd < 0) {
        out.clear();
        return false;
    }
    // Sized from what the file held at the open; a file that grew since is read on the
    // next look. Not emptied first: a buffer read into again keeps its size, rather than
    // being filled with zeros only to be read over.
    const std::uint64_t available = m_info.size > offset ? m_info.size - offset : 0;
    out.resize(static_cast<std::size_t>(available < maxBytes ? available : maxBytes));
    std::size_t have = 0;
    while (have < out.size()) {
        const ssize_t got =
            ::pread(m_fd, out.data() + have, out.size() - have, static_cast<off_t>(offset + have));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            out.clear();
            return false;
        }
        if (got == 0) {
            break;
        }
        have += static_cast<std::size_t>(got);
    }
    out.resize(have);
    return true;
}

#endif

RegularFile::Status ReadRegularFile(const std::string& path, std::uint64_t maxBytes,
                                    std::string& out)
{
    out.clear();
    RegularFile file;
    const RegularFile::Status status = file.open(path);
    if (status != RegularFile::Status::Open) {
        return status;
    }
    if (file.info().size > maxBytes || !file.readAt(0, maxBytes + 1, out) ||
        out.size() > maxBytes) {
        out.clear();
        return RegularFile::Status::Failed;
    }
    return status;
}

RegularFile::Status ReadRegularRange(const std::string& path, std::uint64_t offset,
                                     std::uint64_t maxBytes, std::string& out)
{
    out.clear();
    RegularFile file;
    RegularFile::Status status = file.open(path);
    if (status == RegularFile::Status::Open && !file.readAt(offset, maxBytes, out)) {
        status = RegularFile::Status::Failed;
    }
    return status;
}

void WarnNotRegular(const std::string& path, const char* what, std::FILE* to)
{
    std::fprintf(to, "zelvory: %s \"%s\" is not a regular file; it is not read.\n", what,
                 path.c_str());
}

} // namespace zlv
