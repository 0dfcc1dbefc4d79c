#include "capture/linux/WatchTree.h"

#include "capture/ShellEvents.h"
#include "capture/linux/MountTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace zlv::linuxcapture {

namespace {

// IN_DONT_FOLLOW and IN_ONLYDIR: a folder swapped for a symbolic link between our listing
// and our watch must not lead the watch elsewhere. IN_MOVE_SELF tells that a folder whose
// IN_MOVED_FROM is still unpaired has left the watched area, without waiting.
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

std::string Join(const std::string& dir, const std::string& name)
{
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string ParentOf(const std::string& path)
{
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool MayEnter(const std::string& name)
{
    return !name.empty() && name.front() != '.';
}

Notification Single(std::uint32_t event, const std::string& path, const std::string& name)
{
    return Notification{event, ShellItem{name, path}, std::nullopt};
}

Notification Created(bool isDir, const std::string& path, const std::string& name)
{
    return Single(isDir ? shell::SHCNE_MKDIR : shell::SHCNE_CREATE, path, name);
}

Notification Deleted(bool isDir, const std::string& path, const std::string& name)
{
    return Single(isDir ? shell::SHCNE_RMDIR : shell::SHCNE_DELETE, path, name);
}

struct Entry
{
    std::string name;
    bool isDir;
    // When the entry came into being, if asked for and known. A folder's change time moves
    // with every entry added to it and a file's with every write, so only a birth time
    // tells an old entry from a new one; a file system without one gives a file's change
    // time instead (a write in the moment after a move then reads as new) and nothing for a
    // folder.
    std::optional<WatchTree::Stamp> born;
};

// Fills in what the directory listing left open: the kind and the birth time.
bool Describe(int dirFd, const char* name, Entry& entry)
{
    struct statx sx;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                STATX_TYPE | STATX_BTIME | STATX_CTIME, &sx) == 0) {
        entry.isDir = S_ISDIR(sx.stx_mode);
        if (sx.stx_mask & STATX_BTIME) {
            entry.born = WatchTree::Stamp{sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec};
        } else if (!entry.isDir) {
            entry.born = WatchTree::Stamp{sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec};
        }
        return true;
    }
    if (errno != ENOSYS && errno != EPERM) {
        return false;
    }
    // statx refused (an old kernel, a sandbox that filters it): no birth times then.
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    entry.isDir = S_ISDIR(st.st_mode);
    if (!entry.isDir) {
        entry.born = WatchTree::Stamp{st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
    }
    return true;
}

// The entries of `dir`, opened without following a symbolic link, so a link swapped in for
// the folder cannot take the walk elsewhere.
std::vector<Entry> ListFolder(const std::string& dir, bool withBirth)
{
    std::vector<Entry> entries;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return entries;
    }
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return entries;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        Entry entry{name, e->d_type == DT_DIR, std::nullopt};
        if ((e->d_type == DT_UNKNOWN || withBirth) && !Describe(::dirfd(d), e->d_name, entry)) {
            continue; // gone already; its deletion is in the queue if it was ever seen
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(d);
    return entries;
}

void ReportOnce(bool& reported, const char* message)
{
    if (!reported) {
        reported = true;
        std::fprintf(stderr, "zelvory: %s\n", message);
        std::fflush(stderr);
    }
}

} // namespace

WatchTree::WatchTree(std::string dataFolder) : m_dataFolder(std::move(dataFolder))
{
    while (m_dataFolder.size() > 1 && m_dataFolder.back() == '/') {
        m_dataFolder.pop_back();
    }
}

WatchTree::~WatchTree()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool WatchTree::open()
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        std::fprintf(stderr,
                     "zelvory: cannot watch for file operations (inotify: %s); nothing will "
                     "be recorded\n",
                     std::strerror(errno));
        return false;
    }
    m_buffer.resize(kReadBufferSize);
    return true;
}

void WatchTree::watchRoot(const std::string& root)
{
    if (std::find(m_roots.begin(), m_roots.end(), root) == m_roots.end()) {
        m_roots.push_back(root);
    }
    walk(root, std::nullopt);
}

void WatchTree::unwatchRoot(const std::string& root)
{
    m_roots.erase(std::remove(m_roots.begin(), m_roots.end(), root), m_roots.end());
    unwatchSubtree(root);
}

bool WatchTree::excluded(const std::string& path) const
{
    return !m_dataFolder.empty() && IsSameOrBelow(path, m_dataFolder);
}

