#pragma once

#include "capture/CaptureHealth.h"
#include "capture/Notification.h"
#include "capture/linux/FolderScan.h"
#include "capture/linux/FolderTree.h"
#include "capture/linux/GitIgnore.h"
#include "capture/linux/NameSet.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

namespace zlv::linuxcapture {

// What the watch tree hands on, in order: a notification, or word that it could not see
// everything (or sees everything again).
using Delivery = std::variant<Notification, CaptureIncident>;

// The inotify side of Linux capture: one inotify instance with a watch on every folder of
// the watched trees, and the translation of its events into notifications. It belongs to
// the reader thread alone; nothing in it is locked.
//
// Notifications come out in the order their operations happened, raw: what they add up to
// is the settle stage's business. The one thing that must wait is the first half of a move
// (IN_MOVED_FROM): until its second half arrives or is overdue, it holds back everything
// behind it, so that a rename never overtakes what happened before or after it. A move
// between folders stays one rename notification, whatever its names. Each watched folder
// keeps the names it holds, so that a rename that replaced one can say so.
//
// Folders that are not the user's work are neither watched nor reported: the data folder,
// the user's exclusions, caches tagged with CACHEDIR.TAG, and what Git ignores in a work
// tree below a watched root (a file Git ignores is not reported either; renamed across
// that line it counts as made or deleted).
class WatchTree final
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Stamp = linuxcapture::Stamp;

    // How long the first half of a move waits for the second before it counts as moved out
    // of the watched area. Both halves are queued within one rename call, so this only
    // covers a reader that took the queue between them.
    static constexpr std::chrono::milliseconds kMoveGrace{10};
    static constexpr std::size_t kReadBufferSize = 256 * 1024;
    // How far before a moved-in folder's change time, or the last moment the kernel's queue
    // was known complete, an entry still counts as made after it (see walkArrived).
    static constexpr std::chrono::milliseconds kArrivalSlack{50};
    // The share of the watch limit left to the user's other programs, in percent.
    static constexpr long kReservePercent = 10;
    // A long walk reads the kernel's queue after this many folders, and keeps at most this
    // many reads waiting for their turn.
    static constexpr std::size_t kPumpEvery = 32;
    static constexpr std::size_t kMaxBacklog = 256;

    // `dataFolder` and everything below it is never watched; what happens inside it is never
    // reported, nor are the folders made to hold it. `watchLimit` overrides the limit read
    // from the system (0: read it).
    explicit WatchTree(std::string dataFolder, long watchLimit = 0);
    ~WatchTree();
    WatchTree(const WatchTree&) = delete;
    WatchTree& operator=(const WatchTree&) = delete;

    // False when the kernel refused an inotify instance; the reason is on standard error.
    bool open();
    int fd() const { return m_fd; }

    // Watches `root` and every folder below it that may be entered, reporting nothing: what
    // is there already was not done while we were watching. The root is watched again after
    // a queue overflow.
    void watchRoot(const std::string& root);
    void unwatchRoot(const std::string& root);
    // Folders that are reported like any other but never entered (network mounts).
    void setNotEntered(std::set<std::string> paths) { m_notEntered = std::move(paths); }
    // A file system was mounted at, or unmounted from, `mountPoint` inside the watched area:
    // its watches are rebuilt for whatever lies there now, reporting nothing.
    void remount(const std::string& mountPoint);

    // Folders the user chose not to record (absolute, symbolic links resolved): neither
    // they nor anything below them is watched or reported. A folder newly excluded loses its
    // watches at once; one no longer excluded is watched again without reporting what it
    // holds.
    void setExcluded(std::vector<std::string> folders);
    // Whether what Git ignores in a work tree below the watched roots is left alone (the
    // default) or watched like the rest.
    void setSkipGitIgnored(bool skip);
    // Whether `path` is never reported: the data folder, a user's exclusion, a cache folder
    // (tagged with CACHEDIR.TAG), or anything below one of them.
    bool excluded(const std::string& path) const;
    // Folders found since the last call not to be the user's work (a cache tag appeared, the
    // user excluded it): what is still settling about them is to be dropped.
    std::vector<std::string> takeDisowned() { return std::exchange(m_disowned, {}); }

