#pragma once

#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace zlv::test {

// A plain top-level window whose own procedure keeps every message it sees and answers
// message 0x401 with kNotifyResult, so that a test can tell what was passed on to it.
class PlainWindow
{
public:
    static constexpr LRESULT kNotifyResult = 0x5A5A;

    explicit PlainWindow(const char* title = "plain");
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;

    HWND handle() const { return m_hwnd; }
    static WNDPROC procedure();

    // How many times this window's own procedure received `message`.
    int count(UINT message) const;

private:
    HWND m_hwnd = nullptr;
};

// Dispatches this thread's messages until `done` holds or `timeoutMs` passes; the last
// value of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Dispatches whatever is queued now, waiting a little for stragglers.
void PumpFor(DWORD ms);

// The handle as printf spells it, to check the messages against an independent rendering.
std::string PrintfHex(HWND hwnd);

} // namespace zlv::test
