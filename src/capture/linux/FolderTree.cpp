#include "capture/linux/FolderTree.h"

#include <algorithm>

namespace zlv::linuxcapture {

namespace {

// Calls `step` with each name along an absolute path; empty names (a doubled or a last
// slash) are no step.
template <typename Step> bool ForEachName(std::string_view path, Step&& step)
{
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
        if (!name.empty() && !step(name)) {
            return false;
        }
    }
    return true;
}

std::uint64_t Hash(FolderTree::Id parent, std::string_view name)
{
    std::uint64_t h = 1469598103934665603ull ^ (parent * 0x9E3779B97F4A7C15ull);
    for (const char c : name) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h ^ (h >> 29);
}

} // namespace

FolderTree::FolderTree()
{
    clear();
}

void FolderTree::clear()
{
    m_nodes.assign(1, Node{});
    m_nodes.shrink_to_fit();
    m_free.clear();
    m_free.shrink_to_fit();
    m_slots.assign(16, kNone);
    m_slots.shrink_to_fit();
    m_inTable = 0;
    m_watched = 0;
}

std::size_t FolderTree::slotOf(Id parent, std::string_view name) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = Hash(parent, name) & mask;; slot = (slot + 1) & mask) {
        const Id id = m_slots[slot];
        if (id == kNone || (m_nodes[id].parent == parent && m_nodes[id].name == name)) {
            return slot;
        }
    }
}

FolderTree::Id FolderTree::child(Id parent, std::string_view name) const
{
    return m_slots[slotOf(parent, name)];
}

FolderTree::Id FolderTree::find(std::string_view path) const
{
    Id at = 0;
    ForEachName(path, [&](std::string_view name) {
        at = child(at, name);
        return at != kNone;
    });
    return at;
}

int FolderTree::watchOf(std::string_view path) const
{
    const Id id = find(path);
    return id == kNone ? kNoWatch : m_nodes[id].wd;
}

void FolderTree::growTable()
{
    std::vector<Id> old(m_slots.size() * 2, kNone);
    old.swap(m_slots);
    for (const Id id : old) {
        if (id != kNone) {
            m_slots[slotOf(m_nodes[id].parent, m_nodes[id].name)] = id;
        }
    }
}

void FolderTree::placeInTable(Id id)
{
    if ((m_inTable + 1) * 4 > m_slots.size() * 3) {
        growTable();
    }
    m_slots[slotOf(m_nodes[id].parent, m_nodes[id].name)] = id;
    ++m_inTable;
}

void FolderTree::removeFromTable(Id id)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t hole = slotOf(m_nodes[id].parent, m_nodes[id].name);
    m_slots[hole] = kNone;
    --m_inTable;
    // Entries after the hole that could sit in it move up, so that no search stops short.
    for (std::size_t slot = (hole + 1) & mask; m_slots[slot] != kNone; slot = (slot + 1) & mask) {
        const Id moving = m_slots[slot];
        const std::size_t home = Hash(m_nodes[moving].parent, m_nodes[moving].name) & mask;
        if (((slot - home) & mask) >= ((slot - hole) & mask)) {
            m_slots[hole] = moving;
            m_slots[slot] = kNone;
            hole = slot;
        }
    }
}

FolderTree::Id FolderTree::makeChild(Id parent, std::string_view name)
{
    if (const Id known = child(parent, name); known != kNone) {
        return known;
    }
    Id id;
    if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
        m_nodes[id] = Node{};
    } else {
        // Grown by a quarter, not doubled: a home's worth of entries is most of what the
        // watches cost, and the room a doubling leaves would be a third again as much.
        if (m_nodes.size() == m_nodes.capacity()) {
            m_nodes.reserve(m_nodes.size() + m_nodes.size() / 4 + 64);
        }
        id = static_cast<Id>(m_nodes.size());
        m_nodes.emplace_back();
    }
    Node& node = m_nodes[id];
    node.parent = parent;
    node.name.assign(name);
    node.nextSibling = m_nodes[parent].firstChild;
    if (node.nextSibling != kNone) {
        m_nodes[node.nextSibling].previousSibling = id;
    }
    m_nodes[parent].firstChild = id;
    placeInTable(id);
    return id;
}

FolderTree::Id FolderTree::setWatch(std::string_view path, int wd)
{
    Id at = 0;
    ForEachName(path, [&](std::string_view name) {
        at = makeChild(at, name);
        return true;
    });
    m_watched += m_nodes[at].wd == kNoWatch ? 1 : 0;
    m_nodes[at].wd = wd;
    return at;
}

void FolderTree::clearWatch(Id id)
{
    if (m_nodes[id].wd != kNoWatch) {
        m_nodes[id].wd = kNoWatch;
        --m_watched;
    }
    prune(id);
}

void FolderTree::letGo(Id id)
{
    if (m_nodes[id].holds > 0) {
        --m_nodes[id].holds;
    }
    prune(id);
}

void FolderTree::prune(Id id)
{
    while (id != 0) {
        Node& node = m_nodes[id];
        if (node.wd != kNoWatch || node.holds > 0 || node.firstChild != kNone) {
            return;
        }
        removeFromTable(id);
        if (node.previousSibling != kNone) {
            m_nodes[node.previousSibling].nextSibling = node.nextSibling;
        } else {
            m_nodes[node.parent].firstChild = node.nextSibling;
        }
        if (node.nextSibling != kNone) {
            m_nodes[node.nextSibling].previousSibling = node.previousSibling;
        }
        const Id parent = node.parent;
        node = Node{};
        m_free.push_back(id);
        id = parent;
    }
}

std::string FolderTree::path(Id id) const
{
    if (id == 0) {
        return "/";
    }
    std::vector<Id> up;
    std::size_t length = 0;
    for (Id at = id; at != 0; at = m_nodes[at].parent) {
        up.push_back(at);
        length += m_nodes[at].name.size() + 1;
    }
    std::string out;
    out.reserve(length);
    for (auto it = up.rbegin(); it != up.rend(); ++it) {
        out += '/';
        out += m_nodes[*it].name;
    }
    return out;
}

} // namespace zlv::linuxcapture
