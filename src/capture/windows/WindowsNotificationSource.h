#pragma once

#include "capture/NotificationSource.h"
#include "capture/windows/mdlPubSHNotify.h"

#include <string>
#include <windows.h>

namespace zlv {

// The shell's change notifications, received by a hidden capture window that is subclassed
// and then registered for every event of the whole shell namespace. Each message 0x401 is
// converted at once, while its item identifier lists are valid, and handed to the sink.
// Names and paths stay in the system's ANSI code page, as the day files want them.
//
// start() and stop() belong to the thread that dispatches the window's messages: the
// program's user-interface thread, whose message loop delivers the notifications.
class WindowsNotificationSource final : public NotificationSource
{
public:
    // Notifications whose first item lies in `ignoredFolder` (or is that folder) are not
    // handed on; empty ignores nothing.
    explicit WindowsNotificationSource(std::string ignoredFolder = {});
    ~WindowsNotificationSource() override;

    // Creates the window, subclasses it, registers it. When either step fails, everything
    // done is undone and the result is false.
    bool start(Sink sink) override;
    // Deregisters, removes the subclass, destroys the window.
    void stop() override;

    HWND window() const { return m_window; }
    const mdlPubSHNotify& registration() const { return m_registration; }

    // What message 0x401 carries as a Notification. Items whose lists cannot be real (a
    // message 0x401 posted by some other program) are treated as absent; the items of the
    // two events that carry no item identifier lists are never touched.
    static Notification Convert(WPARAM wParam, LPARAM lParam);

    // True when `path` is `folder` or lies below it, compared as Windows compares names.
    static bool IsInFolder(const std::string& path, const std::string& folder);

private:
    void receive(WPARAM wParam, LPARAM lParam);

    std::string m_ignoredFolder;
    HWND m_window = nullptr;
    mdlPubSHNotify m_registration;
    Sink m_sink;
    bool m_comInitialised = false;
};

} // namespace zlv
