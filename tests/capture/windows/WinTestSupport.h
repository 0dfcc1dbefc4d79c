#pragma once

#include "support/windows/WindowDriver.h"

#include <algorithm>
#include <functional>
#include <map>
#include <vector>
#include <windows.h>

namespace zlv::test {

constexpr UINT kNotify = 0x0401; // what the shell posts for a change

// A plain top-level window whose own procedure keeps every message it sees and answers
// kNotify with kNotifyResult, so that a test can tell what was passed on to it.
class PlainWindow
{
public:
    static constexpr LRESULT kNotifyResult = 0x5A5A;

    explicit PlainWindow(const char* title = "plain")
    {
        static const bool registered = [] {
            WNDCLASSA c{};
            c.lpfnWndProc = Procedure;
            c.hInstance = GetModuleHandleA(nullptr);
            c.lpszClassName = "ZlvTestPlainWindow";
            return RegisterClassA(&c) != 0;
        }();
        m_hwnd = registered
                     ? CreateWindowExA(0, "ZlvTestPlainWindow", title, WS_POPUP, -32000, -32000, 1,
                                       1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)
                     : nullptr;
        Seen()[m_hwnd].clear(); // from a window that had the same handle before
    }
    ~PlainWindow()
    {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
        Seen().erase(m_hwnd);
    }

    HWND handle() const { return m_hwnd; }
    // How many times this window's own procedure received `message`.
    int count(UINT message) const
    {
        return static_cast<int>(std::ranges::count(Seen()[m_hwnd], message));
    }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Seen()[hwnd].push_back(message);
        return message == kNotify ? kNotifyResult : DefWindowProcA(hwnd, message, wParam, lParam);
    }

private:
    static std::map<HWND, std::vector<UINT>>& Seen()
    {
        static std::map<HWND, std::vector<UINT>> seen;
        return seen;
    }

    HWND m_hwnd;
};

} // namespace zlv::test
