#pragma once

#include "logstore/DataFolder.h"
#include "logstore/DayFileIndex.h"
#include "logstore/LogRecord.h"
#include "utility/Clock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zlv {

// One shell item as the platform reports it: its display name and its file-system path
// (both possibly empty).
struct ShellItem
{
    std::string displayName;
    std::string path;
};

// One change notification, whatever platform it came from.
struct Notification
{
    std::uint32_t event = 0;
    std::optional<ShellItem> item1;
    std::optional<ShellItem> item2;
};

// Turns notifications into day-file lines: names and classifies the event, resolves its
// items, applies the two keep tests and the 5-second repeat test, and appends the line.
class RecordPipeline final
{
public:
    static constexpr int kRepeatWindowSeconds = 5;

    explicit RecordPipeline(const DataFolder& folder, const Clock& clock = Clock::instance())
        : m_folder(folder), m_clock(clock)
    {
    }

    // The record a notification stands for, before the repeat test; nullopt when the keep
    // tests drop it. Time is left empty.
    static std::optional<LogRecord> Classify(const Notification& n);

    // Handles one notification to its end. True when a line was written, which is the only
    // case in which the Today list needs rebuilding.
    bool handle(const Notification& n);

private:
    const DataFolder& m_folder;
    const Clock& m_clock;
    DayFileIndex m_index;
};

} // namespace zlv
