#include "mainwindow/TrayIcon.h"

#include <QSystemTrayIcon>
#include <QWidget>

namespace zlv {

TrayIcon::TrayIcon(QWidget* window, QIcon icon, std::optional<bool> available)
    : QObject(window), m_window(window), m_icon(std::move(icon)), m_available(available)
{}

TrayIcon::~TrayIcon()
{
    RemoveTrayIcon();
}

bool TrayIcon::isShown() const
{
    return m_tray != nullptr;
}

bool TrayIcon::AddTrayIcon()
{
    if (m_tray) {
        return true; // never two icons at once
    }
    const bool available = m_available.value_or(QSystemTrayIcon::isSystemTrayAvailable());
    if (!available || !m_window) {
        return false;
    }
    m_tray = new QSystemTrayIcon(m_icon, this);
    m_tray->setToolTip(QStringLiteral("Zelvory"));
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Left (Trigger) and right (Context) presses bring the window back; moving
                // over the icon, the middle button and the second half of a double-click
                // do nothing.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
                    restoreWindow();
                }
            });
    m_tray->show();
    m_window->hide();
    return true;
}

void TrayIcon::RemoveTrayIcon()
{
    if (m_tray) {
        m_tray->hide();
        m_tray->deleteLater();
        m_tray = nullptr;
    }
}

void TrayIcon::restoreWindow()
{
    if (!m_tray || !m_window) {
        return;
    }
    m_window->showNormal();
    m_window->activateWindow();
    RemoveTrayIcon();
}

} // namespace zlv
