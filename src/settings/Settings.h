#pragma once

#include <string>

namespace zlv {

// Reads the six display settings of section "DTF" into ProgramDisplayFormat(). A key the
// file lacks gives the empty text; a file that cannot be read (or is no regular file)
// leaves every slot as it was.
void LoadSettings(const std::string& configFile);

// Writes the six default values into the file in one save; the settings in memory are not
// touched. True when all six read back.
bool WriteDefaultSettings(const std::string& configFile);

// Writes the six settings in memory into the file in one save (a configuration file lost
// with its folder during the run). True when the save succeeded.
bool WriteProgramSettings(const std::string& configFile);

// LoadSettings; on a first run (no Sequence yet) all six defaults written and read back,
// otherwise any key that is missing or empty filled with its default in one save. Slots
// still empty after that (the file cannot be written) take their defaults in memory.
void LoadSettingsAtStartup(const std::string& configFile);

} // namespace zlv
