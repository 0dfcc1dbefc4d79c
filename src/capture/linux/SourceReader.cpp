#include "capture/linux/SourceReader.h"

#include "capture/ShellEvents.h"
#include "capture/linux/NameKinds.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <unistd.h>

namespace zlv {

using linuxcapture::MountEntry;

// The form the kernel reports paths in, so that prefixes compare: symbolic links resolved,
// no trailing separator. A path that does not exist (yet) is only trimmed.
std::string CanonicalPath(const std::string& path)
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

CaptureIncident CaptureStoppedIncident(std::string sentence)
{
    return CaptureIncident{.reason = GapReason::CaptureStopped,
                           .sentence = std::move(sentence),
                           .ongoing = true,
                           .needsAction = true};
}

LinuxNotificationSource::Reader::Reader(LinuxNotificationSource& owner,
                                        std::unique_ptr<linuxcapture::WatchTree> tree)
    : m_owner(owner), m_tree(std::move(tree))
{
    if (m_owner.m_stage) {
        m_tree->setReportWrites(true);
    }
}

void LinuxNotificationSource::Reader::run()
{
    const LinuxCaptureOptions& options = m_owner.m_options;
    for (const std::string& root : options.mountRoots) {
        m_roots.push_back(CanonicalPath(root));
    }
    takeExclusions();
    m_home = CanonicalPath(options.homeFolder.empty() ? HomeFolder() : options.homeFolder);
    // The mount table first, so that a network share inside the home is not walked.
    m_mountFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountFd >= 0) {
        readTable();
    }
    if (m_home == "/") {
        // Every folder of the system, other users' included, is not a journal of the user's
        // own work, and would take the whole watch budget.
        m_tree->report(
            CaptureStoppedIncident("The home folder is the root of the file system (/), so "
                                   "Zelvory watches no folder and records no file operation. "
                                   "Start it with HOME set to your own folder."));
        m_home.clear();
    } else if (m_home.empty()) {
        m_tree->report(
            CaptureStoppedIncident("No home folder was found, so Zelvory watches no folder "
                                   "and records no file operation."));
    } else {
        m_tree->watchRoot(m_home);
    }
    if (m_mountFd >= 0) {
        mountsChanged();
    }
    if (options.watchMedia) {
        m_media.open();
    }
    {
        std::lock_guard lock(m_owner.m_mutex);
        m_owner.m_watching = true;
    }
    m_owner.m_watchingChanged.notify_all();
    publish(false); // what the start has to tell

    loop();

    // Stopping: what the kernel holds already still happened before the stop, and what
    // is settling is judged as it stands.
    while (m_tree->readOnce()) {
    }
    m_tree->expireMoves(std::chrono::steady_clock::now(), true);
    publish(true);
    if (m_mountFd >= 0) {
        ::close(m_mountFd);
    }
}

void LinuxNotificationSource::Reader::loop()
{
    enum
    {
        kStop,
        kWake,
        kInotify,
        kMounts,
        kMedia
    };
    std::array<pollfd, 5> fds{};
    fds[kStop] = {m_owner.m_stopFd, POLLIN, 0};
    fds[kWake] = {m_owner.m_wakeFd, POLLIN, 0};
    fds[kInotify] = {m_tree->fd(), POLLIN, 0};
    fds[kMounts] = {m_mountFd, POLLPRI, 0};
    fds[kMedia] = {m_media.fd(), POLLIN, 0};
    // A program writing a file (a download) sends an event for every write. After a read
    // of nothing else, the queue is left alone for a moment: the kernel folds a file's
    // writes into one event meanwhile, and a burst of anything else still fits the queue.
    constexpr auto kWritesPause = std::chrono::milliseconds(50);
    std::chrono::steady_clock::time_point quietUntil;
    const auto earliest = [](int a, int b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); };
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        int timeout = m_tree->pollTimeoutMs(now);
        const bool quiet = now < quietUntil && !m_tree->hasBacklog();
        fds[kInotify].fd = quiet ? -1 : m_tree->fd();
        if (quiet) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(quietUntil - now);
            timeout = earliest(timeout, static_cast<int>(left.count()));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_tree->report(
                CaptureStoppedIncident(std::string("File operations are no longer recorded: ") +
                                       std::strerror(errno) + "."));
            return;
        }
        if (fds[kStop].revents) {
            return;
        }
        if (fds[kWake].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto n = ::read(m_owner.m_wakeFd, &count, sizeof count);
            takeExclusions();
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
                publish(false);
                if (m_tree->caughtUp()) {
                    break; // a read now would only say so
                }
            }
            if (m_owner.m_stage && m_tree->readOnlyWrites()) {
                quietUntil = std::chrono::steady_clock::now() + kWritesPause;
            }
        }
        if (fds[kMedia].revents & POLLIN) {
            for (Notification& n : m_media.receive(m_table)) {
                m_tree->deliver(std::move(n));
            }
        }
        m_tree->expireMoves(std::chrono::steady_clock::now(), false);
        m_tree->applyDueRules(std::chrono::steady_clock::now());
        publish(false);
    }
}

void LinuxNotificationSource::Reader::takeExclusions()
{
    std::vector<std::string> folders;
    bool skipGitIgnored = true;
    {
        std::lock_guard lock(m_owner.m_mutex);
        folders = m_owner.m_options.excludedFolders;
        skipGitIgnored = m_owner.m_options.skipGitIgnored;
        m_owner.m_exclusionsChanged = false;
    }
    for (std::string& folder : folders) {
        folder = CanonicalPath(folder);
    }
    std::erase_if(folders, [](const std::string& f) { return f.empty() || f == "/"; });
    m_tree->setExcluded(std::move(folders));
    m_tree->setSkipGitIgnored(skipGitIgnored);
}

