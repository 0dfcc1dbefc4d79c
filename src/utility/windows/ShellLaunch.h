#pragma once

#include <functional>
#include <string>
#include <windows.h>

// Everything the program hands to other programs goes through here: web pages and files to
// the programs the user chose for them, command lines to new processes, and the system's
// network-drive dialogs. A test puts recorders in their place and sees what would have run.
namespace zlv::win::shell {

struct Calls
{
    // Opens an address or a file with the program set for it (ShellExecute's "open"); true
    // when a program took it.
    std::function<bool(const std::wstring& target)> open;
    // Starts a command line as a new process with its window shown normally, without
    // waiting for it; true when it started.
    std::function<bool(const std::wstring& commandLine)> start;
    // The system's dialog that connects (true) or disconnects (false) a network drive,
    // modal over `owner`.
    std::function<void(HWND owner, bool connect)> driveDialog;
};

// Replaces the calls (a member left empty keeps the system's); returns those replaced.
Calls SetCalls(Calls calls);

bool Open(const std::wstring& target);
bool Start(const std::wstring& commandLine);
void DriveDialog(HWND owner, bool connect);

} // namespace zlv::win::shell
