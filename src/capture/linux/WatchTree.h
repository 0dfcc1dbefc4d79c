#pragma once

#include "capture/RecordPipeline.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zlv::linuxcapture {

// The inotify side of Linux capture: one inotify instance with a watch on every folder of
// the watched trees, and the translation of its events into notifications. It belongs to
// the reader thread alone; nothing in it is locked.
//
// Notifications come out in the order their operations happened. The one thing that must
// wait is the first half of a move (IN_MOVED_FROM): until its second half arrives or is
// overdue, it holds back everything behind it, so that a rename never overtakes what
// happened before or after it.
class WatchTree final
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // A file time (seconds, nanoseconds); the zero stamp is older than any file.
    using Stamp = std::pair<std::int64_t, std::int64_t>;

    // How long the first half of a move waits for the second before it counts as moved out
    // of the watched area. Both halves are queued within one rename call, so this only
    // covers a reader that took the queue between them.
    static constexpr std::chrono::milliseconds kMoveGrace{10};
    static constexpr std::size_t kReadBufferSize = 256 * 1024;
    // How far before a moved-in folder's change time an entry inside it still counts as
    // made after the move (see walkArrived).
    static constexpr std::chrono::milliseconds kArrivalSlack{50};

    // `dataFolder` and everything below it is never watched nor reported.
    explicit WatchTree(std::string dataFolder);
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

    // Queues a notification that did not come from inotify (a mount, a medium) in its place
    // among the file operations.
    void deliver(Notification n);

    // Reads what the kernel has queued, at most one buffer. True when something was read,
    // so the caller reads again; false once the queue is empty or cannot be read.
    bool readOnce();

    // Settles moves whose second half is overdue (every pending move when `all`) as
    // deletions at their old place.
    void expireMoves(TimePoint now, bool all);

    // How long poll() may wait before a pending move falls due: -1 when none is pending.
    int pollTimeoutMs(TimePoint now) const;

    // Notifications ready for delivery, oldest first; the tree forgets them.
    std::vector<Notification> takeReady();

    std::size_t watchCount() const { return m_pathOf.size(); }

    // Runs on the reader thread before every read of the kernel's queue. Lets a test hold the
    // reader back until the queue overflows.
    std::function<void()> beforeRead;

private:
    struct PendingMove
    {
        std::uint32_t cookie = 0;
        std::string path;
        std::string name;
        bool isDir = false;
        TimePoint deadline;
    };
    // One place in the delivery order: either settled notifications or a move still waiting.
    struct Slot
    {
        std::vector<Notification> settled;
        std::optional<PendingMove> pending;
    };

    void handle(std::uint32_t mask, int wd, std::uint32_t cookie, const std::string& name);
    void created(const std::string& path, const std::string& name, bool isDir);
    void movedFrom(const std::string& path, const std::string& name, bool isDir,
                   std::uint32_t cookie);
    void movedTo(const std::string& path, const std::string& name, bool isDir,
                 std::uint32_t cookie);
    void settle(Slot& slot, std::vector<Notification> notifications);
    void expireMovedFolder(const std::string& path);
    void overflowed();

    // Watches `dir` and what lies below it. With `reportSince`, every entry found that changed
    // at or after that time is reported as created and remembered, so that its own IN_CREATE,
    // still in the queue, is not reported a second time.
    void walk(const std::string& dir, std::optional<Stamp> reportSince);
    // Watches a folder that came into the watched area by a move.
    void walkArrived(const std::string& dir);
    std::optional<int> addWatch(const std::string& dir);
    void bind(int wd, const std::string& path);
    void forget(int wd);
    void unwatchSubtree(const std::string& root);
    void repathSubtree(const std::string& from, const std::string& to);
    bool excluded(const std::string& path) const;

    void push(Notification n);
    void flushSlots();

    int m_fd = -1;
    std::string m_dataFolder;
    std::vector<std::string> m_roots;
    std::vector<char> m_buffer;

    std::unordered_map<int, std::string> m_pathOf;
    std::map<std::string, int> m_wdOf; // ordered, so a subtree is one contiguous range

    // Entries a scan of a new folder reported, with the read count at the time of the scan.
    // Once a read has emptied the kernel's queue, every IN_CREATE that raced a scan before
    // that read has been seen, and the scan's entries can be forgotten.
    std::unordered_map<std::string, std::uint64_t> m_scanned;
    std::uint64_t m_reads = 0;

    std::deque<Slot> m_slots;
    std::uint64_t m_firstSlot = 0; // sequence number of m_slots.front()
    std::unordered_map<std::uint32_t, std::uint64_t> m_slotOfCookie;
    std::vector<Notification> m_ready;

    bool m_reportedOverflow = false;
    bool m_reportedWatchLimit = false;
};

} // namespace zlv::linuxcapture
