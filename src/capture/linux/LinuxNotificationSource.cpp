#include "capture/linux/LinuxNotificationSource.h"

#include "capture/ShellEvents.h"
#include "capture/linux/MediaMonitor.h"
#include "capture/linux/MountTable.h"
#include "capture/linux/WatchTree.h"

#include <QObject>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <set>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zlv {

namespace {

using linuxcapture::MountEntry;

// The form the kernel reports paths in, so that prefixes compare: symbolic links resolved,
// no trailing separator. A path that does not exist (yet) is only trimmed.
std::string Canonical(const std::string& path)
{
    if (path.empty()) {
        return path;
    }
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string out = resolved;
        std::free(resolved);
        return out;
    }
    std::string out = path;
    while (out.size() > 1 && out.back() == '/') {
        out.pop_back();
    }
    return out;
}

CaptureIncident Stopped(std::string sentence)
{
    return CaptureIncident{.reason = GapReason::CaptureStopped,
                           .sentence = std::move(sentence),
                           .ongoing = true,
                           .needsAction = true};
}

} // namespace

std::string HomeFolder()
{
    // A relative HOME would watch whatever folder the program was started in.
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        return pw->pw_dir;
    }
    return {};
}

LinuxCaptureOptions LinuxCaptureOptions::ForDataFolder(const DataFolder& folder)
{
    LinuxCaptureOptions options;
    options.dataFolder = folder.dataFolder();
    return options;
}

// The reader thread: waits in poll() on the stop signal, the inotify queue, the mount table
// and udev, and hands what it finds to the queue. No timer: with nothing pending it sleeps
// until the kernel has something to say.
class LinuxNotificationSource::Reader final
{
public:
    Reader(LinuxNotificationSource& owner, std::unique_ptr<linuxcapture::WatchTree> tree)
        : m_owner(owner), m_tree(std::move(tree))
    {}

    void run()
    {
        const LinuxCaptureOptions& options = m_owner.m_options;
        for (const std::string& root : options.mountRoots) {
            m_roots.push_back(Canonical(root));
        }
        const std::string home =
            Canonical(options.homeFolder.empty() ? HomeFolder() : options.homeFolder);
        if (home == "/") {
            // Every folder of the system, other users' included, is not a journal of the user's
            // own work, and would take the whole watch budget.
            m_tree->report(Stopped("The home folder is the root of the file system (/), so "
                                   "Zelvory watches no folder and records no file operation. "
                                   "Start it with HOME set to your own folder."));
        } else if (home.empty()) {
            m_tree->report(Stopped("No home folder was found, so Zelvory watches no folder "
                                   "and records no file operation."));
        } else {
            m_tree->watchRoot(home);
        }
        m_mountFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (m_mountFd >= 0) {
            mountsChanged();
        }
        const bool media = options.watchMedia && m_media.open();
        {
            std::lock_guard lock(m_owner.m_mutex);
            m_owner.m_watching = true;
            m_owner.m_media = media;
        }
        m_owner.m_watchingChanged.notify_all();
        publish(); // what the start has to tell

        loop();

        // Stopping: what the kernel holds already still happened before the stop.
        while (m_tree->readOnce()) {
        }
        m_tree->expireMoves(std::chrono::steady_clock::now(), true);
        publish();
        if (m_mountFd >= 0) {
            ::close(m_mountFd);
        }
    }

private:
    void loop()
    {
        enum
        {
            kStop,
            kInotify,
            kMounts,
            kMedia
        };
        std::array<pollfd, 4> fds{};
        fds[kStop] = {m_owner.m_stopFd, POLLIN, 0};
        fds[kInotify] = {m_tree->fd(), POLLIN, 0};
        fds[kMounts] = {m_mountFd, POLLPRI, 0};
        fds[kMedia] = {m_media.fd(), POLLIN, 0};
        for (;;) {
            const int timeout = m_tree->pollTimeoutMs(std::chrono::steady_clock::now());
            if (::poll(fds.data(), fds.size(), timeout) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_tree->report(Stopped(std::string("File operations are no longer recorded: ") +
                                       std::strerror(errno) + "."));
                return;
            }
            if (fds[kStop].revents) {
                return;
            }
            // Which of two ready sources came first is unknown; the mount table goes first
            // so that, once a drive's removal is on record, so is everything done after it.
            if (fds[kMounts].revents & (POLLPRI | POLLERR)) {
                mountsChanged();
            }
            if ((fds[kInotify].revents & POLLIN) || m_tree->hasBacklog()) {
                // Publish after every buffer, so the user interface starts on a burst while
                // the reader is still draining it.
                // A move waiting for its second half holds back what follows it, so overdue
                // ones are settled here too, or a burst that never pauses would hold them all.
                while (m_tree->readOnce()) {
                    m_tree->expireMoves(std::chrono::steady_clock::now(), false);
                    publish();
                }
            }
            if (fds[kMedia].revents & POLLIN) {
                for (Notification& n : m_media.receive(m_table)) {
                    m_tree->deliver(std::move(n));
                }
            }
            m_tree->expireMoves(std::chrono::steady_clock::now(), false);
            publish();
        }
    }

