#include "capture/PlatformSource.h"

#include "capture/linux/LinuxNotificationSource.h"

namespace zlv {

std::unique_ptr<NotificationSource> CreatePlatformNotificationSource(const DataFolder& folder)
{
    return CreatePlatformNotificationSource(LinuxCaptureOptions::ForDataFolder(folder));
}

} // namespace zlv
