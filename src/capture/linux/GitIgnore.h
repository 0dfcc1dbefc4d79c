#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct git_repository;

namespace zlv::linuxcapture {

// What Git ignores in the work trees below the watched folders (build trees, node_modules,
// virtual environments, *.o): not the user's work, so neither watched nor recorded. The
// rules are Git's own, read by libgit2; each repository is opened once and kept, so the
// parsed ignore files are reused for every path of a build. Belongs to the reader thread.
class GitIgnore final
{
public:
    using RepoId = std::uint32_t; // 0: no repository

    GitIgnore();
    ~GitIgnore();
    GitIgnore(const GitIgnore&) = delete;
    GitIgnore& operator=(const GitIgnore&) = delete;

    // Off, nothing counts as ignored (the user's switch).
    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }

    // The repository whose work tree is the folder `root`; 0 when it is none or cannot be
    // opened (another user's, damaged).
    RepoId open(const std::string& root);
    // Whether Git ignores `path`, an absolute path inside `repo`'s work tree.
    bool ignored(RepoId repo, const std::string& path, bool isDir) const;

private:
    struct Repo
    {
        std::string root;
        git_repository* repo = nullptr;
    };
    std::vector<Repo> m_repos;
    bool m_enabled = true;
    bool m_library = false;
};

} // namespace zlv::linuxcapture
