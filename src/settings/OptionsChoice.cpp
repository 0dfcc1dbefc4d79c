#include "settings/OptionsChoice.h"

#include "settings/Settings.h"
#include "utility/MessageBox.h"
#include "utility/SystemUtility.h"

namespace zlv::options {

namespace {

constexpr const char* kSection = "DTF";

} // namespace

std::string Preview(const DisplayFormatFields& chosen, const LocalDateTime& now)
{
    return FormatTimestamp(now, GetDisplayPattern(chosen));
}

std::string WidestPreview(const std::function<int(const std::string& utf8)>& width)
{
    // A late, two-digit moment in the month whose short name is widest.
    LocalDateTime at{{2008, 1, 28}, 23, 58, 58};
    int widest = -1;
    for (int month = 1; month <= 12; ++month) {
        const LocalDateTime candidate{{2008, month, 28}, 23, 58, 58};
        if (const int w = width(FormatTimestamp(candidate, "MMM")); w > widest) {
            widest = w;
            at = candidate;
        }
    }
    const auto& entries = DisplayFormatEntries();
    std::string text;
    widest = -1;
    DisplayFormatFields fields;
    const auto visit = [&](auto& self, std::size_t slot) -> void {
        if (slot == fields.size()) {
            std::string preview = FormatTimestamp(at, GetDisplayPattern(fields));
            if (const int w = width(preview); w > widest) {
                widest = w;
                text = std::move(preview);
            }
            return;
        }
        for (const std::string& entry : entries[slot]) {
            fields[slot] = entry;
            self(self, slot + 1);
        }
    };
    visit(visit, 0);
    return text;
}

SaveOutcome Save(const std::string& configFile, const DisplayFormatFields& chosen)
{
    if (chosen == ProgramDisplayFormat()) {
        return SaveOutcome::Unchanged;
    }
    bool written = true;
    for (std::size_t slot = 0; slot < chosen.size(); ++slot) {
        written = SystemUtility::WriteSetting(configFile, kSection, kDisplayFormatKeys[slot],
                                              chosen[slot]) &&
                  written;
    }
    // Read back whatever happened, so that memory and the lists on screen show what the
    // file really holds.
    LoadSettings(configFile);
    return written ? SaveOutcome::Saved : SaveOutcome::Failed;
}

std::string SaveMessage(SaveOutcome outcome, const std::string& configFile)
{
    switch (outcome) {
    case SaveOutcome::Unchanged:
        return {};
    case SaveOutcome::Saved:
        return "Save successfully!";
    case SaveOutcome::Failed:
        break;
    }
    // Saying "saved" here would leave the user believing in a format that is gone at the
    // next start.
    return "Cannot save your changes to " + configFile +
           ", please check that the file can be written.";
}

void SaveAndTell(const std::string& configFile, const DisplayFormatFields& chosen,
                 const std::function<void()>& refresh)
{
    const SaveOutcome outcome = Save(configFile, chosen);
    if (outcome == SaveOutcome::Unchanged) {
        return;
    }
    if (refresh) {
        refresh();
    }
    MessageBox::show(SaveMessage(outcome, configFile), outcome == SaveOutcome::Saved
                                                           ? MessageBox::Icon::Information
                                                           : MessageBox::Icon::Exclamation);
}

void RestoreDefaults(const std::string& configFile)
{
    WriteDefaultSettings(configFile);
    LoadSettings(configFile);
}

} // namespace zlv::options
