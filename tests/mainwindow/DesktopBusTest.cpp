// The notification area and the notifications of today's desktops live on the session bus:
// this test starts a bus of its own, with the notification area's watcher from Debian and
// a mock notification server, and drives the window against them. 77 (skipped) when they
// are not installed.
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/StatusNotifierItem.h"
#include "mainwindow/TrayIcon.h"
#include "support/ScriptedMessages.h"
#include "support/SessionServices.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"

#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTest>
#include <cstdio>

using namespace zlv;

namespace {

QString g_python;

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

QVariant Property(const QString& service, const QString& path, const QString& interface,
                  const QString& name)
{
    QDBusInterface properties(service, path, QStringLiteral("org.freedesktop.DBus.Properties"));
    const QDBusReply<QDBusVariant> reply = properties.call(QStringLiteral("Get"), interface, name);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

struct Pictures
{
    int count = 0;
    bool sized = true; // every picture holds 4 bytes a pixel
};

Pictures ReadPictures(const QDBusArgument& in)
{
    Pictures p;
    in.beginArray();
    while (!in.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray argb;
        in.beginStructure();
        in >> width >> height >> argb;
        in.endStructure();
        ++p.count;
        p.sized = p.sized && width > 0 && argb.size() == qsizetype(width) * height * 4;
    }
    in.endArray();
    return p;
}

// Each Notify the mock server was sent: its arguments.
QList<QVariantList> NotifyCalls()
{
    QDBusInterface mock(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                        QStringLiteral("org.freedesktop.DBus.Mock"));
    const QDBusMessage reply =
        mock.call(QStringLiteral("GetMethodCalls"), QStringLiteral("Notify"));
    QList<QVariantList> calls;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return calls;
    }
    const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        quint64 time = 0;
        QVariantList arguments;
        list.beginStructure();
        list >> time >> arguments;
        list.endStructure();
        for (QVariant& a : arguments) {
            if (a.userType() == qMetaTypeId<QDBusVariant>()) {
                a = a.value<QDBusVariant>().variant();
            }
        }
        calls << arguments;
    }
    list.endArray();
    return calls;
}

} // namespace

class DesktopBusTest : public QObject
{
    Q_OBJECT

    test::TempDir m_appData;
    test::FakeSource* m_source = nullptr;
    test::ServiceProcess m_watcher;

    void startArea()
    {
        QVERIFY(m_watcher.start(test::FindTool(QStringLiteral("status-notifier-watcher")), {}));
        QVERIFY(test::WaitForBusName(kWatcher));
        // A panel shows the icons: it announces itself as a host.
        QDBusInterface watcher(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher);
        QVERIFY(watcher
                    .call(QStringLiteral("RegisterStatusNotifierHost"),
                          QDBusConnection::sessionBus().baseService())
                    .type() == QDBusMessage::ReplyMessage);
    }

    static QStringList areaItems()
    {
        return Property(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                        QStringLiteral("RegisteredStatusNotifierItems"))
            .toStringList();
    }

private Q_SLOTS:
    void theBusAreaIsFollowedAndItsIconSaysWhatTheJournalNeeds()
    {
        auto w = test::MakeTestWindow(m_appData.path(), m_source, std::nullopt);
        auto* hide = w->findChild<QAction*>(QStringLiteral("menln"));
        QVERIFY(!w->trayIcon()->available() && !hide->isEnabled());
        // Started with the session before the panel: shown until the panel comes.
        w->hide();
        w->trayIcon()->startInTray();
        QVERIFY(w->isVisible() && !w->trayIcon()->isShown());

        startArea();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        QVERIFY(hide->isEnabled());
        const QString service = w->trayIcon()->busItem()->serviceName();
        QTRY_VERIFY(areaItems().join(QLatin1Char(' ')).contains(service));
        const QString item = QStringLiteral("org.kde.StatusNotifierItem");
        const QString path = QStringLiteral("/StatusNotifierItem");
        QCOMPARE(Property(service, path, item, QStringLiteral("Status")).toString(),
                 QStringLiteral("Active"));
        QCOMPARE(Property(service, path, item, QStringLiteral("IconName")).toString(),
                 QStringLiteral("zelvory"));
        const Pictures icon = ReadPictures(
            Property(service, path, item, QStringLiteral("IconPixmap")).value<QDBusArgument>());
        QVERIFY(icon.count > 0 && icon.sized);

        // A gap: the icon asks for attention and its tooltip says what happened.
        CaptureIncident burst;
        burst.sentence = "The event queue overflowed.";
        w->capture()->reportIncident(burst);
        QTRY_COMPARE(Property(service, path, item, QStringLiteral("Status")).toString(),
                     QStringLiteral("NeedsAttention"));
        const QDBusArgument tip =
            Property(service, path, item, QStringLiteral("ToolTip")).value<QDBusArgument>();
        QString iconName, title, text;
        tip.beginStructure();
        tip >> iconName;
        ReadPictures(tip);
        tip >> title >> text;
        tip.endStructure();
        QCOMPARE(title, QStringLiteral("Zelvory"));
        QVERIFY2(text.contains(QStringLiteral("The event queue overflowed.")), qPrintable(text));

        // The first or the second button brings the window back; the middle one does not.
        QDBusInterface icon2(service, path, item);
        icon2.call(QStringLiteral("SecondaryActivate"), 0, 0);
        QTest::qWait(100);
        QVERIFY(!w->isVisible());
        icon2.call(QStringLiteral("ContextMenu"), 0, 0);
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown());
        QTRY_VERIFY(!areaItems().join(QLatin1Char(' ')).contains(service));

