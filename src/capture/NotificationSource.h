#pragma once

#include "capture/RecordPipeline.h"

#include <functional>

namespace zlv {

// Where change notifications come from: the shell's change notifications on Windows,
// inotify, the mount table and udev on Linux. Whatever the platform, the sink receives one
// notification at a time, on the thread that runs the user interface, in the order the
// operations happened.
class NotificationSource
{
public:
    using Sink = std::function<void(const Notification&)>;

    virtual ~NotificationSource() = default;

    // Starts delivering to `sink`. False when capture could not start.
    virtual bool start(Sink sink) = 0;
    // Stops delivering; no call reaches the sink after it returns.
    virtual void stop() = 0;
};

} // namespace zlv
