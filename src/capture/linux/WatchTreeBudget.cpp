#include "capture/linux/MountTable.h"
#include "capture/linux/WatchEvents.h"
#include "capture/linux/WatchTree.h"

#include <algorithm>
#include <unistd.h>

// The watch tree's two kinds of bookkeeping: the watch budget, with the folders left
// unwatched when the limit is reached, and the memory of what was reported lately.
namespace zlv::linuxcapture {

using namespace watch;

namespace {

// Past this many remembered entries the memory starts over: a report twice is better than
// memory without bound.
constexpr std::size_t kMaxRemembered = 200000;
constexpr auto kRememberMargin = std::chrono::seconds(1);
constexpr auto kPruneEvery = std::chrono::milliseconds(250);
constexpr auto kLimitReadEvery = std::chrono::seconds(1);

std::string LimitSentence(std::size_t unwatched, std::size_t watched, long limit)
{
    // Enough for every folder with the reserve still free, in round thousands.
    const std::size_t needed = watched + unwatched;
    const auto share = static_cast<std::size_t>(100 - WatchTree::kReservePercent);
    const std::size_t enough =
        std::max((needed * 100 + share - 1) / share, static_cast<std::size_t>(limit) + 1);
    const std::size_t raiseTo = (enough + 999) / 1000 * 1000;
    return "The limit of watched folders is reached: " + std::to_string(unwatched) +
           " folders are not watched, so operations in them are not recorded. Raise the "
           "setting fs.inotify.max_user_watches to " +
           std::to_string(raiseTo) + " (it is " + std::to_string(limit) +
           " now), for instance with: sudo sysctl fs.inotify.max_user_watches=" +
           std::to_string(raiseTo);
}

} // namespace

std::size_t WatchTree::budget() const
{
    if (m_limit <= 0) {
        return m_kernelCap;
    }
    const long reserve = (m_limit * kReservePercent + 99) / 100;
    return std::min(m_kernelCap, static_cast<std::size_t>(std::max(0L, m_limit - reserve)));
}

void WatchTree::skip(const std::string& folder)
{
    if (m_skipped.emplace(folder, 0).second) {
        m_newlySkipped.push_back(folder);
        m_skippedChanged = true;
    }
}

std::size_t WatchTree::countFolders(const std::string& top)
{
    std::size_t count = 0;
    std::deque<std::string> queue{top};
    while (!queue.empty()) {
        const std::string current = std::move(queue.front());
        queue.pop_front();
        const int fd = OpenFolder(current);
        if (fd < 0) {
            continue;
        }
        if (++count % kPumpEvery == 0) {
            pump();
        }
        for (const FolderEntry& e : ListFolder(fd, std::nullopt)) {
            const std::string path = Join(current, e.name);
            if (e.isDir && MayEnter(e.name) && !excluded(path) && !m_notEntered.count(path)) {
                queue.push_back(path);
            }
        }
        ::close(fd);
    }
    return count;
}

void WatchTree::retrySkipped()
{
    if (m_skipped.empty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_fixedLimit && now - m_lastLimitRead >= kLimitReadEvery) {
        // The user may have raised the limit since; asked only while folders wait for it.
        m_lastLimitRead = now;
        if (const long limit = WatchLimitInForce(); limit > 0 && limit != m_limit) {
            m_limit = limit;
            m_kernelCap = static_cast<std::size_t>(-1);
        }
    }
    // Retried once a few watches are free, not for every single one: each retry lists the
    // folders that are left over.
    const std::size_t room = budget() > watchCount() ? budget() - watchCount() : 0;
    const std::size_t worth =
        std::min(m_unwatched, std::max<std::size_t>(1, static_cast<std::size_t>(m_limit / 100)));
    if (room == 0 || room < worth) {
        return;
    }
    m_kernelCap = static_cast<std::size_t>(-1);
    const std::map<std::string, std::size_t> again = std::move(m_skipped);
    m_skipped.clear();
    m_newlySkipped.clear();
    m_skippedChanged = true;
    for (const auto& [folder, count] : again) {
        const bool inArea = std::any_of(m_roots.begin(), m_roots.end(), [&](const auto& root) {
            return IsSameOrBelow(folder, root);
        });
        if (inArea) {
            walk(folder, std::nullopt);
        }
    }
}

void WatchTree::reviewSkipped()
{
    if (!m_skippedChanged) {
        return;
    }
    m_skippedChanged = false;
    for (const std::string& folder : m_newlySkipped) {
        if (const auto it = m_skipped.find(folder); it != m_skipped.end()) {
            it->second = countFolders(folder);
            if (it->second == 0) {
                m_skipped.erase(it); // gone meanwhile
            }
        }
    }
    m_newlySkipped.clear();
    m_unwatched = 0;
    for (const auto& [folder, count] : m_skipped) {
        m_unwatched += count;
    }
    if (m_skipped.empty()) {
        if (m_limitReported) {
            m_limitReported = false;
            report(CaptureIncident{.reason = GapReason::WatchLimit,
                                   .sentence = "Every folder is watched again.",
                                   .ongoing = true,
                                   .cleared = true});
        }
        return;
    }
    if (!m_limitReported) {
        m_limitReported = true;
        report(CaptureIncident{.reason = GapReason::WatchLimit,
                               .sentence = LimitSentence(m_unwatched, watchCount(), m_limit),
                               .ongoing = true,
                               .needsAction = true});
    }
}

void WatchTree::remember(const std::string& path)
{
    if (m_remembered.size() >= kMaxRemembered) {
        m_remembered.clear();
    }
    m_remembered[path] = Now();
}

void WatchTree::forgetRemembered(const std::string& path, bool subtree)
{
    m_remembered.erase(path);
    if (subtree) {
        const std::string prefix = path + "/";
        auto it = m_remembered.lower_bound(prefix);
        while (it != m_remembered.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
            it = m_remembered.erase(it);
        }
    }
}

void WatchTree::repathRemembered(const std::string& from, const std::string& to)
{
    m_remembered.erase(from);
    std::vector<std::pair<std::string, Stamp>> moved;
    const std::string prefix = from + "/";
    auto it = m_remembered.lower_bound(prefix);
    while (it != m_remembered.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
        moved.emplace_back(to + it->first.substr(from.size()), it->second);
        it = m_remembered.erase(it);
    }
    m_remembered.insert(moved.begin(), moved.end());
}

void WatchTree::pruneRemembered()
{
    // What was reported before the queue was last known complete, with the same slack the
    // arrival and overflow rules allow, can no longer turn up in a listing as new.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPrune < kPruneEvery) {
        return;
    }
    m_lastPrune = now;
    const Stamp before = Earlier(m_complete, kArrivalSlack + kRememberMargin);
    std::erase_if(m_remembered, [&](const auto& entry) { return entry.second < before; });
}

} // namespace zlv::linuxcapture
