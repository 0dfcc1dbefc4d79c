#include "settings/Exclusions.h"

#include "utility/SystemUtility.h"

#include <algorithm>
#include <charconv>

namespace zlv {

namespace {

constexpr const char* kSection = "Exclusions";
constexpr const char* kCount = "Count";
constexpr const char* kSkipGitIgnored = "SkipGitIgnored";
// A hand-edited count is not trusted to make us read a million keys.
constexpr int kMostFolders = 10000;

std::string FolderKey(int i)
{
    return "Folder" + std::to_string(i);
}

int Count(const std::string& text)
{
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (end != text.data() + text.size()) {
        return 0;
    }
    if (error == std::errc::result_out_of_range) {
        return text.front() == '-' ? 0 : kMostFolders;
    }
    return std::clamp(count, 0, kMostFolders);
}

} // namespace

std::string ExclusionPath(std::string folder)
{
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) {
        folder.pop_back();
    }
    // A drive's root has lost its separator above ("C:") and is not taken.
    const bool absolute =
        (folder.size() > 1 && folder.front() == '/') ||
        (folder.size() > 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/'));
    return absolute ? folder : std::string();
}

Exclusions LoadExclusions(const std::string& configFile)
{
    Exclusions exclusions;
    const auto head = SystemUtility::ReadSettings(configFile, kSection, {kCount, kSkipGitIgnored});
    if (!head) {
        return exclusions;
    }
    exclusions.skipGitIgnored = (*head)[1] != "No";
    std::vector<std::string> keys;
    for (int i = 1, count = Count((*head)[0]); i <= count; ++i) {
        keys.push_back(FolderKey(i));
    }
    const auto folders = SystemUtility::ReadSettings(configFile, kSection, keys);
    for (const std::string& folder : folders.value_or(std::vector<std::string>())) {
        std::string path = ExclusionPath(folder);
        if (!path.empty() && std::find(exclusions.folders.begin(), exclusions.folders.end(),
                                       path) == exclusions.folders.end()) {
            exclusions.folders.push_back(std::move(path));
        }
    }
    return exclusions;
}

bool SaveExclusions(const std::string& configFile, const Exclusions& exclusions)
{
    const int before = Count(SystemUtility::ReadSetting(configFile, kSection, kCount));
    const int count = static_cast<int>(exclusions.folders.size());
    std::vector<std::pair<std::string, std::string>> entries{
        {kCount, std::to_string(count)},
        {kSkipGitIgnored, exclusions.skipGitIgnored ? "Yes" : "No"}};
    for (int i = 1; i <= std::max(count, before); ++i) {
        // Keys past the count are emptied, so that no removed folder lingers in the file.
        entries.emplace_back(FolderKey(i), i <= count ? exclusions.folders[i - 1] : std::string());
    }
    return SystemUtility::WriteSettings(configFile, kSection, entries);
}

} // namespace zlv
