#pragma once

#include <shlobj.h>
#include <windows.h>

// Asks the shell to post every change it knows of, anywhere in its namespace, to one window.
// Watching from the desktop root is what lets one registration see drives and media that
// appear later, not only the folders that exist now.
namespace zlv {

class mdlPubSHNotify final
{
public:
    static constexpr int kSources = 0x00FF; // interrupt and shell level, no new delivery
    static constexpr LONG kEvents = static_cast<LONG>(0xFFFFFFFF); // all events + interrupt
    static constexpr UINT kMessage = 0x0401;

    mdlPubSHNotify() = default;
    // Ends a registration still held, so the shell never posts to a window that has gone.
    ~mdlPubSHNotify();
    mdlPubSHNotify(const mdlPubSHNotify&) = delete;
    mdlPubSHNotify& operator=(const mdlPubSHNotify&) = delete;

    // Registers `hwnd`. A second registration is refused rather than leaking the first
    // handle and its item list.
    bool registerWindow(HWND hwnd);

    // Ends the registration. When the shell refuses, we keep the handle and the list so a
    // later call (or the destructor) can try again instead of losing track of them.
    bool deregister();

    bool isRegistered() const { return m_handle != 0; }
    ULONG handle() const { return m_handle; }
    // The desktop's item list the registration was made for; ours to free.
    PCIDLIST_ABSOLUTE desktopItemList() const { return m_desktop; }

    // A special folder's item list (CSIDL_...) for the caller to free with CoTaskMemFree;
    // null when this shell lacks the folder.
    static PIDLIST_ABSOLUTE SpecialFolderItemList(HWND owner, int folder);

private:
    ULONG m_handle = 0;
    PIDLIST_ABSOLUTE m_desktop = nullptr;
};

} // namespace zlv
