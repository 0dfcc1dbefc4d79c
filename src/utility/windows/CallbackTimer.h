#pragma once

#include <functional>
#include <windows.h>

namespace zlv::win {

// A timer of the thread rather than of a window: its tick is dispatched to the callback by
// any message loop of the thread, a modal box's included, and no window procedure (such as
// the one that stands in while the main window sits in the notification area) sees it.
class CallbackTimer final
{
public:
    CallbackTimer() = default;
    ~CallbackTimer() { stop(); }
    CallbackTimer(const CallbackTimer&) = delete;
    CallbackTimer& operator=(const CallbackTimer&) = delete;

    // Calls `callback` after `ms` milliseconds (at least the system's shortest interval),
    // once or every `ms` until stopped. Starting again replaces what was set.
    void start(UINT ms, std::function<void()> callback, bool repeat = false);
    void stop();
    bool active() const { return m_id != 0; }

private:
    static void CALLBACK Tick(HWND window, UINT message, UINT_PTR id, DWORD time);

    UINT_PTR m_id = 0;
    bool m_repeat = false;
    std::function<void()> m_callback;
};

} // namespace zlv::win