    void mountsChanged()
    {
        bool ok = false;
        const std::string text = linuxcapture::ReadWholeFile(m_mountFd, &ok);
        if (!ok) {
            return; // an unreadable table must not read as every drive removed
        }
        m_table = linuxcapture::ParseMountInfo(text);
        std::vector<MountEntry> drives = linuxcapture::Drives(m_table, m_roots);
        // A network share mounted anywhere, inside the home too, is never entered.
        std::set<std::string> remote;
        for (const MountEntry& mount : m_table) {
            if (linuxcapture::IsRemoteOrUserSpace(mount.fileSystem)) {
                remote.insert(mount.mountPoint);
            }
        }
        m_tree->setNotEntered(std::move(remote));
        if (!m_haveTable) {
            // The drives there at the start were not added while we watched.
            m_haveTable = true;
            for (const MountEntry& drive : drives) {
                watchDrive(drive);
            }
            m_drives = std::move(drives);
            return;
        }
        const linuxcapture::MountChanges changes = linuxcapture::DiffMounts(m_drives, drives);
        for (const MountEntry& gone : changes.removed) {
            m_tree->unwatchRoot(gone.mountPoint);
            m_tree->deliver(Notification{shell::SHCNE_DRIVEREMOVED,
                                         linuxcapture::MountPointItem(gone.mountPoint),
                                         std::nullopt});
        }
        for (const MountEntry& added : changes.added) {
            m_tree->deliver(Notification{shell::SHCNE_DRIVEADD,
                                         linuxcapture::MountPointItem(added.mountPoint),
                                         std::nullopt});
            watchDrive(added);
        }
        m_drives = std::move(drives);
    }

    void watchDrive(const MountEntry& drive)
    {
        if (!linuxcapture::IsRemoteOrUserSpace(drive.fileSystem)) {
            m_tree->watchRoot(drive.mountPoint);
        }
    }

    void publish()
    {
        std::vector<Delivery> ready = m_tree->takeReady();
        m_owner.publish(ready);
    }

    LinuxNotificationSource& m_owner;
    std::unique_ptr<linuxcapture::WatchTree> m_tree;
    linuxcapture::MediaMonitor m_media;
    std::vector<std::string> m_roots;
    int m_mountFd = -1;
    bool m_haveTable = false;
    std::vector<MountEntry> m_table;
    std::vector<MountEntry> m_drives;
};

LinuxNotificationSource::LinuxNotificationSource(LinuxCaptureOptions options)
    : m_options(std::move(options))
{}

LinuxNotificationSource::~LinuxNotificationSource()
{
    stop();
}

bool LinuxNotificationSource::start(Sink sink)
{
    if (m_thread.joinable()) {
        return false;
    }
    auto tree = std::make_unique<linuxcapture::WatchTree>(Canonical(m_options.dataFolder),
                                                          m_options.watchLimit);
    m_startFailure.clear();
    if (!tree->open()) {
        m_startFailure = std::string("File operations cannot be recorded: the system refused "
                                     "to watch folders (") +
                         std::strerror(errno) + ").";
        return false;
    }
    tree->beforeRead = m_options.beforeRead;
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) {
        return false;
    }
    m_sink = std::move(sink);
    m_context = std::make_unique<QObject>();
    m_running = true;
    {
        std::lock_guard lock(m_mutex);
        m_watching = false;
        m_queue.clear();
        m_drainPosted = false;
    }
    m_thread = std::thread(
        [this, reader = std::make_shared<Reader>(*this, std::move(tree))] { reader->run(); });
    return true;
}

void LinuxNotificationSource::stop()
{
    if (!m_thread.joinable()) {
        return;
    }
    const std::uint64_t one = 1;
    while (::write(m_stopFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_thread.join();
    ::close(m_stopFd);
    m_stopFd = -1;

    if (!m_draining) {
        // Operations done before the stop are journalled, not dropped with the queue.
        for (;;) {
            Delivery d;
            {
                std::lock_guard lock(m_mutex);
                if (m_queue.empty()) {
                    break;
                }
                d = std::move(m_queue.front());
                m_queue.pop_front();
            }
            deliver(d);
        }
    }
    m_running = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_drainPosted = false;
        m_watching = false;
    }
    if (m_draining) {
        // The sink that called us is still running inside a drain of this context.
        m_context.release()->deleteLater();
    } else {
        m_context.reset();
        m_sink = nullptr;
    }
}

bool LinuxNotificationSource::waitUntilWatching(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_watchingChanged.wait_for(lock, timeout, [this] { return m_watching; });
}

bool LinuxNotificationSource::watchesMedia() const
{
    std::lock_guard lock(m_mutex);
    return m_media;
}

void LinuxNotificationSource::publish(std::vector<Delivery>& batch)
{
    if (batch.empty()) {
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        for (Delivery& d : batch) {
            m_queue.push_back(std::move(d));
        }
        wake = !m_drainPosted;
        m_drainPosted = true;
    }
    batch.clear();
    if (wake) {
        postDrain();
    }
}

void LinuxNotificationSource::postDrain()
{
    QMetaObject::invokeMethod(
        m_context.get(), [this] { drain(); }, Qt::QueuedConnection);
}

void LinuxNotificationSource::drain()
{
    // A nested event loop inside the sink (a modal box) may run a drain posted earlier; the
    // outer drain goes on once the sink returns.
    if (m_draining) {
        return;
    }
    m_draining = true;
    const auto deadline = std::chrono::steady_clock::now() + kSlice;
    bool again = false;
    for (;;) {
        Delivery d;
        {
            std::lock_guard lock(m_mutex);
            if (!m_running || m_queue.empty()) {
                m_drainPosted = false;
                break;
            }
            d = std::move(m_queue.front());
            m_queue.pop_front();
        }
        deliver(d);
        if (std::chrono::steady_clock::now() >= deadline) {
            // Yield to the event loop so painting and input go on, and come back next turn.
            std::lock_guard lock(m_mutex);
            again = m_running && !m_queue.empty();
            m_drainPosted = again;
            break;
        }
    }
    m_draining = false;
    if (again) {
        postDrain();
    }
}

void LinuxNotificationSource::deliver(const Delivery& d)
{
    if (const auto* n = std::get_if<Notification>(&d)) {
        m_sink(*n);
    } else if (m_healthSink) {
        m_healthSink(std::get<CaptureIncident>(d));
    }
}

} // namespace zlv
