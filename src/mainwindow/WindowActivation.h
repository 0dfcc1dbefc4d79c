#pragma once

#include <QByteArray>

class QWidget;

namespace zlv {

class TrayIcon;

// What a launcher or a notification hands a program so that the desktop lets its window
// come forward: an xdg-activation token on Wayland, a startup id on X11 (which also ends
// the launcher's busy feedback once the window is there).
struct LaunchTokens
{
    QByteArray xdgActivationToken;
    QByteArray startupId;
};

// The tokens this process was started with.
LaunchTokens LaunchTokensFromEnvironment();

// Brings `window` out of the notification area or the taskbar, raises it and gives it the
// focus, using `tokens` where the window system wants one.
void BringForward(QWidget* window, TrayIcon* tray, const LaunchTokens& tokens);

// The X11 startup-notification message that ends the feedback of the launch `startupId`.
QByteArray StartupRemoveMessage(const QByteArray& startupId);

} // namespace zlv