std::optional<int> WatchTree::addWatch(const std::string& dir)
{
    const int wd = ::inotify_add_watch(m_fd, dir.c_str(), kWatchMask);
    if (wd < 0) {
        if (errno == ENOSPC) {
            ReportOnce(m_reportedWatchLimit,
                       "the limit of watched folders (fs.inotify.max_user_watches) is "
                       "reached; operations in folders beyond it are not recorded");
        }
        // ENOENT, EACCES, ENOTDIR: the folder went away or is not ours to watch.
        return std::nullopt;
    }
    return wd;
}

void WatchTree::bind(int wd, const std::string& path)
{
    const auto known = m_pathOf.find(wd);
    if (known != m_pathOf.end()) {
        if (known->second == path) {
            return;
        }
        const auto old = m_wdOf.find(known->second);
        if (old != m_wdOf.end() && old->second == wd) {
            m_wdOf.erase(old);
        }
    }
    m_pathOf[wd] = path;
    m_wdOf[path] = wd;
}

void WatchTree::forget(int wd)
{
    const auto known = m_pathOf.find(wd);
    if (known == m_pathOf.end()) {
        return;
    }
    const auto byPath = m_wdOf.find(known->second);
    // A folder moved over this one may own the path by now.
    if (byPath != m_wdOf.end() && byPath->second == wd) {
        m_wdOf.erase(byPath);
    }
    m_pathOf.erase(known);
}

void WatchTree::walk(const std::string& dir, std::optional<Stamp> reportSince)
{
    // The visited set stops a bind mount of a folder inside itself from looping; symbolic
    // links are never entered at all.
    std::unordered_set<int> visited;
    std::vector<std::string> stack{dir};
    while (!stack.empty()) {
        const std::string current = std::move(stack.back());
        stack.pop_back();
        if (excluded(current)) {
            continue;
        }
        // The watch goes on before the listing: whatever is created after it shows up in the
        // queue, whatever before it in the listing, and the overlap is deduplicated.
        const std::optional<int> wd = addWatch(current);
        if (!wd || !visited.insert(*wd).second) {
            continue;
        }
        bind(*wd, current);

        const bool anyTime = reportSince && *reportSince == Stamp{};
        const std::vector<Entry> entries = ListFolder(current, reportSince && !anyTime);
        std::vector<std::string> folders;
        for (const Entry& e : entries) {
            const std::string path = Join(current, e.name);
            if (excluded(path)) {
                continue;
            }
            if (reportSince && (anyTime || (e.born && *e.born >= *reportSince))) {
                m_scanned[path] = m_reads;
                push(Created(e.isDir, path, e.name));
            }
            if (e.isDir && MayEnter(e.name)) {
                folders.push_back(path);
            }
        }
        stack.insert(stack.end(), folders.rbegin(), folders.rend());
    }
}

void WatchTree::walkArrived(const std::string& dir)
{
    // What the folder brought along was there before and is not reported. What was made in it
    // after the move but before our watch was in place would be lost without a trace, so
    // entries born since the move are reported. The move set the folder's change time; so
    // may anything added to it since, so the bound reaches kArrivalSlack further back, and
    // it includes the same tick of the file system's coarse clock: an entry made just before
    // the move reported as new is better than one made after it lost.
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return;
    }
    const auto slack = std::chrono::nanoseconds(kArrivalSlack).count();
    std::int64_t sec = st.st_ctim.tv_sec;
    std::int64_t nsec = st.st_ctim.tv_nsec - slack;
    while (nsec < 0) {
        nsec += 1000000000;
        --sec;
    }
    walk(dir, Stamp{sec, nsec});
}

void WatchTree::unwatchSubtree(const std::string& root)
{
    std::vector<int> gone;
    const auto self = m_wdOf.find(root);
    if (self != m_wdOf.end()) {
        gone.push_back(self->second);
    }
    const std::string prefix = root == "/" ? root : root + "/";
    for (auto it = m_wdOf.lower_bound(prefix);
         it != m_wdOf.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        gone.push_back(it->second);
    }
    for (const int wd : gone) {
        // The kernel answers with IN_IGNORED, which then finds nothing left to forget.
        ::inotify_rm_watch(m_fd, wd);
        forget(wd);
    }
}

