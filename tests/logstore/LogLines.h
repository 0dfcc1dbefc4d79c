#pragma once

// Day-file lines and files for the log-list tests.
#include "logstore/DayFile.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace zlv::test {

inline std::string RecordLine(const std::string& stamp, const std::string& object,
                              const std::string& action, const std::string& path,
                              const std::string& name, const std::string& newName = {})
{
    return dayfile::FormatLine(LogRecord{stamp, object, action, path, name, newName});
}

inline std::string Stamp(int hour, int minute, int second, const std::string& day = "2024-03-05")
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", hour, minute, second);
    return day + buffer;
}

// A created file named after its own time unless named otherwise.
inline std::string CreatedLine(const std::string& stamp, const std::string& name = {})
{
    return RecordLine(stamp, "File", "Created", "/home/u/",
                      name.empty() ? "f " + stamp.substr(11) : name);
}

// `count` created files a minute apart, from 10:00 plus `firstMinute`.
inline std::string Lines(int count, int firstMinute = 0)
{
    std::string text;
    for (int i = firstMinute; i < firstMinute + count; ++i) {
        text += CreatedLine(Stamp(10 + i / 60, i % 60, 0));
    }
    return text;
}

// `count` created files a second apart from midnight, round again after a day; named after
// their time, or when `shuffled` n0, n1, ... in an order far from the time order.
inline std::string SecondLines(int count, bool shuffled = false)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        const int s = i % 86400;
        text += CreatedLine(Stamp(s / 3600, s / 60 % 60, s % 60),
                            shuffled ? "n" + std::to_string(i * 7919 % count) : "");
    }
    return text;
}

inline void WriteBytes(const std::string& path, const std::string& bytes,
                       std::ios::openmode mode = std::ios::trunc)
{
    std::ofstream(path, std::ios::binary | mode) << bytes;
}

} // namespace zlv::test
