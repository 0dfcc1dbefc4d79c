#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

class QTimer;

namespace zlv::bench {

// The least a record can cost in the program's design, to measure beside it: a thread reads
// inotify over a tree; each event waits out the settle time; then the user-interface thread,
// woken by a precise timer, appends one line for it. Nothing else: no netting of events, no
// checks of the day file, no rows, no renames seen as one (the second half of a rename
// stands for it). Whatever the program costs beyond this is its own work; what this costs
// is the price of two threads' wake-ups and a write, which inotifywait (one wake-up, one
// write to a pipe) does not pay.
class BarePipeline final
{
public:
    // Watches `home` and everything below it; lines go to the end of `dayFile`.
    BarePipeline(const std::string& home, const std::string& dayFile,
                 std::chrono::milliseconds settle);
    ~BarePipeline();
    BarePipeline(const BarePipeline&) = delete;
    BarePipeline& operator=(const BarePipeline&) = delete;

    bool ok() const { return m_reader.joinable(); }

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Item
    {
        TimePoint due;
        std::string text;
    };

    void watchTree(const std::string& folder);
    void read();
    void release();

    std::chrono::milliseconds m_settle;
    int m_inotify = -1;
    int m_stop = -1;
    int m_out = -1;
    QTimer* m_timer = nullptr;
    std::unordered_map<int, std::string> m_folders; // the reader's alone
    std::mutex m_mutex;
    std::deque<Item> m_waiting;
    TimePoint m_armed = TimePoint::max(); // the timer's deadline as the reader last asked
    std::thread m_reader;
};

} // namespace zlv::bench