bool LinuxNotificationSource::Reader::readTable()
{
    bool ok = false;
    const std::string text = linuxcapture::ReadWholeFile(m_mountFd, &ok);
    if (!ok) {
        return false; // an unreadable table must not read as every drive removed
    }
    m_table = linuxcapture::ParseMountInfo(text);
    // A network share mounted anywhere, inside the home too, is never entered.
    std::set<std::string> remote;
    for (const MountEntry& mount : m_table) {
        if (linuxcapture::IsRemoteOrUserSpace(mount.fileSystem)) {
            remote.insert(mount.mountPoint);
        }
    }
    m_tree->setNotEntered(std::move(remote));
    return true;
}

// A mount inside the home counts as a drive when the user can see its folder: no hidden
// folder on the way, nothing excluded.
bool LinuxNotificationSource::Reader::isHomeDrive(const MountEntry& mount) const
{
    if (m_home.empty() || !linuxcapture::IsStrictlyBelow(mount.mountPoint, m_home) ||
        m_tree->excluded(mount.mountPoint)) {
        return false;
    }
    std::string_view rest = std::string_view(mount.mountPoint).substr(m_home.size() + 1);
    while (!rest.empty()) {
        const std::size_t cut = std::min(rest.find('/'), rest.size());
        if (linuxcapture::KindOfName(rest.substr(0, cut), true) == linuxcapture::NameKind::Hidden) {
            return false;
        }
        rest.remove_prefix(std::min(cut + 1, rest.size()));
    }
    return true;
}

void LinuxNotificationSource::Reader::mountsChanged()
{
    if (!readTable()) {
        return;
    }
    std::vector<MountEntry> drives = linuxcapture::Drives(m_table, m_roots);
    for (const MountEntry& mount : m_table) {
        if (isHomeDrive(mount) &&
            std::none_of(drives.begin(), drives.end(),
                         [&](const MountEntry& d) { return d.id == mount.id; })) {
            drives.push_back(mount);
        }
    }
    if (!m_haveTable) {
        // The drives there at the start were not added while we watched; those inside the
        // home were walked with it.
        m_haveTable = true;
        for (const MountEntry& drive : drives) {
            if (!isHomeDrive(drive)) {
                watchDrive(drive);
            }
        }
        m_drives = std::move(drives);
        return;
    }
    const linuxcapture::MountChanges changes = linuxcapture::DiffMounts(m_drives, drives);
    for (const MountEntry& gone : changes.removed) {
        if (!m_home.empty() && linuxcapture::IsStrictlyBelow(gone.mountPoint, m_home)) {
            m_tree->remount(gone.mountPoint); // the folder underneath is in sight again
        } else {
            m_tree->unwatchRoot(gone.mountPoint);
        }
        m_tree->deliver(Notification{shell::SHCNE_DRIVEREMOVED,
                                     linuxcapture::MountPointItem(gone.mountPoint), std::nullopt});
    }
    for (const MountEntry& added : changes.added) {
        m_tree->deliver(Notification{shell::SHCNE_DRIVEADD,
                                     linuxcapture::MountPointItem(added.mountPoint), std::nullopt});
        if (isHomeDrive(added)) {
            m_tree->remount(added.mountPoint); // skips a network share, as the walk does
        } else {
            watchDrive(added);
        }
    }
    m_drives = std::move(drives);
}

void LinuxNotificationSource::Reader::watchDrive(const MountEntry& drive)
{
    if (!linuxcapture::IsRemoteOrUserSpace(drive.fileSystem)) {
        m_tree->watchRoot(drive.mountPoint);
    }
}

void LinuxNotificationSource::Reader::publish(bool all)
{
    std::vector<Delivery> ready = m_tree->takeReady();
    const std::vector<std::string> disowned = m_tree->takeDisowned();
    if (!m_owner.m_stage) {
        // As the kernel said it, but a move under the same name still needs two records.
        std::vector<Delivery> out;
        for (Delivery& d : ready) {
            if (auto* n = std::get_if<Notification>(&d)) {
                for (Notification& half : linuxcapture::SplitSameNameMove(std::move(*n))) {
                    out.emplace_back(std::move(half));
                }
            } else {
                out.push_back(std::move(d));
            }
        }
        m_owner.publish(out);
        return;
    }
    if (ready.empty() && disowned.empty() && !all) {
        return; // what is due is the sink's thread's to hand on
    }
    const auto now = std::chrono::steady_clock::now();
    bool wake = false;
    {
        std::lock_guard lock(m_owner.m_mutex);
        linuxcapture::SettleStage& stage = *m_owner.m_stage;
        for (Delivery& d : ready) {
            stage.take(std::move(d), now);
        }
        for (const std::string& folder : disowned) {
            stage.disown(folder);
        }
        // Only what waits for no deadline (a drive, an incident with nothing before it):
        // what falls due is the timer's, or every operation would wake both threads.
        std::vector<Delivery> out;
        stage.release(out, all ? now : std::chrono::steady_clock::time_point::min(), all);
        wake = m_owner.queueSettled(out, all);
    }
    if (wake) {
        m_owner.postDrain();
    }
}

} // namespace zlv
