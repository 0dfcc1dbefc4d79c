#include "capture/linux/SettleStage.h"

#include "capture/ShellEvents.h"
#include "capture/linux/NameKinds.h"

#include <algorithm>
#include <utility>

namespace zlv::linuxcapture {

namespace {

bool Shown(const std::string& path, bool isDir)
{
    return !path.empty() && KindOfName(BaseName(path), isDir) == NameKind::Ordinary;
}

bool IsBelow(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

Notification Single(std::uint32_t event, const std::string& path)
{
    return Notification{event, ShellItem{std::string(BaseName(path)), path}, std::nullopt};
}

} // namespace

std::vector<Notification> SplitSameNameMove(Notification n)
{
    if (n.item1 && n.item2 && n.item1->displayName == n.item2->displayName &&
        n.item1->path != n.item2->path) {
        // Moved to another folder under the same name. As a rename its old and new names
        // would be equal and the record dropped, losing the operation; the two halves keep
        // both folders on record.
        const bool isDir = n.event == shell::SHCNE_RENAMEFOLDER;
        return {Single(isDir ? shell::SHCNE_RMDIR : shell::SHCNE_DELETE, n.item1->path),
                Single(isDir ? shell::SHCNE_MKDIR : shell::SHCNE_CREATE, n.item2->path)};
    }
    std::vector<Notification> one;
    one.push_back(std::move(n));
    return one;
}

SettleStage::SettleStage(std::chrono::milliseconds settle, std::chrono::milliseconds longest)
    : m_settle(settle), m_longest(longest)
{}

SettleStage::~SettleStage() = default;

void SettleStage::take(Delivery d, TimePoint now)
{
    if (const auto* n = std::get_if<Notification>(&d)) {
        const bool isDir = n->event == shell::SHCNE_MKDIR || n->event == shell::SHCNE_RMDIR ||
                           n->event == shell::SHCNE_RENAMEFOLDER;
        switch (n->event) {
        case shell::SHCNE_CREATE:
        case shell::SHCNE_MKDIR:
            if (n->item1) {
                created(*n->item1, isDir, n->replaced, now);
                return;
            }
            break;
        case shell::SHCNE_DELETE:
        case shell::SHCNE_RMDIR:
            if (n->item1) {
                deleted(*n->item1, isDir, now);
                return;
            }
            break;
        case shell::SHCNE_RENAMEITEM:
        case shell::SHCNE_RENAMEFOLDER:
            if (n->item1 && n->item2) {
                renamed(*n->item1, *n->item2, isDir, n->replaced, now);
                return;
            }
            break;
        case shell::SHCNE_UPDATEITEM:
            if (n->item1) {
                written(*n->item1, now);
            }
            return;
        default:
            break;
        }
    } else if (std::get<CaptureIncident>(d).reason == GapReason::Overflow) {
        // Events were lost: what was seen before is judged on what it showed, and what the
        // rescan finds starts afresh.
        decideAll();
    }
    Entry e;
    e.passing = std::make_unique<Delivery>(std::move(d));
    e.decided = true;
    m_entries.push_back(std::move(e));
}

SettleStage::ClusterId SettleStage::newCluster(TimePoint now)
{
    ClusterId id = 0;
    if (!m_freeClusters.empty()) {
        id = m_freeClusters.back();
        m_freeClusters.pop_back();
    } else {
        id = static_cast<ClusterId>(m_clusters.size());
        m_clusters.emplace_back();
    }
    Cluster& c = m_clusters[id];
    c.first = c.last = now;
    c.open = true;
    ++m_openClusters;
    return id;
}

SettleStage::ItemId SettleStage::newItem(bool isDir, std::string origin, std::string at,
                                         TimePoint now)
{
    Entry e;
    e.isDir = isDir;
    e.origin = std::move(origin);
    e.at = std::move(at);
    e.cluster = newCluster(now);
    m_entries.push_back(std::move(e));
    const ItemId id = m_firstId + m_entries.size() - 1;
    m_clusters[m_entries.back().cluster].items.push_back(id);
    return id;
}

SettleStage::ClusterId SettleStage::merge(ClusterId a, ClusterId b)
{
    if (a == b) {
        return a;
    }
    if (m_clusters[a].items.size() + m_clusters[a].paths.size() <
        m_clusters[b].items.size() + m_clusters[b].paths.size()) {
        std::swap(a, b);
    }
    Cluster& big = m_clusters[a];
    Cluster& small = m_clusters[b];
    for (const ItemId id : small.items) {
        entry(id).cluster = a;
        big.items.push_back(id);
    }
    for (std::string& path : small.paths) {
        if (const auto it = m_paths.find(path); it != m_paths.end() && it->second.cluster == b) {
            it->second.cluster = a;
        }
        big.paths.push_back(std::move(path));
    }
    big.first = std::min(big.first, small.first);
    big.last = std::max(big.last, small.last);
    small = Cluster{};
    small.version = m_clusters[b].version + 1;
    m_freeClusters.push_back(b);
    --m_openClusters;
    return a;
}

void SettleStage::claim(ClusterId cluster, const std::string& path, PathState state)
{
    state.cluster = cluster;
    m_paths.insert_or_assign(path, state);
    m_clusters[cluster].paths.push_back(path);
}

void SettleStage::schedule(ClusterId cluster, TimePoint now)
{
    Cluster& c = m_clusters[cluster];
    c.last = std::max(c.last, now);
    ++c.version;
    m_due.push(Due{std::min(c.last + m_settle, c.first + m_longest), cluster, c.version});
}

SettleStage::ItemId SettleStage::itemAt(const std::string& path, bool isDir, TimePoint now)
{
    const auto it = m_paths.find(path);
    if (it != m_paths.end() && it->second.now != 0) {
        return it->second.now;
    }
    const ItemId id = newItem(isDir, path, path, now);
    const ClusterId cluster = entry(id).cluster;
    if (it == m_paths.end()) {
        claim(cluster, path, PathState{PathState::Before::Item, id, id, cluster});
    } else {
        merge(cluster, it->second.cluster);
        it->second.now = id;
    }
    return id;
}

void SettleStage::created(const ShellItem& item, bool isDir, bool replaced, TimePoint now)
{
    const std::string& path = item.path;
    const auto it = m_paths.find(path);
    if (it != m_paths.end() && it->second.now != 0) {
        schedule(it->second.cluster, now); // told twice (a rescan): one item all the same
        return;
    }
    // Moved in over an existing item: to the user, that item is still there.
    const ItemId id =
        newItem(isDir, replaced && it == m_paths.end() ? path : std::string(), path, now);
    if (it == m_paths.end()) {
        claim(entry(id).cluster, path,
              PathState{replaced ? PathState::Before::Unknown : PathState::Before::Nothing, 0, id,
                        0});
    } else {
        merge(entry(id).cluster, it->second.cluster);
        it->second.now = id;
    }
    schedule(entry(id).cluster, now);
}

void SettleStage::deleted(const ShellItem& item, bool isDir, TimePoint now)
{
    const ItemId id = itemAt(item.path, isDir, now);
    entry(id).at.clear();
    m_paths[item.path].now = 0;
    if (isDir) {
        goneBelow(item.path);
    }
    schedule(entry(id).cluster, now);
}

void SettleStage::renamed(const ShellItem& from, const ShellItem& to, bool isDir, bool replaced,
                          TimePoint now)
{
    const ItemId id = itemAt(from.path, isDir, now);
    m_paths[from.path].now = 0;
    // An item not in sight that replaces one is a save: to the user it is the item it
    // replaced, and what happens to it next (a rename) happens to that one.
    const bool takesOver = !Shown(entry(id).origin, isDir);
    const auto it = m_paths.find(to.path);
    if (it == m_paths.end()) {
        claim(entry(id).cluster, to.path,
              PathState{replaced ? PathState::Before::Unknown : PathState::Before::Nothing, 0, id,
                        0});
        if (replaced && takesOver) {
            entry(id).origin = to.path;
        }
    } else {
        merge(entry(id).cluster, it->second.cluster);
        if (it->second.now != 0 && it->second.now != id) {
            Entry& overwritten = entry(it->second.now);
            if (takesOver) {
                entry(id).origin = std::exchange(overwritten.origin, std::string());
            }
            overwritten.at.clear();
        }
        it->second.now = id;
    }
    entry(id).at = to.path;
    if (isDir) {
        repathBelow(from.path, to.path);
    }
    schedule(entry(id).cluster, now);
}

void SettleStage::written(const ShellItem& item, TimePoint now)
{
    const auto it = m_paths.find(item.path);
    if (it != m_paths.end() && it->second.now != 0) {
        schedule(it->second.cluster, now);
    }
}

void SettleStage::goneBelow(const std::string& folder)
{
    // Moved out of the watched area with everything in it: what was made in it meanwhile
    // went along, unseen from now on.
    const std::string prefix = folder + "/";
    for (auto it = m_paths.lower_bound(prefix);
         it != m_paths.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->second.now != 0) {
            entry(it->second.now).at.clear();
            it->second.now = 0;
        }
    }
}

void SettleStage::repathBelow(const std::string& from, const std::string& to)
{
    // What is in a renamed folder now lies under its new name, and later events say so;
    // what left the folder before keeps the path it had.
    const std::string prefix = from + "/";
    std::vector<decltype(m_paths)::node_type> moved;
    for (auto it = m_paths.lower_bound(prefix);
         it != m_paths.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        const auto next = std::next(it);
        moved.push_back(m_paths.extract(it));
        it = next;
    }
    for (auto& node : moved) {
        const std::string old = node.key();
        const std::string now = to + old.substr(from.size());
        std::vector<std::string>& owned = m_clusters[node.mapped().cluster].paths;
        std::replace(owned.begin(), owned.end(), old, now);
        if (node.mapped().now != 0) {
            Entry& e = entry(node.mapped().now);
            e.at = now;
            if (IsBelow(e.origin, from)) {
                e.origin = to + e.origin.substr(from.size());
            }
        }
        node.key() = now;
        m_paths.erase(now); // a stale state of something gone from there before
        m_paths.insert(std::move(node));
    }
}

void SettleStage::disown(const std::string& folder)
{
    for (Entry& e : m_entries) {
        if (e.decided || e.passing) {
            continue;
        }
        const bool inside = (e.at == folder || IsBelow(e.at, folder)) ||
                            (e.at.empty() && (e.origin == folder || IsBelow(e.origin, folder)));
        if (inside) {
            e.origin.clear();
            e.at.clear();
        }
    }
}

bool SettleStage::stillShown(ItemId id) const
{
    if (id < m_firstId) {
        return false;
    }
    const Entry& e = entry(id);
    return Shown(e.at, e.isDir);
}

std::vector<Notification> SettleStage::judge(ItemId id) const
{
    const Entry& e = entry(id);
    const bool fromShown = Shown(e.origin, e.isDir);
    // A file the user renamed to a download's name is still in sight.
    const bool toShown =
        !e.at.empty() &&
        (Shown(e.at, e.isDir) ||
         (fromShown && KindOfName(BaseName(e.at), e.isDir) == NameKind::InProgress));
    if (fromShown && toShown) {
        if (e.origin == e.at) {
            return {}; // renamed back
        }
        return SplitSameNameMove(
            Notification{e.isDir ? shell::SHCNE_RENAMEFOLDER : shell::SHCNE_RENAMEITEM,
                         ShellItem{std::string(BaseName(e.origin)), e.origin},
                         ShellItem{std::string(BaseName(e.at)), e.at}});
    }
    if (fromShown) {
        // Gone from sight, unless something not in sight before took its place: a save
        // through a temporary name, or an editor's backup dance.
        const auto there = m_paths.find(e.origin);
        if (there != m_paths.end() && there->second.now != 0 && there->second.now != id) {
            const Entry& successor = entry(there->second.now);
            if (!Shown(successor.origin, successor.isDir)) {
                return {};
            }
        }
        return {Single(e.isDir ? shell::SHCNE_RMDIR : shell::SHCNE_DELETE, e.origin)};
    }
    if (toShown) {
        // Come into sight: new, unless it took the place of an item no longer in sight.
        const auto there = m_paths.find(e.at);
        if (there != m_paths.end()) {
            const PathState& s = there->second;
            const bool replaced = s.before == PathState::Before::Unknown ||
                                  (s.before == PathState::Before::Item && s.beforeItem != id &&
                                   !stillShown(s.beforeItem));
            if (replaced) {
                return {};
            }
        }
        return {Single(e.isDir ? shell::SHCNE_MKDIR : shell::SHCNE_CREATE, e.at)};
    }
    return {};
}

void SettleStage::decide(ClusterId cluster)
{
    Cluster& c = m_clusters[cluster];
    if (!c.open) {
        return;
    }
    // Every verdict is formed before any path is forgotten: they read one another's paths.
    std::vector<std::vector<Notification>> verdicts;
    verdicts.reserve(c.items.size());
    for (const ItemId id : c.items) {
        verdicts.push_back(judge(id));
    }
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        Entry& e = entry(c.items[i]);
        e.verdict = std::move(verdicts[i]);
        e.decided = true;
        e.origin = std::string();
        e.at = std::string();
    }
    for (const std::string& path : c.paths) {
        if (const auto it = m_paths.find(path);
            it != m_paths.end() && it->second.cluster == cluster) {
            m_paths.erase(it);
        }
    }
    const std::uint32_t version = c.version + 1;
    c = Cluster{};
    c.version = version;
    m_freeClusters.push_back(cluster);
    --m_openClusters;
}

