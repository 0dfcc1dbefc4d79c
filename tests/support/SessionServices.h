#pragma once

#include <QProcess>
#include <QString>

// Real desktop services for the tests that need them (a session bus, a notification area, a
// notification server, a Wayland compositor), each a process of the test's own that stops
// when its object goes.
namespace zlv::test {

// The program `name` on PATH; empty when it is not installed.
QString FindTool(const QString& name);
// A Python 3 that has the dbusmock module; empty when there is none.
QString PythonWithDbusmock();

class ServiceProcess final : public QProcess
{
public:
    ~ServiceProcess() override { stop(); }
    // Started with the test's own environment as it is now.
    bool run(const QString& program, const QStringList& arguments);
    void stop();
};

// A session bus for the test alone; its address goes into DBUS_SESSION_BUS_ADDRESS.
struct PrivateBus
{
    bool start();
    ServiceProcess daemon;
};

// Whether `name` gets an owner on the session bus within `ms`.
bool WaitForBusName(const QString& name, int ms = 10000);

} // namespace zlv::test
