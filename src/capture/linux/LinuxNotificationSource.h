#pragma once

#include "capture/NotificationSource.h"
#include "capture/linux/SettleStage.h"
#include "logstore/DataFolder.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

class QObject;
class QTimer;

namespace zlv {

struct LinuxCaptureOptions
{
    // Watched recursively; empty means the user's home (see HomeFolder). The root of the
    // file system never is: capture then reports that it stopped and watches no folder.
    std::string homeFolder;
    // Every file system mounted below one of these, or inside the home folder, is a drive:
    // its mounting and unmounting are recorded, and a local one is watched like the home
    // folder while it is mounted.
    std::vector<std::string> mountRoots{"/media", "/run/media", "/mnt"};
    // Never watched, so the journal does not record its own writes.
    std::string dataFolder;
    // Media inserted into and removed from drives, through udev.
    bool watchMedia = true;
    // Runs on the reader thread before every read of the kernel's queue (a test seam).
    std::function<void()> beforeRead;
    // Watches this source may hold before keeping the rest free; 0 takes the system's limit.
    long watchLimit = 0;
    // How long an item is left alone before its net effect is recorded (SettleStage). Zero
    // hands on every operation as the kernel reported it, hidden names and all: only the
    // tests of the watch tree itself want that.
    std::chrono::milliseconds settle = linuxcapture::SettleStage::kSettle;
    // The user's exclusions, as setExclusions() takes them.
    std::vector<std::string> excludedFolders;
    bool skipGitIgnored = true;

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
// The settle stage's deadlines are kept by a timer on the sink's thread, which takes what
// has settled straight into the sink: each record then costs that thread one wake-up and
// the reader none beyond the kernel's own news.
//
// What reaches the sink is the net effect of what programs did (SettleStage): hidden
// items, lock files, temporary names and downloads in progress leave no record. Hidden
// folders are never entered, nor are caches, what Git ignores and what the user excluded;
// symbolic links are reported as files and never followed. A mount point's item is named
// after the mount point's last component.
class LinuxNotificationSource final : public NotificationSource
{
public:
    static constexpr std::chrono::milliseconds kSlice{10};
    // After this many deliveries, memory is handed back once they are over (see trimLater).
    static constexpr std::size_t kTrimAfter = 4096;
    static constexpr std::chrono::milliseconds kTrimDelay{2000};

    explicit LinuxNotificationSource(LinuxCaptureOptions options);
    ~LinuxNotificationSource() override;
    LinuxNotificationSource(const LinuxNotificationSource&) = delete;
    LinuxNotificationSource& operator=(const LinuxNotificationSource&) = delete;

    // Starts the reader thread, which first puts watches on the folders that exist. False
    // when the kernel refused us an inotify instance (startFailure() says so).
    bool start(Sink sink) override;
    std::string startFailure() const override { return m_startFailure; }
    void setHealthSink(HealthSink sink) override { m_healthSink = std::move(sink); }
    void setIdleSink(IdleSink sink) override { m_idleSink = std::move(sink); }
    // Stops reading and delivers what was captured until now before returning, what is
    // still settling included; the sink is not called after that. Called from inside the
    // sink, it delivers nothing more.
    void stop() override;
    void setExclusions(std::vector<std::string> folders, bool skipGitIgnored) override;

    // Blocks until the folders present at start are watched; false on timeout or when not
    // started.
    bool waitUntilWatching(std::chrono::milliseconds timeout) const;

private:
    class Reader;

    using Delivery = std::variant<Notification, CaptureIncident>;

    void publish(std::vector<Delivery>& batch);
    // Queues what the stage let go of and notes when it next falls due (m_mutex held);
    // whether the sink's thread must be woken for either.
    bool queueSettled(std::vector<Delivery>& out, bool all);
    void deliver(const Delivery& d);
    void drain();
    void postDrain();
    // On the sink's thread: hands on what has settled by now and waits for the next deadline.
    void settleDue();
    void trimLater();

    LinuxCaptureOptions m_options;
    Sink m_sink;
    HealthSink m_healthSink;
    std::string m_startFailure;
    IdleSink m_idleSink;
    std::unique_ptr<QObject> m_context; // lives on the sink's thread; drains are posted to it
    QTimer* m_dueTimer = nullptr;       // a child of m_context: the stage's next deadline
    std::thread m_thread;
    int m_stopFd = -1;
    int m_wakeFd = -1;       // new exclusions wait for the reader
    bool m_running = false;  // sink's thread only
    bool m_draining = false; // sink's thread only
    // Deliveries since memory was last handed back (sink's thread only): after a burst the
    // allocator keeps what the burst needed unless told otherwise.
    std::size_t m_sinceTrim = 0;
    bool m_trimPending = false;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_watchingChanged;
    bool m_watching = false;
    std::deque<Delivery> m_queue;
    bool m_drainPosted = false; // a drain is queued or running and will look at m_queue again
    bool m_exclusionsChanged = false;
    // Fed by the reader, emptied on the sink's thread; none when operations pass unsettled.
    std::optional<linuxcapture::SettleStage> m_stage;
    // The deadline m_dueTimer is set for (max when none): the reader wakes the sink's thread
    // only for an earlier one.
    std::chrono::steady_clock::time_point m_dueArmed = std::chrono::steady_clock::time_point::max();
};

} // namespace zlv
