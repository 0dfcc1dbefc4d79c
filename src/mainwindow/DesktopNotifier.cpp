#include "mainwindow/DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QVariantMap>
#include <QWidget>

namespace zlv {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// Kept short: a server that has no room cuts a longer wait.
constexpr int kCallTimeoutMs = 2000;

QDBusMessage Call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DesktopNotifier::DesktopNotifier(QWidget* window) : QObject(window), m_window(window)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // From whichever connection serves the name now; the ids tell ours from others'.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
    bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(notificationClosed(uint, uint)));
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActivationToken"), this,
                SLOT(activationToken(uint, QString)));
}

bool DesktopNotifier::windowInFront() const
{
    // A dialog of ours in front counts: the user is with the program.
    return m_window && m_window->isVisible() && !m_window->isMinimized() &&
           QApplication::activeWindow() != nullptr;
}

bool DesktopNotifier::serverPresent()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    bool present = bus.interface()->isServiceRegistered(kService);
    if (!present) {
        if (!m_activatable) {
            const QDBusReply<QStringList> names =
                bus.interface()->call(QStringLiteral("ListActivatableNames"));
            m_activatable = names.isValid() && names.value().contains(kService);
        }
        present = *m_activatable;
    }
    if (present && !m_markup) {
        const QDBusMessage reply =
            bus.call(Call(QStringLiteral("GetCapabilities")), QDBus::Block, kCallTimeoutMs);
        m_markup =
            reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().constFirst().toStringList().contains(QStringLiteral("body-markup"));
    }
    return present;
}

bool DesktopNotifier::notify(const QString& key, const QString& summary, const QString& body,
                             bool urgent)
{
    if (windowInFront() || !serverPresent()) {
        return false;
    }
    send(key, summary, body, urgent);
    return true;
}

void DesktopNotifier::send(const QString& key, const QString& summary, const QString& body,
                           bool urgent)
{
    Note& note = m_notes[key];
    note.withdrawn = false;
    if (note.waiting) {
        // Its number is not known yet: the newer text follows once it is, as a replacement.
        note.next = QStringList{summary, body, urgent ? QStringLiteral("1") : QString()};
        return;
    }
    note.waiting = true;
    QDBusMessage call = Call(QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zelvory"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(urgent ? 2 : 1)));
    // Names and paths in the text are the user's: never read as markup.
    const QString shownBody = m_markup.value_or(false) ? body.toHtmlEscaped() : body;
    call << QStringLiteral("Zelvory") << note.id << QStringLiteral("zelvory") << summary
         << shownBody << QStringList{kDefaultAction, QStringLiteral("Open Zelvory")} << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                const auto at = m_notes.find(key);
                if (at == m_notes.end()) {
                    return;
                }
                at->waiting = false;
                if (reply.isValid()) {
                    at->id = reply.value();
                }
                if (at->withdrawn) {
                    withdraw(key);
                } else if (at->next) {
                    const QStringList next = *at->next;
                    at->next.reset();
                    send(key, next[0], next[1], !next[2].isEmpty());
                }
            });
}

void DesktopNotifier::withdraw(const QString& key)
{
    const auto at = m_notes.find(key);
    if (at == m_notes.end()) {
        return;
    }
    if (at->waiting) {
        at->withdrawn = true;
        at->next.reset();
        return;
    }
    if (at->id != 0) {
        QDBusMessage close = Call(QStringLiteral("CloseNotification"));
        close << at->id;
        QDBusConnection::sessionBus().call(close, QDBus::NoBlock);
    }
    m_notes.erase(at);
}

QString DesktopNotifier::keyOf(uint id) const
{
    for (auto at = m_notes.cbegin(); at != m_notes.cend(); ++at) {
        if (at->id == id && id != 0) {
            return at.key();
        }
    }
    return {};
}

void DesktopNotifier::actionInvoked(uint id, const QString& action)
{
    if (action != kDefaultAction || keyOf(id).isEmpty()) {
        return;
    }
    Q_EMIT activated(m_tokens.take(id).toUtf8());
}

void DesktopNotifier::activationToken(uint id, const QString& token)
{
    if (!keyOf(id).isEmpty()) {
        m_tokens.insert(id, token);
    }
}

void DesktopNotifier::notificationClosed(uint id, uint)
{
    // Gone from the screen: the next notice of that matter is a new notification.
    const QString key = keyOf(id);
    if (!key.isEmpty()) {
        m_notes.remove(key);
    }
    m_tokens.remove(id);
}

} // namespace zlv
