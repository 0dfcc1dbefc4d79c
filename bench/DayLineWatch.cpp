#include "DayLineWatch.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace zlv::bench {

DayLineWatch::DayLineWatch(std::string path) : m_path(std::move(path))
{
    m_fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ::inotify_add_watch(m_fd, m_path.c_str(), IN_MODIFY);
    std::error_code ec;
    m_offset = std::filesystem::file_size(m_path, ec);
    m_thread = std::thread([this] { run(); });
}

DayLineWatch::~DayLineWatch()
{
    m_stop = true;
    m_thread.join();
    ::close(m_fd);
}

std::vector<DayLineWatch::Arrival> DayLineWatch::arrivals()
{
    std::lock_guard lock(m_mutex);
    return m_arrivals;
}

std::size_t DayLineWatch::count()
{
    std::lock_guard lock(m_mutex);
    return m_arrivals.size();
}

void DayLineWatch::run()
{
    char events[4096];
    std::ifstream in(m_path, std::ios::binary);
    while (!m_stop) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        while (::read(m_fd, events, sizeof events) > 0) {
        }
        in.clear();
        in.seekg(static_cast<std::streamoff>(m_offset));
        const std::string chunk(std::istreambuf_iterator<char>(in), {});
        m_offset += chunk.size();
        m_partial += chunk;
        std::lock_guard lock(m_mutex);
        for (std::size_t lf; (lf = m_partial.find('\n')) != std::string::npos;) {
            std::string line = m_partial.substr(0, lf);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            m_arrivals.push_back(Arrival{now, std::move(line)});
            m_partial.erase(0, lf + 1);
        }
    }
}

} // namespace zlv::bench
