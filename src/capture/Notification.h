#pragma once

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
    // The item took the place of another that had its new name (a rename over an existing
    // file). Only the Linux source knows it and uses it, to tell a save from a new file.
    bool replaced = false;
};

} // namespace zlv
