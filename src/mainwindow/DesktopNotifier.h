#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QWidget;

namespace zlv {

// Tells the user through the desktop's notifications (a server of
// org.freedesktop.Notifications on the session bus) what the window would show them if
// they were looking at it. Each notification names the program's desktop entry and icon,
// and choosing it brings the window forward.
class DesktopNotifier final : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QWidget* window);

    // Sends a notification, unless one of the program's windows is in front (it shows the
    // matter itself) or no server is there; true when sent. `key` names the matter: while
    // its notification is still up, a later one with the same key replaces it instead of
    // piling up. `urgent` asks the server to keep it until the user has seen it.
    bool notify(const QString& key, const QString& summary, const QString& body,
                bool urgent = false);
    // The matter is over: its notification goes, if it is still up.
    void withdraw(const QString& key);
    // Whether a notification server is on the session bus (or would start when called).
    bool serverPresent();
    // Whether the user has one of the program's windows in front of them.
    bool windowInFront() const;

Q_SIGNALS:
    // A notification was chosen; the token (empty when the server gave none) lets the
    // window come forward.
    void activated(const QByteArray& activationToken);

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);
    void activationToken(uint id, const QString& token);

private:
    struct Note
    {
        uint id = 0;          // the server's number for it; 0 before the first answer
        bool waiting = false; // a Notify has not been answered yet
        bool withdrawn = false;
        std::optional<QStringList> next; // summary, body and urgency sent once it answers
    };
    void send(const QString& key, const QString& summary, const QString& body, bool urgent);
    QString keyOf(uint id) const;

    QPointer<QWidget> m_window;
    QHash<QString, Note> m_notes;
    QHash<uint, QString> m_tokens;
    std::optional<bool> m_activatable; // the bus would start a server on the first call
    std::optional<bool> m_markup;      // the server reads the body as markup
};

} // namespace zlv
