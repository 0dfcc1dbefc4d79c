#include "capture/linux/LinuxNotificationSource.h"

#include "capture/ShellEvents.h"
#include "capture/linux/MediaMonitor.h"
#include "capture/linux/MountTable.h"
#include "capture/linux/NameKinds.h"
#include "capture/linux/SourceReader.h"
#include "capture/linux/WatchTree.h"

#include <QObject>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <pwd.h>
#include <set>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zlv {

std::string HomeFolder()
{
    // A relative HOME would watch whatever folder the program was started in.
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        return pw->pw_dir;
    }
    return {};
}

LinuxCaptureOptions LinuxCaptureOptions::ForDataFolder(const DataFolder& folder)
{
    LinuxCaptureOptions options;
    options.dataFolder = folder.dataFolder();
    return options;
}

LinuxNotificationSource::LinuxNotificationSource(LinuxCaptureOptions options)
    : m_options(std::move(options))
{}

LinuxNotificationSource::~LinuxNotificationSource()
{
    stop();
}

bool LinuxNotificationSource::start(Sink sink)
{
    if (m_thread.joinable()) {
        return false;
    }
    auto tree = std::make_unique<linuxcapture::WatchTree>(CanonicalPath(m_options.dataFolder),
                                                          m_options.watchLimit);
    m_startFailure.clear();
    if (!tree->open()) {
        m_startFailure = std::string("File operations cannot be recorded: the system refused "
                                     "to watch folders (") +
                         std::strerror(errno) + ").";
        return false;
    }
    tree->beforeRead = m_options.beforeRead;
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0 || m_wakeFd < 0) {
        for (int* fd : {&m_stopFd, &m_wakeFd}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
        return false;
    }
    m_sink = std::move(sink);
    m_context = std::make_unique<QObject>();
    m_dueTimer = new QTimer(m_context.get());
    m_dueTimer->setSingleShot(true);
    // A coarse timer may fire a twentieth of its wait late: a second's settle time would
    // become 1.05 s.
    m_dueTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_dueTimer, &QTimer::timeout, m_context.get(), [this] { settleDue(); });
    m_running = true;
    m_trimPending = false;
    {
        std::lock_guard lock(m_mutex);
        m_watching = false;
        m_queue.clear();
        m_drainPosted = false;
        m_exclusionsChanged = false;
        m_stage.reset();
        if (m_options.settle.count() > 0) {
            // A settle time longer than the stage's longest wait stretches that wait too.
            m_stage.emplace(m_options.settle,
                            std::max(m_options.settle, linuxcapture::SettleStage::kLongest));
        }
        m_dueArmed = std::chrono::steady_clock::time_point::max();
    }
    m_thread = std::thread(
        [this, reader = std::make_shared<Reader>(*this, std::move(tree))] { reader->run(); });
    return true;
}