    // Reports every write to a file as SHCNE_UPDATEITEM, so that a file still being written
    // counts as changing. Set before the first root is watched.
    void setReportWrites(bool on);

    // Queues a notification that did not come from inotify (a mount, a medium), or an
    // incident, in its place among the file operations.
    void deliver(Notification n);
    void report(CaptureIncident incident);

    // Handles what the kernel has queued, at most one buffer. True when something was
    // handled, so the caller reads again; false once the queue is empty or cannot be read.
    bool readOnce();
    // Events read from the kernel during a long walk and not handled yet.
    bool hasBacklog() const { return !m_backlog.empty(); }
    // Whether the last read held nothing but writes to files.
    bool readOnlyWrites() const { return m_onlyWrites; }
    // The last read emptied the kernel's queue and all it read is handled: another read
    // would find nothing, and whatever comes next wakes poll().
    bool caughtUp() const { return m_lastDrained && m_backlog.empty(); }

    // Settles moves whose second half is overdue (every pending move when `all`) as
    // deletions at their old place.
    void expireMoves(TimePoint now, bool all);

    // Takes up Git's rules again where a repository or an ignore file appeared or changed
    // a while ago (the writing is over by then).
    void applyDueRules(TimePoint now);

    // How long poll() may wait before a pending move or a rule change falls due or the
    // backlog needs handling: -1 when nothing is pending.
    int pollTimeoutMs(TimePoint now) const;

    // What is ready for delivery, oldest first; the tree forgets it.
    std::vector<Delivery> takeReady();

    std::size_t watchCount() const { return m_folders.size(); }
    // What the names of the watched folders cost (the folder records' own share included)
    // and how many names they hold.
    std::size_t nameBytes() const;
    std::size_t nameCount() const;

    // Runs on the reader thread before every read of the kernel's queue. Lets a test hold the
    // reader back until the queue overflows.
    std::function<void()> beforeRead;

private:
    using RepoId = GitIgnore::RepoId;

    // A watched folder: where it is (its entry in m_paths, which it holds), the names it
    // holds, and the Git repository it is in.
    struct Folder
    {
        FolderTree::Id node = FolderTree::kNone;
        NameSet names;
        RepoId repo = 0;
    };
    struct PendingMove
    {
        std::uint32_t cookie = 0;
        std::string path;
        std::string name;
        bool isDir = false;
        bool ignored = false; // Git ignores where it left from
        TimePoint deadline;
    };
    // One place in the delivery order: either settled deliveries or a move still waiting.
    struct Slot
    {
        std::vector<Delivery> settled;
        std::optional<PendingMove> pending;
    };
    // One read of the kernel's queue, kept until its events are handled in turn.
    struct Chunk
    {
        std::vector<char> bytes;
        std::uint64_t number = 0;
        bool drained = false; // the queue was empty right after this read
        Stamp readAt;
    };

    bool fetch();
    void pump();
    void handleChunk(const Chunk& chunk);
    void handle(std::uint32_t mask, int wd, std::uint32_t cookie, const std::string& name);
    void created(const std::string& path, const std::string& name, bool isDir, RepoId repo,
                 bool ignored);
    void movedFrom(const std::string& path, const std::string& name, bool isDir,
                   std::uint32_t cookie, bool ignored);
    void movedTo(const std::string& path, const std::string& name, bool isDir, std::uint32_t cookie,
                 bool replaced, RepoId repo, bool ignored);
    void settle(Slot& slot, std::vector<Delivery> deliveries);
    void expireMovedFolder(const std::string& path);
    void overflowed();

    // Watches `dir` and what lies below it, breadth first, so that when the watch budget
    // runs out it is the deepest folders that go without. With `reportSince`, every entry
    // found that came into being at or after that time, and was not reported already, is
    // reported as created and remembered, so that its own IN_CREATE, still in the queue, is
    // not reported a second time.
    void walk(const std::string& dir, std::optional<Stamp> reportSince);
    // Watches a folder that came into the watched area by a move.
    void walkArrived(const std::string& dir);
    std::optional<int> addWatch(int dirFd, const std::string& dir);
    Folder& bind(int wd, const std::string& path);
    void forget(int wd);
    void unwatchSubtree(const std::string& root);
    std::string pathOf(const Folder& folder) const { return m_paths.path(folder.node); }
    bool watched(const std::string& path) const
    {
        return m_paths.watchOf(path) != FolderTree::kNoWatch;
    }
    // The folders watched at (with `self`) and below `root`, parents first.
    std::vector<std::pair<std::string, int>> watchedFrom(const std::string& root, bool self) const;
    void repathSubtree(const std::string& from, const std::string& to);
    bool ownFolder(const std::string& path) const;

