#include "utility/NetworkDrives.h"

#include "utility/MessageBox.h"

#include <QCoreApplication>
#include <QUrl>

namespace zlv {

namespace {

// A listing or an error text is a few hundred bytes; a tool that keeps talking is broken.
constexpr qsizetype kMaxOutputBytes = 1 << 20;

bool IsNetworkScheme(const QString& scheme)
{
    static const QStringList schemes = {
        QStringLiteral("smb"),  QStringLiteral("sftp"), QStringLiteral("ftp"),
        QStringLiteral("ftps"), QStringLiteral("dav"),  QStringLiteral("davs"),
        QStringLiteral("nfs"),
    };
    return schemes.contains(scheme.toLower());
}

} // namespace

bool IsNetworkAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    return url.isValid() && IsNetworkScheme(url.scheme()) && !url.host().isEmpty();
}

QStringList ParseNetworkMounts(const QString& gioMountListing)
{
    // Lines look like "Mount(0): share on host -> smb://host/share/", at the top level or
    // indented under a drive or volume. The name may itself hold " -> ", the URI never
    // holds a blank, so the URI is what follows the last arrow.
    static const QString arrow = QStringLiteral(" -> ");
    QStringList found;
    const QStringList lines = gioMountListing.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (!line.startsWith(QStringLiteral("Mount(")) || !line.contains(QStringLiteral("): "))) {
            continue;
        }
        const qsizetype at = line.lastIndexOf(arrow);
        if (at < 0) {
            continue;
        }
        const QString uri = line.mid(at + arrow.size()).trimmed();
        if (uri.isEmpty() || uri.contains(QLatin1Char(' '))) {
            continue;
        }
        const QUrl url(uri, QUrl::StrictMode);
        if (url.isValid() && IsNetworkScheme(url.scheme()) && !found.contains(uri)) {
            found.append(uri);
        }
    }
    return found;
}

GioCommand::GioCommand(QObject* parent, int timeoutMs) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        m_process.kill();
        finish(false);
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_output += m_process.readAllStandardOutput();
        if (m_output.size() > kMaxOutputBytes) {
            m_process.kill();
            finish(false);
        }
    });
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
        const QByteArray more = m_process.readAllStandardError();
        m_error += more.left(std::max<qsizetype>(0, kMaxOutputBytes - m_error.size()));
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Crashes and time-outs end in finished() as well; only a start failure does not.
        if (error == QProcess::FailedToStart) {
            m_missing = true;
            finish(false);
        }
    });
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                m_output += m_process.readAllStandardOutput();
                finish(status == QProcess::NormalExit && exitCode == 0);
            });
}

GioCommand* GioCommand::start(const QStringList& arguments, QObject* parent, int timeoutMs)
{
    auto* command = new GioCommand(parent ? parent : QCoreApplication::instance(), timeoutMs);
    QProcess& p = command->m_process;
    p.setProgram(QStringLiteral("gio"));
    p.setArguments(arguments);
    p.setStandardInputFile(QProcess::nullDevice());
    command->m_deadline.start();
    // Started from the event loop: a missing tool fails inside start(), and the caller
    // must have connected to finished() by then.
    QMetaObject::invokeMethod(
        command, [command] { command->m_process.start(QIODevice::ReadOnly); },
        Qt::QueuedConnection);
    return command;
}

GioCommand::~GioCommand()
{
    disconnect(&m_process, nullptr, this, nullptr);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

QString GioCommand::problem() const
{
    if (m_missing) {
        return QStringLiteral("the program gio, which connects network drives, could not be "
                              "started");
    }
    if (m_timedOut) {
        return QStringLiteral("no answer came in time");
    }
    // gio's last line says what went wrong, after its own name.
    QString said = QString::fromUtf8(m_error).trimmed().section(QLatin1Char('\n'), -1).trimmed();
    if (said.startsWith(QLatin1String("gio: "))) {
        said.remove(0, 5);
    }
    while (said.endsWith(QLatin1Char('.'))) {
        said.chop(1); // the sentence it goes into ends with its own
    }
    return said.isEmpty() ? QStringLiteral("gio reported a failure") : said;
}

void ReportGioFailure(const GioCommand& command, bool ok, const QString& action,
                      const QString& address)
{
    if (ok) {
        return;
    }
    const QString todo =
        command.toolMissing()
            ? QStringLiteral("Install gio (the package libglib2.0-bin) and the GVfs back-ends "
                             "(gvfs-backends), then try again.")
            : QStringLiteral("Check the share's address and that its server can be reached, "
                             "then try again.");
    // gio names the address itself, which the sentence has said already.
    QString problem = command.problem();
    for (const QString& named : {address, address + QLatin1Char('/')}) {
        if (problem.startsWith(named + QStringLiteral(": "))) {
            problem.remove(0, named.size() + 2);
        }
    }
    const QString text = QStringLiteral("Zelvory could not %1 %2: %3.\r\n\r\n%4")
                             .arg(action, address, problem, todo);
    MessageBox::show(text.toStdString(), MessageBox::Icon::Exclamation);
}

void GioCommand::finish(bool ok)
{
    if (m_done) {
        return;
    }
    m_done = true;
    m_deadline.stop();
    // A killed process still reports back later; nobody listens by then.
    disconnect(&m_process, nullptr, this, nullptr);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
    Q_EMIT finished(ok, QString::fromUtf8(m_output));
    deleteLater();
}

} // namespace zlv
