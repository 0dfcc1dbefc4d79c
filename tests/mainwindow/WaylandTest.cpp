// Zelvory as a native Wayland client: this test runs under a headless weston of its own
// (a private runtime folder and socket) with a session bus of its own for the notification
// area. 77 (skipped) when weston, Qt's Wayland plug-in or the bus tools are not installed.
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/StatusNotifierItem.h"
#include "mainwindow/TrayIcon.h"
#include "support/SessionServices.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"

#include <QAction>
#include <QApplication>
#include <QDBusInterface>
#include <QDir>
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

class WaylandTest : public QObject
{
    Q_OBJECT

    test::TempDir m_appData;
    test::FakeSource* m_source = nullptr;

private Q_SLOTS:
    void startsRecordsHidesInTheAreaAndAsksBeforeClosing()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        InstallQtMessageBoxHandler();
        auto w = test::MakeTestWindow(m_appData.path(), m_source, std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"a.txt", "/h/a.txt"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 1);

        // The window cannot learn that it was minimised here; the Logs menu's command takes
        // it into the notification area (a headless compositor has no keyboard to press its
        // key with).
        test::ServiceProcess watcher;
        QVERIFY(watcher.start(test::FindTool(QStringLiteral("status-notifier-watcher")), {}));
        const QString area = QStringLiteral("org.kde.StatusNotifierWatcher");
        QVERIFY(test::WaitForBusName(area));
        QDBusInterface(area, QStringLiteral("/StatusNotifierWatcher"), area)
            .call(QStringLiteral("RegisterStatusNotifierHost"),
                  QDBusConnection::sessionBus().baseService());
        QTRY_VERIFY(w->trayIcon()->available());
        w->findChild<QAction*>(QStringLiteral("menln"))->trigger();
        QTRY_VERIFY(w->trayIcon()->isShown() && !w->isVisible());
        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"b.txt", "/h/b.txt"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 2);
        QDBusInterface(w->trayIcon()->busItem()->serviceName(),
                       QStringLiteral("/StatusNotifierItem"),
                       QStringLiteral("org.kde.StatusNotifierItem"))
            .call(QStringLiteral("Activate"), 0, 0);
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown());
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        // The close question is a box of its own, with a title bar: No keeps recording.
        QList<QMessageBox*> boxes;
        bool answerYes = false;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            for (QWidget* t : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(t);
                if (!box || !box->isVisible() || !box->windowHandle() ||
                    !box->windowHandle()->isExposed()) {
                    continue;
                }
                boxes << box;
                QVERIFY(box->text().startsWith(QStringLiteral("Are you sure")));
                QCOMPARE(box->windowModality(), Qt::ApplicationModal);
                QVERIFY(box->windowHandle()->frameMargins().top() > 0);
                box->button(answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
            }
        });
        answer.start(50);
        QVERIFY(!w->close());
        QCOMPARE(boxes.size(), 1);
        QVERIFY(w->isVisible() && w->capture()->isLoaded());
        answerYes = true;
        QVERIFY(w->close());
        QCOMPARE(boxes.size(), 2);
        QVERIFY(!w->capture()->isLoaded());
    }
};

int main(int argc, char** argv)
{
    const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                           QStringLiteral("/platforms/libqwayland-generic.so");
    if (!QFileInfo::exists(plugin)) {
        std::printf("SKIP: Qt's Wayland plug-in is not installed (scripts/setup installs "
                    "qt6-wayland)\n");
        return 77;
    }
    for (const char* tool : {"weston", "dbus-daemon", "status-notifier-watcher"}) {
        if (zlv::test::FindTool(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("SKIP: %s is not installed (scripts/setup installs it)\n", tool);
            return 77;
        }
    }
    zlv::test::TempDir runtime; // private: weston's socket and Qt's runtime files
    ::chmod(runtime.path().c_str(), 0700);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    const QString socket = QStringLiteral("zlv-wayland-test-%1").arg(::getpid());
    zlv::test::ServiceProcess weston;
    if (!weston.start(zlv::test::FindTool(QStringLiteral("weston")),
                      {QStringLiteral("--backend=headless-backend.so"),
                       QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0"),
                       QStringLiteral("--no-config")}) ||
        !QTest::qWaitFor(
            [&] {
                return QFileInfo::exists(QString::fromStdString(runtime.path()) + QLatin1Char('/') +
                                         socket);
            },
            15000)) {
        std::printf("SKIP: weston did not start\n");
        return 77;
    }
    zlv::test::PrivateBus bus;
    if (!bus.start()) {
        std::printf("SKIP: no private session bus could be started\n");
        return 77;
    }
    qputenv("WAYLAND_DISPLAY", socket.toUtf8());
    qputenv("QT_QPA_PLATFORM", "wayland");
    qunsetenv("DISPLAY");
    int rc = 0;
    {
        QApplication app(argc, argv);
        WaylandTest test;
        rc = QTest::qExec(&test, argc, argv);
    }
    return rc;
}

#include "WaylandTest.moc"
