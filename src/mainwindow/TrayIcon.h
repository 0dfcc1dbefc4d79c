#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QSystemTrayIcon;
class QWidget;

namespace zlv {

class StatusNotifierHost;
class StatusNotifierItem;

// The notification-area icon that stands in for the main window while it is minimised.
//
// Two kinds of notification area exist: the one on the session bus (StatusNotifierItem,
// what today's panels show, and the only one on Wayland), served by an item of our own so
// that its status and tooltip say what the journal needs; and the older X11 one, served by
// Qt. The bus is followed while the program runs: a panel that comes late is used, and the
// window comes back when the panel it was hidden in goes away.
class TrayIcon final : public QObject
{
    Q_OBJECT
public:
    // `available` overrides what the desktop says, for tests; it also keeps the bus out.
    TrayIcon(QWidget* window, QIcon icon, std::optional<bool> available = std::nullopt);
    ~TrayIcon() override;

    // Whether a notification area exists now.
    bool available() const;
    // Shows the icon with the tooltip "Zelvory" and hides the window; false (and nothing
    // changes) when the desktop has no notification area.
    bool AddTrayIcon();
    void RemoveTrayIcon();
    bool isShown() const;
    // Started with the session: into the notification area, or, while there is none, shown
    // and moved there as soon as one comes, unless the user took up the window meanwhile.
    void startInTray();
    // "Zelvory" unless the journal has something to say, in lines below it; kept for the
    // next icon too.
    void setToolTip(const QString& text);
    const QString& toolTip() const { return m_toolTip; }
    // While the journal has a gap the icon asks for attention, where the area can show it.
    void setNeedsAttention(bool needsAttention);
    // A balloon from the icon, where the desktop shows them; nothing while no icon is shown.
    void showMessage(const QString& title, const QString& text);

    // A left or right press on the icon: the window comes back in its normal state and
    // the icon goes. Public so that tests can press it.
    void restoreWindow();

    // The icon on the session bus while it is shown there; none otherwise (tests).
    StatusNotifierItem* busItem() const { return m_item; }

Q_SIGNALS:
    void availabilityChanged(bool available);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void busAreaChanged(bool present);
    void setWaiting(bool waiting);
    QString toolTipText() const;

    QPointer<QWidget> m_window;
    QIcon m_icon;
    std::optional<bool> m_available;
    QString m_toolTip = QStringLiteral("Zelvory");
    bool m_needsAttention = false;
    QSystemTrayIcon* m_tray = nullptr;
    StatusNotifierHost* m_host = nullptr;
    StatusNotifierItem* m_item = nullptr;
    // The window belongs in the notification area as soon as there is one again.
    bool m_waiting = false;
};

} // namespace zlv
