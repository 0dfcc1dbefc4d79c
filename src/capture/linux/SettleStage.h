#pragma once

#include "capture/CaptureHealth.h"
#include "capture/Notification.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <string>
#include <variant>
#include <vector>

namespace zlv::linuxcapture {

using Delivery = std::variant<Notification, CaptureIncident>;

// A rename into another folder under the same name, as a deletion there and a creation
// here (a rename record with equal names would say nothing); anything else as it is.
std::vector<Notification> SplitSameNameMove(Notification n);

// Turns what the kernel saw into what the user did. Programs save, lock, download and back
// up through short-lived names; the shell reports only the operation they add up to. So
// every file operation waits here until its item has been left alone for the settle time,
// and then its net effect is handed on: nothing for an item that came and went, one
// "Created" for a file written under a temporary name and renamed into place, nothing when
// that rename replaced an existing file, one "Renamed" for a chain of renames. Names a file
// manager hides are never shown, and a file still downloading only once it has its own name
// (NameKinds.h).
//
// Items whose stories touch the same path are judged together (a cluster): the backup dance
// of an editor involves the old file, its backup and the new file. Order is kept: what
// leaves the stage comes out in the order of each item's first event, and a notification
// that is no file operation (a drive, an incident) waits in its place. An item out of sight
// for now (a swap file, a temporary name) holds nothing back; should it come into sight,
// its record comes then. An item that keeps changing is judged at the latest kLongest after
// its first event, so nothing waits longer.
//
// Input: notifications of the watch tree, with full paths in their items: SHCNE_CREATE,
// SHCNE_MKDIR, SHCNE_DELETE, SHCNE_RMDIR, SHCNE_RENAMEITEM, SHCNE_RENAMEFOLDER (a move
// between folders included, whatever its names), SHCNE_UPDATEITEM (a file was written);
// `replaced` tells that a rename or a move-in took the place of an existing item.
class SettleStage final
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kSettle{1000};
    static constexpr std::chrono::milliseconds kLongest{4000};

    explicit SettleStage(std::chrono::milliseconds settle = kSettle,
                         std::chrono::milliseconds longest = kLongest);
    ~SettleStage();
    SettleStage(const SettleStage&) = delete;
    SettleStage& operator=(const SettleStage&) = delete;

    void take(Delivery d, TimePoint now);
    // Nothing below `folder` (nor the folder itself) is the user's work after all (a cache
    // tag appeared in it, the user excluded it): what waits about it is dropped.
    void disown(const std::string& folder);

    // Appends what has settled by `now`, oldest first; with `all`, everything, judged as it
    // stands (a stop must not lose what is still settling).
    void release(std::vector<Delivery>& out, TimePoint now, bool all);

    // When the next item falls due; nullopt when nothing waits for a deadline.
    std::optional<TimePoint> nextDue();
    // Items and other notifications waiting.
    std::size_t waiting() const { return m_entries.size(); }

private:
    using ItemId = std::uint64_t; // the sequence number of the item's entry; 0 is none
    using ClusterId = std::uint32_t;

    // One item's story, or a notification that only keeps its place.
    struct Entry
    {
        std::unique_ptr<Delivery> passing;
        std::string origin; // where it was before its story began; empty: it came into being
        std::string at;     // where it is now; empty: gone
        ClusterId cluster = 0;
        bool isDir = false;
        bool decided = false;
        bool handedOn = false;
        // One more than the cluster's version when the item was last found out of sight: it
        // need not be judged again until its cluster changes.
        std::uint32_t unseenAt = 0;
        std::vector<Notification> verdict;
    };
    // A path that one of the open clusters has touched.
    struct PathState
    {
        enum class Before : std::uint8_t
        {
            Nothing,
            Item,   // beforeItem was there
            Unknown // something was there that we never had a story for
        };
        Before before = Before::Nothing;
        ItemId beforeItem = 0;
        ItemId now = 0; // the item there now
        ClusterId cluster = 0;
    };
    struct Cluster
    {
        TimePoint first;
        TimePoint last;
        std::vector<ItemId> items;
        std::vector<std::string> paths;
        std::uint32_t version = 0;
        bool open = false;
    };
    struct Due
    {
        TimePoint at;
        ClusterId cluster;
        std::uint32_t version;
        bool operator>(const Due& other) const { return at > other.at; }
    };

    Entry& entry(ItemId id) { return m_entries[id - m_firstId]; }
    const Entry& entry(ItemId id) const { return m_entries[id - m_firstId]; }
    ItemId newItem(bool isDir, std::string origin, std::string at, TimePoint now);
    ClusterId newCluster(TimePoint now);
    ClusterId merge(ClusterId a, ClusterId b);
    void claim(ClusterId cluster, const std::string& path, PathState state);
    void schedule(ClusterId cluster, TimePoint now);
    // The item at `path` now, or a new one whose story begins there.
    ItemId itemAt(const std::string& path, bool isDir, TimePoint now);

    void created(const ShellItem& item, bool isDir, bool replaced, TimePoint now);
    void deleted(const ShellItem& item, bool isDir, TimePoint now);
    void renamed(const ShellItem& from, const ShellItem& to, bool isDir, bool replaced,
                 TimePoint now);
    void written(const ShellItem& item, TimePoint now);
    void goneBelow(const std::string& folder);
    void repathBelow(const std::string& from, const std::string& to);

    void decide(ClusterId cluster);
    void decideAll();
    std::vector<Notification> judge(ItemId id) const;
    bool stillShown(ItemId id) const;

    std::chrono::milliseconds m_settle;
    std::chrono::milliseconds m_longest;
    std::deque<Entry> m_entries;
    ItemId m_firstId = 1;
    std::map<std::string, PathState> m_paths; // ordered: a folder's paths are one range
    std::vector<Cluster> m_clusters;
    std::vector<ClusterId> m_freeClusters;
    std::size_t m_openClusters = 0;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> m_due;
};

} // namespace zlv::linuxcapture
