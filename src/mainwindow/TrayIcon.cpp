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
    m_tray->setToolTip(m_toolTip);
    // Queued: the press is still being delivered to the icon when this signal comes, and
    // removing the icon from under its own event handler crashes. Left (Trigger) and
    // right (Context) presses bring the window back; moving over the icon, the middle
    // button and the second half of a double-click do nothing.
    connect(
        m_tray, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
                restoreWindow();
            }
        },
        Qt::QueuedConnection);
    m_tray->show();
    m_window->hide();
    return true;
}

void TrayIcon::setToolTip(const QString& text)
{
    m_toolTip = text;
    if (m_tray) {
        m_tray->setToolTip(text);
    }
}

void TrayIcon::showMessage(const QString& title, const QString& text)
{
    if (m_tray && QSystemTrayIcon::supportsMessages()) {
        m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
    }
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
