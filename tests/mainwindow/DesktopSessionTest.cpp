// Zelvory on the desktop of today, for real: under a headless weston of its own (private
// runtime folder and socket), on a session bus of its own with Debian's notification-area
// watcher and a mock notification server. 77 (skipped) when they are not installed.
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/QtMessageBox.h"
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
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace zlv;

namespace {

QString g_python;
const QString kArea = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

QVariant Property(const QString& service, const QString& path, const QString& interface,
                  const QString& name)
{
    const QDBusReply<QDBusVariant> reply =
        QDBusInterface(service, path, QStringLiteral("org.freedesktop.DBus.Properties"))
            .call(QStringLiteral("Get"), interface, name);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

// How many pictures an icon property holds, or -1 when one is not 4 bytes a pixel.
int Pictures(const QDBusArgument& in)
{
    int count = 0;
    for (in.beginArray(); !in.atEnd();) {
        int width = 0, height = 0;
        QByteArray argb;
        in.beginStructure();
        in >> width >> height >> argb;
        in.endStructure();
        count = (count >= 0 && argb.size() == qsizetype(width) * height * 4) ? count + 1 : -1;
    }
    in.endArray();
    return count;
}

// The arguments of each Notify the mock server was sent.
QList<QVariantList> NotifyCalls()
{
    const QDBusMessage reply =
        QDBusInterface(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                       QStringLiteral("org.freedesktop.DBus.Mock"))
            .call(QStringLiteral("GetMethodCalls"), QStringLiteral("Notify"));
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
        calls << arguments;
    }
    list.endArray();
    return calls;
}

} // namespace

class DesktopSessionTest : public QObject
{
    Q_OBJECT

    test::TempDir m_appData;
    test::FakeSource* m_source = nullptr;
    test::ServiceProcess m_watcher;

