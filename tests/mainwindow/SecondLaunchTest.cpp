// A second launch of the real program while this test holds the instance lock, as the
// first instance does: it must hand over its tokens and end, and the window must come
// forward. The socket must also stand up to whatever else connects to it.
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/SingleInstance.h"
#include "mainwindow/TrayIcon.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>

using namespace zlv;

class SecondLaunchTest : public QObject
{
    Q_OBJECT

    test::TempDir m_home;
    test::TempDir m_appData;
    test::FakeSource* m_source = nullptr;
    std::string m_socket;

    // The real program, started as a launcher starts it; its exit status.
    int launch(const QByteArray& token, const QByteArray& startupId)
    {
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QString::fromLatin1(token));
        env.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QString::fromLatin1(startupId));
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(ZLV_APP_PATH), {});
        return second.waitForFinished(10000) ? second.exitCode() : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The lock, and so the socket, where the program started below looks for them.
        const QString run = QString::fromStdString(m_home / "run");
        QVERIFY(QDir().mkpath(run));
        QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
        qputenv("HOME", QByteArray::fromStdString(m_home.path()));
        qputenv("XDG_RUNTIME_DIR", run.toUtf8());
        qunsetenv("XDG_DATA_HOME");
        m_socket = InstanceSocketPath(SingleInstance::lockPath());
        QVERIFY(!m_socket.empty());
    }

    void aSecondLaunchBringsTheFirstForwardAndEnds()
    {
        SingleInstance first;
        QVERIFY(first.acquire());
        auto w = test::MakeTestWindow(m_appData.path(), m_source, true);
        InstanceChannel channel(m_socket);
        QVERIFY(channel.listening());
        std::vector<LaunchTokens> asked;
        connect(&channel, &InstanceChannel::activationRequested, w.get(), [&](const auto& t) {
            asked.push_back(t);
            w->bringForward(t);
        });

        // From the notification area, then from the taskbar with no token at all.
        QVERIFY(w->trayIcon()->AddTrayIcon() && !w->isVisible());
        QCOMPARE(launch("wl-token-1", "launcher-1_TIME4242"), 0);
        QTRY_VERIFY(w->isVisible() && !w->trayIcon()->isShown());
        QVERIFY(asked.size() == 1 && asked[0].xdgActivationToken == "wl-token-1" &&
                asked[0].startupId == "launcher-1_TIME4242");
        w->showMinimized();
        QCOMPARE(launch({}, {}), 0);
        QTRY_VERIFY(!w->isMinimized() && w->isVisible() && asked.size() == 2);

        // On X11 the launch's feedback ends with this message, its id quoted as the protocol
        // reads it back.
        QCOMPARE(StartupRemoveMessage("my app\"1\\_TIME9"),
                 QByteArray("remove: ID=\"my app\\\"1\\\\_TIME9\""));
        // Nobody listens once the first has gone: the launch is not held up.
        QVERIFY(!TellRunningInstance(m_socket + ".none", {}));
    }

    void nonsenseOnTheSocketChangesNothing()
    {
        InstanceChannel channel(m_socket);
        std::vector<LaunchTokens> asked;
        connect(&channel, &InstanceChannel::activationRequested, this,
                [&](const auto& t) { asked.push_back(t); });
        const auto peer = [this](const QByteArray& bytes) {
            auto socket = std::make_unique<QLocalSocket>();
            socket->connectToServer(QString::fromStdString(m_socket));
            if (socket->waitForConnected(2000) && !bytes.isEmpty()) {
                socket->write(bytes);
                socket->waitForBytesWritten(2000);
            }
            return socket;
        };
        // Not a request, far too long, and one that says nothing and does not go away.
        auto stranger = peer("GET / HTTP/1.0\n\n");
        auto flood = peer(QByteArray(100000, 'x'));
        auto silent = peer({});
        QTRY_VERIFY_WITH_TIMEOUT(silent->state() == QLocalSocket::UnconnectedState, 6000);
        QVERIFY(asked.empty());

        // A real request still gets through, its tokens cleaned of what could break a line:
        // a line break, a control character and a NUL byte.
        QVERIFY(TellRunningInstance(
            m_socket, {QByteArray("tok\nDESKTOP_STARTUP_ID=forged\x01", 31), "id_TIME7"}));
        QTRY_COMPARE(asked.size(), std::size_t(1));
        QCOMPARE(asked[0].xdgActivationToken, QByteArray("tokDESKTOP_STARTUP_ID=forged"));
        QCOMPARE(asked[0].startupId, QByteArray("id_TIME7"));
    }
};

QTEST_MAIN(SecondLaunchTest)
#include "SecondLaunchTest.moc"
