#include "mainwindow/VersionCheck.h"

#include "utility/MessageBox.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QWidget>
#include <algorithm>

namespace zlv {

namespace {

// A version file is a handful of bytes; anything much longer is not one, and reading it
// to its end would only cost memory and time.
constexpr qint64 kMaxBodyBytes = 64 * 1024;

} // namespace

VersionAnswer ClassifyVersionAnswer(const QString& fetched, const QString& ownVersion)
{
    return ClassifyVersionText(fetched.toStdString(), ownVersion.toStdString());
}

QString FetchText(const QUrl& url, int timeoutMs)
{
    if (!url.isValid() || url.isRelative()) {
        return {};
    }
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = manager.get(request);

    bool failed = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        failed = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received > kMaxBodyBytes) {
            failed = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(std::max(0, timeoutMs));
    if (!reply->isFinished()) {
        // The window waits for the answer, but must not take clicks or keys meanwhile;
        // timers and sockets (recording goes on) are still served.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    deadline.stop();

    QString text;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool httpOk = !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
    if (!failed && reply->isFinished() && reply->error() == QNetworkReply::NoError && httpOk) {
        text = QString::fromUtf8(reply->read(kMaxBodyBytes + 1));
    }
    delete reply;
    return text;
}

QUrl DefaultVersionFileUrl()
{
    return QUrl(QString::fromStdString(web::VersionFile()));
}

VersionChecker::VersionChecker(QWidget* mainWindow, QPushButton* banner, const QString& versionUrl,
                               std::function<void()> exitCommand)
    : QObject(mainWindow), m_window(mainWindow), m_banner(banner),
      m_url(versionUrl.isEmpty() ? DefaultVersionFileUrl() : QUrl(versionUrl)),
      m_exit(std::move(exitCommand)), m_fetch(&FetchText),
      m_hasServer(web::IsRealServer(m_url.toString().toStdString()))
{
    m_background.setSingleShot(true);
    connect(&m_background, &QTimer::timeout, this, &VersionChecker::runBackgroundCheck);
}

void VersionChecker::startBackgroundTimer(int delayMs)
{
    if (m_backgroundArmed || !m_hasServer) {
        return;
    }
    m_backgroundArmed = true;
    m_background.start(std::max(0, delayMs));
}

void VersionChecker::abandon()
{
    m_abandoned = true;
    m_background.stop();
}

void VersionChecker::runBackgroundCheck()
{
    if (m_backgroundDone || m_abandoned) {
        return;
    }
    if (m_busy) {
        // A check on request holds the answer on screen; the background one follows it.
        m_backgroundPending = true;
        return;
    }
    m_backgroundDone = true;
    m_background.stop();
    m_busy = true;
    const QString text = m_fetch(m_url, m_fetchTimeoutMs);
    answer(ClassifyVersionAnswer(text, QString::fromLatin1(kProgramVersion)), false);
}

void VersionChecker::checkOnRequest()
{
    if (m_busy || m_abandoned) {
        return;
    }
    if (!m_hasServer) {
        MessageBox::show(version::NoServerText(), MessageBox::Icon::Information);
        return;
    }
    m_busy = true;

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_window) {
        m_window->setEnabled(false);
    }
    QPoint bannerHome;
    if (m_banner) {
        bannerHome = m_banner->pos();
        const QWidget* area = m_banner->parentWidget() ? m_banner->parentWidget() : m_window.data();
        if (area) {
            // Centred on the window's outer size, frame and title bar included.
            const QSize outer = area->isWindow() ? area->frameGeometry().size() : area->size();
            QPoint at((outer.width() - m_banner->width()) / 2,
                      (outer.height() - m_banner->height()) / 2);
            if (!m_banner->parentWidget()) {
                at = area->mapToGlobal(at);
            }
            m_banner->move(at);
        }
        m_banner->show();
        m_banner->raise();
    }

    const QString text = m_fetch(m_url, m_fetchTimeoutMs);

    QGuiApplication::restoreOverrideCursor();
    if (m_window) {
        m_window->setEnabled(true);
    }
    if (m_banner) {
        m_banner->hide();
        m_banner->move(bannerHome);
    }
    answer(ClassifyVersionAnswer(text, QString::fromLatin1(kProgramVersion)), true);
}

void VersionChecker::answer(VersionAnswer result, bool onRequest)
{
    if (m_abandoned) {
        // The user said Yes to stopping while the fetch ran (a logout does not wait).
        m_busy = false;
        return;
    }
    const version::Reaction reaction = version::ReactionTo(result, onRequest);
    const bool quietFailure = reaction == version::Reaction::QuietNotice;
    const bool upgrade = version::ShowReaction(reaction);
    m_busy = false;

    const QPointer<VersionChecker> self(this);
    if (quietFailure) {
        Q_EMIT backgroundFailed(QString::fromStdString(version::QuietNoConnectionText()),
                                QString::fromStdString(version::NoConnectionText()));
        if (!self) {
            return;
        }
    }
    Q_EMIT checked(result, onRequest);
    if (!self) {
        return;
    }
    if (upgrade) {
        SystemUtility::OpenWebPage(web::UpdatePage(), 1);
        SystemUtility::OpenWebPage(web::LatestArchive(), 1);
        // Exit may close the window and this checker with it.
        const std::function<void()> exit = m_exit;
        if (exit) {
            exit();
        }
        if (!self) {
            return;
        }
    }
    if (m_backgroundPending) {
        m_backgroundPending = false;
        QTimer::singleShot(0, this, &VersionChecker::runBackgroundCheck);
    }
}

} // namespace zlv
