#pragma once

#include "capture/CaptureHealth.h"
#include "capture/Notification.h"

#include <functional>
#include <string>

namespace zlv {

// Where change notifications come from: the shell's change notifications on Windows,
// inotify, the mount table and udev on Linux. Whatever the platform, the sink receives one
// notification at a time, on the thread that runs the user interface, in the order the
// operations happened.
class NotificationSource
{
public:
    using Sink = std::function<void(const Notification&)>;
    // Told, on the user-interface thread and between notifications, when the source could
    // not see everything (an overflow, a folder it cannot watch) or sees everything again.
    using HealthSink = std::function<void(const CaptureIncident&)>;

    virtual ~NotificationSource() = default;

    // Starts delivering to `sink`. False when capture could not start; the caller tells the
    // user, so a source says why only through startFailure(), never through its health sink.
    virtual bool start(Sink sink) = 0;
    // Why the last start() failed, in a sentence the user can read; empty when the source
    // cannot say.
    virtual std::string startFailure() const { return {}; }
    // Stops delivering; no call reaches the sink after it returns.
    virtual void stop() = 0;

    // Where incidents go; set before start(). Sources that never lose anything ignore it.
    virtual void setHealthSink(HealthSink sink) { (void)sink; }
};

} // namespace zlv
