#pragma once

#include <string>

namespace zlv {

// System operations of the utility component. SpecialFolderPath is plain C++; the others
// need Qt and live in the GUI library.
class SystemUtility final
{
public:
    static constexpr int kAppData = 26; // the per-user roaming application-data folder

    // The folder's path without a trailing separator. Never empty: when the system knows
    // no such folder, a per-user fallback is given rather than the root of a drive.
    static std::string SpecialFolderPath(int folder);

    // The stored text of `key` in `section` of the settings file; empty when absent.
    static std::string ReadSetting(const std::string& file, const std::string& section,
                                   const std::string& key);
    // Stores `value` under `key`; the file is replaced whole, never left half-written.
    static bool WriteSetting(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value);
};

} // namespace zlv
