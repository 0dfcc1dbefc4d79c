#include "capture/PlatformSource.h"

#include "capture/linux/LinuxNotificationSource.h"

namespace zlv {

std::unique_ptr<NotificationSource> CreatePlatformNotificationSource(const DataFolder& folder)
{
    return std::make_unique<LinuxNotificationSource>(LinuxCaptureOptions::ForDataFolder(folder));
}

} // namespace zlv
