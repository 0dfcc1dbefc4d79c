#include "capture/linux/WatchTree.h"

#include "capture/ShellEvents.h"
#include "capture/linux/MountTable.h"
#include "capture/linux/NameKinds.h"
#include "capture/linux/WatchEvents.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <unordered_set>

namespace zlv::linuxcapture {

using namespace watch;

namespace {

// Operations in the folder are not on record; reported once a run, since a tree of them
// would otherwise fill the gap file.
std::string LongPathSentence(const std::string& path)
{
    constexpr std::size_t kShown = 120;
    const std::string shown = path.size() > kShown ? path.substr(0, kShown) + "..." : path;
    return "A folder's path is too long to be watched, so operations in it are not recorded: " +
           shown;
}

} // namespace

WatchTree::WatchTree(std::string dataFolder, long watchLimit)
    : m_dataFolder(std::move(dataFolder)), m_limit(watchLimit), m_fixedLimit(watchLimit > 0)
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
    if (m_watchMask == 0) {
        m_watchMask = kWatchMask;
    }
    if (!m_fixedLimit) {
        m_limit = WatchLimitInForce();
    }
    m_complete = m_opened = Now();
    m_lastPrune = m_lastLimitRead = std::chrono::steady_clock::now();
    return true;
}

void WatchTree::watchRoot(const std::string& root)
{
    if (std::find(m_roots.begin(), m_roots.end(), root) == m_roots.end()) {
        m_roots.push_back(root);
    }
    walk(root, std::nullopt);
    reviewSkipped();
}

void WatchTree::unwatchRoot(const std::string& root)
{
    m_roots.erase(std::remove(m_roots.begin(), m_roots.end(), root), m_roots.end());
    unwatchSubtree(root);
    reviewSkipped();
}

bool WatchTree::ownFolder(const std::string& path) const
{
    return !m_dataFolder.empty() && IsSameOrBelow(m_dataFolder, path);
}

std::optional<int> WatchTree::addWatch(int dirFd, const std::string& dir)
{
    // Through /proc/self/fd the path is a link by design; the descriptor behind it was opened
    // without following one.
    const std::string target = WatchablePath(dirFd, dir);
    const std::uint32_t mask = target == dir ? m_watchMask : m_watchMask & ~IN_DONT_FOLLOW;
    const int wd = ::inotify_add_watch(m_fd, target.c_str(), mask);
    if (wd >= 0) {
        return wd;
    }
    if (errno == ENOSPC) {
        m_kernelCap = watchCount(); // other programs of the user hold the rest of the limit
        skip(dir);
    } else if ((errno == ENAMETOOLONG || target != dir) && !m_longPathReported) {
        m_longPathReported = true;
        report(
            CaptureIncident{.reason = GapReason::PathTooLong, .sentence = LongPathSentence(dir)});
    }
    // ENOENT, EACCES, ENOTDIR: the folder went away or is not ours to watch.
    return std::nullopt;
}

WatchTree::Folder& WatchTree::bind(int wd, const std::string& path)
{
    Folder& folder = m_folders[wd];
    const FolderTree::Id old = folder.node;
    if (old != FolderTree::kNone && m_paths.path(old) == path) {
        return folder;
    }
    folder.node = m_paths.setWatch(path, wd);
    m_paths.hold(folder.node);
    if (old != FolderTree::kNone) {
        // A folder moved over this one may own the old path by now.
        if (m_paths.watch(old) == wd) {
            m_paths.clearWatch(old);
        }
        m_paths.letGo(old);
    }
    return folder;
}

void WatchTree::forget(int wd)
{
    const auto known = m_folders.find(wd);
    if (known == m_folders.end()) {
        return;
    }
    const FolderTree::Id node = known->second.node;
    m_folders.erase(known);
    if (node != FolderTree::kNone) {
        if (m_paths.watch(node) == wd) {
            m_paths.clearWatch(node);
        }
        m_paths.letGo(node);
    }
}

