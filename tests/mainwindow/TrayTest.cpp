// The notification area exists only on a real window system: this test runs itself again
// under an X server of its own (xvfb-run) and starts icewm there, which has one.
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/TrayIcon.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace zlv;

class TrayTest : public QObject
{
    Q_OBJECT

    test::TempDir m_appData;
    test::FakeSource* m_source = nullptr;
    std::vector<std::pair<QString, QWidget*>> m_dismissed; // text and owner of each box
    QTimer m_dismisser;
    int m_quits = 0;

    // Minimises `w` into the tray and returns the icon's own window.
    static QWindow* minimiseToTray(frmPubMain& w)
    {
        w.showMinimized();
        QWindow* icon = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget* t : QApplication::topLevelWidgets()) {
                if (t != &w && t->isVisible() && !qobject_cast<QMessageBox*>(t) &&
                    t->width() <= 64) {
                    icon = t->windowHandle();
                }
            }
            // Pressed only once the notification area has taken the icon in.
            return icon && icon->isExposed() && w.trayIcon()->isShown() && !w.isVisible();
        });
        QTest::qWait(200); // the window manager may still be moving it into its place
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
                if (auto* box = qobject_cast<QMessageBox*>(t); box && box->isVisible()) {
                    m_dismissed.emplace_back(box->text(), box->parentWidget());
                    QTest::keyClick(box, Qt::Key_Escape);
                }
            }
        });
        m_dismisser.start(50);
    }

    void eitherButtonOnTheIconRestoresTheWindow()
    {
        // Nothing listens on port 9 here: a version check finds no connection.
        auto w = test::MakeTestWindow(m_appData.path(), m_source, std::nullopt,
                                      QStringLiteral("http://127.0.0.1:9/vers/zlv.txt"));
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            const QPointer<QWindow> icon = minimiseToTray(*w);
            QVERIFY(icon);
            // Through the icon's window, as the window system delivers a press.
            QTest::mousePress(icon, button, {}, QPoint(4, 4));
            if (icon) {
                QTest::mouseRelease(icon, button, {}, QPoint(4, 4));
            }
            QTRY_VERIFY(w->isVisible() && !w->isMinimized() && !w->trayIcon()->isShown());
        }
        QCOMPARE(m_quits, 0);
    }

    void inTheTrayRecordingGoesOnAndEveryBoxWaitsForTheWindow()
    {
        auto w = test::MakeTestWindow(m_appData.path(), m_source, std::nullopt,
                                      QStringLiteral("http://127.0.0.1:9/vers/zlv.txt"));
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        m_dismissed.clear();
        w->showHistoryView();
        QWindow* icon = minimiseToTray(*w);
        QVERIFY(icon);
        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"t", "/h/t"});
        // On disk at once; the list nobody sees reads it when the window comes back.
        const std::string day = w->dataFolder().dayFilePath(Clock::instance().now().date);
        QVERIFY(test::ReadAll(day).find("\tt\t") != std::string::npos);
        QCOMPARE(w->lsvToday()->rowCount(), 0);
        w->checkLatestVersion();
        QCOMPARE(m_dismissed.size(), std::size_t(1));
        QVERIFY(!w->close()); // the close question, as the new-version question's OK asks it
        QCOMPARE(m_dismissed.size(), std::size_t(2));
        // A condition the user must act on waits for the window; the tooltip tells at once.
        w->capture()->reportIncident({.reason = GapReason::WriteFailed,
                                      .sentence = "The data folder is full.",
                                      .ongoing = true,
                                      .needsAction = true});
        QTRY_VERIFY(w->trayIcon()->toolTip().contains(QStringLiteral("The data folder is full.")));
        QTest::qWait(200);
        QCOMPARE(m_dismissed.size(), std::size_t(2));
        QTest::mouseClick(icon, Qt::LeftButton, {}, QPoint(4, 4));
        QTRY_COMPARE(m_dismissed.size(), std::size_t(3));
        QVERIFY(m_dismissed[2].first.startsWith(QStringLiteral("The data folder is full.")));
        QCOMPARE(w->lsvToday()->rowCount(), 1);
        QCOMPARE(w->lsvToday()->logModel()->text(0, 3), QStringLiteral("/h/"));

        for (const auto& [text, owner] : m_dismissed) {
            QVERIFY2(owner == w.get(), qPrintable(text));
        }
        QCOMPARE(m_quits, 0);
        QVERIFY(w->capture()->isLoaded() && w->lsvHistory()->isVisible());
    }
};

int main(int argc, char** argv)
{
    if (!getenv("ZLV_TRAY_DESKTOP")) {
        for (const char* tool : {"xvfb-run", "Xvfb", "xauth", "icewm"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                std::printf("SKIP: %s is not installed (scripts/setup installs it)\n", tool);
                return 77;
            }
        }
        setenv("ZLV_TRAY_DESKTOP", "1", 1);
        std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                const_cast<char*>("-s"),
                                const_cast<char*>("-screen 0 1024x768x24 -nolisten tcp")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::printf("SKIP: xvfb-run could not be started\n");
        return 77;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The icon goes into the X notification area, not to a D-Bus service of the session.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    test::TempDir home; // icewm keeps its settings there, not in the user's home
    QProcess wm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QString::fromStdString(home.path()));
    wm.setProcessEnvironment(env);
    wm.start(QStringLiteral("icewm"), {});
    int rc = 77;
    if (!QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 15000)) {
        std::printf("SKIP: icewm shows no notification area\n");
    } else {
        TrayTest test;
        rc = QTest::qExec(&test, argc, argv);
    }
    wm.terminate();
    wm.waitForFinished(5000);
    return rc;
}

#include "TrayTest.moc"
