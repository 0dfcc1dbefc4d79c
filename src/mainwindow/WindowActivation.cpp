#include "mainwindow/WindowActivation.h"

#include "mainwindow/TrayIcon.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#ifdef ZLV_HAVE_XCB
#include <cstring>
#include <xcb/xcb.h>
#endif

namespace zlv {

namespace {

#ifdef ZLV_HAVE_XCB

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The launch's time, which the window manager weighs against the user's last input before
// it lets a window take the focus; 0 (now) when the id carries none.
std::uint32_t StartupTime(const QByteArray& startupId)
{
    const qsizetype at = startupId.lastIndexOf("_TIME");
    bool ok = false;
    const std::uint32_t time = at >= 0 ? startupId.mid(at + 5).toUInt(&ok) : 0;
    return ok ? time : 0;
}

void SendStartupMessage(xcb_connection_t* c, xcb_window_t root, const QByteArray& message)
{
    // Sent to the root window, 20 bytes at a time, the first piece marked as the beginning;
    // the text ends with its NUL byte. The sender is a window of its own, as the protocol
    // wants, made and destroyed for it.
    const xcb_window_t sender = xcb_generate_id(c);
    const std::uint32_t overrideRedirect = 1;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, sender, root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                      &overrideRedirect);
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(c, "_NET_STARTUP_INFO");
    const QByteArray text = message + '\0';
    for (qsizetype at = 0; at < text.size(); at += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = at == 0 ? begin : more;
        std::memcpy(event.data.data8, text.constData() + at,
                    static_cast<std::size_t>(std::min<qsizetype>(20, text.size() - at)));
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(c, sender);
}

void ActivateOnX11(QWidget* window, const QByteArray& startupId)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || startupId.isEmpty()) {
        return;
    }
    const xcb_window_t id = static_cast<xcb_window_t>(window->winId());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) {
        return;
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, Atom(c, "_NET_STARTUP_ID"),
                        Atom(c, "UTF8_STRING"), 8, static_cast<std::uint32_t>(startupId.size()),
                        startupId.constData());
    // Asked as an application does, with the time of the launch the user just made.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = Atom(c, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1;
    event.data.data32[1] = StartupTime(startupId);
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    SendStartupMessage(c, screen->root, StartupRemoveMessage(startupId));
    xcb_flush(c);
}

#else

void ActivateOnX11(QWidget*, const QByteArray&) {}

#endif

} // namespace

LaunchTokens LaunchTokensFromEnvironment()
{
    return {qgetenv("XDG_ACTIVATION_TOKEN"), qgetenv("DESKTOP_STARTUP_ID")};
}

QByteArray StartupRemoveMessage(const QByteArray& startupId)
{
    // A value is quoted, with a backslash before each quote and backslash inside.
    QByteArray quoted = "\"";
    for (const char c : startupId) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return "remove: ID=" + quoted + '"';
}

void BringForward(QWidget* window, TrayIcon* tray, const LaunchTokens& tokens)
{
    if (!window) {
        return;
    }
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (wayland && !tokens.xdgActivationToken.isEmpty()) {
        // The window system's plug-in takes the token from here when the window is shown or
        // asks for the focus next, and uses it once.
        qputenv("XDG_ACTIVATION_TOKEN", tokens.xdgActivationToken);
    }
    if (tray && tray->isShown()) {
        tray->restoreWindow();
    } else {
        if (window->isMinimized() || !window->isVisible()) {
            window->showNormal();
        }
        window->raise();
        window->activateWindow();
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        ActivateOnX11(window, tokens.startupId);
    }
}

} // namespace zlv