std::vector<std::pair<std::string, int>> WatchTree::watchedFrom(const std::string& root,
                                                                bool self) const
{
    std::vector<std::pair<std::string, int>> out;
    const FolderTree::Id top = m_paths.find(root);
    if (top == FolderTree::kNone) {
        return out;
    }
    if (self && m_paths.watch(top) != FolderTree::kNoWatch) {
        out.emplace_back(root, m_paths.watch(top));
    }
    m_paths.forEachWatchedBelow(
        top, [&](FolderTree::Id id) { out.emplace_back(m_paths.path(id), m_paths.watch(id)); });
    return out;
}

void WatchTree::walk(const std::string& dir, std::optional<Stamp> reportSince)
{
    // The visited set stops a bind mount of a folder inside itself from looping; symbolic
    // links are never entered at all.
    std::unordered_set<int> visited;
    // Each folder with the repository it lies in. A watched root's own repository is never
    // consulted: a home kept under Git often ignores everything it does not track.
    std::deque<std::pair<std::string, RepoId>> queue{{dir, isRoot(dir) ? 0 : repoOfParent(dir)}};
    const bool anyTime = reportSince && *reportSince == Stamp{};
    std::size_t walked = 0;
    while (!queue.empty()) {
        const std::string current = std::move(queue.front().first);
        RepoId repo = queue.front().second;
        queue.pop_front();
        if (excluded(current) || m_notEntered.count(current)) {
            continue;
        }
        if (++walked % kPumpEvery == 0) {
            pump(); // a long walk must not leave the kernel's queue to overflow meanwhile
        }
        if (watchCount() >= budget()) {
            skip(current);
            continue;
        }
        // The watch goes on before the listing: whatever is created after it shows up in the
        // queue, whatever before it in the listing, and the overlap is deduplicated.
        const int fd = OpenFolder(current);
        if (fd < 0) {
            if (errno == ENAMETOOLONG && !m_longPathReported) {
                m_longPathReported = true;
                report(CaptureIncident{.reason = GapReason::PathTooLong,
                                       .sentence = LongPathSentence(current)});
            }
            continue;
        }
        const std::optional<int> wd = addWatch(fd, current);
        if (!wd || !visited.insert(*wd).second) {
            ::close(fd);
            continue;
        }
        const std::vector<FolderEntry> entries =
            ListFolder(fd, anyTime ? std::nullopt : reportSince);
        const auto has = [&entries](std::string_view name) {
            return std::any_of(entries.begin(), entries.end(),
                               [&](const FolderEntry& e) { return e.name == name; });
        };
        const bool root = isRoot(current);
        if (!root && has("CACHEDIR.TAG") && HasCacheTag(fd)) {
            ::close(fd);
            ::inotify_rm_watch(m_fd, *wd);
            cacheFound(current);
            continue;
        }
        if (!root && has(".git")) {
            // A work tree of its own (a submodule too); one that cannot be opened is judged
            // by the rules of the work tree around it, if any.
            if (const RepoId own = m_git.open(current)) {
                repo = own;
            }
        }
        Folder& folder = bind(*wd, current);
        folder.repo = repo;
        folder.names.clear();
        for (const FolderEntry& e : entries) {
            const std::string path = Join(current, e.name);
            if (excluded(path)) {
                continue;
            }
            if (KindOfName(e.name, e.isDir) == NameKind::Ordinary) {
                folder.names.insert(e.name);
            }
            const bool report = reportSince && (anyTime || (e.born && *e.born >= *reportSince)) &&
                                !ownFolder(path) && !m_remembered.count(path);
            const bool enter = e.isDir && MayEnter(e.name) && !m_notEntered.count(path);
            if ((report || enter) && m_git.ignored(repo, path, e.isDir)) {
                continue;
            }
            if (report) {
                m_scanned[path] = m_reads;
                pushCreated(e.isDir, path, e.name);
            }
            if (enter) {
                queue.emplace_back(path, repo);
            }
        }
        ::close(fd);
    }
}

