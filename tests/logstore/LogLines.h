#pragma once

// Day-file lines and files for the log-list tests.
#include "logstore/DayFile.h"

#include <QString>
#include <fstream>
#include <string>

namespace zlv::test {

inline std::string RecordLine(const std::string& stamp, const std::string& object,
                              const std::string& action, const std::string& path,
                              const std::string& name, const std::string& newName = {})
{
    return dayfile::FormatLine(LogRecord{stamp, object, action, path, name, newName});
}

// A created file named after its own stamp, so that every line is told apart.
inline std::string CreatedLine(const std::string& stamp, const std::string& name = {})
{
    return RecordLine(stamp, "File", "Created", "/home/u/",
                      name.empty() ? "f " + stamp.substr(11) : name);
}

inline std::string Stamp(int hour, int minute, int second, const std::string& day = "2024-03-05")
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", hour, minute, second);
    return day + buffer;
}

inline void AppendBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Path(const QString& path)
{
    return path.toStdString();
}

} // namespace zlv::test
