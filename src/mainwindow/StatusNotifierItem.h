#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QDBusServiceWatcher;

namespace zlv {

// Whether the session bus has a notification area of the kind today's desktops (and
// Wayland's only kind) have: a StatusNotifierWatcher to register icons with, and a host
// that shows them. Followed while the program runs, since the panel may come after us
// (started with the session) or go away and come back (restarted).
class StatusNotifierHost final : public QObject
{
    Q_OBJECT
public:
    explicit StatusNotifierHost(QObject* parent = nullptr);

    bool present() const { return m_present; }

Q_SIGNALS:
    void presenceChanged(bool present);
    // A new watcher took the name: icons registered with the old one must register again.
    void watcherChanged();

private Q_SLOTS:
    void hostRegistered();
    void hostUnregistered();

private:
    void watcherOwnerChanged(const QString& newOwner);
    void askWatcher();
    void setPresent(bool present);

    QDBusServiceWatcher* m_watch = nullptr;
    bool m_present = false;
    int m_asked = 0; // questions put to the watcher so far
};

class StatusNotifierAdaptor;

// The program's icon in such a notification area, as an object on the session bus. A
// press of the first button (Activate) or the second (ContextMenu) is reported; the
// middle button and the wheel do nothing.
class StatusNotifierItem final : public QObject
{
    Q_OBJECT
public:
    explicit StatusNotifierItem(const QIcon& icon, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Puts the icon on the bus and asks the watcher to show it; false when the bus refuses.
    bool show();
    // Takes the icon off the bus; the watcher sees its name go and drops it.
    void hide();
    // Asks the watcher again, as a watcher that took over from another one needs.
    void registerAgain();
    QString serviceName() const { return m_service; }

    void setToolTip(const QString& title, const QString& text);
    QString toolTipTitle() const { return m_title; }
    QString toolTipText() const { return m_text; }
    void setNeedsAttention(bool needsAttention);
    bool needsAttention() const { return m_needsAttention; }

    const QIcon& icon() const { return m_icon; }
    const QIcon& attentionIcon() const { return m_attentionIcon; }

Q_SIGNALS:
    void activated();

private:
    QIcon m_icon;
    QIcon m_attentionIcon;
    QString m_title = QStringLiteral("Zelvory");
    QString m_text;
    bool m_needsAttention = false;
    QString m_service;
    StatusNotifierAdaptor* m_adaptor = nullptr;
};

} // namespace zlv
