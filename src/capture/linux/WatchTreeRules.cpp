#include "capture/linux/MountTable.h"
#include "capture/linux/WatchEvents.h"
#include "capture/linux/WatchTree.h"

#include <algorithm>
#include <sys/inotify.h>
#include <unistd.h>

// What the watch tree leaves alone because it is not the user's work (the user's exclusions,
// caches, what Git ignores), mounts inside the watched area, and what the names cost.
namespace zlv::linuxcapture {

using namespace watch;

namespace {

// An ignore file may be written in several steps (an editor's save): its rules are taken up
// once it has been left alone this long.
constexpr auto kRulesDelay = std::chrono::milliseconds(1000);

constexpr std::string_view kCacheTag = "CACHEDIR.TAG";

} // namespace

bool WatchTree::excluded(const std::string& path) const
{
    if (!m_dataFolder.empty() && IsSameOrBelow(path, m_dataFolder)) {
        return true;
    }
    const auto covers = [&path](const std::string& folder) { return IsSameOrBelow(path, folder); };
    return std::any_of(m_excluded.begin(), m_excluded.end(), covers) ||
           std::any_of(m_caches.begin(), m_caches.end(), covers);
}

bool WatchTree::isRoot(const std::string& path) const
{
    return std::find(m_roots.begin(), m_roots.end(), path) != m_roots.end();
}

bool WatchTree::mayEnter(const std::string& path, const std::string& name, RepoId repo) const
{
    return MayEnter(name) && !excluded(path) && !m_notEntered.count(path) &&
           !m_git.ignored(repo, path, true);
}

WatchTree::RepoId WatchTree::repoOfParent(const std::string& path) const
{
    const int parent = m_paths.watchOf(ParentOf(path));
    if (parent == FolderTree::kNoWatch) {
        return 0;
    }
    const auto folder = m_folders.find(parent);
    return folder == m_folders.end() ? 0 : folder->second.repo;
}

void WatchTree::setReportWrites(bool on)
{
    m_watchMask = on ? kWatchMask | IN_MODIFY : kWatchMask;
}

bool WatchTree::noticeSpecialName(const std::string& folder, const std::string& name, bool isDir)
{
    if (isRoot(folder)) {
        return false; // a root is watched whatever it holds
    }
    if (!isDir && name == kCacheTag) {
        // The tag is often written just after its folder was made: checked again on every
        // write until its signature is complete.
        const int fd = OpenFolder(folder);
        const bool tagged = fd >= 0 && HasCacheTag(fd);
        if (fd >= 0) {
            ::close(fd);
        }
        if (tagged) {
            cacheFound(folder);
        }
        return tagged;
    }
    if (name == ".git" || (name == ".gitignore" && !isDir)) {
        m_rulesDue[folder] = std::chrono::steady_clock::now() + kRulesDelay;
    }
    return false;
}

void WatchTree::cacheFound(const std::string& folder)
{
    unwatchSubtree(folder);
    m_caches.insert(folder);
    m_disowned.push_back(folder);
}

void WatchTree::applyDueRules(TimePoint now)
{
    std::vector<std::string> due;
    for (auto it = m_rulesDue.begin(); it != m_rulesDue.end();) {
        if (it->second <= now) {
            due.push_back(it->first);
            it = m_rulesDue.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::string& folder : due) {
        if (watched(folder)) {
            applyRules(folder);
        }
    }
    if (!due.empty()) {
        reviewSkipped();
    }
}

void WatchTree::applyRules(const std::string& top)
{
    // The walk finds repositories anew and watches what is allowed now; what was watched and
    // is not allowed any longer loses its watches after it.
    walk(top, std::nullopt);
    std::vector<std::string> gone;
    for (const auto& [path, wd] : watchedFrom(top, false)) {
        if (!gone.empty() && IsSameOrBelow(path, gone.back())) {
            continue;
        }
        const std::string name(BaseName(path));
        if (!mayEnter(path, name, repoOfParent(path))) {
            gone.push_back(path);
        }
    }
    for (const std::string& path : gone) {
        unwatchSubtree(path);
        m_disowned.push_back(path);
    }
}

void WatchTree::setExcluded(std::vector<std::string> folders)
{
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::vector<std::string> added;
    std::vector<std::string> removed;
    std::set_difference(folders.begin(), folders.end(), m_excluded.begin(), m_excluded.end(),
                        std::back_inserter(added));
    std::set_difference(m_excluded.begin(), m_excluded.end(), folders.begin(), folders.end(),
                        std::back_inserter(removed));
    m_excluded = std::move(folders);
    for (const std::string& folder : added) {
        unwatchSubtree(folder);
        forgetRemembered(folder, true);
        m_disowned.push_back(folder);
    }
    for (const std::string& folder : removed) {
        // Watched again only where its parent is: below a folder still excluded, hidden or
        // ignored it stays unwatched.
        const std::string name(BaseName(folder));
        if (watched(ParentOf(folder)) && mayEnter(folder, name, repoOfParent(folder))) {
            walk(folder, std::nullopt);
        }
    }
    reviewSkipped();
}

void WatchTree::setSkipGitIgnored(bool skip)
{
    if (m_git.enabled() == skip) {
        return;
    }
    m_git.setEnabled(skip);
    const std::vector<std::string> roots = m_roots;
    for (const std::string& root : roots) {
        applyRules(root);
    }
    reviewSkipped();
}

void WatchTree::remount(const std::string& mountPoint)
{
    // Mounted: the folder's old watches see nothing of the new file system. Unmounted: the
    // file system's watches are gone and the folder underneath is in sight again.
    unwatchSubtree(mountPoint);
    const std::string name(BaseName(mountPoint));
    if (watched(ParentOf(mountPoint)) && mayEnter(mountPoint, name, repoOfParent(mountPoint))) {
        walk(mountPoint, std::nullopt);
    }
    reviewSkipped();
}

std::size_t WatchTree::nameBytes() const
{
    std::size_t bytes = 0;
    for (const auto& [wd, folder] : m_folders) {
        bytes += sizeof(NameSet) + folder.names.heapBytes();
    }
    return bytes;
}

std::size_t WatchTree::nameCount() const
{
    std::size_t count = 0;
    for (const auto& [wd, folder] : m_folders) {
        count += folder.names.size();
    }
    return count;
}

} // namespace zlv::linuxcapture