    // A panel comes: the watcher, and a host that shows what registers with it.
    void startArea()
    {
        QVERIFY(m_watcher.run(test::FindTool(QStringLiteral("status-notifier-watcher")), {}));
        QVERIFY(test::WaitForBusName(kArea));
        // The watcher takes its name a moment before it answers on it.
        QVERIFY(QTest::qWaitFor([] {
            return QDBusInterface(kArea, QStringLiteral("/StatusNotifierWatcher"), kArea)
                       .call(QStringLiteral("RegisterStatusNotifierHost"),
                             QDBusConnection::sessionBus().baseService())
                       .type() == QDBusMessage::ReplyMessage;
        }));
    }

private Q_SLOTS:
    void theAreaIsFollowedAndItsIconSaysWhatTheJournalNeeds()
    {
        auto w = test::MakeTestWindow(m_appData.path(), m_source, std::nullopt);
        auto* hide = w->findChild<QAction*>(QStringLiteral("menln"));
        QVERIFY(!w->trayIcon()->available() && !hide->isEnabled());
        // Started with the session before the panel: shown until the panel comes.
        w->hide();
        w->trayIcon()->startInTray();
        QVERIFY(w->isVisible());
        startArea();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        const QString service = w->trayIcon()->busItem()->serviceName();
        QTRY_VERIFY(Property(kArea, QStringLiteral("/StatusNotifierWatcher"), kArea,
                             QStringLiteral("RegisteredStatusNotifierItems"))
                        .toString()
                        .contains(service));
        const auto status = [&] {
            return Property(service, kItemPath, kItem, QStringLiteral("Status")).toString();
        };
        QCOMPARE(status(), QStringLiteral("Active"));
        QVERIFY(Pictures(Property(service, kItemPath, kItem, QStringLiteral("IconPixmap"))
                             .value<QDBusArgument>()) > 0);

        // A gap: the icon asks for attention and its tooltip says what happened.
        const CaptureIncident burst{.sentence = "The event queue overflowed."};
        w->capture()->reportIncident(burst);
        QTRY_COMPARE(status(), QStringLiteral("NeedsAttention"));
        const QDBusArgument tip =
            Property(service, kItemPath, kItem, QStringLiteral("ToolTip")).value<QDBusArgument>();
        QString iconName, title, text;
        tip.beginStructure();
        tip >> iconName;
        Pictures(tip);
        tip >> title >> text;
        QVERIFY(title == QStringLiteral("Zelvory") && text.contains(QStringLiteral("overflowed")));
        // A press brings the window back, mapped again.
        QDBusInterface(service, kItemPath, kItem).call(QStringLiteral("Activate"), 0, 0);
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown());
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        // The panel goes with the window in it: the window comes back, and goes in again
        // when a panel is there again.
        hide->trigger();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        m_watcher.stop();
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown() && !hide->isEnabled());
        startArea();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        m_watcher.stop();
    }

    void anIncidentIsOneNotificationWhoseActionBringsTheWindowBack()
    {
        if (g_python.isEmpty()) {
            QSKIP("python3-dbusmock is not installed (scripts/setup installs it)");
        }
        test::ServiceProcess server;
        QVERIFY(server.run(g_python,
                           {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                            QStringLiteral("--template"), QStringLiteral("notification_daemon")}));
        QVERIFY(test::WaitForBusName(kNotifications));
        test::ScriptedMessages messages;
        auto w = test::MakeTestWindow(m_appData.path(), m_source, false);
        w->showMinimized();

        const CaptureIncident burst{.sentence = "The event queue overflowed."};
        w->capture()->reportIncident(burst);
        QTRY_COMPARE(NotifyCalls().size(), 1);
        QTest::qWait(200);
        QCOMPARE(NotifyCalls().size(), 1);
        // Program, icon, text, the action that opens the window, the desktop entry.
        const QVariantList first = NotifyCalls()[0];
        QVERIFY(first[0] == QStringLiteral("Zelvory") && first[2] == QStringLiteral("zelvory") &&
                first[4].toString().contains(QStringLiteral("The event queue overflowed.")) &&
                qdbus_cast<QStringList>(first[5]).contains(QStringLiteral("default")) &&
                qdbus_cast<QVariantMap>(first[6])[QStringLiteral("desktop-entry")] ==
                    QStringLiteral("zelvory"));

        // The burst goes on: the same notification, replaced. A full disk is another matter
        // the user must act on: no box alone on the desktop meanwhile (here no window system
        // tells a minimised window from one in front but without the focus).
        w->capture()->reportIncident(burst);
        w->capture()->reportIncident({.reason = GapReason::WriteFailed,
                                      .sentence = "The data folder is full.",
                                      .ongoing = true,
                                      .needsAction = true,
                                      .isGap = false});
        QTRY_COMPARE(NotifyCalls().size(), 3);
        const uint id = NotifyCalls()[1][1].toUInt();
        QVERIFY(id != 0 && NotifyCalls()[2][1].toUInt() == 0);
        QTest::qWait(100);
        QVERIFY(messages.shown().empty());

        // Choosing the notification brings the window back, and with it the box.
        QDBusInterface(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                       QStringLiteral("org.freedesktop.DBus.Mock"))
            .call(QStringLiteral("EmitSignal"), kNotifications, QStringLiteral("ActionInvoked"),
                  QStringLiteral("us"), QVariantList{id, QStringLiteral("default")});
        QTRY_VERIFY(w->isVisible() && !w->isMinimized());
        // The user comes to it (a headless compositor has no keyboard to give it the focus).
        QVERIFY(messages.shown().empty());
        QApplication::setActiveWindow(w.get());
        QTRY_COMPARE(messages.shown().size(), std::size_t(1));
        QVERIFY(messages.shown()[0].text.starts_with("The data folder is full."));
    }

    void startsRecordsHidesInTheAreaAndAsksBeforeClosing()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        InstallQtMessageBoxHandler();
        auto w = test::MakeTestWindow(m_appData.path(), m_source, std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"a.txt", "/h/a.txt"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 1);

        // The close question is a box of its own, with a title bar: No keeps recording.
        int asked = 0;
        bool yes = false;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            for (QWidget* t : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(t);
                if (box && box->isVisible() && box->windowHandle()->isExposed()) {
                    ++asked;
                    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
                    QVERIFY(box->windowHandle()->frameMargins().top() > 0);
                    box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                }
            }
        });
        answer.start(50);
        QVERIFY(!w->close());
        QVERIFY(asked == 1 && w->isVisible() && w->capture()->isLoaded());
        yes = true;
        QVERIFY(w->close());
        QVERIFY(asked == 2 && !w->capture()->isLoaded());
    }
};

int main(int argc, char** argv)
{
    for (const char* tool : {"weston", "dbus-daemon", "status-notifier-watcher"}) {
        if (zlv::test::FindTool(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("SKIP: %s is not installed (scripts/setup installs it)\n", tool);
            return 77;
        }
    }
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                           QStringLiteral("/platforms/libqwayland-generic.so"))) {
        std::printf("SKIP: qt6-wayland is not installed (scripts/setup installs it)\n");
        return 77;
    }
    zlv::test::TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    const QString socket = QStringLiteral("zlv-test-%1").arg(::getpid());
    zlv::test::ServiceProcess weston;
    zlv::test::PrivateBus bus;
    if (!weston.run(zlv::test::FindTool(QStringLiteral("weston")),
                    {QStringLiteral("--backend=headless-backend.so"),
                     QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0"),
                     QStringLiteral("--no-config")}) ||
        !QTest::qWaitFor([path = QString::fromStdString(
                              runtime / socket.toStdString())] { return QFileInfo::exists(path); },
                         15000) ||
        !bus.start()) {
        std::printf("SKIP: weston or a private session bus did not start\n");
        return 77;
    }
    g_python = zlv::test::PythonWithDbusmock();
    qputenv("WAYLAND_DISPLAY", socket.toUtf8());
    qputenv("QT_QPA_PLATFORM", "wayland");
    qunsetenv("DISPLAY");
    QApplication app(argc, argv);
    DesktopSessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopSessionTest.moc"
