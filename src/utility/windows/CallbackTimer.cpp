#include "utility/windows/CallbackTimer.h"

#include <map>

namespace zlv::win {

namespace {

// Timers belong to the thread that runs the windows, so the table needs no lock.
std::map<UINT_PTR, CallbackTimer*>& Running()
{
    static std::map<UINT_PTR, CallbackTimer*> running;
    return running;
}

} // namespace

void CallbackTimer::start(UINT ms, std::function<void()> callback, bool repeat)
{
    stop();
    m_callback = std::move(callback);
    m_repeat = repeat;
    m_id = SetTimer(nullptr, 0, ms, &CallbackTimer::Tick);
    if (m_id != 0) {
        Running()[m_id] = this;
    }
}

void CallbackTimer::stop()
{
    if (m_id == 0) {
        return;
    }
    KillTimer(nullptr, m_id);
    Running().erase(m_id);
    m_id = 0;
}

void CALLBACK CallbackTimer::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto it = Running().find(id);
    if (it == Running().end()) {
        KillTimer(nullptr, id); // its owner has gone; a tick may still have been queued
        return;
    }
    CallbackTimer* timer = it->second;
    // A copy: the callback may start this timer anew or destroy its owner.
    const std::function<void()> callback = timer->m_callback;
    if (!timer->m_repeat) {
        timer->stop();
    }
    if (callback) {
        callback();
    }
}

} // namespace zlv::win
