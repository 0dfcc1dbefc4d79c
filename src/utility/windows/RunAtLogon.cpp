#include "utility/windows/RunAtLogon.h"

#include <windows.h>

namespace zlv::win::runatlogon {

std::wstring CommandLine(const std::wstring& executable)
{
    return L"\"" + executable + L"\" --tray";
}

std::wstring RunningExecutable()
{
    // Long paths are allowed: grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool IsEnabled()
{
    DWORD type = 0;
    DWORD bytes = 0;
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, nullptr, &bytes);
    return status == ERROR_SUCCESS && bytes > sizeof(wchar_t);
}

bool SetEnabled(bool on, const std::wstring& executable)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return IsEnabled() == on;
    }
    if (on && !executable.empty()) {
        const std::wstring line = CommandLine(executable);
        RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()),
                       static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)));
    } else if (!on) {
        RegDeleteValueW(key, kValueName);
    }
    RegCloseKey(key);
    return IsEnabled() == on;
}

} // namespace zlv::win::runatlogon