void LinuxNotificationSource::stop()
{
    if (!m_thread.joinable()) {
        return;
    }
    const std::uint64_t one = 1;
    while (::write(m_stopFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_thread.join();
    m_dueTimer->stop(); // the reader handed on everything that was settling as it stopped
    m_dueTimer = nullptr;
    ::close(m_stopFd);
    m_stopFd = -1;
    ::close(m_wakeFd);
    m_wakeFd = -1;

    if (!m_draining) {
        // Operations done before the stop are journalled, not dropped with the queue.
        for (;;) {
            Delivery d;
            {
                std::lock_guard lock(m_mutex);
                if (m_queue.empty()) {
                    break;
                }
                d = std::move(m_queue.front());
                m_queue.pop_front();
            }
            deliver(d);
        }
    }
    m_running = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_drainPosted = false;
        m_watching = false;
    }
    if (m_draining) {
        // The sink that called us is still running inside a drain of this context.
        m_context.release()->deleteLater();
    } else {
        m_context.reset();
        m_sink = nullptr;
    }
}

void LinuxNotificationSource::setExclusions(std::vector<std::string> folders, bool skipGitIgnored)
{
    std::lock_guard lock(m_mutex);
    m_options.excludedFolders = std::move(folders);
    m_options.skipGitIgnored = skipGitIgnored;
    if (m_wakeFd >= 0 && !m_exclusionsChanged) {
        m_exclusionsChanged = true;
        const std::uint64_t one = 1;
        while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

bool LinuxNotificationSource::waitUntilWatching(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_watchingChanged.wait_for(lock, timeout, [this] { return m_watching; });
}

void LinuxNotificationSource::publish(std::vector<Delivery>& batch)
{
    if (batch.empty()) {
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        for (Delivery& d : batch) {
            m_queue.push_back(std::move(d));
        }
        wake = !m_drainPosted;
        m_drainPosted = true;
    }
    batch.clear();
    if (wake) {
        postDrain();
    }
}

bool LinuxNotificationSource::queueSettled(std::vector<Delivery>& out, bool all)
{
    bool wake = false;
    if (!out.empty()) {
        for (Delivery& d : out) {
            m_queue.push_back(std::move(d));
        }
        out.clear();
        wake = !m_drainPosted;
        m_drainPosted = true;
    }
    // A new item falls due after every one waiting already, so in a steady flow of
    // operations the timer that is set stays right and nobody is woken.
    if (const auto due = m_stage->nextDue(); !all && due && *due < m_dueArmed) {
        m_dueArmed = *due;
        wake = true;
    }
    return wake;
}

void LinuxNotificationSource::postDrain()
{
    QMetaObject::invokeMethod(
        m_context.get(), [this] { settleDue(); }, Qt::QueuedConnection);
}

void LinuxNotificationSource::settleDue()
{
    if (!m_running) {
        return;
    }
    if (m_stage) {
        const auto now = std::chrono::steady_clock::now();
        std::optional<std::chrono::steady_clock::time_point> next;
        {
            std::lock_guard lock(m_mutex);
            std::vector<Delivery> out;
            m_stage->release(out, now, false);
            for (Delivery& d : out) {
                m_queue.push_back(std::move(d));
            }
            next = m_stage->nextDue();
            m_dueArmed = next.value_or(std::chrono::steady_clock::time_point::max());
        }
        if (next) {
            // Rounded up, so that the timer does not fire a fraction early and find nothing.
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now);
            m_dueTimer->start(static_cast<int>(std::max<std::int64_t>(0, wait.count())));
        } else {
            m_dueTimer->stop();
        }
    }
    drain();
}

void LinuxNotificationSource::drain()
{
    // A nested event loop inside the sink (a modal box) may run a drain posted earlier; the
    // outer drain goes on once the sink returns.
    if (m_draining) {
        return;
    }
    m_draining = true;
    const auto deadline = std::chrono::steady_clock::now() + kSlice;
    bool again = false;
    for (;;) {
        Delivery d;
        {
            std::lock_guard lock(m_mutex);
            if (!m_running || m_queue.empty()) {
                m_drainPosted = false;
                if (m_queue.empty()) {
                    // std::deque keeps a block or two; a burst's worth goes back with it.
                    std::deque<Delivery>().swap(m_queue);
                }
                break;
            }
            d = std::move(m_queue.front());
            m_queue.pop_front();
        }
        ++m_sinceTrim;
        deliver(d);
        if (std::chrono::steady_clock::now() >= deadline) {
            // Yield to the event loop so painting and input go on, and come back next turn.
            std::lock_guard lock(m_mutex);
            again = m_running && !m_queue.empty();
            m_drainPosted = again;
            break;
        }
    }
    m_draining = false;
    if (again) {
        postDrain();
    } else if (m_sinceTrim >= kTrimAfter) {
        trimLater();
    }
}

void LinuxNotificationSource::trimLater()
{
    if (m_trimPending || !m_context) {
        return;
    }
    // Once the burst is over and the Today list has taken its rows, the free memory the
    // burst left in the allocator's arenas (this thread's and the reader's) goes back to
    // the system; otherwise every burst would raise the program's size for good.
    m_trimPending = true;
    QTimer::singleShot(kTrimDelay, m_context.get(), [this] {
        m_trimPending = false;
        m_sinceTrim = 0;
        if (m_idleSink) {
            m_idleSink();
        }
        ::malloc_trim(0);
    });
}

void LinuxNotificationSource::deliver(const Delivery& d)
{
    if (const auto* n = std::get_if<Notification>(&d)) {
        m_sink(*n);
    } else if (m_healthSink) {
        m_healthSink(std::get<CaptureIncident>(d));
    }
}

} // namespace zlv
