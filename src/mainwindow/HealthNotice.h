#pragma once

#include "capture/CaptureHealth.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class QToolButton;
class QWidget;

namespace zlv {

class DesktopNotifier;
class StatusBar;
class frmPubHide;
class TrayIcon;

// Tells the user, where they look, whether the journal of this run is complete: a warning
// in the status bar and in the tray icon's tooltip (the icon asking for attention) while
// something is or was wrong; a desktop notification per incident while the window is not in
// front; and one message per condition where the user has to act, once the window is there
// to carry it. Nothing is shown from inside the record path: incidents are noted at once and
// shown from the event loop.
class HealthNotice final : public QObject
{
    Q_OBJECT
public:
    HealthNotice(QWidget* window, StatusBar* bar, TrayIcon* tray,
                 DesktopNotifier* notifier = nullptr);

    // Follows `capture`'s incidents; hook it before loading so that a failed start counts.
    void watch(frmPubHide* capture);
    // Brings the warning in line with the capture's health (records held or written since).
    void refresh();

    // The status-bar warning; hidden while the journal is complete.
    QToolButton* warning() const { return m_warning; }
    // What the warning's tooltip says; empty while the journal is complete.
    QString details() const;

Q_SIGNALS:
    // A gap line was written for today: the Today list's markers need reading again.
    void gapWritten();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void incident(const CaptureIncident& incident, bool askUser);
    void notifyDesktop(const CaptureIncident& incident, bool askUser);
    void showPendingMessages();
    QString headline() const;

    QPointer<QWidget> m_window;
    TrayIcon* m_tray;
    DesktopNotifier* m_notifier;
    frmPubHide* m_capture = nullptr;
    QToolButton* m_warning;
    bool m_refreshPosted = false;
    std::vector<CaptureIncident> m_pending; // messages waiting for the window to be shown
    bool m_showing = false;
};

} // namespace zlv
