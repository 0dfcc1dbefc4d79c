#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zlv::bench {

// Follows a day file from its present end, noting each line appended and when it arrived
// (inotify on the file, so the moment is the write's, not a poll's).
class DayLineWatch final
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Arrival
    {
        TimePoint at;
        std::string line; // without its line end
    };

    explicit DayLineWatch(std::string path);
    ~DayLineWatch();
    DayLineWatch(const DayLineWatch&) = delete;
    DayLineWatch& operator=(const DayLineWatch&) = delete;

    std::vector<Arrival> arrivals();
    std::size_t count();

private:
    void run();

    std::string m_path;
    int m_fd = -1;
    std::uintmax_t m_offset = 0;
    std::string m_partial;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
    std::thread m_thread;
};

} // namespace zlv::bench
