#include "capture/windows/mdlPubSHNotify.h"

namespace zlv {

namespace {

using RegisterFunction = ULONG(WINAPI*)(HWND, int, LONG, UINT, int, const SHChangeNotifyEntry*);
using DeregisterFunction = BOOL(WINAPI*)(ULONG);

// Both functions are reached by ordinal, as shell32 has exported them by number since
// before they had names in every version.
template <typename Function> Function Shell32Export(WORD ordinal)
{
    HMODULE shell32 = GetModuleHandleA("shell32.dll");
    if (!shell32) {
        shell32 = LoadLibraryA("shell32.dll");
    }
    if (!shell32) {
        return nullptr;
    }
    // Through a plain function pointer: GCC warns about casting FARPROC's signature away.
    const auto address =
        reinterpret_cast<void (*)()>(GetProcAddress(shell32, MAKEINTRESOURCEA(ordinal)));
    return reinterpret_cast<Function>(address);
}

} // namespace

mdlPubSHNotify::~mdlPubSHNotify()
{
    deregister();
}

PIDLIST_ABSOLUTE mdlPubSHNotify::SpecialFolderItemList(HWND owner, int folder)
{
    PIDLIST_ABSOLUTE list = nullptr;
    if (SHGetSpecialFolderLocation(owner, folder, &list) != S_OK) {
        return nullptr;
    }
    return list;
}

bool mdlPubSHNotify::registerWindow(HWND hwnd)
{
    if (m_handle != 0) {
        return false;
    }
    const auto shRegister = Shell32Export<RegisterFunction>(2);
    if (!shRegister) {
        return false;
    }
    m_desktop = SpecialFolderItemList(nullptr, CSIDL_DESKTOP);
    if (!m_desktop) {
        return false;
    }
    SHChangeNotifyEntry entry{};
    entry.pidl = m_desktop;
    entry.fRecursive = -1; // true with all bits set: the whole namespace below the desktop
    m_handle = shRegister(hwnd, kSources, kEvents, kMessage, 1, &entry);
    if (m_handle == 0) {
        // Nothing will ever deregister it, so nothing would ever free it.
        CoTaskMemFree(m_desktop);
        m_desktop = nullptr;
    }
    return m_handle != 0;
}

bool mdlPubSHNotify::deregister()
{
    if (m_handle == 0) {
        return false;
    }
    const auto shDeregister = Shell32Export<DeregisterFunction>(4);
    if (!shDeregister || !shDeregister(m_handle)) {
        return false;
    }
    m_handle = 0;
    CoTaskMemFree(m_desktop);
    m_desktop = nullptr;
    return true;
}

} // namespace zlv