void WatchTree::walkArrived(const std::string& dir)
{
    // What the folder brought along was there before and is not reported. What was made in it
    // after the move but before our watch was in place would be lost without a trace, so
    // entries born since the move are reported. The move set the folder's change time; so
    // may anything added to it since, so the bound reaches kArrivalSlack further back, and
    // it includes the same tick of the file system's coarse clock: an entry made just before
    // the move reported as new is better than one made after it lost. What was reported
    // already under another name of the folder is remembered and not reported again.
    const int fd = OpenFolder(dir);
    if (fd < 0) {
        return;
    }
    const std::optional<Stamp> changed = FolderChangeTime(fd);
    ::close(fd);
    if (changed) {
        walk(dir, Earlier(*changed, kArrivalSlack));
    }
}

void WatchTree::unwatchSubtree(const std::string& root)
{
    for (const auto& [path, wd] : watchedFrom(root, true)) {
        // The kernel answers with IN_IGNORED, which then finds nothing left to forget.
        ::inotify_rm_watch(m_fd, wd);
        forget(wd);
    }
    std::erase_if(m_skipped, [&](const auto& s) { return IsSameOrBelow(s.first, root); });
    m_skippedChanged = true;
}

void WatchTree::repathSubtree(const std::string& from, const std::string& to)
{
    for (const auto& [path, wd] : watchedFrom(from, true)) {
        bind(wd, to + path.substr(from.size()));
    }
    // Folders left unwatched under it keep their place in the queue for a watch.
    std::vector<std::pair<std::string, std::size_t>> skipped;
    for (auto it = m_skipped.begin(); it != m_skipped.end();) {
        if (IsSameOrBelow(it->first, from)) {
            skipped.emplace_back(to + it->first.substr(from.size()), it->second);
            it = m_skipped.erase(it);
        } else {
            ++it;
        }
    }
    m_skipped.insert(skipped.begin(), skipped.end());
}

bool WatchTree::fetch()
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
    Chunk chunk;
    chunk.number = ++m_reads;
    // Taken before the queue is found empty: whatever happened before this moment is read.
    chunk.readAt = Now();
    int left = 0;
    chunk.drained = ::ioctl(m_fd, FIONREAD, &left) == 0 && left == 0;
    chunk.bytes.assign(m_buffer.data(), m_buffer.data() + n);
    m_backlog.push_back(std::move(chunk));
    return true;
}

void WatchTree::pump()
{
    while (m_backlog.size() < kMaxBacklog && fetch()) {
    }
}

bool WatchTree::readOnce()
{
    if (m_backlog.empty() && !fetch()) {
        return false;
    }
    const Chunk chunk = std::move(m_backlog.front());
    m_backlog.pop_front();
    handleChunk(chunk);
    m_lastDrained = chunk.drained;
    return true;
}

