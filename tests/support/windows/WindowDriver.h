#pragma once

// Drives the Windows program's windows the way a user's messages would: reads list views,
// status bars and date pickers with their own messages, posts commands, keys and clicks,
// and waits for the answers by dispatching messages rather than by sleeping.
#include <functional>
#include <string>
#include <windows.h>
// After <windows.h>: it needs the base types.
#include <commctrl.h>

namespace zlv::test {

// Dispatches this thread's messages until `done` holds or `timeoutMs` passes; the last
// value of `done`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done() || GetTickCount64() >= end) {
            return done();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

inline int ItemCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

inline std::wstring ItemText(HWND list, int row, int column)
{
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

inline int SelectedRow(HWND list)
{
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

inline std::wstring StatusText(HWND bar, int part)
{
    const LRESULT length = SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
    std::wstring text(LOWORD(length) + 1u, L'\0');
    SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    return text;
}

inline SYSTEMTIME PickerDate(HWND picker)
{
    SYSTEMTIME at{};
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&at));
    return at;
}

inline std::wstring Text(HWND window)
{
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// A key pressed and let go, as the keyboard sends it to the window with the focus.
inline void Key(HWND window, UINT key)
{
    SendMessageW(window, WM_KEYDOWN, key, 1);
    SendMessageW(window, WM_KEYUP, key, 1u | (1u << 30) | (1u << 31));
}

// A left click at a point of the window's client area.
inline void Click(HWND window, POINT at)
{
    const LPARAM where = MAKELPARAM(at.x, at.y);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageW(window, WM_LBUTTONUP, 0, where);
}

// A click on a list's column header.
inline void ClickHeader(HWND list, int column)
{
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT r{};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&r));
    Click(header, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// A Unix path as this Wine process names it (its drive mapping), or the path as it was
// where there is no Wine.
inline std::wstring DosPath(const std::string& unixPath)
{
    using ToDos = WCHAR*(CDECL*)(const char*);
    const auto address = reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name"));
    if (const auto toDos = reinterpret_cast<ToDos>(address)) {
        if (WCHAR* dos = toDos(unixPath.c_str())) {
            std::wstring path = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return path;
        }
    }
    return std::wstring(unixPath.begin(), unixPath.end());
}

// A click on the toolbar button with command `command`.
inline void ClickToolbarButton(HWND toolbar, int command)
{
    RECT r{};
    SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&r));
    Click(toolbar, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

} // namespace zlv::test
