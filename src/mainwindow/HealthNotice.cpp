#include "mainwindow/HealthNotice.h"

#include "capture/frmPubHide.h"
#include "mainwindow/DesktopNotifier.h"
#include "mainwindow/HealthText.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/TrayIcon.h"
#include "utility/MessageBox.h"

#include <QEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

namespace zlv {

namespace {

// One notification per matter: records held in memory are another matter than the records
// lost for the same reason.
QString NotificationKey(GapReason reason, bool gap)
{
    const std::string_view word = GapReasonWord(reason);
    return QString::fromLatin1(word.data(), qsizetype(word.size())) +
           (gap ? QString() : QStringLiteral("-held"));
}

} // namespace

HealthNotice::HealthNotice(QWidget* window, StatusBar* bar, TrayIcon* tray,
                           DesktopNotifier* notifier)
    : QObject(window), m_window(window), m_tray(tray), m_notifier(notifier),
      m_warning(new QToolButton(bar))
{
    m_warning->setObjectName(QStringLiteral("stbHealth"));
    m_warning->setAutoRaise(true);
    // Reachable with Tab, so that its details can be opened without a mouse.
    m_warning->setFocusPolicy(Qt::TabFocus);
    m_warning->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_warning->setIcon(bar->style()->standardIcon(QStyle::SP_MessageBoxWarning));
    m_warning->hide();
    bar->addWarning(m_warning);
    connect(m_warning, &QToolButton::clicked, this,
            [this] { MessageBox::show(details().toStdString(), MessageBox::Icon::Exclamation); });

    if (m_window) {
        m_window->installEventFilter(this);
    }
}

void HealthNotice::watch(frmPubHide* capture)
{
    m_capture = capture;
    if (capture) {
        capture->setHealthCallback(
            [this](const CaptureIncident& i, bool askUser) { incident(i, askUser); });
        // Held records are written by a retry of their own, with no incident to tell; the
        // count is shown once the record path is done, once however many changes it made.
        capture->setHeldCallback([this] {
            if (!m_refreshPosted) {
                m_refreshPosted = true;
                QTimer::singleShot(0, this, [this] {
                    m_refreshPosted = false;
                    refresh();
                });
            }
        });
    }
}

void HealthNotice::incident(const CaptureIncident& incident, bool askUser)
{
    // Called from inside capture: only note things here, show them later.
    if (askUser) {
        m_pending.push_back(incident);
    }
    QTimer::singleShot(0, this, [this, incident, askUser] {
        refresh();
        if (incident.isGap && !incident.cleared) {
            Q_EMIT gapWritten();
        }
        notifyDesktop(incident, askUser);
        showPendingMessages();
    });
}

void HealthNotice::notifyDesktop(const CaptureIncident& incident, bool askUser)
{
    if (incident.cleared) {
        if (m_notifier) {
            m_notifier->withdraw(NotificationKey(incident.reason, true));
            m_notifier->withdraw(NotificationKey(incident.reason, false));
        }
        return;
    }
    const bool sent =
        m_notifier &&
        m_notifier->notify(NotificationKey(incident.reason, incident.isGap), headline(),
                           QString::fromStdString(healthtext::Message(incident)),
                           incident.needsAction);
    // Without a notification server, the X11 notification area's own balloon.
    if (!sent && askUser && m_tray && m_tray->isShown()) {
        m_tray->showMessage(QStringLiteral("Zelvory"), QString::fromStdString(incident.sentence));
    }
}

QString HealthNotice::headline() const
{
    const CaptureHealth* health = m_capture ? &m_capture->health() : nullptr;
    if (!health || health->complete()) {
        return QStringLiteral("Zelvory");
    }
    return QString::fromStdString(healthtext::Headline(*health));
}

QString HealthNotice::details() const
{
    if (!m_capture) {
        return {};
    }
    return QString::fromStdString(healthtext::Details(m_capture->health()));
}

void HealthNotice::refresh()
{
    const CaptureHealth* health = m_capture ? &m_capture->health() : nullptr;
    if (!health || health->complete()) {
        m_warning->hide();
        if (m_tray) {
            m_tray->setToolTip(QStringLiteral("Zelvory"));
            m_tray->setNeedsAttention(false);
        }
        return;
    }
    const QString title = headline();
    const QString text = details();
    m_warning->setText(title);
    m_warning->setToolTip(text);
    m_warning->show();
    if (m_tray) {
        m_tray->setToolTip(QStringLiteral("Zelvory\n") + title + QLatin1Char('\n') + text);
        m_tray->setNeedsAttention(true);
    }
}

void HealthNotice::showPendingMessages()
{
    // While the window sits in the tray or on the taskbar, or behind others (or before it is
    // first shown) the messages wait for the user to come to it: a box alone on the desktop,
    // away from what it is about, would be answered without being understood. Being in
    // front is also all that Wayland tells of a window that was minimised. The tooltip and
    // the notification say enough meanwhile.
    if (m_showing || !m_window || !m_window->isVisible() || m_window->isMinimized() ||
        !m_window->isActiveWindow()) {
        return;
    }
    m_showing = true;
    const QPointer<HealthNotice> self(this);
    while (!m_pending.empty()) {
        const CaptureIncident next = m_pending.front();
        m_pending.erase(m_pending.begin());
        // Only OK: this box informs, it never offers to stop. Recording goes on meanwhile.
        MessageBox::show(healthtext::Message(next), MessageBox::Icon::Exclamation);
        if (!self) {
            return;
        }
    }
    m_showing = false;
}

bool HealthNotice::eventFilter(QObject* watched, QEvent* event)
{
    const bool back = event->type() == QEvent::Show || event->type() == QEvent::ActivationChange ||
                      event->type() == QEvent::WindowStateChange;
    if (watched == m_window && back && !m_pending.empty()) {
        QTimer::singleShot(0, this, &HealthNotice::showPendingMessages);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zlv
