#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace zlv::linuxcapture {

// The watched folders by path, each kept as its name under its parent's entry: a home of
// 150,000 folders holds each name once rather than every whole path, and the path of an
// entry is put together only when asked for. Entries exist for the watched folders, the
// folders above them and those a caller holds; the others go as soon as nothing needs them.
class FolderTree final
{
public:
    using Id = std::uint32_t;
    static constexpr Id kNone = std::numeric_limits<Id>::max();
    static constexpr int kNoWatch = -1;

    FolderTree();

    // The entry of an absolute path ("/" the top), kNone when there is none.
    Id find(std::string_view path) const;
    // The watch of `path`, kNoWatch when it has none.
    int watchOf(std::string_view path) const;
    // Gives `path` a watch (one replaces the other), making its entry as needed.
    Id setWatch(std::string_view path, int wd);
    // Takes the watch from `id`; the entry goes unless something still needs it.
    void clearWatch(Id id);
    int watch(Id id) const { return m_nodes[id].wd; }
    std::string path(Id id) const;

    // An entry held stays, with its place, until it is let go as often as it was held.
    void hold(Id id) { ++m_nodes[id].holds; }
    void letGo(Id id);

    // Every entry with a watch strictly below `id`, parents before their children.
    template <typename Visit> void forEachWatchedBelow(Id id, Visit&& visit) const
    {
        Id at = m_nodes[id].firstChild;
        while (at != kNone && at != id) {
            if (m_nodes[at].wd != kNoWatch) {
                visit(at);
            }
            if (m_nodes[at].firstChild != kNone) {
                at = m_nodes[at].firstChild;
                continue;
            }
            while (at != id && m_nodes[at].nextSibling == kNone) {
                at = m_nodes[at].parent;
            }
            if (at != id) {
                at = m_nodes[at].nextSibling;
            }
        }
    }

    std::size_t watched() const { return m_watched; }
    void clear();

private:
    struct Node
    {
        Id parent = kNone;
        Id firstChild = kNone;
        Id nextSibling = kNone;
        Id previousSibling = kNone;
        int wd = kNoWatch;
        std::uint32_t holds = 0;
        std::string name;
    };

    Id child(Id parent, std::string_view name) const;
    Id makeChild(Id parent, std::string_view name);
    void prune(Id id);
    std::size_t slotOf(Id parent, std::string_view name) const;
    void placeInTable(Id id);
    void removeFromTable(Id id);
    void growTable();

    std::vector<Node> m_nodes; // 0 is "/"
    std::vector<Id> m_free;
    // Open addressing over (parent, name), linear probing, at most three quarters full.
    std::vector<Id> m_slots;
    std::size_t m_inTable = 0;
    std::size_t m_watched = 0;
};

} // namespace zlv::linuxcapture
