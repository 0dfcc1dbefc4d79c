#include "mainwindow/SingleInstance.h"

#include "logstore/DataFolder.h"
#include "utility/FileSystem.h"
#include "utility/SystemUtility.h"

#include <cerrno>
#include <cstdio>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zlv {

namespace {

constexpr const char* kLockName = "zelvory.lock";

} // namespace

#ifdef _WIN32

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquireAt(const std::string&)
{
    return true;
}

std::string SingleInstance::lockPath()
{
    return {};
}

#else

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string SingleInstance::lockPath()
{
    const std::string appData = SystemUtility::LocateAppData().path;
    if (appData.empty()) {
        return {};
    }
    DataFolder folder;
    folder.locate(appData);
    return folder.dataFolder() + '/' + kLockName;
}

bool SingleInstance::acquireAt(const std::string& path)
{
    if (path.empty()) {
        return true;
    }
    struct stat ours
    {
    }, named{};
    if (m_fd >= 0 && ::fstat(m_fd, &ours) == 0 && ::stat(path.c_str(), &named) == 0 &&
        ours.st_dev == named.st_dev && ours.st_ino == named.st_ino) {
        return true; // a second lock of our own on the same file would fail against the first
    }
    // lockPath() only names the place (--status must not create anything); the first start
    // on a fresh account may still have to make the data folder for it.
    fs::CreateDirectoryChain(path.substr(0, path.rfind('/')));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat st
        {
        };
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const bool held = errno == EWOULDBLOCK;
                ::close(fd);
                return !held;
            }
            // For people looking at the file; the lock itself is the kernel's.
            char text[64];
            const int n = std::snprintf(text, sizeof text, "%ld\nzelvory\n", long(::getpid()));
            if (::ftruncate(fd, 0) == 0 && n > 0) {
                [[maybe_unused]] const ssize_t w =
                    ::pwrite(fd, text, static_cast<std::size_t>(n), 0);
            }
            if (m_fd >= 0) {
                ::close(m_fd);
            }
            m_fd = fd;
            return true;
        }
        if (fd >= 0) {
            ::close(fd);
        }
        // Something that can never be a lock of ours is in the way (a folder, a link, a
        // FIFO, another user's file): clear it, or move it aside, and try again.
        if (::unlink(path.c_str()) != 0 && ::rmdir(path.c_str()) != 0) {
            const std::string aside = path + ".stale-" + std::to_string(::getpid());
            if (::rename(path.c_str(), aside.c_str()) != 0) {
                break;
            }
        }
    }
    std::fprintf(stderr, "zelvory: cannot lock \"%s\"; going on without the one-instance test.\n",
                 path.c_str());
    return true;
}

#endif

} // namespace zlv