void WatchTree::repathSubtree(const std::string& from, const std::string& to)
{
    std::vector<std::pair<std::string, int>> moved;
    if (const auto self = m_wdOf.find(from); self != m_wdOf.end()) {
        moved.emplace_back(self->first, self->second);
        m_wdOf.erase(self);
    }
    const std::string prefix = from + "/";
    for (auto it = m_wdOf.lower_bound(prefix);
         it != m_wdOf.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        moved.emplace_back(it->first, it->second);
        it = m_wdOf.erase(it);
    }
    for (const auto& [path, wd] : moved) {
        const std::string now = to + path.substr(from.size());
        m_wdOf[now] = wd;
        m_pathOf[wd] = now;
    }
}

bool WatchTree::readOnce()
{
    if (m_fd < 0) {
        return false;
    }
    if (beforeRead) {
        beforeRead();
    }
    ssize_t n = 0;
    do {
        n = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return false;
    }
    ++m_reads;
    int left = 0;
    const bool drained = ::ioctl(m_fd, FIONREAD, &left) == 0 && left == 0;

    std::size_t offset = 0;
    const auto size = static_cast<std::size_t>(n);
    while (offset + sizeof(inotify_event) <= size) {
        inotify_event ev;
        std::memcpy(&ev, m_buffer.data() + offset, sizeof ev);
        const char* nameStart = m_buffer.data() + offset + sizeof ev;
        offset += sizeof ev + ev.len;
        if (offset > size) {
            break;
        }
        const std::string name(nameStart, ::strnlen(nameStart, ev.len));
        handle(ev.mask, ev.wd, ev.cookie, name);
    }

    if (drained) {
        std::erase_if(m_scanned, [&](const auto& entry) { return entry.second < m_reads; });
    }
    return true;
}

void WatchTree::handle(std::uint32_t mask, int wd, std::uint32_t cookie, const std::string& name)
{
    if (mask & IN_Q_OVERFLOW) {
        overflowed();
        return;
    }
    if (mask & IN_IGNORED) {
        forget(wd);
        return;
    }
    const auto dir = m_pathOf.find(wd);
    if (dir == m_pathOf.end()) {
        return;
    }
    if (mask & IN_MOVE_SELF) {
        expireMovedFolder(dir->second);
        return;
    }
    if (name.empty()) {
        return; // IN_UNMOUNT and the other events about the watched folder itself
    }
    const std::string path = Join(dir->second, name);
    if (excluded(path)) {
        return;
    }
    const bool isDir = (mask & IN_ISDIR) != 0;
    if (mask & IN_CREATE) {
        created(path, name, isDir);
    } else if (mask & IN_DELETE) {
        m_scanned.erase(path);
        push(Deleted(isDir, path, name));
    } else if (mask & IN_MOVED_FROM) {
        m_scanned.erase(path);
        movedFrom(path, name, isDir, cookie);
    } else if (mask & IN_MOVED_TO) {
        movedTo(path, name, isDir, cookie);
    }
}

void WatchTree::created(const std::string& path, const std::string& name, bool isDir)
{
    if (const auto seen = m_scanned.find(path); seen != m_scanned.end()) {
        m_scanned.erase(seen);
        return;
    }
    push(Created(isDir, path, name));
    if (isDir && MayEnter(name)) {
        // At once, on this thread: `mkdir -p a/b && touch a/b/f` has finished long before a
        // second look, and only the listing can still see what went in unwatched. Everything
        // in a folder that was just made is new.
        walk(path, Stamp{});
    }
}

void WatchTree::movedFrom(const std::string& path, const std::string& name, bool isDir,
                          std::uint32_t cookie)
{
    PendingMove move{cookie, path, name, isDir, std::chrono::steady_clock::now() + kMoveGrace};
    m_slotOfCookie[cookie] = m_firstSlot + m_slots.size();
    m_slots.push_back(Slot{{}, std::move(move)});
}

