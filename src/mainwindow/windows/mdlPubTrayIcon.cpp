#include "mainwindow/windows/mdlPubTrayIcon.h"

#include <algorithm>
#include <cstring>

namespace zlv::win::mdlPubTrayIcon {

namespace {

// Program-wide, as there is one main window: the procedure TrayWindowProc stands in for.
WNDPROC g_savedProcedure = nullptr;
std::string g_tip = kProductTip;
// Where the window stood before it went, for window managers that forget it meanwhile.
WINDOWPLACEMENT g_placement{};

// The first form of the record: everything up to the end of the tooltip. Where handles
// take 32 bits that is 88 bytes; a 64-bit program's shell expects its own handles' width.
constexpr DWORD kFirstFormSize = NOTIFYICONDATAA_V1_SIZE;
static_assert(sizeof(void*) != 4 || kFirstFormSize == 88);

NOTIFYICONDATAA BlankRecord(HWND window)
{
    NOTIFYICONDATAA record;
    std::memset(&record, 0, sizeof record);
    record.cbSize = kFirstFormSize;
    record.hWnd = window;
    record.uID = 0;
    return record;
}

} // namespace

NOTIFYICONDATAA AddRecord(HWND window, HICON icon, const std::string& tip)
{
    NOTIFYICONDATAA record = BlankRecord(window);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kCallbackMessage;
    record.hIcon = icon;
    // The tooltip, its NUL, then spaces to the end of the field.
    std::memset(record.szTip, ' ', sizeof record.szTip);
    const std::size_t length = std::min(tip.size(), sizeof record.szTip - 1);
    std::memcpy(record.szTip, tip.data(), length);
    record.szTip[length] = '\0';
    return record;
}

bool AddTrayIcon(HWND window, HICON icon)
{
    NOTIFYICONDATAA record = AddRecord(window, icon, g_tip);
    return Shell_NotifyIconA(NIM_ADD, &record) != FALSE;
}

BOOL RemoveTrayIcon(HWND window)
{
    NOTIFYICONDATAA record = BlankRecord(window);
    return Shell_NotifyIconA(NIM_DELETE, &record);
}

void SetTip(HWND window, const std::string& tip)
{
    g_tip = tip.empty() ? std::string(kProductTip) : tip;
    if (InTray()) {
        NOTIFYICONDATAA record = AddRecord(window, nullptr, g_tip);
        record.uFlags = NIF_TIP;
        Shell_NotifyIconA(NIM_MODIFY, &record);
    }
}

bool EnterTray(HWND window, HICON icon)
{
    if (InTray() || !AddTrayIcon(window, icon)) {
        return false;
    }
    g_placement.length = sizeof g_placement;
    if (!GetWindowPlacement(window, &g_placement)) {
        g_placement.length = 0;
    }
    // SetWindowLongPtrA is what SetWindowLongA is called where procedures take 64 bits.
    g_savedProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProc)));
    ShowWindow(window, SW_HIDE);
    return true;
}

bool InTray()
{
    return g_savedProcedure != nullptr;
}

void PutBackProcedure(HWND window)
{
    if (!g_savedProcedure) {
        return;
    }
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_savedProcedure));
    g_savedProcedure = nullptr;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kCallbackMessage && (lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN)) {
        PutBackProcedure(window);
        // Shown and put in its normal state in one step, where it stood: some window
        // managers place a window that is mapped again anew.
        if (g_placement.length == sizeof g_placement) {
            g_placement.showCmd = SW_SHOWNORMAL;
            g_placement.flags = 0;
            SetWindowPlacement(window, &g_placement);
        } else {
            ShowWindow(window, SW_SHOW);
            ShowWindow(window, SW_RESTORE);
        }
        RemoveTrayIcon(window);
    } else if (message == WM_ENDSESSION && wParam) {
        // The session ends with the window in the tray: its own procedure shuts down in
        // order, so that records still held in memory reach the disk before the end.
        const WNDPROC own = g_savedProcedure;
        PutBackProcedure(window);
        return CallWindowProcA(own, window, message, wParam, lParam);
    }
    return -1;
}

} // namespace zlv::win::mdlPubTrayIcon