void WatchTree::handleChunk(const Chunk& chunk)
{
    std::size_t offset = 0;
    const std::size_t size = chunk.bytes.size();
    m_onlyWrites = true;
    while (offset + sizeof(inotify_event) <= size) {
        inotify_event ev;
        std::memcpy(&ev, chunk.bytes.data() + offset, sizeof ev);
        const char* nameStart = chunk.bytes.data() + offset + sizeof ev;
        offset += sizeof ev + ev.len;
        if (offset > size) {
            break;
        }
        m_onlyWrites = m_onlyWrites && ev.mask == IN_MODIFY;
        const std::string name(nameStart, ::strnlen(nameStart, ev.len));
        handle(ev.mask, ev.wd, ev.cookie, name);
    }
    if (chunk.drained) {
        std::erase_if(m_scanned, [&](const auto& entry) { return entry.second < chunk.number; });
        m_complete = chunk.readAt;
        pruneRemembered();
    }
    retrySkipped();
    reviewSkipped();
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
    const auto dir = m_folders.find(wd);
    if (dir == m_folders.end()) {
        return;
    }
    if (mask & IN_MOVE_SELF) {
        expireMovedFolder(pathOf(dir->second));
        return;
    }
    if (name.empty()) {
        return; // IN_UNMOUNT and the other events about the watched folder itself
    }
    Folder& folder = dir->second;
    const std::string folderPath = pathOf(folder);
    const std::string path = Join(folderPath, name);
    const bool isDir = (mask & IN_ISDIR) != 0;
    if (excluded(path) && path != m_dataFolder) {
        if (mask & (IN_DELETE | IN_MOVED_FROM)) {
            m_caches.erase(path); // where it goes, its tag is found again
        }
        return;
    }
    const bool ordinary = KindOfName(name, isDir) == NameKind::Ordinary;
    const RepoId repo = folder.repo;
    const bool ignored = m_git.ignored(repo, path, isDir);
    if (mask & IN_MODIFY) {
        const std::string where = folderPath;
        if (noticeSpecialName(where, name, isDir)) {
            return;
        }
        if (!ignored) {
            push(Single(shell::SHCNE_UPDATEITEM, path, name));
        }
        return;
    }
    if (mask & IN_CREATE) {
        if (ordinary) {
            folder.names.insert(name);
        }
        created(path, name, isDir, repo, ignored);
        return;
    }
    if (mask & IN_DELETE) {
        folder.names.erase(name);
        noticeSpecialName(folderPath, name, isDir);
        m_scanned.erase(path);
        forgetRemembered(path, isDir);
        if (isDir && m_skipped.erase(path)) {
            m_skippedChanged = true;
        }
        if (!ignored) {
            push(Deleted(isDir, path, name));
        }
    } else if (mask & IN_MOVED_FROM) {
        folder.names.erase(name);
        m_scanned.erase(path);
        movedFrom(path, name, isDir, cookie, ignored);
    } else if (mask & IN_MOVED_TO) {
        // Asked before the name goes in: the kernel never says what a rename replaced.
        const bool replaced = ordinary && folder.names.contains(name);
        if (ordinary) {
            folder.names.insert(name);
        }
        movedTo(path, name, isDir, cookie, replaced, repo, ignored);
    }
}

void WatchTree::created(const std::string& path, const std::string& name, bool isDir, RepoId repo,
                        bool ignored)
{
    if (const auto seen = m_scanned.find(path); seen != m_scanned.end()) {
        m_scanned.erase(seen);
        return;
    }
    if (noticeSpecialName(ParentOf(path), name, isDir) || ignored) {
        return;
    }
    // The folders that hold the data folder are made by the program itself, not the user.
    if (!(isDir && ownFolder(path))) {
        pushCreated(isDir, path, name);
    }
    if (isDir && mayEnter(path, name, repo)) {
        // At once, on this thread: `mkdir -p a/b && touch a/b/f` has finished long before a
        // second look, and only the listing can still see what went in unwatched. Everything
        // in a folder that was just made is new.
        walk(path, Stamp{});
    }
}

void WatchTree::overflowed()
{
    // What the lost events said cannot be known; what they left behind can be seen. Every
    // entry that came into being since the queue was last known complete is reported as
    // created, as for a folder that moved in; deletions and renames in the gap stay unknown,
    // and the incident says so.
    const Stamp since = std::max(Earlier(m_complete, kArrivalSlack), m_opened);
    report(CaptureIncident{.reason = GapReason::Overflow,
                           .sentence =
                               "The system's queue of file events overflowed: operations since " +
                               LocalClockText(m_complete) +
                               " may be missing. Files and folders made since then were recovered; "
                               "deletions and renames were not."});
    // Bring the watches back in line with the disk: folders made while events were lost get
    // a watch, folders gone lose theirs.
    std::unordered_map<int, Folder> before = std::move(m_folders);
    m_folders.clear();
    m_paths.clear();
    m_skipped.clear();
    m_skippedChanged = true;
    for (const std::string& root : m_roots) {
        walk(root, since);
    }
    for (const auto& [wd, folder] : before) {
        if (!m_folders.count(wd)) {
            ::inotify_rm_watch(m_fd, wd);
        }
    }
}

void WatchTree::deliver(Notification n)
{
    push(std::move(n));
}

void WatchTree::report(CaptureIncident incident)
{
    push(std::move(incident));
}

void WatchTree::pushCreated(bool isDir, const std::string& path, const std::string& name,
                            bool replaced)
{
    push(Created(isDir, path, name, replaced));
    remember(path);
}

} // namespace zlv::linuxcapture
