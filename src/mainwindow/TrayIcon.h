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

// The notification-area icon that stands in for the main window while it is minimised.
class TrayIcon final : public QObject
{
    Q_OBJECT
public:
    // `available` overrides what the desktop says, for tests.
    TrayIcon(QWidget* window, QIcon icon, std::optional<bool> available = std::nullopt);
    ~TrayIcon() override;

    // Shows the icon with the tooltip "Zelvory" and hides the window; false (and nothing
    // changes) when the desktop has no notification area.
    bool AddTrayIcon();
    void RemoveTrayIcon();
    bool isShown() const;
    // "Zelvory" unless the journal has something to say; kept for the next icon too.
    void setToolTip(const QString& text);
    const QString& toolTip() const { return m_toolTip; }
    // A balloon from the icon, where the desktop shows them; nothing while no icon is shown.
    void showMessage(const QString& title, const QString& text);

    // A left or right press on the icon: the window comes back in its normal state and
    // the icon goes. Public so that tests can press it.
    void restoreWindow();

private:
    QPointer<QWidget> m_window;
    QIcon m_icon;
    std::optional<bool> m_available;
    QString m_toolTip = QStringLiteral("Zelvory");
    QSystemTrayIcon* m_tray = nullptr;
};

} // namespace zlv
