#pragma once

#include <string>

namespace zlv {

// One recorded operation: the six fields of a day-file line and of a list row.
struct LogRecord
{
    std::string time;         // "YYYY-MM-DD HH:MM:SS"
    std::string object;       // "File", "Folder", "Storage Media" or "Driver"
    std::string action;       // "Created", "Deleted", "Renamed", "Inserted", "Removed", "Added"
    std::string path;         // folder of item 1, ending in the platform separator; may be empty
    std::string originalName; // item 1's display name (the old name of a rename)
    std::string newName;      // item 2's display name (the new name of a rename)

    bool operator==(const LogRecord&) const = default;
};

} // namespace zlv
