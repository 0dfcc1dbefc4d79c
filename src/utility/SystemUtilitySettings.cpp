// The settings file: a sectioned key=value text file read and written a few keys at a time.
//
// QSettings is not used on purpose: its INI format reads an unquoted value holding a comma
// as a list (so a hand-edited "Month, Day, Year" would come back empty), escapes values
// and keys its own way, and rewrites the whole file in its own layout, dropping comments.
// Here a write changes only the lines of its keys (and makes the line ends agree).
#include "utility/RegularFile.h"
#include "utility/SaveFile.h"
#include "utility/SettingsText.h"
#include "utility/SystemUtility.h"

#include <optional>

namespace zlv {

namespace {

// Bigger than any settings file a person keeps; a larger file is damage, and rewriting it
// would cost more than refusing.
constexpr std::uint64_t kMaxFileBytes = 16 << 20;

#ifdef _WIN32
constexpr std::string_view kDefaultLineEnd = "\r\n";
#else
constexpr std::string_view kDefaultLineEnd = "\n";
#endif

// The file's bytes; nullopt when it cannot be read. A missing file reads as empty when
// `missingIsEmpty`. Anything but a regular file is refused without waiting on it.
std::optional<std::string> ReadFile(const std::string& path, bool missingIsEmpty)
{
    std::string bytes;
    switch (ReadRegularFile(path, kMaxFileBytes, bytes)) {
    case RegularFile::Status::Open:
        return bytes;
    case RegularFile::Status::Missing:
        return missingIsEmpty ? std::optional<std::string>(std::string()) : std::nullopt;
    case RegularFile::Status::NotRegular: {
        static std::string warned; // once per path, not once per key read
        if (warned != path) {
            WarnNotRegular(path, "settings file");
            warned = path;
        }
        return std::nullopt;
    }
    case RegularFile::Status::Failed:
        break;
    }
    return std::nullopt;
}

} // namespace

std::string SystemUtility::ReadSetting(const std::string& file, const std::string& section,
                                       const std::string& key)
{
    const auto values = ReadSettings(file, section, {key});
    return values ? values->front() : std::string();
}

std::optional<std::vector<std::string>>
SystemUtility::ReadSettings(const std::string& file, const std::string& section,
                            const std::vector<std::string>& keys)
{
    const auto text = ReadFile(file, false);
    if (!text) {
        return std::nullopt;
    }
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const std::string& key : keys) {
        values.push_back(settingstext::Find(*text, section, key).value_or(std::string()));
    }
    return values;
}

bool SystemUtility::WriteSetting(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& value)
{
    return WriteSettings(file, section, {{key, value}});
}

bool SystemUtility::WriteSettings(const std::string& file, const std::string& section,
                                  const std::vector<std::pair<std::string, std::string>>& entries)
{
    for (const auto& [key, value] : entries) {
        // Refused rather than stored damaged.
        if (!settingstext::Storable(section, key, value)) {
            return false;
        }
    }
    const auto before = ReadFile(file, true);
    if (!before) {
        return false; // never replace what could not be read: it would be lost
    }
    const std::string after = settingstext::WithValues(*before, section, entries, kDefaultLineEnd);
    if (after != *before) {
        if (!SaveWholeFile(file, after)) {
            return false;
        }
    }
    // Only what reads back counts as saved: a file that changed under us, or a value that
    // the layout of the file hides, is a failure the caller has to hear about.
    const auto stored = ReadSettings(file, section, [&] {
        std::vector<std::string> keys;
        for (const auto& entry : entries) {
            keys.push_back(entry.first);
        }
        return keys;
    }());
    if (!stored) {
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((*stored)[i] != entries[i].second) {
            return false;
        }
    }
    return true;
}

} // namespace zlv
