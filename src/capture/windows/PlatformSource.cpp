#include "capture/PlatformSource.h"

#include "capture/windows/WindowsNotificationSource.h"

namespace zlv {

std::unique_ptr<NotificationSource> CreatePlatformNotificationSource(const DataFolder& folder)
{
    // Explorer showing the logs folder turns the journal's own writes into notifications;
    // a record of each new day file would be noise about ourselves.
    return std::make_unique<WindowsNotificationSource>(folder.dataFolder());
}

} // namespace zlv
