#pragma once

#include <string>

// The desktop session's autostart entry that starts Zelvory, in the notification area, when
// the user logs in ($XDG_CONFIG_HOME/autostart/zelvory.desktop, ~/.config by default).
namespace zlv::autostart {

// The absolute path of the zelvory command now running; empty when the system does not say.
std::string RunningExecutable();

std::string EntryPath();
bool IsEnabled();
// Writes or removes the entry; true when the entry's presence matches `on` afterwards. The
// entry starts `executable` (by default the program now running).
bool SetEnabled(bool on, const std::string& executable = RunningExecutable());

// The command that started the program at `path`: the window program (a program of its own,
// which the command starts in its place) names the command beside it, or where the
// installation puts it; any other program names itself.
std::string CommandOf(const std::string& path);
// The entry's command line that starts `executable` in the notification area: by its bare
// name when a search of `searchPath` (a PATH value) finds that very file under that name,
// else by its absolute path, quoted and escaped as desktop entries want it.
std::string ExecLine(const std::string& executable, const std::string& searchPath);

} // namespace zlv::autostart
