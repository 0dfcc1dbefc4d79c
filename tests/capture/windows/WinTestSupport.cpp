#include "WinTestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>

namespace zlv::test {

namespace {

std::map<HWND, std::vector<UINT>>& Seen()
{
    static std::map<HWND, std::vector<UINT>> seen;
    return seen;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Seen()[hwnd].push_back(message);
    if (message == WM_USER + 1) {
        return PlainWindow::kNotifyResult;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

PlainWindow::PlainWindow(const char* title)
{
    static const ATOM atom = [] {
        WNDCLASSA c{};
        c.lpfnWndProc = RecordingProc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "ZlvTestPlainWindow";
        return RegisterClassA(&c);
    }();
    (void)atom;
    m_hwnd = CreateWindowExA(0, "ZlvTestPlainWindow", title, WS_POPUP, -32000, -32000, 1, 1,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Seen()[m_hwnd].clear();
}

PlainWindow::~PlainWindow()
{
    if (IsWindow(m_hwnd)) {
        DestroyWindow(m_hwnd);
    }
    Seen().erase(m_hwnd);
}

WNDPROC PlainWindow::procedure()
{
    return RecordingProc;
}

int PlainWindow::count(UINT message) const
{
    const auto& s = Seen()[m_hwnd];
    return static_cast<int>(std::count(s.begin(), s.end(), message));
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return done();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

std::string PrintfHex(HWND hwnd)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(hwnd)));
    return text;
}

} // namespace zlv::test
