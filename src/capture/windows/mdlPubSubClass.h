#pragma once

#include <functional>
#include <string>
#include <windows.h>

// Replacing a window's procedure with the capture window procedure, which hands every shell
// change notification (message 0x401) to the window's receiver before the window's own
// procedure sees it. The previous procedure is kept on the window itself, as the property
// "OldWndProc", exactly while the window is subclassed.
namespace zlv::mdlPubSubClass {

inline constexpr const char* kOldWndProcProperty = "OldWndProc";
inline constexpr UINT kShellNotifyMessage = WM_USER + 1; // 0x0401

// What message 0x401 carries: wParam points to the two item identifier lists (valid only
// while the message is handled), lParam is the event value.
using Receiver = std::function<void(WPARAM wParam, LPARAM lParam)>;

// True when the capture window procedure was installed. On failure the window is left as it
// was and "Unable to successfully subclass &H<handle>" is shown.
bool Subclass(HWND hwnd);

// True when the previous procedure was put back; false when the window was not subclassed.
bool Unsubclass(HWND hwnd);

LRESULT CALLBACK CaptureWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Who receives the notifications arriving at `hwnd`; an empty receiver removes it. The
// receiver is forgotten when the window is destroyed.
void SetReceiver(HWND hwnd, Receiver receiver);

// The handle as the messages show it: upper-case hexadecimal without leading zeros.
std::string HexHandle(HWND hwnd);

} // namespace zlv::mdlPubSubClass
