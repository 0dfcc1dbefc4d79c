#include "capture/linux/GitIgnore.h"

#include <git2.h>

namespace zlv::linuxcapture {

GitIgnore::GitIgnore() : m_library(git_libgit2_init() > 0) {}

GitIgnore::~GitIgnore()
{
    for (Repo& r : m_repos) {
        git_repository_free(r.repo);
    }
    if (m_library) {
        git_libgit2_shutdown();
    }
}

GitIgnore::RepoId GitIgnore::open(const std::string& root)
{
    for (std::size_t i = 0; i < m_repos.size(); ++i) {
        if (m_repos[i].root == root) {
            return static_cast<RepoId>(i + 1);
        }
    }
    if (!m_library) {
        return 0;
    }
    git_repository* repo = nullptr;
    // Exactly this folder: a search upwards would find the repository of a home kept under
    // Git, whose ignore rules (often "*") are about the files it tracks, not the user's work.
    if (git_repository_open_ext(&repo, root.c_str(), GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) != 0) {
        return 0;
    }
    if (git_repository_is_bare(repo)) {
        git_repository_free(repo);
        return 0;
    }
    m_repos.push_back(Repo{root, repo});
    return static_cast<RepoId>(m_repos.size());
}

bool GitIgnore::ignored(RepoId repo, const std::string& path, bool isDir) const
{
    if (!m_enabled || repo == 0 || repo > m_repos.size()) {
        return false;
    }
    const Repo& r = m_repos[repo - 1];
    if (path.size() <= r.root.size() + 1 || path.compare(0, r.root.size(), r.root) != 0 ||
        path[r.root.size()] != '/') {
        return false;
    }
    // A trailing slash tells libgit2 it is a folder (rules like "build/") without a look at
    // the disk, where it may be gone already.
    std::string relative = path.substr(r.root.size() + 1);
    if (isDir) {
        relative += '/';
    }
    int ignored = 0;
    return git_ignore_path_is_ignored(&ignored, r.repo, relative.c_str()) == 0 && ignored == 1;
}

} // namespace zlv::linuxcapture