        // The Logs menu's way into the area, then the panel goes: the window must come back.
        hide->trigger();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        m_watcher.stop();
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown());
        QTRY_VERIFY(!hide->isEnabled());
        // A panel again: the window goes back where the user had put it.
        startArea();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        QDBusInterface(w->trayIcon()->busItem()->serviceName(), path, item)
            .call(QStringLiteral("Activate"), 0, 0);
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown());
        m_watcher.stop();
    }

    void anIncidentIsOneNotificationWhoseActionBringsTheWindowBack()
    {
        if (g_python.isEmpty()) {
            QSKIP("python3-dbusmock is not installed (scripts/setup installs it)");
        }
        test::ServiceProcess server;
        QVERIFY(server.start(g_python, {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                                        QStringLiteral("--template"),
                                        QStringLiteral("notification_daemon")}));
        QVERIFY(test::WaitForBusName(kNotifications));
        test::ScriptedMessages messages;
        auto w = test::MakeTestWindow(m_appData.path(), m_source, false);
        w->showMinimized();

        CaptureIncident burst;
        burst.sentence = "The event queue overflowed.";
        w->capture()->reportIncident(burst);
        QTRY_COMPARE(NotifyCalls().size(), 1);
        QTest::qWait(200);
        QList<QVariantList> calls = NotifyCalls();
        QCOMPARE(calls.size(), 1);
        const QVariantList& first = calls[0];
        QCOMPARE(first[0].toString(), QStringLiteral("Zelvory"));
        QCOMPARE(first[1].toUInt(), 0u);
        QCOMPARE(first[2].toString(), QStringLiteral("zelvory"));
        QVERIFY(first[4].toString().contains(QStringLiteral("The event queue overflowed.")));
        QVERIFY(qdbus_cast<QStringList>(first[5]).contains(QStringLiteral("default")));
        QCOMPARE(
            qdbus_cast<QVariantMap>(first[6]).value(QStringLiteral("desktop-entry")).toString(),
            QStringLiteral("zelvory"));

        // The burst goes on: the same notification, replaced. The user must act on a full
        // disk: a notification of its own, and no box alone on the desktop.
        w->capture()->reportIncident(burst);
        CaptureIncident full;
        full.reason = GapReason::WriteFailed;
        full.sentence = "The data folder is full.";
        full.ongoing = full.needsAction = true;
        full.isGap = false;
        w->capture()->reportIncident(full);
        QTRY_COMPARE(NotifyCalls().size(), 3);
        calls = NotifyCalls();
        const uint id = calls[1][1].toUInt();
        QVERIFY(id != 0);
        QCOMPARE(calls[2][1].toUInt(), 0u);
        QTest::qWait(100);
        QVERIFY(messages.shown().empty());

        // Choosing the notification brings the window back, and with it the box.
        QDBusInterface mock(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                            QStringLiteral("org.freedesktop.DBus.Mock"));
        mock.call(QStringLiteral("EmitSignal"), kNotifications, QStringLiteral("ActionInvoked"),
                  QStringLiteral("us"), QVariantList{id, QStringLiteral("default")});
        QTRY_VERIFY(w->isVisible() && !w->isMinimized());
        QTRY_COMPARE(messages.shown().size(), std::size_t(1));
        QVERIFY(messages.shown()[0].text.starts_with("The data folder is full."));

        // With the window in front, the window itself tells.
        w->activateWindow();
        QTRY_VERIFY(QApplication::activeWindow() == w.get());
        w->capture()->reportIncident(burst);
        QTest::qWait(200);
        QCOMPARE(NotifyCalls().size(), 3);
    }
};

int main(int argc, char** argv)
{
    for (const char* tool : {"dbus-daemon", "status-notifier-watcher"}) {
        if (zlv::test::FindTool(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("SKIP: %s is not installed (scripts/setup installs it)\n", tool);
            return 77;
        }
    }
    zlv::test::PrivateBus bus;
    if (!bus.start()) {
        std::printf("SKIP: no private session bus could be started\n");
        return 77;
    }
    g_python = zlv::test::PythonWithDbusmock();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DesktopBusTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopBusTest.moc"
