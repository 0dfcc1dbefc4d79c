#pragma once

#include "capture/CaptureHealth.h"
#include "capture/Notification.h"

#include <functional>
#include <string>
#include <vector>

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
    // Stops, and before it returns delivers everything seen until then: what the platform
    // has queued, what the source's reader holds, and what is still settling into its net
    // effect (delivered as that net effect, in order). Every orderly way of ending (Yes to
    // the close question, a signal asking to end, the session's logout) comes through here,
    // so nothing the user did before it is lost. No call reaches the sink after it returns.
    virtual void stop() = 0;

    // Where incidents go; set before start(). Sources that never lose anything ignore it.
    virtual void setHealthSink(HealthSink sink) { (void)sink; }
    // Told, on the user-interface thread, a little after a burst of deliveries is over, so
    // that what only the burst needed can be let go. Sources without bursts never call it.
    using IdleSink = std::function<void()>;
    virtual void setIdleSink(IdleSink sink) { (void)sink; }

    // Folders the user does not want recorded (absolute paths), and whether what Git
    // ignores in a work tree is left alone. Takes effect at once, also while running: an
    // excluded folder's watches are freed, a folder no longer excluded is watched again
    // without recording what it holds. Sources that receive only the shell's operations
    // ignore it.
    virtual void setExclusions(std::vector<std::string> folders, bool skipGitIgnored)
    {
        (void)folders;
        (void)skipGitIgnored;
    }
};

} // namespace zlv
