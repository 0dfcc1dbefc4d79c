#include "capture/windows/mdlPubSubClass.h"

#include "utility/MessageBox.h"

#include <cstdint>
#include <map>

namespace zlv::mdlPubSubClass {

namespace {

// Only the user-interface thread creates capture windows and dispatches their messages,
// so the table needs no lock. Never destroyed: a capture form held in a static may still
// unsubclass its window while the program's statics are being torn down.
std::map<HWND, Receiver>& Receivers()
{
    static auto* receivers = new std::map<HWND, Receiver>;
    return *receivers;
}

WNDPROC StoredProcedure(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetPropA(hwnd, kOldWndProcProperty));
}

void ShowCritical(const std::string& text, const std::string& title = {})
{
    MessageBox::show(text, MessageBox::Icon::Critical, MessageBox::Buttons::Ok,
                     MessageBox::Answer::Ok, title);
}

void Deliver(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    const auto it = Receivers().find(hwnd);
    if (it == Receivers().end() || !it->second) {
        return;
    }
    // A copy, so that a receiver that replaces itself does not pull the rug from under us.
    const Receiver receiver = it->second;
    try {
        receiver(wParam, lParam);
    } catch (...) {
        // An exception must not unwind through the system's frames of the message dispatch;
        // the notification is lost, the window keeps working.
    }
}

} // namespace

std::string HexHandle(HWND hwnd)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

bool Subclass(HWND hwnd)
{
    bool installed = false;
    if (!GetPropA(hwnd, kOldWndProcProperty)) {
        const LONG_PTR previous =
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CaptureWindowProc));
        if (previous != 0) {
            installed = SetPropA(hwnd, kOldWndProcProperty, reinterpret_cast<HANDLE>(previous));
            if (!installed) {
                // Without the property the capture procedure could not pass messages on.
                SetWindowLongPtrA(hwnd, GWLP_WNDPROC, previous);
            }
        }
    }
    if (!installed) {
        ShowCritical("Unable to successfully subclass &H" + HexHandle(hwnd));
    }
    return installed;
}

bool Unsubclass(HWND hwnd)
{
    const WNDPROC previous = StoredProcedure(hwnd);
    if (!previous || !RemovePropA(hwnd, kOldWndProcProperty)) {
        return false;
    }
    return SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous)) != 0;
}

void SetReceiver(HWND hwnd, Receiver receiver)
{
    if (receiver) {
        Receivers()[hwnd] = std::move(receiver);
    } else {
        Receivers().erase(hwnd);
    }
}

LRESULT CALLBACK CaptureWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC previous = StoredProcedure(hwnd);

    if (message == WM_NCDESTROY) {
        // Destroyed without being unloaded first: undo what we can and say so.
        Unsubclass(hwnd);
        Receivers().erase(hwnd);
        ShowCritical("Unubclassed &H" + HexHandle(hwnd), "WndProc Error");
    } else if (message == kShellNotifyMessage) {
        Deliver(hwnd, wParam, lParam);
    }

    // Someone removed our property under us: there is no procedure to chain to, and
    // calling through a null one would bring the program down.
    if (!previous) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

} // namespace zlv::mdlPubSubClass
