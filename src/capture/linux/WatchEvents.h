#pragma once

// Small pieces the parts of the watch tree share: paths and the notifications they make.
#include "capture/Notification.h"
#include "capture/ShellEvents.h"
#include "capture/linux/NameKinds.h"

#include <cstdint>
#include <string>
#include <sys/inotify.h>

namespace zlv::linuxcapture::watch {

// IN_DONT_FOLLOW and IN_ONLYDIR: a folder swapped for a symbolic link between our listing
// and our watch must not lead the watch elsewhere. IN_MOVE_SELF tells that a folder whose
// IN_MOVED_FROM is still unpaired has left the watched area, without waiting.
inline constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                            IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW |
                                            IN_EXCL_UNLINK;

inline std::string Join(const std::string& dir, const std::string& name)
{
    return dir == "/" ? "/" + name : dir + "/" + name;
}

inline std::string ParentOf(const std::string& path)
{
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Hidden folders are never entered: nothing in them is the user's own work.
inline bool MayEnter(const std::string& name)
{
    return !name.empty() && KindOfName(name, true) != NameKind::Hidden;
}

inline Notification Single(std::uint32_t event, const std::string& path, const std::string& name)
{
    return Notification{event, ShellItem{name, path}, std::nullopt};
}

inline Notification Created(bool isDir, const std::string& path, const std::string& name,
                            bool replaced = false)
{
    Notification n = Single(isDir ? shell::SHCNE_MKDIR : shell::SHCNE_CREATE, path, name);
    n.replaced = replaced;
    return n;
}

inline Notification Deleted(bool isDir, const std::string& path, const std::string& name)
{
    return Single(isDir ? shell::SHCNE_RMDIR : shell::SHCNE_DELETE, path, name);
}

} // namespace zlv::linuxcapture::watch
