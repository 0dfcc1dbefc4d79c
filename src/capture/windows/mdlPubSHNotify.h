#pragma once

#include <shlobj.h>
#include <windows.h>

// Registration of one window for the shell's change notifications over the whole shell
// namespace: every event, from every source, delivered as message 0x401.
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

    // True when a registration handle was obtained. False, changing nothing, while a
    // registration is held already.
    bool registerWindow(HWND hwnd);

    // True when the registration was ended. False when none is held; false, keeping the
    // handle and the item list, when the shell refuses.
    bool deregister();

    bool isRegistered() const { return m_handle != 0; }
    ULONG handle() const { return m_handle; }
    // The desktop's item identifier list, owned while registered; null otherwise.
    PCIDLIST_ABSOLUTE desktopItemList() const { return m_desktop; }

    // The item identifier list of a special folder (CSIDL_...), which the caller frees with
    // CoTaskMemFree; null when the shell has none.
    static PIDLIST_ABSOLUTE SpecialFolderItemList(HWND owner, int folder);

private:
    ULONG m_handle = 0;
    PIDLIST_ABSOLUTE m_desktop = nullptr;
};

} // namespace zlv
