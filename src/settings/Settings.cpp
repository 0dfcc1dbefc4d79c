#include "settings/Settings.h"

#include "settings/DisplayFormat.h"
#include "utility/SystemUtility.h"

namespace zlv {

namespace {

constexpr const char* kSection = "DTF";

std::vector<std::string> Keys()
{
    return {kDisplayFormatKeys.begin(), kDisplayFormatKeys.end()};
}

// The default of every slot that `only` selects, as entries for one save.
std::vector<std::pair<std::string, std::string>> Defaults(const std::array<bool, 6>& only)
{
    std::vector<std::pair<std::string, std::string>> entries;
    const DisplayFormatFields& defaults = DefaultDisplayFormat();
    for (std::size_t slot = 0; slot < defaults.size(); ++slot) {
        if (only[slot]) {
            entries.emplace_back(kDisplayFormatKeys[slot], defaults[slot]);
        }
    }
    return entries;
}

} // namespace

void LoadSettings(const std::string& configFile)
{
    const auto values = SystemUtility::ReadSettings(configFile, kSection, Keys());
    if (!values) {
        return;
    }
    DisplayFormatFields& fields = ProgramDisplayFormat();
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        fields[slot] = (*values)[slot];
    }
}

bool WriteDefaultSettings(const std::string& configFile)
{
    // One save for all six: a start cut short can never leave half of them behind.
    return SystemUtility::WriteSettings(configFile, kSection, Defaults({1, 1, 1, 1, 1, 1}));
}

bool WriteProgramSettings(const std::string& configFile)
{
    std::vector<std::pair<std::string, std::string>> entries;
    const DisplayFormatFields& fields = ProgramDisplayFormat();
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        entries.emplace_back(kDisplayFormatKeys[slot], fields[slot]);
    }
    return SystemUtility::WriteSettings(configFile, kSection, entries);
}

void LoadSettingsAtStartup(const std::string& configFile)
{
    LoadSettings(configFile);
    DisplayFormatFields& fields = ProgramDisplayFormat();
    std::array<bool, 6> empty{};
    bool anyEmpty = false;
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        empty[slot] = fields[slot].empty();
        anyEmpty = anyEmpty || empty[slot];
    }
    if (!anyEmpty) {
        return;
    }
    // No Sequence means a first run: all six defaults. Otherwise only the keys that went
    // missing (a start killed half-way by an older version, a hand edit) are filled in,
    // since an empty field would leave its part of every time blank for good.
    if (empty[kSequenceSlot]) {
        empty.fill(true);
    }
    SystemUtility::WriteSettings(configFile, kSection, Defaults(empty));
    LoadSettings(configFile);
    // Defaults that could not be stored (a read-only or full disk, a FIFO in the file's
    // place) still render every time: the program runs on them from memory.
    const DisplayFormatFields& defaults = DefaultDisplayFormat();
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        if (fields[slot].empty()) {
            fields[slot] = defaults[slot];
        }
    }
}

} // namespace zlv
