#include "utility/DesktopLaunch.h"

#include "utility/MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <set>

namespace zlv::launch {

namespace {

Launcher& Replacement()
{
    static Launcher launcher;
    return launcher;
}

#ifndef _WIN32

// An opener that has not failed by then has found its program. Some run that program in
// the foreground and end only when it does, hours later: what it says then is not about
// opening any more.
constexpr int kJudgedWithinMs = 15000;
constexpr qsizetype kMaxErrorBytes = 4096;

// One run of xdg-open, kept until it ends; judged by its exit status within the first
// seconds.
class OpenerRun final : public QObject
{
public:
    OpenerRun(const QUrl& url, std::function<void(const Outcome&)> done)
        : QObject(QCoreApplication::instance()), m_done(std::move(done))
    {
        m_process.setProgram(QStringLiteral("xdg-open"));
        // A local file goes as its path, which every opener takes; no shell is involved, so
        // whatever the path holds stays one argument.
        m_process.setArguments(
            {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
            const QByteArray more = m_process.readAllStandardError();
            if (m_error.size() < kMaxErrorBytes) {
                m_error += more.left(kMaxErrorBytes - m_error.size());
            }
        });
        connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart) {
                judge({false,
                       QStringLiteral("the program xdg-open, which hands it to your desktop, "
                                      "could not be started"),
                       true});
                deleteLater();
            }
        });
        connect(&m_process, &QProcess::finished, this,
                [this](int code, QProcess::ExitStatus status) {
                    judge(status == QProcess::NormalExit && code == 0 ? Outcome{} : failure(code));
                    deleteLater();
                });
        QTimer::singleShot(kJudgedWithinMs, this, [this] { judge({}); });
        m_process.start(QIODevice::ReadOnly);
    }

private:
    Outcome failure(int code) const
    {
        // xdg-open's own exit statuses.
        switch (code) {
        case 2:
            return {false, QStringLiteral("it does not exist"), false};
        case 3:
            return {false, QStringLiteral("no program is set to open it"), false};
        case 4:
            return {false, QStringLiteral("the program set to open it failed"), false};
        default:
            break;
        }
        const QString said = QString::fromLocal8Bit(m_error).trimmed().section(u'\n', -1);
        return {false,
                said.isEmpty() ? QStringLiteral("the opener ended with status %1").arg(code) : said,
                false};
    }

    void judge(const Outcome& outcome)
    {
        if (m_done) {
            const auto done = std::move(m_done);
            m_done = nullptr;
            done(outcome);
        }
    }

    QProcess m_process;
    QByteArray m_error;
    std::function<void(const Outcome&)> m_done;
};

void DesktopLauncher(const QUrl& url, std::function<void(const Outcome&)> done)
{
    new OpenerRun(url, std::move(done));
}

#else

void DesktopLauncher(const QUrl& url, std::function<void(const Outcome&)> done)
{
    const bool ok = QDesktopServices::openUrl(url);
    done(ok ? Outcome{} : Outcome{false, QStringLiteral("Windows found no program for it"), false});
}

#endif

QString Shown(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
}

} // namespace

std::string FailureText(const QUrl& url, Kind kind, const Outcome& outcome)
{
    QString what;
    QString todo;
    switch (kind) {
    case Kind::WebPage:
        what = QStringLiteral("Zelvory could not open the page %1");
        todo = QStringLiteral("Install a web browser, or choose one as the default application "
                              "for web pages, then try again.");
        break;
    case Kind::Folder:
        what = QStringLiteral("Zelvory could not show the folder \"%1\"");
        todo = QStringLiteral("Install a file manager, or choose one as the default application "
                              "for folders, then try again.");
        break;
    case Kind::HelpPage:
        what = QStringLiteral("Zelvory could not open its help, %1");
        todo = QStringLiteral("Install a web browser, or choose one as the default application "
                              "for web pages, then try again.");
        break;
    }
    if (outcome.openerMissing) {
        todo = QStringLiteral("Install xdg-utils, the desktop's opener, then try again.");
    }
    QString text = what.arg(Shown(url));
    if (!outcome.why.isEmpty()) {
        text += QStringLiteral(": ") + outcome.why;
    }
    return (text + QStringLiteral(".\r\n\r\n") + todo).toStdString();
}

void Open(const QUrl& url, Kind kind)
{
    const Launcher launcher = Replacement() ? Replacement() : Launcher(&DesktopLauncher);
    launcher(url, [url, kind](const Outcome& outcome) {
        if (outcome.ok) {
            return;
        }
        // Two pages that fail together (the update page and the download) are one problem.
        static std::set<Kind> showing;
        if (!showing.insert(kind).second) {
            return;
        }
        MessageBox::show(FailureText(url, kind, outcome), MessageBox::Icon::Exclamation);
        showing.erase(kind);
    });
}

Launcher SetLauncher(Launcher launcher)
{
    std::swap(Replacement(), launcher);
    return launcher;
}

} // namespace zlv::launch
