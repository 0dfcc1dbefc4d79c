#include "FleetRig.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace zlv::bench {

namespace {

QString Rsyslogd()
{
    return QStandardPaths::findExecutable(QStringLiteral("rsyslogd"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

// rsyslog's modules live in /usr/lib/<multiarch>/rsyslog on Debian, /usr/lib/rsyslog
// elsewhere.
bool ModuleInstalled(const QString& module)
{
    QStringList folders{QStringLiteral("/usr/lib")};
    for (const QString& sub : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs)) {
        folders << QStringLiteral("/usr/lib/") + sub;
    }
    for (const QString& folder : folders) {
        if (QFile::exists(folder + QStringLiteral("/rsyslog/") + module + QStringLiteral(".so"))) {
            return true;
        }
    }
    return false;
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The lines of `bytes`, each without its line end; a last line without one is kept.
QList<QByteArray> Lines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty()) {
        lines.removeLast();
    }
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return lines;
}

// Names are bytes; the desktop sends each byte that is not UTF-8 as "?".
QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).replace(QChar(0xFFFD), QLatin1Char('?'));
}

QString Key(const QStringList& fields)
{
    return fields.join(QLatin1Char('\t'));
}

} // namespace

QString Difference(const RecordCounts& written, const RecordCounts& arrived)
{
    QStringList wrong;
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (arrived.value(it.key()) != it.value()) {
            wrong << QStringLiteral("%1 times, not %2: %3")
                         .arg(arrived.value(it.key()))
                         .arg(it.value())
                         .arg(it.key());
        }
    }
    for (auto it = arrived.cbegin(); it != arrived.cend(); ++it) {
        if (!written.contains(it.key())) {
            wrong << QStringLiteral("never written: ") + it.key();
        }
    }
    return wrong.join(QLatin1Char('\n'));
}

QString RsyslogPair::missing()
{
    if (Rsyslogd().isEmpty()) {
        return QStringLiteral("rsyslogd is not installed (Debian: rsyslog)");
    }
    for (const char* module : {"imfile", "mmutf8fix", "mmjsonparse", "imrelp", "omrelp"}) {
        if (!ModuleInstalled(QLatin1String(module))) {
            return QStringLiteral("rsyslog's %1 module is not installed (Debian: rsyslog-relp)")
                .arg(QLatin1String(module));
        }
    }
    return {};
}

RsyslogPair::RsyslogPair(const QString& root, const QString& homes, const QString& contrib)
    : m_root(root), m_homes(homes), m_contrib(contrib)
{
    m_desktop.name = QStringLiteral("desktop");
    m_desktop.folder = root + QStringLiteral("/desktop");
    m_collector.name = QStringLiteral("collector");
    m_collector.folder = root + QStringLiteral("/collector");
}

RsyslogPair::~RsyslogPair()
{
    stop(m_desktop);
    stop(m_collector);
}

bool RsyslogPair::configure()
{
    // A port nobody listens on now; kept for the pair's life, so a restarted collector
    // comes back where the desktop looks for it.
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            return fail(m_collector, QStringLiteral("no free port on 127.0.0.1"));
        }
        m_port = probe.serverPort();
    }
    const QString port = QStringLiteral("port=\"%1\"").arg(m_port);
    const QString shipped = QStringLiteral("port=\"2514\"");
    return writeConfig(m_desktop, QStringLiteral("zelvory-desktop.conf"),
                       {{QStringLiteral("/home/"), m_homes + QLatin1Char('/')},
                        {QStringLiteral("collector.example.org"), QStringLiteral("127.0.0.1")},
                        {shipped, port}}) &&
           writeConfig(
               m_collector, QStringLiteral("zelvory-collector.conf"),
               {{shipped, port + QStringLiteral(" address=\"127.0.0.1\"")},
                {QStringLiteral("/var/log/zelvory/"), collectorFolder() + QLatin1Char('/')}});
}

