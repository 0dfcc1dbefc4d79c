#pragma once

#include <string>

namespace zlv {

// Reads the six display settings of section "DTF" into ProgramDisplayFormat(). A key the
// file lacks gives the empty text; a file that cannot be read leaves every slot as it was.
void LoadSettings(const std::string& configFile);

// Writes the six default values into the file; the settings in memory are not touched.
void WriteDefaultSettings(const std::string& configFile);

// LoadSettings, and on a first run (no Sequence yet) the defaults written and read back.
void LoadSettingsAtStartup(const std::string& configFile);

} // namespace zlv
