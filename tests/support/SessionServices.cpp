#include "support/SessionServices.h"

#include <QDBusConnection>
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
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
        if (!python.isEmpty() && probe.waitForFinished(10000) &&
            probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0) {
            return python;
        }
    }
    return {};
}

bool ServiceProcess::run(const QString& program, const QStringList& arguments)
{
    setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    start(program, arguments);
    return waitForStarted(10000);
}

void ServiceProcess::stop()
{
    if (state() != QProcess::NotRunning) {
        terminate();
        if (!waitForFinished(5000)) {
            kill();
            waitForFinished(5000);
        }
    }
}

bool PrivateBus::start()
{
    if (!daemon.run(FindTool(QStringLiteral("dbus-daemon")),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")}) ||
        !daemon.waitForReadyRead(10000)) {
        return false;
    }
    const QByteArray address = daemon.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    return !address.isEmpty();
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
