#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QToolButton;

namespace zlv {

class StatusBar;
class TrayIcon;

// A word about something that failed where nobody asked (the version check by itself):
// a line in the status bar, and a balloon from the tray icon while the window sits there.
// Never a message box; a click on the line shows the whole story and puts the line away.
class QuietNotice final : public QObject
{
    Q_OBJECT

public:
    QuietNotice(StatusBar* bar, TrayIcon* tray);

    // Shows `headline`, with `details` in its tooltip and behind a click.
    void show(const QString& headline, const QString& details);
    QToolButton* button() const { return m_button; }

private:
    QPointer<TrayIcon> m_tray;
    QToolButton* m_button;
    QString m_details;
};

} // namespace zlv
