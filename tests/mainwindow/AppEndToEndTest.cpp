// Runs the real binary in a home of its own, offscreen, and checks what it leaves on disk.
#include "utility/ProductVersion.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

class AppEndToEndTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QProcess m_app;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path() + QStringLiteral("/run"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    QString dataFolder() const { return m_home.path() + QStringLiteral("/.local/share/QBS/ZLV"); }

    QString todayFile() const
    {
        const QDate d = QDate::currentDate();
        return dataFolder() + QStringLiteral("/logs/") + d.toString(QStringLiteral("yyyyMM")) +
               QLatin1Char('/') + d.toString(QStringLiteral("dd")) + QStringLiteral(".log");
    }

    QString today() const
    {
        QFile f(todayFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // Runs the binary to its end with `args`: its exit status (-1: still running after 10 s)
    // and its standard output.
    std::pair<int, QString> run(const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(ZLV_APP_PATH), args);
        return {p.waitForFinished(10000) ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput())};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QDir(m_home.path()).mkpath(QStringLiteral("run"));
        QDir(m_home.path()).mkpath(QStringLiteral("work"));
        QFile::setPermissions(m_home.path() + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                                          QFileDevice::WriteOwner |
                                                                          QFileDevice::ExeOwner);
    }

    void theTerminalModesAnswerWithoutAWindowOrAFolder()
    {
        QCOMPARE(run({QStringLiteral("--version")}),
                 std::pair(0, QStringLiteral("Zelvory %1 (Build %2)\n")
                                  .arg(QLatin1String(zlv::kProgramVersion),
                                       QLatin1String(zlv::kBuildNumber))));
        QVERIFY(run({QStringLiteral("-h")}).second.contains(QStringLiteral("--tray")));
        QCOMPARE(run({QStringLiteral("--print")}).first, 1);
        QCOMPARE(run({QStringLiteral("--status")}).first, 4);
        QVERIFY2(!QFileInfo::exists(dataFolder()), "options never touch the data folder");
    }

    void realOperationsBecomeDayFileLines()
    {
        m_app.setProcessEnvironment(environment());
        // As a session manager restarts it, with a word nobody knows on top.
        m_app.start(
            QStringLiteral(ZLV_APP_PATH),
            {QStringLiteral("-session"), QStringLiteral("1234_5678"), QStringLiteral("--x")});
        QVERIFY(m_app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(dataFolder() + QStringLiteral("/configuration.ini")), 15000);
        // Capture starts after the configuration is read: a probe made every second shows
        // when the watches are in place.
        const QString w = m_home.path() + QStringLiteral("/work/");
        int tries = 0;
        const auto probed = [&] {
            if (tries++ % 20 == 0) {
                QFile(w + QStringLiteral("probe%1").arg(tries)).open(QIODevice::WriteOnly);
            }
            return today().contains(QStringLiteral("\tprobe"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(probed(), 15000);

        // What each kind of operation and each program's way of saving leaves is the capture
        // tests' to say; here, that the program records through them.
        QFile(w + QStringLiteral("note.txt")).open(QIODevice::WriteOnly);
        QTRY_VERIFY_WITH_TIMEOUT(today().contains(w + QStringLiteral("\tnote.txt\t\r\n")), 10000);
        const QString text = today();
        QCOMPARE(text.count(QLatin1Char('\n')) - text.count(QStringLiteral("\tprobe")), 1);
        QVERIFY2(!text.contains(QStringLiteral("QBS/ZLV")),
                 "the program's own writes are not journalled");
        QCOMPARE(
            run({QStringLiteral("--print"), QStringLiteral("--format"), QStringLiteral("tsv")}),
            std::pair(0, QString(text).remove(QLatin1Char('\r'))));
        const QString err = QString::fromUtf8(m_app.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("'x'")) && !err.contains(QStringLiteral("1234")),
                 qPrintable(err));
    }

    void aSecondLaunchLeavesAtOnceAndTouchesNothing()
    {
        QVERIFY(m_app.state() == QProcess::Running);
        const QFileInfo before(todayFile());
        QCOMPARE(run({}).first, 0);
        const QFileInfo after(todayFile());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.lastModified(), before.lastModified());
        QVERIFY(m_app.state() == QProcess::Running);

        // Read from outside: the lock names the process, /proc tells its watches.
        const QString status = run({QStringLiteral("--status")}).second;
        QVERIFY2(
            status.startsWith(
                QStringLiteral("Zelvory is running (process %1) since ").arg(m_app.processId())) &&
                QRegularExpression(QStringLiteral("folders: [1-9]")).match(status).hasMatch(),
            qPrintable(status));
        QFile gaps(QString(todayFile()).replace(QStringLiteral(".log"), QStringLiteral(".gaps")));
        QVERIFY(gaps.open(QIODevice::Append) && gaps.write("2026-01-01 00:00:00\toverflow\tx\r\n"));
        gaps.close();
        QCOMPARE(run({QStringLiteral("--status")}).first, 3);
    }

    void cleanupTestCase()
    {
        if (m_app.state() == QProcess::Running) {
            m_app.terminate();
            if (!m_app.waitForFinished(5000)) {
                m_app.kill();
                m_app.waitForFinished(5000);
            }
        }
    }
};

QTEST_GUILESS_MAIN(AppEndToEndTest)
#include "AppEndToEndTest.moc"
