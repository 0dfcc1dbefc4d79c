#include "capture/windows/WindowsNotificationSource.h"

#include "capture/windows/mdlPubSubClass.h"

#include <cstdint>
#include <cstring>
#include <objbase.h>
#include <shellapi.h>

namespace zlv {

namespace {

constexpr const char* kWindowClass = "ZelvoryCaptureWindow";
// Far beyond any real item identifier list, so that walking a damaged one ends.
constexpr std::size_t kMaxItemIdListBytes = 1u << 20;

// The two events whose items are something else than item identifier lists. The SDK's
// macros, since capture/ShellEvents.h cannot stand beside <shlobj.h>, which defines the
// same names as macros.
bool ItemsAreNotIdLists(std::uint32_t event)
{
    return event == SHCNE_UPDATEIMAGE || event == SHCNE_FREESPACE;
}

// Whether `size` bytes at `address` can be read without a fault.
bool Readable(const void* address, std::size_t size)
{
    auto at = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t end = at + size;
    if (!address || end < at) {
        return false;
    }
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0 ||
            info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            !(info.Protect & kReadable)) {
            return false;
        }
        at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

// An item identifier list is a chain of items, each beginning with its own byte count
// (the count included), ended by a zero count.
bool IsReadableItemIdList(const void* list)
{
    const auto* at = static_cast<const unsigned char*>(list);
    for (std::size_t total = 0; total <= kMaxItemIdListBytes;) {
        USHORT count = 0;
        if (!Readable(at, sizeof count)) {
            return false;
        }
        std::memcpy(&count, at, sizeof count);
        if (count == 0) {
            return true;
        }
        if (count < sizeof count || !Readable(at, count)) {
            return false;
        }
        at += count;
        total += count;
    }
    return false;
}

// The text before the first NUL of a fixed buffer, never reading past its end.
std::string CutAtNul(const char* buffer, std::size_t size)
{
    return std::string(buffer, strnlen(buffer, size));
}

ShellItem ItemOf(PCIDLIST_ABSOLUTE list)
{
    ShellItem item;
    SHFILEINFOA info{};
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(list), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_DISPLAYNAME) != 0) {
        item.displayName = CutAtNul(info.szDisplayName, sizeof info.szDisplayName);
    }
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(list, path)) {
        item.path = CutAtNul(path, sizeof path);
    }
    return item;
}

HWND CreateCaptureWindow()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return nullptr;
    }
    // A top-level window, never shown and far off-screen; a tool window stays out of the
    // task switcher should anything ever show it.
    return CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "Zelvory", WS_POPUP, -32000, -32000, 1,
                           1, nullptr, nullptr, instance, nullptr);
}

} // namespace

WindowsNotificationSource::WindowsNotificationSource(std::string ignoredFolder)
    : m_ignoredFolder(std::move(ignoredFolder))
{
    while (!m_ignoredFolder.empty() && m_ignoredFolder.back() == '\\') {
        m_ignoredFolder.pop_back();
    }
}

WindowsNotificationSource::~WindowsNotificationSource()
{
    stop();
}

bool WindowsNotificationSource::start(Sink sink)
{
    if (m_window) {
        m_sink = std::move(sink);
        return true;
    }
    // The shell's item functions want COM on this thread. S_FALSE (already initialised
    // here, by Qt for one) still has to be balanced.
    m_comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    m_window = CreateCaptureWindow();
    if (!m_window) {
        stop();
        return false;
    }
    m_sink = std::move(sink);
    mdlPubSubClass::SetReceiver(m_window,
                                [this](WPARAM wParam, LPARAM lParam) { receive(wParam, lParam); });
    // Subclassed before registered, so that no notification reaches the window first.
    const bool subclassed = mdlPubSubClass::Subclass(m_window);
    const bool registered = subclassed && m_registration.registerWindow(m_window);
    if (!registered) {
        stop();
        return false;
    }
    return true;
}

void WindowsNotificationSource::stop()
{
    if (m_window) {
        // Deregistered first, so that the shell stops posting before the procedure goes.
        m_registration.deregister();
        mdlPubSubClass::Unsubclass(m_window);
        mdlPubSubClass::SetReceiver(m_window, {});
        DestroyWindow(m_window);
        m_window = nullptr;
    }
    m_sink = nullptr;
    if (m_comInitialised) {
        CoUninitialize();
        m_comInitialised = false;
    }
}

Notification WindowsNotificationSource::Convert(WPARAM wParam, LPARAM lParam)
{
    Notification n;
    n.event = static_cast<std::uint32_t>(lParam);
    if (ItemsAreNotIdLists(n.event)) {
        return n;
    }
    const auto* items = reinterpret_cast<const PCIDLIST_ABSOLUTE*>(wParam);
    if (!Readable(items, 2 * sizeof *items)) {
        return n;
    }
    if (items[0] && IsReadableItemIdList(items[0])) {
        n.item1 = ItemOf(items[0]);
    }
    if (items[1] && IsReadableItemIdList(items[1])) {
        n.item2 = ItemOf(items[1]);
    }
    return n;
}

bool WindowsNotificationSource::IsInFolder(const std::string& path, const std::string& folder)
{
    if (folder.empty() || path.size() < folder.size()) {
        return false;
    }
    if (path.size() > folder.size() && path[folder.size()] != '\\') {
        return false;
    }
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.data(),
                          static_cast<int>(folder.size()), folder.data(),
                          static_cast<int>(folder.size())) == CSTR_EQUAL;
}

void WindowsNotificationSource::receive(WPARAM wParam, LPARAM lParam)
{
    if (!m_sink) {
        return;
    }
    Notification n = Convert(wParam, lParam);
    if (n.item1 && IsInFolder(n.item1->path, m_ignoredFolder)) {
        return;
    }
    // The sink may stop this source (the program closing); keep it alive for the call.
    const Sink sink = m_sink;
    sink(n);
}

} // namespace zlv