void SettleStage::decideAll()
{
    for (ClusterId id = 0; id < m_clusters.size(); ++id) {
        decide(id);
    }
}

void SettleStage::release(std::vector<Delivery>& out, TimePoint now, bool all)
{
    if (all) {
        decideAll();
    }
    while (!m_due.empty() && m_due.top().at <= now) {
        const Due due = m_due.top();
        m_due.pop();
        if (m_clusters[due.cluster].open && m_clusters[due.cluster].version == due.version) {
            decide(due.cluster);
        }
    }
    // In order; but an item not in sight as things stand (a lock or swap file, a temporary
    // name, an unfinished download, one that came and went) holds nothing back: should it
    // come into sight, that is when its record happens, after what was handed on meanwhile.
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& e = m_entries[i];
        if (e.handedOn) {
            continue;
        }
        if (!e.decided) {
            const std::uint32_t version = m_clusters[e.cluster].version;
            if (e.unseenAt != version + 1) {
                if (!judge(m_firstId + i).empty()) {
                    break;
                }
                e.unseenAt = version + 1;
            }
            continue;
        }
        if (e.passing) {
            out.push_back(std::move(*e.passing));
        } else {
            for (Notification& n : e.verdict) {
                out.push_back(std::move(n));
            }
        }
        e.handedOn = true;
    }
    while (!m_entries.empty() && m_entries.front().handedOn) {
        m_entries.pop_front();
        ++m_firstId;
    }
    if (m_openClusters == 0) {
        // After a burst, the bookkeeping it needed goes back to the system.
        decltype(m_due)().swap(m_due);
        std::vector<Cluster>().swap(m_clusters);
        std::vector<ClusterId>().swap(m_freeClusters);
        if (m_entries.empty()) {
            std::deque<Entry>().swap(m_entries);
        }
    }
}

std::optional<SettleStage::TimePoint> SettleStage::nextDue()
{
    while (!m_due.empty()) {
        const Due& due = m_due.top();
        if (m_clusters[due.cluster].open && m_clusters[due.cluster].version == due.version) {
            return due.at;
        }
        m_due.pop();
    }
    return std::nullopt;
}

} // namespace zlv::linuxcapture