bool RsyslogPair::writeConfig(Daemon& daemon, const QString& shipped,
                              const QList<std::pair<QString, QString>>& replacements)
{
    QDir().mkpath(daemon.folder + QStringLiteral("/work"));
    QString text = QString::fromUtf8(ReadFile(m_contrib + QLatin1Char('/') + shipped));
    for (const auto& [from, to] : replacements) {
        if (!text.contains(from)) {
            return fail(daemon, QStringLiteral("%1 no longer says %2").arg(shipped, from));
        }
        text.replace(from, to);
    }
    const QString own = daemon.folder + QLatin1Char('/') + shipped;
    const QString main = daemon.folder + QStringLiteral("/rsyslog.conf");
    QFile ownFile(own);
    QFile mainFile(main);
    // rsyslog's own complaints go to a file of its own, for the failure report.
    // Its counters each second, to see what waits in a queue.
    const QString top = QStringLiteral("global(workDirectory=\"%1/work\")\n"
                                       "syslog.* action(type=\"omfile\" file=\"%1/rsyslog.log\")\n"
                                       "module(load=\"impstats\" interval=\"1\" format=\"json\"\n"
                                       "       log.syslog=\"off\" log.file=\"%1/stats.log\")\n"
                                       "include(file=\"%2\")\n")
                            .arg(daemon.folder, own);
    if (!ownFile.open(QIODevice::WriteOnly) || ownFile.write(text.toUtf8()) < 0 ||
        !mainFile.open(QIODevice::WriteOnly) || mainFile.write(top.toUtf8()) < 0) {
        return fail(daemon, QStringLiteral("cannot write its configuration"));
    }
    ownFile.close();
    mainFile.close();
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(Rsyslogd(), {QStringLiteral("-N1"), QStringLiteral("-f"), main});
    if (!check.waitForFinished(30000) || check.exitCode() != 0) {
        return fail(daemon, QStringLiteral("rsyslogd -N1 rejects its configuration:\n") +
                                QString::fromUtf8(check.readAll()));
    }
    return true;
}

bool RsyslogPair::start(Daemon& daemon)
{
    if (daemon.process && daemon.process->state() == QProcess::Running) {
        return true;
    }
    const QString pidFile = daemon.folder + QStringLiteral("/rsyslogd.pid");
    QFile::remove(pidFile);
    daemon.process = std::make_unique<QProcess>();
    daemon.process->setProcessChannelMode(QProcess::MergedChannels);
    daemon.process->setStandardOutputFile(daemon.folder + QStringLiteral("/output.log"),
                                          QIODevice::Append);
    daemon.process->start(Rsyslogd(), {QStringLiteral("-n"), QStringLiteral("-f"),
                                       daemon.folder + QStringLiteral("/rsyslog.conf"),
                                       QStringLiteral("-i"), pidFile});
    if (!daemon.process->waitForStarted(10000)) {
        return fail(daemon, QStringLiteral("does not start"));
    }
    // Up means: the collector takes connections; the desktop has written its pid file,
    // which rsyslogd does once its inputs are set up.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 15000 && daemon.process->state() == QProcess::Running) {
        if (&daemon == &m_collector) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200)) {
                return true;
            }
        } else if (QFile::exists(pidFile)) {
            return true;
        }
        QThread::msleep(50);
    }
    return fail(daemon, QStringLiteral("is not up"));
}

bool RsyslogPair::stop(Daemon& daemon)
{
    if (!daemon.process || daemon.process->state() == QProcess::NotRunning) {
        return true;
    }
    daemon.process->terminate();
    if (daemon.process->waitForFinished(30000)) {
        return true;
    }
    daemon.process->kill();
    daemon.process->waitForFinished(5000);
    return fail(daemon, QStringLiteral("did not stop on SIGTERM within 30 s"));
}

bool RsyslogPair::fail(const Daemon& daemon, const QString& what)
{
    m_error = QStringLiteral("rsyslogd (%1) %2\n").arg(daemon.name, what) +
              QString::fromUtf8(ReadFile(daemon.folder + QStringLiteral("/output.log")) +
                                ReadFile(daemon.folder + QStringLiteral("/rsyslog.log")));
    return false;
}

