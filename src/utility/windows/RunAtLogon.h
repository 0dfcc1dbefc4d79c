#pragma once

#include <string>

// "Start with Windows": a value of the user's Run key (HKCU, no administrator needed) that
// starts the program in the notification area when the user logs on. The installer offers
// the same value; the Tools menu shows and switches what the key holds.
namespace zlv::win::runatlogon {

inline constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const wchar_t* kValueName = L"Zelvory";

// The command line the value holds for `executable`: the quoted path and "--tray".
std::wstring CommandLine(const std::wstring& executable);
// The path of the program now running.
std::wstring RunningExecutable();

bool IsEnabled();
// Writes or removes the value; true when the key matches `on` afterwards.
bool SetEnabled(bool on, const std::wstring& executable = RunningExecutable());

} // namespace zlv::win::runatlogon
