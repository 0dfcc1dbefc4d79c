#include "utility/windows/WinText.h"

#include <algorithm>
#include <climits>
#include <windows.h>

namespace zlv::win {

namespace {

std::wstring ToWide(std::string_view text, UINT codePage)
{
    // A field of a damaged line can be huge; what no window can show is not converted.
    const int size = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX / 2));
    if (size == 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    const int made = MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), size);
    wide.resize(static_cast<std::size_t>(std::max(made, 0)));
    return wide;
}

} // namespace

std::wstring Widen(std::string_view ansi)
{
    return ToWide(ansi, CP_ACP);
}

std::wstring FromUtf8(std::string_view utf8)
{
    return ToWide(utf8, CP_UTF8);
}

std::string Narrow(std::wstring_view wide)
{
    const int size = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX / 4));
    if (size == 0) {
        return {};
    }
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(std::max(needed, 0)), '\0');
    const int made =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), needed, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(std::max(made, 0)));
    return ansi;
}

} // namespace zlv::win