void WatchTree::movedTo(const std::string& path, const std::string& name, bool isDir,
                        std::uint32_t cookie)
{
    const auto partner = m_slotOfCookie.find(cookie);
    if (partner == m_slotOfCookie.end()) {
        // Moved in from outside the watched area: to us it has just come into being.
        if (const auto seen = m_scanned.find(path); seen != m_scanned.end()) {
            m_scanned.erase(seen);
            return;
        }
        push(Created(isDir, path, name));
        if (isDir && MayEnter(name)) {
            walkArrived(path);
        }
        return;
    }
    Slot& slot = m_slots[partner->second - m_firstSlot];
    m_slotOfCookie.erase(partner);
    const PendingMove from = std::move(*slot.pending);
    slot.pending.reset();

    if (isDir) {
        if (!MayEnter(name)) {
            unwatchSubtree(from.path);
        } else if (m_wdOf.count(from.path)) {
            repathSubtree(from.path, path);
        } else {
            walkArrived(path); // a hidden folder given a visible name
        }
    }

    std::vector<Notification> result;
    if (from.name == name && ParentOf(from.path) != ParentOf(path)) {
        // Moved to another folder under the same name. As a rename its old and new names
        // would be equal and the record would be dropped, losing the operation; the two
        // halves keep both folders on record.
        result.push_back(Deleted(isDir, from.path, from.name));
        result.push_back(Created(isDir, path, name));
    } else {
        const std::uint32_t event = isDir ? shell::SHCNE_RENAMEFOLDER : shell::SHCNE_RENAMEITEM;
        result.push_back(
            Notification{event, ShellItem{from.name, from.path}, ShellItem{name, path}});
    }
    settle(slot, std::move(result));
}

void WatchTree::settle(Slot& slot, std::vector<Notification> notifications)
{
    slot.settled = std::move(notifications);
    flushSlots();
}

void WatchTree::expireMovedFolder(const std::string& path)
{
    // IN_MOVE_SELF comes after both halves of the rename; a folder still waiting for its
    // second half by then has left the watched area.
    for (Slot& slot : m_slots) {
        if (slot.pending && slot.pending->isDir && slot.pending->path == path) {
            const PendingMove move = std::move(*slot.pending);
            slot.pending.reset();
            m_slotOfCookie.erase(move.cookie);
            unwatchSubtree(move.path);
            settle(slot, {Deleted(true, move.path, move.name)});
            return;
        }
    }
}

void WatchTree::expireMoves(TimePoint now, bool all)
{
    for (Slot& slot : m_slots) {
        if (slot.pending && (all || slot.pending->deadline <= now)) {
            const PendingMove move = std::move(*slot.pending);
            slot.pending.reset();
            m_slotOfCookie.erase(move.cookie);
            if (move.isDir) {
                unwatchSubtree(move.path);
            }
            slot.settled = {Deleted(move.isDir, move.path, move.name)};
        }
    }
    flushSlots();
}

int WatchTree::pollTimeoutMs(TimePoint now) const
{
    std::optional<TimePoint> first;
    for (const Slot& slot : m_slots) {
        if (slot.pending && (!first || slot.pending->deadline < *first)) {
            first = slot.pending->deadline;
        }
    }
    if (!first) {
        return -1;
    }
    if (*first <= now) {
        return 0;
    }
    // Rounded up, so that the wake-up does not come a fraction early and spin.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*first - now);
    return static_cast<int>(wait.count());
}

void WatchTree::overflowed()
{
    ReportOnce(m_reportedOverflow,
               "the kernel's queue of file operations overflowed; some operations were not "
               "recorded");
    // Bring the watches back in line with the disk: folders made while events were lost get
    // a watch, folders gone lose theirs. Nothing is reported for them: we cannot tell what
    // happened, only what is there.
    const std::unordered_map<int, std::string> before = std::move(m_pathOf);
    m_pathOf.clear();
    m_wdOf.clear();
    for (const std::string& root : m_roots) {
        walk(root, std::nullopt);
    }
    for (const auto& [wd, path] : before) {
        if (!m_pathOf.count(wd)) {
            ::inotify_rm_watch(m_fd, wd);
        }
    }
}

void WatchTree::deliver(Notification n)
{
    push(std::move(n));
}

void WatchTree::push(Notification n)
{
    if (m_slots.empty()) {
        m_ready.push_back(std::move(n));
    } else {
        Slot slot;
        slot.settled.push_back(std::move(n));
        m_slots.push_back(std::move(slot));
    }
}

void WatchTree::flushSlots()
{
    while (!m_slots.empty() && !m_slots.front().pending) {
        for (Notification& n : m_slots.front().settled) {
            m_ready.push_back(std::move(n));
        }
        m_slots.pop_front();
        ++m_firstSlot;
    }
}

std::vector<Notification> WatchTree::takeReady()
{
    std::vector<Notification> ready;
    ready.swap(m_ready);
    return ready;
}

} // namespace zlv::linuxcapture
