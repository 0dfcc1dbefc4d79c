#include "capture/linux/WatchEvents.h"
#include "capture/linux/WatchTree.h"

// The watch tree's moves and the order of delivery: a move's first half holds back what
// follows it until its second half is in.
namespace zlv::linuxcapture {

using namespace watch;

void WatchTree::movedFrom(const std::string& path, const std::string& name, bool isDir,
                          std::uint32_t cookie, bool ignored)
{
    PendingMove move{cookie, path,    name,
                     isDir,  ignored, std::chrono::steady_clock::now() + kMoveGrace};
    m_slotOfCookie[cookie] = m_firstSlot + m_slots.size();
    m_slots.push_back(Slot{{}, std::move(move)});
}

void WatchTree::movedTo(const std::string& path, const std::string& name, bool isDir,
                        std::uint32_t cookie, bool replaced, RepoId repo, bool ignored)
{
    const auto partner = m_slotOfCookie.find(cookie);
    if (partner == m_slotOfCookie.end()) {
        // Moved in from outside the watched area: to us it has just come into being.
        if (const auto seen = m_scanned.find(path); seen != m_scanned.end()) {
            m_scanned.erase(seen);
            return;
        }
        if (noticeSpecialName(ParentOf(path), name, isDir) || ignored) {
            return;
        }
        pushCreated(isDir, path, name, replaced);
        if (isDir && mayEnter(path, name, repo)) {
            walkArrived(path);
        }
        return;
    }
    noticeSpecialName(ParentOf(path), name, isDir);
    Slot& slot = m_slots[partner->second - m_firstSlot];
    m_slotOfCookie.erase(partner);
    const PendingMove from = std::move(*slot.pending);
    slot.pending.reset();

    // What was reported under the old name keeps counting as reported under the new one.
    if (isDir) {
        repathRemembered(from.path, path);
        if (ignored || !mayEnter(path, name, repo)) {
            unwatchSubtree(from.path);
        } else if (watched(from.path)) {
            repathSubtree(from.path, path);
        } else {
            // A hidden folder given a visible name, or one left unwatched at the limit.
            unwatchSubtree(from.path);
            walkArrived(path);
        }
    } else {
        forgetRemembered(from.path, false);
    }
    remember(path);

    // Across the line of what Git ignores, a rename is what the user sees of it.
    std::vector<Delivery> result;
    if (from.ignored && !ignored) {
        result.push_back(Created(isDir, path, name, replaced));
    } else if (!from.ignored && ignored) {
        result.push_back(Deleted(isDir, from.path, from.name));
    } else if (!from.ignored) {
        // A move into another folder under the same name stays one notification here; the
        // settle stage, or the source without one, makes two records of it.
        const std::uint32_t event = isDir ? shell::SHCNE_RENAMEFOLDER : shell::SHCNE_RENAMEITEM;
        Notification n{event, ShellItem{from.name, from.path}, ShellItem{name, path}};
        n.replaced = replaced;
        result.push_back(std::move(n));
    }
    settle(slot, std::move(result));
}

void WatchTree::settle(Slot& slot, std::vector<Delivery> deliveries)
{
    slot.settled = std::move(deliveries);
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
            forgetRemembered(move.path, true);
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
            forgetRemembered(move.path, move.isDir);
            slot.settled = {Deleted(move.isDir, move.path, move.name)};
        }
    }
    flushSlots();
}

int WatchTree::pollTimeoutMs(TimePoint now) const
{
    if (!m_backlog.empty()) {
        return 0;
    }
    std::optional<TimePoint> first;
    for (const Slot& slot : m_slots) {
        if (slot.pending && (!first || slot.pending->deadline < *first)) {
            first = slot.pending->deadline;
        }
    }
    for (const auto& [folder, due] : m_rulesDue) {
        if (!first || due < *first) {
            first = due;
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

void WatchTree::push(Delivery d)
{
    if (m_slots.empty()) {
        m_ready.push_back(std::move(d));
    } else {
        Slot slot;
        slot.settled.push_back(std::move(d));
        m_slots.push_back(std::move(slot));
    }
}

void WatchTree::flushSlots()
{
    while (!m_slots.empty() && !m_slots.front().pending) {
        for (Delivery& d : m_slots.front().settled) {
            m_ready.push_back(std::move(d));
        }
        m_slots.pop_front();
        ++m_firstSlot;
    }
}

std::vector<Delivery> WatchTree::takeReady()
{
    std::vector<Delivery> ready;
    ready.swap(m_ready);
    return ready;
}

} // namespace zlv::linuxcapture
