#pragma once

#include <string>
#include <vector>

namespace zlv {

// The folders the user does not want recorded, and whether what Git ignores in a work tree
// is left alone too, as kept in the configuration file's section "Exclusions" (the "DTF"
// section is not touched). A file without the section, from an earlier version or new,
// reads as no folder excluded and Git's rule on.
struct Exclusions
{
    std::vector<std::string> folders; // absolute paths, no trailing separator
    bool skipGitIgnored = true;

    bool operator==(const Exclusions&) const = default;
};

Exclusions LoadExclusions(const std::string& configFile);
// Stores `exclusions` in one save. False, and the file left as it was, when it cannot be
// written or a folder's name could not be read back as it is (a line break in it).
bool SaveExclusions(const std::string& configFile, const Exclusions& exclusions);

// `folder` as the exclusions keep it: absolute, without a trailing separator; empty for a
// relative path or the root, which would exclude everything.
std::string ExclusionPath(std::string folder);

} // namespace zlv
