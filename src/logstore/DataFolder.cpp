#include "logstore/DataFolder.h"

#include "utility/FileSystem.h"

#include <algorithm>

namespace zlv {

namespace {

// Zero-padded decimal digits of a non-negative number; the paths of every record are built
// from these, and a formatted print costs more than the rest of the path together.
std::string Digits(int value, int width)
{
    std::string out(static_cast<std::size_t>(width), '0');
    unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    for (auto it = out.rbegin(); it != out.rend() && rest > 0; ++it, rest /= 10) {
        *it = static_cast<char>('0' + rest % 10);
    }
    for (; rest > 0; rest /= 10) {
        out.insert(out.begin(), static_cast<char>('0' + rest % 10));
    }
    return out;
}

std::string Join(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    path += fs::kSeparator;
    path.append(name);
    return path;
}

} // namespace

void DataFolder::locate(const std::string& appData)
{
    m_appData = appData;
    m_dataFolder = Join(Join(appData, "QBS"), "ZLV");
    m_logsFolder = Join(m_dataFolder, "logs");
    m_configurationFile = Join(m_dataFolder, kConfigurationName);
}

bool DataFolder::establish(const std::string& appData)
{
    locate(appData);
    const std::string qbs = Join(appData, "QBS");

    // Each step makes one level, so a failure stops the steps below it from mattering but
    // does not stop start-up: a later append tries again.
    // A fresh account may not have its data folder yet (~/.local/share is created lazily
    // on Linux desktops), and our folders have to go somewhere.
    fs::CreateDirectoryChain(appData);
    bool ok = fs::CreateDirectoryLevel(qbs);
    ok = fs::CreateDirectoryLevel(m_dataFolder) && ok;
    // Older versions made it readable by everyone; what it holds is the user's alone.
    fs::RestrictFolderToOwner(m_dataFolder);
    ok = fs::CreateDirectoryLevel(m_logsFolder) && ok;
    ok = fs::CreateEmptyFileIfMissing(m_configurationFile) && ok;
    ok = fs::CreateEmptyFileIfMissing(markerFile()) && ok;
    return ok;
}

std::string DataFolder::markerFile() const
{
    return Join(m_dataFolder, kMarkerName);
}

std::string DataFolder::runStateFile() const
{
    return Join(m_dataFolder, "zelvory.state");
}

std::string DataFolder::heldSpillFile() const
{
    return Join(m_dataFolder, "zelvory.held");
}

std::string DataFolder::monthFolder(const Date& date) const
{
    return Join(m_logsFolder, Digits(date.year, 4) + Digits(date.month, 2));
}

std::string DataFolder::dayFilePath(const Date& date) const
{
    return Join(monthFolder(date), Digits(date.day, 2) + ".log");
}

std::string DataFolder::gapFilePath(const Date& date) const
{
    return Join(monthFolder(date), Digits(date.day, 2) + ".gaps");
}

std::vector<Date> DataFolder::daysOnDisk(const Date& from, const Date& to) const
{
    std::vector<Date> days;
    if (!from.isValid() || !to.isValid() || to < from) {
        return days;
    }
    const auto number = [](std::string_view digits) {
        int value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                return -1;
            }
            value = value * 10 + (c - '0');
        }
        return digits.empty() ? -1 : value;
    };
    const int firstMonth = from.year * 100 + from.month;
    const int lastMonth = to.year * 100 + to.month;
    for (const std::string& month : fs::ListFolder(m_logsFolder)) {
        const int yyyymm = month.size() == 6 ? number(month) : -1;
        if (yyyymm < firstMonth || yyyymm > lastMonth) {
            continue;
        }
        for (const std::string& file : fs::ListFolder(Join(m_logsFolder, month))) {
            const std::string_view name = file;
            const bool ours =
                name.size() >= 3 && (name.substr(2) == ".log" || name.substr(2) == ".gaps");
            const Date day{yyyymm / 100, yyyymm % 100, ours ? number(name.substr(0, 2)) : -1};
            if (day.isValid() && from <= day && day <= to) {
                days.push_back(day);
            }
        }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

bool DataFolder::ensureMonthFolder(const Date& date) const
{
    const std::string month = monthFolder(date);
    if (month == m_knownMonthFolder) {
        return true;
    }
    if (fs::DirectoryExists(month)) {
        m_knownMonthFolder = month;
        return true;
    }
    if (!fs::DirectoryExists(m_logsFolder)) {
        // The user (or a cleaner) removed our folders during the run: rebuild the chain
        // rather than lose the record.
        const bool remade = !fs::DirectoryExists(m_dataFolder);
        fs::CreateDirectoryChain(m_appData);
        fs::CreateDirectoryLevel(Join(m_appData, "QBS"));
        fs::CreateDirectoryLevel(m_dataFolder);
        fs::CreateDirectoryLevel(m_logsFolder);
        // A data folder moved away took its settings and its marker with it: the folder
        // made again is a whole one, as a first start leaves it.
        fs::CreateEmptyFileIfMissing(m_configurationFile);
        fs::CreateEmptyFileIfMissing(markerFile());
        if (remade && m_remade && fs::DirectoryExists(m_dataFolder)) {
            m_remade();
        }
    }
    if (!fs::CreateDirectoryLevel(month)) {
        return false;
    }
    m_knownMonthFolder = month;
    return true;
}

bool DataFolder::append(const Date& date, std::string_view line, fs::FileState* after) const
{
    fs::AppendFile file;
    return append(date, line, file, after);
}

bool DataFolder::append(const Date& date, std::string_view line, fs::AppendFile& file,
                        fs::FileState* after, const fs::FileState* seen) const
{
    return appendTo(dayFilePath(date), date, line, file, after, seen);
}

bool DataFolder::appendGap(const Date& date, std::string_view line) const
{
    fs::AppendFile file;
    return appendTo(gapFilePath(date), date, line, file, nullptr);
}

bool DataFolder::appendTo(const std::string& path, const Date& date, std::string_view line,
                          fs::AppendFile& file, fs::FileState* after,
                          const fs::FileState* seen) const
{
    if (file.append(path, line, after, seen)) {
        return true;
    }
    // The folder may have vanished since the last look; one more try after rebuilding it.
    m_knownMonthFolder.clear();
    return ensureMonthFolder(date) && file.append(path, line, after);
}

} // namespace zlv
