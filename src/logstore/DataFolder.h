#pragma once

#include "utility/Clock.h"
#include "utility/FileSystem.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// The per-user folder that holds everything Zelvory keeps:
//   <AppData>/QBS/ZLV/logs/YYYYMM/DD.log, configuration.ini and an empty marker file.
class DataFolder final
{
public:
    static constexpr std::string_view kMarkerName = "ZLV data folder, please do not delete it";
    static constexpr std::string_view kConfigurationName = "configuration.ini";

    // Computes the paths under `appData` (no trailing separator) and creates, one level at a
    // time, whatever is missing. Existing folders and files are never touched. True when
    // everything stands afterwards.
    bool establish(const std::string& appData);
    // Only computes the paths under `appData`, for readers that must not create anything.
    void locate(const std::string& appData);

    const std::string& dataFolder() const { return m_dataFolder; }
    const std::string& logsFolder() const { return m_logsFolder; }
    const std::string& configurationFile() const { return m_configurationFile; }
    std::string markerFile() const;
    // Beside the lock: what the running instance tells about itself (RunState.h) and the
    // records it holds while the journal cannot be written (HeldSpill.h).
    std::string runStateFile() const;
    std::string heldSpillFile() const;

    std::string monthFolder(const Date& date) const;
    std::string dayFilePath(const Date& date) const;
    // DD.gaps beside the day file of `date`.
    std::string gapFilePath(const Date& date) const;

    // The days of [from, to] that have a day file or a gap file, ascending. Only the month
    // folders that exist are looked into, so a range of thousands of years costs what the
    // journal holds, not what the calendar holds.
    std::vector<Date> daysOnDisk(const Date& from, const Date& to) const;

    // Makes sure the month folder of `date` exists, recreating the data and logs folders
    // first should they have been removed while the program runs.
    bool ensureMonthFolder(const Date& date) const;
    // Called after the data folder itself had to be made again (moved away or deleted during
    // the run), once its configuration file and marker file stand again (the configuration
    // file empty when it was missing): the owner puts back what only it knows.
    void setRemadeCallback(std::function<void()> callback) { m_remade = std::move(callback); }

    // Appends one whole line to the day file of `date`, creating what is missing. `after`
    // receives the day file's state right after the write (see fs::AppendFile).
    bool append(const Date& date, std::string_view line, fs::FileState* after = nullptr) const;
    // The same through `file`, which may keep the day file open for the next line; `seen`
    // is the day file's state as the caller looked at it a moment ago, if it did.
    bool append(const Date& date, std::string_view line, fs::AppendFile& file,
                fs::FileState* after = nullptr, const fs::FileState* seen = nullptr) const;
    // Appends one gap line (see GapFile.h) to the gap file of `date`, the same way.
    bool appendGap(const Date& date, std::string_view line) const;

private:
    bool appendTo(const std::string& path, const Date& date, std::string_view line,
                  fs::AppendFile& file, fs::FileState* after,
                  const fs::FileState* seen = nullptr) const;

    std::string m_appData;
    std::string m_dataFolder;
    std::string m_logsFolder;
    std::string m_configurationFile;
    // The month folder last seen to exist: most records need no look at the disk for it.
    // Should it vanish anyway, the append fails and rebuilds it.
    mutable std::string m_knownMonthFolder;
    std::function<void()> m_remade;
};

} // namespace zlv
