#pragma once

#include "mainwindow/VersionRule.h"
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

// ClassifyVersionText for a text already decoded.
VersionAnswer ClassifyVersionAnswer(const QString& fetched,
                                    const QString& ownVersion = QLatin1String(kProgramVersion));

// Fetches `url` and returns the whole body as text, waiting at most `timeoutMs`. Any
// failure (no connection, an HTTP error status, a time-out, an endless body) yields the
// empty text. Runs a local event loop that lets no user input through.
QString FetchText(const QUrl& url, int timeoutMs = 9000);

// The URL of the maker's version file.
QUrl DefaultVersionFileUrl();

// The version check: once by itself some time after start, and on request. A build whose
// server is a placeholder has nothing to ask: it never checks by itself, and says so when
// asked.
class VersionChecker final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kBackgroundDelayMs = 60000;
    static constexpr int kFetchTimeoutMs = 9000;
    using Fetcher = std::function<QString(const QUrl& url, int timeoutMs)>;

    // `banner` is the main window's "please wait" button, shown during a check on request.
    // An empty `versionUrl` means the maker's version file. `exitCommand` runs the main
    // window's Exit command (with its confirmation) after the upgrade pages are open.
    VersionChecker(QWidget* mainWindow, QPushButton* banner, const QString& versionUrl,
                   std::function<void()> exitCommand);

    // Whether there is a server to ask (the version file's host is not a placeholder).
    bool hasServer() const { return m_hasServer; }

    // Arms the single background check. It runs once per run of the program: arming it
    // again does nothing, and so does arming it without a server.
    void startBackgroundTimer(int delayMs = kBackgroundDelayMs);
    // The check the user asks for: hourglass, window disabled and banner shown while the
    // fetch runs, then the answer in a message, including "no new version".
    void checkOnRequest();

    void setFetchTimeoutMs(int ms) { m_fetchTimeoutMs = ms; }
    // Replaces FetchText (tests).
    void setFetcher(Fetcher fetcher) { m_fetch = std::move(fetcher); }
    const QUrl& versionUrl() const { return m_url; }
    // From the start of a fetch until its answer has been dealt with.
    bool busy() const { return m_busy; }
    // The program is ending: a fetch still under way ends without a word, and no check
    // runs any more.
    void abandon();

Q_SIGNALS:
    // After each check, with what the fetch meant; for the window and for tests.
    void checked(zlv::VersionAnswer answer, bool onRequest);
    // The check nobody asked for could not reach the server. It is never a message box:
    // whoever shows this (status bar, tray, a desktop notification) shows it quietly.
    void backgroundFailed(const QString& headline, const QString& details);

private:
    void runBackgroundCheck();
    // Shows the message for `answer` and runs the upgrade steps on OK.
    void answer(VersionAnswer answer, bool onRequest);

    QPointer<QWidget> m_window;
    QPointer<QPushButton> m_banner;
    QUrl m_url;
    std::function<void()> m_exit;
    Fetcher m_fetch;
    QTimer m_background;
    bool m_hasServer = false;
    int m_fetchTimeoutMs = kFetchTimeoutMs;
    bool m_backgroundArmed = false;
    bool m_backgroundDone = false;
    bool m_backgroundPending = false;
    bool m_busy = false;
    bool m_abandoned = false;
};

} // namespace zlv
