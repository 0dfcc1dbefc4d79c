#include "support/SessionServices.h"

#include <QDBusConnectionInterface>
#include <QStandardPaths>
#include <QTest>

namespace zlv::test {

QString FindTool(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

QString PythonWithDbusmock()
{
    // The system's Python first: a Python of the user's own (pyenv) rarely has the package.
    for (const QString& python :
         {QStringLiteral("/usr/bin/python3"), FindTool(QStringLiteral("python3"))}) {
        if (python.isEmpty()) {
            continue;
        }
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0) {
            return python;
        }
    }
    return {};
}

bool ServiceProcess::start(const QString& program, const QStringList& arguments)
{
    m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, arguments);
    return m_process.waitForStarted(10000);
}

void ServiceProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool PrivateBus::start()
{
    const QString daemon = FindTool(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() ||
        !m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--print-address=1")})) {
        return false;
    }
    if (!m_daemon.process().waitForReadyRead(10000)) {
        return false;
    }
    m_address = QString::fromUtf8(m_daemon.process().readLine()).trimmed();
    if (m_address.isEmpty()) {
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    return true;
}

bool WaitForBusName(const QString& name, int ms)
{
    return QTest::qWaitFor(
        [&] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
        },
        ms);
}

} // namespace zlv::test
