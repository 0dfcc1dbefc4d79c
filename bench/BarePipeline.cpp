#include "BarePipeline.h"

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace zlv::bench {

namespace {

constexpr std::uint32_t kEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR | IN_DONT_FOLLOW;

} // namespace

BarePipeline::BarePipeline(const std::string& home, const std::string& dayFile,
                           std::chrono::milliseconds settle)
    : m_settle(settle)
{
    m_inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    m_stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_out = ::open(dayFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (m_inotify < 0 || m_stop < 0 || m_out < 0) {
        return;
    }
    watchTree(home);
    m_timer = new QTimer;
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer); // as the program's: a coarse one fires late
    QObject::connect(m_timer, &QTimer::timeout, [this] { release(); });
    m_reader = std::thread([this] { read(); });
}

BarePipeline::~BarePipeline()
{
    if (m_reader.joinable()) {
        const std::uint64_t one = 1;
        while (::write(m_stop, &one, sizeof one) < 0 && errno == EINTR) {
        }
        m_reader.join();
    }
    delete m_timer;
    for (const int fd : {m_inotify, m_stop, m_out}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void BarePipeline::watchTree(const std::string& folder)
{
    const int wd = ::inotify_add_watch(m_inotify, folder.c_str(), kEvents);
    if (wd < 0) {
        return;
    }
    m_folders[wd] = folder;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            watchTree(entry.path().string());
        }
    }
}

void BarePipeline::read()
{
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents & POLLIN) {
            return;
        }
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        bool wake = false;
        for (const char* at = buffer; at < buffer + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(at);
            at += sizeof *e + e->len;
            if (e->mask & IN_IGNORED) {
                m_folders.erase(e->wd);
                continue;
            }
            const auto folder = m_folders.find(e->wd);
            if (folder == m_folders.end() || !(e->mask & (IN_CREATE | IN_DELETE | IN_MOVED_TO))) {
                continue;
            }
            const std::string path = folder->second + "/" + e->name;
            if ((e->mask & (IN_CREATE | IN_ISDIR)) == (IN_CREATE | IN_ISDIR)) {
                watchTree(path); // watched like the rest of the tree
            }
            const char* what = e->mask & IN_CREATE   ? "\tCreated\t"
                               : e->mask & IN_DELETE ? "\tDeleted\t"
                                                     : "\tRenamed\t";
            const TimePoint due = std::chrono::steady_clock::now() + m_settle;
            std::lock_guard lock(m_mutex);
            m_waiting.push_back({due, (e->mask & IN_ISDIR ? "Folder" : "File") + (what + path)});
            if (due < m_armed) {
                m_armed = due;
                wake = true;
            }
        }
        if (wake) {
            QMetaObject::invokeMethod(
                m_timer, [this] { release(); }, Qt::QueuedConnection);
        }
    }
}

void BarePipeline::release()
{
    const TimePoint now = std::chrono::steady_clock::now();
    std::string lines;
    TimePoint next = TimePoint::max();
    {
        std::lock_guard lock(m_mutex);
        const std::time_t seconds = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&seconds, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S\t", &local);
        while (!m_waiting.empty() && m_waiting.front().due <= now) {
            lines += stamp + m_waiting.front().text + "\r\n";
            m_waiting.pop_front();
        }
        if (!m_waiting.empty()) {
            next = m_waiting.front().due;
        }
        m_armed = next;
    }
    if (!lines.empty() && ::write(m_out, lines.data(), lines.size()) < 0) {
        return; // the run counts its lines; one lost shows there
    }
    if (next != TimePoint::max()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
        m_timer->start(static_cast<int>(std::max<std::int64_t>(0, wait.count())));
    }
}

} // namespace zlv::bench
