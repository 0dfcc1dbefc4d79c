#pragma once

#include "capture/NotificationSource.h"
#include "logstore/DataFolder.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

class QObject;

namespace zlv {

struct LinuxCaptureOptions
{
    // Watched recursively; empty means the user's home (see HomeFolder). The root of the
    // file system never is: capture then reports that it stopped and watches no folder.
    std::string homeFolder;
    // Every file system mounted below one of these is a drive: its mounting and unmounting
    // are recorded, and a local one is watched like the home folder while it is mounted.
    std::vector<std::string> mountRoots{"/media", "/run/media", "/mnt"};
    // Never watched, so the journal does not record its own writes.
    std::string dataFolder;
    // Media inserted into and removed from drives, through udev.
    bool watchMedia = true;
    // Runs on the reader thread before every read of the kernel's queue (a test seam).
    std::function<void()> beforeRead;
    // Watches this source may hold before keeping the rest free; 0 takes the system's limit.
    long watchLimit = 0;

    // The defaults for the program: $HOME, the usual mount roots, `folder` left alone.
    static LinuxCaptureOptions ForDataFolder(const DataFolder& folder);
};

// The user's home: $HOME when it is an absolute path, else the password database's entry;
// empty when neither gives one.
std::string HomeFolder();

// Linux capture: inotify over the home folder and the mounted drives, the mount table for
// drives coming and going, udev for media. A reader thread does nothing but drain the
// kernel's queues into our own, so a busy user interface loses nothing; the notifications
// reach the sink on the thread that called start(), through its Qt event loop, in slices of
// about 10 ms so that the loop never stalls under a burst.
//
// Folders whose names begin with "." are reported like any entry but not entered;
// symbolic links are reported as files and never followed. A mount point's item is named
// after the mount point's last component.
class LinuxNotificationSource final : public NotificationSource
{
public:
    static constexpr std::chrono::milliseconds kSlice{10};

    explicit LinuxNotificationSource(LinuxCaptureOptions options);
    ~LinuxNotificationSource() override;
    LinuxNotificationSource(const LinuxNotificationSource&) = delete;
    LinuxNotificationSource& operator=(const LinuxNotificationSource&) = delete;

    // Starts the reader thread, which first puts watches on the folders that exist. False
    // when the kernel refused us an inotify instance (startFailure() says so).
    bool start(Sink sink) override;
    std::string startFailure() const override { return m_startFailure; }
    void setHealthSink(HealthSink sink) override { m_healthSink = std::move(sink); }
    // Stops reading and delivers what was captured until now before returning; the sink is
    // not called after that. Called from inside the sink, it delivers nothing more.
    void stop() override;

    // Blocks until the folders present at start are watched; false on timeout or when not
    // started.
    bool waitUntilWatching(std::chrono::milliseconds timeout) const;
    // Whether udev reports media changes to us (known once watching).
    bool watchesMedia() const;

private:
    class Reader;

    using Delivery = std::variant<Notification, CaptureIncident>;

    void publish(std::vector<Delivery>& batch);
    void deliver(const Delivery& d);
    void drain();
    void postDrain();

    LinuxCaptureOptions m_options;
    Sink m_sink;
    HealthSink m_healthSink;
    std::string m_startFailure;
    std::unique_ptr<QObject> m_context; // lives on the sink's thread; drains are posted to it
    std::thread m_thread;
    int m_stopFd = -1;
    bool m_running = false;  // sink's thread only
    bool m_draining = false; // sink's thread only

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_watchingChanged;
    bool m_watching = false;
    bool m_media = false;
    std::deque<Delivery> m_queue;
    bool m_drainPosted = false; // a drain is queued or running and will look at m_queue again
};

} // namespace zlv
