#include "mainwindow/TrayIcon.h"

#include "mainwindow/StatusNotifierItem.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QWidget>

namespace zlv {

namespace {

// Qt's own icon serves only the X11 notification area: it picks the bus once, when first
// asked, and never follows a panel that comes or goes.
bool X11AreaAvailable()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace

TrayIcon::TrayIcon(QWidget* window, QIcon icon, std::optional<bool> available)
    : QObject(window), m_window(window), m_icon(std::move(icon)), m_available(available)
{
    if (!m_available) {
        m_host = new StatusNotifierHost(this);
        connect(m_host, &StatusNotifierHost::presenceChanged, this, &TrayIcon::busAreaChanged);
        connect(m_host, &StatusNotifierHost::watcherChanged, this, [this] {
            if (m_item) {
                m_item->registerAgain();
            }
        });
    }
}

TrayIcon::~TrayIcon()
{
    RemoveTrayIcon();
}

bool TrayIcon::available() const
{
    if (m_available) {
        return *m_available;
    }
    return (m_host && m_host->present()) || X11AreaAvailable();
}

bool TrayIcon::isShown() const
{
    return m_tray != nullptr || m_item != nullptr;
}

QString TrayIcon::toolTipText() const
{
    return m_toolTip.section(QLatin1Char('\n'), 1);
}

bool TrayIcon::AddTrayIcon()
{
    if (isShown()) {
        return true; // never two icons at once
    }
    if (!m_window) {
        return false;
    }
    if (m_host && m_host->present()) {
        m_item = new StatusNotifierItem(m_icon, this);
        m_item->setToolTip(QStringLiteral("Zelvory"), toolTipText());
        m_item->setNeedsAttention(m_needsAttention);
        // Queued, as for Qt's icon below: the press is still being answered on the bus.
        connect(m_item, &StatusNotifierItem::activated, this, &TrayIcon::restoreWindow,
                Qt::QueuedConnection);
        if (!m_item->show()) {
            delete m_item;
            m_item = nullptr;
        }
    }
    if (!m_item) {
        if (!m_available.value_or(X11AreaAvailable())) {
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
    }
    m_window->hide();
    setWaiting(false);
    return true;
}

void TrayIcon::startInTray()
{
    if (!AddTrayIcon() && m_window) {
        m_window->show();
        setWaiting(true);
    }
}

void TrayIcon::setToolTip(const QString& text)
{
    m_toolTip = text;
    if (m_tray) {
        m_tray->setToolTip(text);
    }
    if (m_item) {
        m_item->setToolTip(QStringLiteral("Zelvory"), toolTipText());
    }
}

void TrayIcon::setNeedsAttention(bool needsAttention)
{
    m_needsAttention = needsAttention;
    if (m_item) {
        m_item->setNeedsAttention(needsAttention);
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
    if (m_item) {
        // Off the bus now, so that an icon shown again at once can take its place there.
        m_item->hide();
        m_item->deleteLater();
        m_item = nullptr;
    }
}

void TrayIcon::restoreWindow()
{
    if (!isShown() || !m_window) {
        return;
    }
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
    RemoveTrayIcon();
    setWaiting(false);
}

void TrayIcon::busAreaChanged(bool present)
{
    if (!present && m_item) {
        // The panel went, and the window with it: it must not stay out of reach.
        RemoveTrayIcon();
        if (m_window) {
            m_window->showNormal();
        }
        setWaiting(true);
    } else if (present && m_window && (m_waiting || m_window->isMinimized())) {
        AddTrayIcon();
    }
    Q_EMIT availabilityChanged(available());
}

void TrayIcon::setWaiting(bool waiting)
{
    if (waiting == m_waiting) {
        return;
    }
    m_waiting = waiting;
    // Only while waiting: then every event of the program passes by here.
    if (waiting) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    // The user took up the window that waits for a notification area: it stays.
    if (m_waiting &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)) {
        if (auto* widget = qobject_cast<QWidget*>(watched);
            widget && m_window && widget->window() == m_window) {
            setWaiting(false);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zlv
