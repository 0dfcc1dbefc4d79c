#include "settings/Settings.h"

#include "settings/DisplayFormat.h"
#include "utility/SystemUtility.h"

#include <QFile>

namespace zlv {

namespace {

constexpr const char* kSection = "DTF";

bool Readable(const std::string& configFile)
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(configFile)));
    return file.open(QIODevice::ReadOnly);
}

} // namespace

void LoadSettings(const std::string& configFile)
{
    if (!Readable(configFile)) {
        return;
    }
    DisplayFormatFields& fields = ProgramDisplayFormat();
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
        fields[slot] = SystemUtility::ReadSetting(configFile, kSection, kDisplayFormatKeys[slot]);
    }
}

void WriteDefaultSettings(const std::string& configFile)
{
    const DisplayFormatFields& defaults = DefaultDisplayFormat();
    for (std::size_t slot = 0; slot < defaults.size(); ++slot) {
        SystemUtility::WriteSetting(configFile, kSection, kDisplayFormatKeys[slot], defaults[slot]);
    }
}

void LoadSettingsAtStartup(const std::string& configFile)
{
    LoadSettings(configFile);
    if (!ProgramDisplayFormat()[kSequenceSlot].empty()) {
        return;
    }
    WriteDefaultSettings(configFile);
    LoadSettings(configFile);
    if (ProgramDisplayFormat()[kSequenceSlot].empty()) {
        // The defaults could not be stored (a read-only or full disk). Rendering every time
        // from six empty fields would show no time at all in the lists, so the program runs
        // on the defaults in memory; the file is left as it is.
        ProgramDisplayFormat() = DefaultDisplayFormat();
    }
}

} // namespace zlv
