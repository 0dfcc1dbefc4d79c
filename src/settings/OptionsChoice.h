#pragma once

#include "settings/DisplayFormat.h"

#include <functional>
#include <string>

// What the Options dialog does with the user's choice, for every front end alike: the
// preview, Save and Default. The dialogs only show the lists and the messages.
namespace zlv::options {

// The current moment as `chosen` renders it.
std::string Preview(const DisplayFormatFields& chosen, const LocalDateTime& now);

// The widest preview any choice of entries can show in a font whose widths `width` gives,
// so that the preview is laid out once and never has to grow.
std::string WidestPreview(const std::function<int(const std::string& utf8)>& width);

enum class SaveOutcome
{
    Unchanged, // the lists show what is stored: nothing written, nothing said
    Saved,
    Failed, // memory holds what the file really holds, which is not the choice
};

// Save: when `chosen` differs from the stored format, all six keys are written, then the
// file is read back into memory whatever happened.
SaveOutcome Save(const std::string& configFile, const DisplayFormatFields& chosen);
// What the user is told after a save that wrote something.
std::string SaveMessage(SaveOutcome outcome, const std::string& configFile);
// Save as the dialogs do it: when something was written, the lists are re-rendered
// (`refresh`, may be empty) before the user is told how it went.
void SaveAndTell(const std::string& configFile, const DisplayFormatFields& chosen,
                 const std::function<void()>& refresh);

// Default: the defaults written and read back, even when nothing differs.
void RestoreDefaults(const std::string& configFile);

} // namespace zlv::options
