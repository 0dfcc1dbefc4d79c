#pragma once

#include "utility/ProductVersion.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class QPushButton;
class QWidget;

namespace zlv {

enum class VersionAnswer
{
    NoConnection,
    NoNewVersion,
    NewVersion
};

// What the fetched version file means. Trailing blanks and line ends (and a leading byte
// order mark) are ignored; what is left must be 3 to 9 characters long to count as an
// answer at all. When both the answer and `ownVersion` are dotted numbers only a greater
// number is new, so an older file on a lagging mirror never asks to "upgrade" backwards;
// any other answer is new exactly when it differs from `ownVersion`.
VersionAnswer ClassifyVersionAnswer(const QString& fetched,
                                    const QString& ownVersion = QLatin1String(kProgramVersion));

// Fetches `url` and returns the whole body as text, waiting at most `timeoutMs`. Any
// failure (no connection, an HTTP error status, a time-out, an endless body) yields the
// empty text. Runs a local event loop that lets no user input through.
QString FetchText(const QUrl& url, int timeoutMs = 9000);

// The URL of the maker's version file.
QUrl DefaultVersionFileUrl();

// The version check: once by itself some time after start, and on request.
class VersionChecker final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBackgroundDelayMs = 60000;
    static constexpr int kFetchTimeoutMs = 9000;

    // `banner` is the main window's "please wait" button, shown during a check on request.
    // An empty `versionUrl` means the maker's version file. `exitCommand` runs the main
    // window's Exit command (with its confirmation) after the upgrade pages are open.
    VersionChecker(QWidget* mainWindow, QPushButton* banner, const QString& versionUrl,
                   std::function<void()> exitCommand);

    // Arms the single background check. It runs once per run of the program: arming it
    // again does nothing.
    void startBackgroundTimer(int delayMs = kBackgroundDelayMs);
    // The check the user asks for: hourglass, window disabled and banner shown while the
    // fetch runs, then the answer in a message, including "no new version".
    void checkOnRequest();

    void setFetchTimeoutMs(int ms) { m_fetchTimeoutMs = ms; }
    const QUrl& versionUrl() const { return m_url; }
    bool backgroundCheckDone() const { return m_backgroundDone; }
    // From the start of a fetch until its answer has been dealt with.
    bool busy() const { return m_busy; }
    // The program is ending: a fetch still under way ends without a word, and no check
    // runs any more.
    void abandon();

Q_SIGNALS:
    // After each check, with what the fetch meant; for the window and for tests.
    void checked(zlv::VersionAnswer answer, bool onRequest);

private:
    void runBackgroundCheck();
    // Shows the message for `answer` and runs the upgrade steps on OK.
    void answer(VersionAnswer answer, bool onRequest);

    QPointer<QWidget> m_window;
    QPointer<QPushButton> m_banner;
    QUrl m_url;
    std::function<void()> m_exit;
    QTimer m_background;
    int m_fetchTimeoutMs = kFetchTimeoutMs;
    bool m_backgroundArmed = false;
    bool m_backgroundDone = false;
    bool m_backgroundPending = false;
    bool m_busy = false;
    bool m_abandoned = false;
};

} // namespace zlv