    // Whether the folder `path` (named `name`, in repository `repo`) is walked and watched.
    bool mayEnter(const std::string& path, const std::string& name, RepoId repo) const;
    bool isRoot(const std::string& path) const;
    RepoId repoOfParent(const std::string& path) const;
    // A special name turned up in `folder`: a cache tag (true when the folder is a cache
    // now), or a repository or ignore file whose rules are taken up a little later.
    bool noticeSpecialName(const std::string& folder, const std::string& name, bool isDir);
    void cacheFound(const std::string& folder);
    // Brings the watches below `top` in line with the rules: what they exclude now loses
    // its watches, what they allow now gets one. Nothing is reported.
    void applyRules(const std::string& top);

    // The watch budget: what the limit leaves us after the reserve, or what the kernel let us
    // have.
    std::size_t budget() const;
    void skip(const std::string& folder);
    void retrySkipped();
    void reviewSkipped();
    std::size_t countFolders(const std::string& top);

    void remember(const std::string& path);
    void forgetRemembered(const std::string& path, bool subtree);
    void repathRemembered(const std::string& from, const std::string& to);
    void pruneRemembered();

    void push(Delivery d);
    void pushCreated(bool isDir, const std::string& path, const std::string& name,
                     bool replaced = false);
    void flushSlots();

    int m_fd = -1;
    std::string m_dataFolder;
    std::vector<std::string> m_roots;
    std::set<std::string> m_notEntered;
    std::vector<char> m_buffer;
    std::deque<Chunk> m_backlog;
    bool m_onlyWrites = false;
    bool m_lastDrained = false;

    std::unordered_map<int, Folder> m_folders;
    FolderTree m_paths; // every watched folder's path and watch, its names shared
    std::uint32_t m_watchMask = 0;

    std::vector<std::string> m_excluded; // sorted
    std::set<std::string> m_caches;
    GitIgnore m_git;
    std::map<std::string, TimePoint> m_rulesDue; // folder -> when to take up its rules again
    std::vector<std::string> m_disowned;

    // Entries a scan of a new folder reported, with the read count at the time of the scan.
    // Once a read has emptied the kernel's queue, every IN_CREATE that raced a scan before
    // that read has been seen, and the scan's entries can be forgotten.
    std::unordered_map<std::string, std::uint64_t> m_scanned;
    std::uint64_t m_reads = 0;
    // The last moment the kernel's queue was known to hold nothing we had not read, and the
    // moment watching began: nothing older than that was done while we watched.
    Stamp m_complete;
    Stamp m_opened;

    // Entries reported as created or renamed to lately, under their present paths, with when
    // they were reported: a folder arriving by a rename, or the rescan after an overflow,
    // finds them again and must not report them twice.
    std::map<std::string, Stamp> m_remembered;
    TimePoint m_lastPrune;

    // Watch limit: folders left unwatched (the shallowest of each unwatched subtree), how
    // many folders their subtrees hold, and whether the user has been told.
    long m_limit = 0;
    bool m_fixedLimit = false;
    // Our watch count when the kernel said no before our budget was used up: the user's
    // other programs hold the rest. Lifted when watches are retried.
    std::size_t m_kernelCap = static_cast<std::size_t>(-1);
    std::map<std::string, std::size_t> m_skipped; // folder -> folders in its subtree
    std::vector<std::string> m_newlySkipped;      // not counted yet
    std::size_t m_unwatched = 0;
    bool m_skippedChanged = false;
    bool m_limitReported = false;
    TimePoint m_lastLimitRead;
    bool m_longPathReported = false;

    std::deque<Slot> m_slots;
    std::uint64_t m_firstSlot = 0; // sequence number of m_slots.front()
    std::unordered_map<std::uint32_t, std::uint64_t> m_slotOfCookie;
    std::vector<Delivery> m_ready;
};

} // namespace zlv::linuxcapture
