// The notification area exists only on a real window system: this test starts an X server
// of its own with a window manager that has one, and runs the window there.
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace zlv;

namespace {

pid_t Spawn(std::vector<std::string> args, int closeInChild = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        // Goes with the test even when the test crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (closeInChild >= 0) {
            close(closeInChild);
        }
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// An X server on a free display and icewm on it, both ended with the test.
struct Desktop
{
    pid_t server = -1;
    pid_t manager = -1;

    // The display the server took, or nothing when it did not come up (it can lose a race
    // for a display number to another server starting at the same moment).
    std::string startServer()
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return {};
        }
        server = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                        "-nolisten", "tcp"},
                       fds[0]);
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char number[16] = {};
        const bool told = poll(&ready, 1, 15000) == 1 && read(fds[0], number, 15) > 0;
        close(fds[0]);
        usleep(200000);
        if (told && waitpid(server, nullptr, WNOHANG) == 0) {
            return ":" + std::to_string(std::atoi(number));
        }
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        server = -1;
        return {};
    }

    std::string start(const std::string& home)
    {
        for (const char* tool : {"Xvfb", "icewm"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                return std::string(tool) + " is not installed (scripts/setup installs it)";
            }
        }
        std::string display;
        for (int attempt = 0; attempt < 3 && display.empty(); ++attempt) {
            display = startServer();
        }
        if (display.empty()) {
            return "Xvfb did not start";
        }
        setenv("DISPLAY", display.c_str(), 1);
        // The window manager keeps its settings in a home of its own, not the user's.
        const std::string realHome = getenv("HOME") ? getenv("HOME") : "";
        setenv("HOME", home.c_str(), 1);
        manager = Spawn({"icewm"});
        setenv("HOME", realHome.c_str(), 1);
        return {};
    }

    ~Desktop()
    {
        for (pid_t pid : {manager, server}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
    }
};

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_appData;
    test::FakeSource* m_source = nullptr;
    std::vector<std::pair<QString, QWidget*>> m_dismissed; // text and owner of each box
    QTimer m_dismisser;
    int m_quits = 0;

    std::unique_ptr<frmPubMain> makeWindow(const QString& versionUrl = {}, int checkDelayMs = 0)
    {
        frmPubMain::Options o;
        o.appData = m_appData->path();
        o.versionCheckDelayMs = checkDelayMs;
        o.versionUrl = versionUrl;
        o.makeSource = [this](const DataFolder&) {
            auto s = std::make_unique<test::FakeSource>();
            m_source = s.get();
            return s;
        };
        auto w = std::make_unique<frmPubMain>(std::move(o));
        w->show();
        return w;
    }

    // Minimises `w` into the tray and returns the icon's own window.
    static QWidget* minimiseToTray(frmPubMain& w)
    {
        w.showMinimized();
        if (!QTest::qWaitFor([&] { return w.trayIcon()->isShown() && !w.isVisible(); })) {
            return nullptr;
        }
        QWidget* icon = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget* t : QApplication::topLevelWidgets()) {
                if (t != &w && t->isVisible() && !qobject_cast<QMessageBox*>(t) &&
                    t->width() <= 64) {
                    icon = t;
                }
            }
            return icon != nullptr;
        });
        return icon;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_quits += event->type() == QEvent::Quit;
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        InstallQtMessageBoxHandler();
        qApp->installEventFilter(this);
        // The user dismisses each box as it comes, with Escape: Cancel, or OK where that is
        // the only button.
        connect(&m_dismisser, &QTimer::timeout, this, [this] {
            for (QWidget* t : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(t);
                if (box && box->isVisible()) {
                    m_dismissed.emplace_back(box->text(), box->parentWidget());
                    QTest::keyClick(box, Qt::Key_Escape);
                }
            }
        });
        m_dismisser.start(50);
    }
    void init() { m_appData = std::make_unique<test::TempDir>(); }
    void cleanup()
    {
        m_dismissed.clear();
        m_appData.reset();
    }

    void pressingTheIconWithEitherButtonBringsTheWindowBack()
    {
        auto w = makeWindow();
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::LeftButton}) {
            QWidget* icon = minimiseToTray(*w);
            QVERIFY(icon);
            // Through the icon's window, as the window system delivers a press.
            const QPointer<QWindow> alive(icon->windowHandle());
            QTest::mousePress(alive, button, {}, QPoint(4, 4));
            if (alive) {
                QTest::mouseRelease(alive, button, {}, QPoint(4, 4));
            }
            QTRY_VERIFY(w->isVisible() && !w->isMinimized());
            QVERIFY(!w->trayIcon()->isShown());
        }
        QCOMPARE(m_quits, 0);
    }

    void theProgramOutlivesEveryBoxDismissedInTheTray()
    {
        // Nothing listens on port 9 here: the background check finds no connection.
        auto w = makeWindow(QStringLiteral("http://127.0.0.1:9/vers/zlv.txt"), 300);
        QWidget* icon = minimiseToTray(*w);
        QVERIFY(icon);
        QTRY_COMPARE(m_dismissed.size(), std::size_t(1));
        QVERIFY(m_dismissed[0].first.startsWith(QStringLiteral("Cannot connect")));

        // The close question, as the new-version question's OK asks it.
        QVERIFY(!w->close());
        QCOMPARE(m_dismissed.size(), std::size_t(2));

        // A condition the user must act on waits for the window; the tooltip tells at once.
        CaptureIncident full;
        full.reason = GapReason::WriteFailed;
        full.sentence = "The data folder is full.";
        full.ongoing = full.needsAction = true;
        full.isGap = false;
        w->capture()->reportIncident(full);
        QTRY_VERIFY(w->trayIcon()->toolTip().contains(QStringLiteral("The data folder is full.")));
        QTest::qWait(300);
        QCOMPARE(m_dismissed.size(), std::size_t(2));
        QVERIFY(w->trayIcon()->isShown() && w->capture()->isLoaded());

        QTest::mouseClick(icon->windowHandle(), Qt::LeftButton, {}, QPoint(4, 4));
        QTRY_COMPARE(m_dismissed.size(), std::size_t(3));
        QVERIFY(m_dismissed[2].first.startsWith(QStringLiteral("The data folder is full.")));
        w->capture()->reportIncident(full); // the same condition again: no second box
        QTest::qWait(300);
        QCOMPARE(m_dismissed.size(), std::size_t(3));

        for (const auto& [text, owner] : m_dismissed) {
            QVERIFY2(owner == w.get(), qPrintable(text));
        }
        QCOMPARE(m_quits, 0);
        QVERIFY(w->capture()->isLoaded());
    }
};

int main(int argc, char** argv)
{
    test::TempDir home;
    Desktop desktop;
    if (const std::string why = desktop.start(home.path()); !why.empty()) {
        std::printf("SKIP: %s\n", why.c_str());
        return 77;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The icon goes into the X notification area, not to a D-Bus service of the session.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    if (!QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 15000)) {
        std::printf("SKIP: the window manager shows no notification area\n");
        return 77;
    }
    TrayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TrayTest.moc"
