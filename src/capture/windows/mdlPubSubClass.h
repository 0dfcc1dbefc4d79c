#pragma once

#include <functional>
#include <string>
#include <windows.h>

// Puts our procedure in front of a window's own, so that the shell's change messages reach
// the capture receiver first. The procedure we displaced is parked in a window property:
// keeping it on the window rather than in a global lets any number of windows be hooked,
// and its presence doubles as the "already hooked" flag.
namespace zlv::mdlPubSubClass {

inline constexpr const char* kOldWndProcProperty = "OldWndProc";
inline constexpr UINT kShellNotifyMessage = WM_USER + 1; // 0x0401

// Gets the message's two parameters untouched. wParam points into shell-owned memory that
// is freed once the message returns, so a receiver must copy what it keeps.
using Receiver = std::function<void(WPARAM wParam, LPARAM lParam)>;

// Hooks `hwnd`. A failure leaves the window untouched and tells the user (the message names
// the handle, which is all a support request can go on).
bool Subclass(HWND hwnd);

// Undoes Subclass(); false, harmlessly, for a window that was never hooked.
bool Unsubclass(HWND hwnd);

LRESULT CALLBACK CaptureWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Routes `hwnd`'s change messages to `receiver` (empty to stop). Destroying the window drops
// the route too, so a stale receiver can never be called with a recycled handle.
void SetReceiver(HWND hwnd, Receiver receiver);

// The handle in the form our messages print it (upper-case hex, no padding).
std::string HexHandle(HWND hwnd);

} // namespace zlv::mdlPubSubClass
