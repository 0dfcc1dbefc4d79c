#pragma once

#include <string>

// The desktop session's autostart entry that starts Zelvory, in the notification area, when
// the user logs in ($XDG_CONFIG_HOME/autostart/zelvory.desktop, ~/.config by default).
namespace zlv::autostart {

std::string EntryPath();
bool IsEnabled();
// Writes or removes the entry; true when the entry's presence matches `on` afterwards.
bool SetEnabled(bool on);

} // namespace zlv::autostart
