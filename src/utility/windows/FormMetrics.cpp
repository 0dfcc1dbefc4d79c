#include "utility/windows/FormMetrics.h"

#include <cmath>

namespace zlv::win {

namespace {

// Present from Windows 10 (1607) on; older systems scale the whole window for us.
template <typename Function> Function User32(const char* name)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) {
        return nullptr;
    }
    const auto address = reinterpret_cast<void (*)()>(GetProcAddress(user32, name));
    return reinterpret_cast<Function>(address);
}

UINT DesktopDpi()
{
    const WindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

} // namespace

UINT WindowDpi(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpi = User32<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpi && window) {
        if (const UINT dpi = getDpi(window); dpi > 0) {
            return dpi;
        }
    }
    return DesktopDpi();
}

TwipScale ScaleAt(UINT dpi)
{
    const double factor = static_cast<double>(dpi) / kDesignDpi;
    return {factor, factor};
}

OwnedFont CreateFormFont(UINT dpi, double points, bool bold)
{
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    wcscpy_s(font.lfFaceName, L"Tahoma");
    return OwnedFont(CreateFontIndirectW(&font));
}

SIZE TextSize(HFONT font, std::wstring_view text)
{
    SIZE size{};
    const WindowDC screen(nullptr);
    if (!screen) {
        return size;
    }
    const Selected chosen(screen, font);
    if (text.empty()) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(screen, &metrics);
        size.cy = metrics.tmHeight;
        return size;
    }
    GetTextExtentPoint32W(screen, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

int MetricAt(int index, UINT dpi)
{
    using MetricsForDpiFunction = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32<MetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (forDpi) {
        return forDpi(index, dpi);
    }
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(DesktopDpi()));
}

} // namespace zlv::win
