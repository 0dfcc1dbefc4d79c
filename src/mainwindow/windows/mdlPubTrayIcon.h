#pragma once

#include <string>
#include <windows.h>
// After <windows.h>: it needs the base types.
#include <shellapi.h>

// The main window's stand-in in the notification area while it is minimised. The icon is
// described to the shell in the first, ANSI form of its record; its presses come back to
// the main window as a private message, which a window procedure of its own receives while
// the window is hidden, so that the hidden window reacts to nothing else meanwhile.
namespace zlv::win::mdlPubTrayIcon {

inline constexpr UINT kCallbackMessage = WM_USER + 0x100; // 0x500
inline constexpr const char* kProductTip = "Zelvory";

// The record for adding the icon: callback, icon and tooltip; the tooltip's bytes after
// its end are spaces. Its size is the first form's (88 bytes where handles take 32 bits).
NOTIFYICONDATAA AddRecord(HWND window, HICON icon, const std::string& tip);

// True when the shell took the icon.
bool AddTrayIcon(HWND window, HICON icon);
// The shell's answer, which nobody needs.
BOOL RemoveTrayIcon(HWND window);

// What the icon's tooltip says from the next icon on; "Zelvory" unless the journal has
// something to tell. Changes the icon that is shown now as well.
void SetTip(HWND window, const std::string& tip);

// The tray step of a minimised window: the icon, then TrayWindowProc in place of the
// window's procedure, then the window hidden. False, with nothing changed, when the shell
// refused the icon: the window stays an ordinary minimised window.
bool EnterTray(HWND window, HICON icon);
bool InTray();

// The procedure of the hidden window: a left or right press on the icon brings the window
// back in its normal state and removes the icon; nothing else does anything.
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the saved procedure back, if one is saved (shutdown does this whatever the state).
void PutBackProcedure(HWND window);

} // namespace zlv::win::mdlPubTrayIcon
