#pragma once

#include "capture/NotificationSource.h"
#include "logstore/DataFolder.h"

#include <memory>

namespace zlv {

// The notification source of the platform the program runs on, watching what a user of
// that platform works in and never the data folder itself.
std::unique_ptr<NotificationSource> CreatePlatformNotificationSource(const DataFolder& folder);

} // namespace zlv