qint64 RsyslogPair::desktopQueued() const
{
    // The newest counters of the desktop ruleset's queue.
    const QList<QByteArray> stats =
        Lines(ReadFile(m_desktop.folder + QStringLiteral("/stats.log")));
    for (auto line = stats.crbegin(); line != stats.crend(); ++line) {
        // "<date>: {json}"
        const QJsonObject o = QJsonDocument::fromJson(line->mid(line->indexOf('{'))).object();
        if (o.value(QStringLiteral("name")).toString() == QStringLiteral("zelvory-desktop")) {
            return o.value(QStringLiteral("size")).toInteger();
        }
    }
    return 0;
}

QList<QByteArray> RsyslogPair::collected() const
{
    QList<QByteArray> lines;
    const QDir folder(collectorFolder());
    for (const QString& name : folder.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        lines << Lines(ReadFile(folder.filePath(name)));
    }
    return lines;
}

RecordCounts RsyslogPair::arrived(const QString& user) const
{
    RecordCounts counts;
    for (const QByteArray& line : collected()) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const auto v = [&o](const char* key) { return o.value(QLatin1String(key)).toString(); };
        if (v("user") != user || v("host").isEmpty()) {
            ++counts[QStringLiteral("not from %1's desktop: ").arg(user) + QString::fromUtf8(line)];
        } else if (o.value(QStringLiteral("gap")).toBool()) {
            ++counts[Key({QStringLiteral("gap"), v("time"), v("reason"), v("message")})];
        } else if (o.contains(QStringLiteral("damaged_line"))) {
            ++counts[Key({QStringLiteral("damaged"), v("damaged_line")})];
        } else {
            ++counts[Key({v("time"), v("object"), v("action"), v("path"), v("original_name"),
                          v("new_name")})];
        }
    }
    return counts;
}

QString RunningZelvory::fakeTimeLibrary()
{
    for (const QString& sub : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs)) {
        const QString path = QStringLiteral("/usr/lib/%1/faketime/libfaketime.so.1").arg(sub);
        if (QFile::exists(path)) {
            return path;
        }
    }
    return {};
}

RunningZelvory::RunningZelvory(const QString& program, const QString& home)
    : m_program(program), m_home(home)
{}

RunningZelvory::~RunningZelvory()
{
    stop();
}

bool RunningZelvory::start(const QString& work, const QString& fakeStart)
{
    // The runtime folder beside the home, not in it: the lock is no operation to journal.
    const QString runtime = m_home + QStringLiteral("-run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(work);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!fakeStart.isEmpty()) {
        env.insert(QStringLiteral("LD_PRELOAD"), fakeTimeLibrary());
        env.insert(QStringLiteral("FAKETIME"), QLatin1Char('@') + fakeStart);
    }
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_program, {});
    m_started.start();
    if (!m_process.waitForStarted(10000)) {
        return false;
    }
    for (int knock = 0; m_started.elapsed() < 20000; ++knock) {
        QFile(QStringLiteral("%1/knock-%2").arg(work).arg(knock)).open(QIODevice::WriteOnly);
        QThread::msleep(250);
        if (!lines(QStringLiteral("*.log")).isEmpty()) {
            return true;
        }
    }
    return false;
}

void RunningZelvory::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString RunningZelvory::logsFolder() const
{
    return m_home + QStringLiteral("/.local/share/QBS/ZLV/logs");
}

QList<QByteArray> RunningZelvory::lines(const QString& pattern) const
{
    QStringList files;
    QDirIterator it(logsFolder(), {pattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    files.sort();
    QList<QByteArray> all;
    for (const QString& file : files) {
        all << Lines(ReadFile(file));
    }
    return all;
}

RecordCounts RunningZelvory::written() const
{
    RecordCounts counts;
    for (const QByteArray& line : lines(QStringLiteral("*.log"))) {
        const QList<QByteArray> f = line.split('\t');
        ++counts[f.size() < 6 ? Key({QStringLiteral("damaged"), Text(line)})
                              : Key({Text(f[0]), Text(f[1]), Text(f[2]), Text(f[3]), Text(f[4]),
                                     Text(f[5])})];
    }
    for (const QByteArray& line : lines(QStringLiteral("*.gaps"))) {
        ++counts[QStringLiteral("gap\t") + Text(line)];
    }
    return counts;
}

} // namespace zlv::bench
