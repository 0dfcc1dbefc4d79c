#pragma once

#include <memory>
#include <type_traits>
#include <windows.h>
// After <windows.h>: it needs the base types.
#include <commctrl.h>

// Owners for the system's handles, so that none leaks on an early return and every one is
// given back exactly once.
namespace zlv::win {

namespace detail {

struct GdiDeleter
{
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
struct IconDeleter
{
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct MenuDeleter
{
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct ImageListDeleter
{
    void operator()(HIMAGELIST list) const { ImageList_Destroy(list); }
};
struct AcceleratorDeleter
{
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};
struct KernelDeleter
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

template <typename Handle, typename Deleter>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, Deleter>;

} // namespace detail

using OwnedFont = detail::Owned<HFONT, detail::GdiDeleter>;
using OwnedBrush = detail::Owned<HBRUSH, detail::GdiDeleter>;
using OwnedPen = detail::Owned<HPEN, detail::GdiDeleter>;
using OwnedIcon = detail::Owned<HICON, detail::IconDeleter>;
using OwnedMenu = detail::Owned<HMENU, detail::MenuDeleter>;
using OwnedImageList = detail::Owned<HIMAGELIST, detail::ImageListDeleter>;
using OwnedAccelerators = detail::Owned<HACCEL, detail::AcceleratorDeleter>;
// Kernel objects (mutexes, processes, threads); null when there is none, so that
// INVALID_HANDLE_VALUE results must be turned into null before they are kept.
using OwnedHandle = detail::Owned<HANDLE, detail::KernelDeleter>;

// A device context borrowed from a window for as long as the object lives.
class WindowDC final
{
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDC()
    {
        if (m_dc) {
            ReleaseDC(m_window, m_dc);
        }
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    operator HDC() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object into a device context and puts the previous one back at the end.
class Selected final
{
public:
    Selected(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~Selected() { SelectObject(m_dc, m_previous); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace zlv::win
