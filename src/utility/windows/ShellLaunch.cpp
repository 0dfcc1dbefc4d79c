#include "utility/windows/ShellLaunch.h"

#include "utility/windows/Handles.h"

#include <shellapi.h>
#include <winnetwk.h>

namespace zlv::win::shell {

namespace {

Calls& Replaced()
{
    static Calls calls;
    return calls;
}

bool SystemOpen(const std::wstring& target)
{
    // Above 32 means a program took it (ShellExecute's own convention).
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

bool SystemStart(const std::wstring& commandLine)
{
    std::wstring line = commandLine; // CreateProcessW may write into its command line
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    // Not waited for: the handles are given back at once.
    const OwnedHandle process(started.hProcess);
    const OwnedHandle thread(started.hThread);
    return true;
}

void SystemDriveDialog(HWND owner, bool connect)
{
    if (connect) {
        WNetConnectionDialog(owner, RESOURCETYPE_DISK);
    } else {
        WNetDisconnectDialog(owner, RESOURCETYPE_DISK);
    }
}

} // namespace

Calls SetCalls(Calls calls)
{
    std::swap(Replaced(), calls);
    return calls;
}

bool Open(const std::wstring& target)
{
    return Replaced().open ? Replaced().open(target) : SystemOpen(target);
}

bool Start(const std::wstring& commandLine)
{
    return Replaced().start ? Replaced().start(commandLine) : SystemStart(commandLine);
}

void DriveDialog(HWND owner, bool connect)
{
    if (Replaced().driveDialog) {
        Replaced().driveDialog(owner, connect);
    } else {
        SystemDriveDialog(owner, connect);
    }
}

} // namespace zlv::win::shell
