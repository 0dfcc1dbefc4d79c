// A desktop's journal reaches the central rsyslog exactly once, each record with its six
// fields: the real program, offscreen in a home of its own, and two rsyslogd of their own
// on 127.0.0.1 set up from contrib/rsyslog (bench/FleetRig.h). Across the month's last
// midnight (the program's clock through libfaketime), and while the collector and then the
// desktop's rsyslog are down.
#include "FleetRig.h"
#include "logstore/DataFolder.h"
#include "logstore/GapFile.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using zlv::bench::RsyslogPair;
using zlv::bench::RunningZelvory;

// The members go in reverse: the rsyslogd pair stops before the program, the folder last.
class FleetJournalTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_home;
    QDate m_lastDay;  // of this month: the program starts at 23:59:30 on it
    QDate m_firstDay; // of the records: that last day under libfaketime, else today
    bool m_fakeTime = false;
    std::unique_ptr<RunningZelvory> m_zelvory;
    std::unique_ptr<RsyslogPair> m_rsyslog;

    QString work() const { return m_home + QStringLiteral("/work/"); }

    // Operations on seven records, the names chosen to test the JSON on the way: quotes,
    // a letter outside ASCII and a byte that is not UTF-8. What is made is on record before
    // it is changed: within the settle time the two would add up to one line or none.
    void operate(const QString& tag)
    {
        const QString plain = work() + tag + QStringLiteral(".txt");
        const QString quoted = work() + tag + QStringLiteral(" \"quoted\" \u00e9.txt");
        const QString gone = tag + QStringLiteral(" gone.txt");
        const QByteArray odd = (work() + tag).toUtf8() + "-\xff.bin";
        QFile(plain).open(QIODevice::WriteOnly);
        const int fd = ::open(odd.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        QFile(work() + gone).open(QIODevice::WriteOnly);
        QTRY_VERIFY_WITH_TIMEOUT(journalled("\tCreated\t" + work().toUtf8() + '\t' + gone.toUtf8()),
                                 10000);
        QVERIFY(QFile::rename(plain, quoted));
        QVERIFY(::unlink(odd.constData()) == 0); // QDir could not name it to remove it
        QVERIFY(QFile::remove(work() + gone));
        QVERIFY(QDir(work()).mkdir(tag + QStringLiteral(" folder")));
    }

    bool journalled(const QByteArray& text) const
    {
        for (const QByteArray& line : m_zelvory->lines(QStringLiteral("*.log"))) {
            if (line.contains(text)) {
                return true;
            }
        }
        return false;
    }

    // Once the last of operate(tag) is journalled, all of it is.
    bool journalled(const QString& tag) const
    {
        return journalled("\tCreated\t" + work().toUtf8() + '\t' + tag.toUtf8() + " folder");
    }

    QString difference() const
    {
        return zlv::bench::Difference(m_zelvory->written(),
                                      m_rsyslog->arrived(QStringLiteral("alice")));
    }

    bool hasDayFile(const QDate& day) const
    {
        return QFile::exists(m_zelvory->logsFolder() +
                             day.toString(QStringLiteral("/yyyyMM/dd.log")));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString why = RsyslogPair::missing(); !why.isEmpty()) {
            QSKIP(qPrintable(why));
        }
        QVERIFY(m_root.isValid());
        m_home = m_root.path() + QStringLiteral("/home/alice");
        const QDate today = QDate::currentDate();
        m_lastDay = QDate(today.year(), today.month(), today.daysInMonth());
        m_fakeTime = !RunningZelvory::fakeTimeLibrary().isEmpty();
        m_firstDay = m_fakeTime ? m_lastDay : today;
        m_zelvory = std::make_unique<RunningZelvory>(QStringLiteral(ZLV_APP_PATH), m_home);
        QVERIFY(m_zelvory->start(work(), m_fakeTime ? m_lastDay.toString(Qt::ISODate) +
                                                          QStringLiteral(" 23:59:30")
                                                    : QString()));
        m_rsyslog =
            std::make_unique<RsyslogPair>(m_root.path(), m_root.path() + QStringLiteral("/home"),
                                          QStringLiteral(ZLV_CONTRIB_DIR));
        QVERIFY2(m_rsyslog->configure(), qPrintable(m_rsyslog->error()));
        QVERIFY2(m_rsyslog->startCollector(), qPrintable(m_rsyslog->error()));
        QVERIFY2(m_rsyslog->startDesktop(), qPrintable(m_rsyslog->error()));
    }

    void recordsGapsAndDamagedLinesArriveOnce()
    {
        operate(QStringLiteral("first"));
        QTRY_VERIFY_WITH_TIMEOUT(journalled(QStringLiteral("first")), 10000);
        // A gap as the program writes one, and a torn line as a full disk leaves one.
        zlv::DataFolder folder;
        folder.locate((m_home + QStringLiteral("/.local/share")).toStdString());
        const zlv::Date day{m_firstDay.year(), m_firstDay.month(), m_firstDay.day()};
        QVERIFY(folder.appendGap(day, zlv::gapfile::FormatLine({"2026-01-01 00:00:00", "overflow",
                                                                "Some operations were missed."})));
        QVERIFY(folder.append(day, "2026-01-01 00:00:01\tFile\tCrea\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(difference(), QString(), 30000);
        QVERIFY(m_rsyslog->arrived(QStringLiteral("alice"))
                    .contains(QStringLiteral("damaged\t2026-01-01 00:00:01\tFile\tCrea")));
    }

    void theNextMonthsFirstDayFileIsPickedUp()
    {
        if (!m_fakeTime) {
            QSKIP("libfaketime is not installed (Debian: libfaketime): no midnight to cross");
        }
        QVERIFY2(hasDayFile(m_lastDay), "the first records precede midnight");
        QTRY_VERIFY_WITH_TIMEOUT(m_zelvory->elapsedMs() > 31000, 40000);
        operate(QStringLiteral("second"));
        QTRY_VERIFY_WITH_TIMEOUT(journalled(QStringLiteral("second")), 10000);
        QVERIFY(hasDayFile(m_lastDay.addDays(1)));
        QTRY_COMPARE_WITH_TIMEOUT(difference(), QString(), 30000);
    }

    void nothingIsLostOrRepeatedWhileTheCollectorIsDown()
    {
        QVERIFY2(m_rsyslog->stopCollector(), qPrintable(m_rsyslog->error()));
        operate(QStringLiteral("third"));
        QTRY_VERIFY_WITH_TIMEOUT(journalled(QStringLiteral("third")), 10000);
        // Read and waiting for the collector; then the desktop's rsyslog stops too and
        // keeps them on disk, and reads the next ones from where it was when it is back.
        QTRY_VERIFY_WITH_TIMEOUT(m_rsyslog->desktopQueued() >= 5, 15000);
        QVERIFY2(m_rsyslog->stopDesktop(), qPrintable(m_rsyslog->error()));
        QVERIFY(!QDir(m_rsyslog->desktopWork())
                     .entryList({QStringLiteral("zelvory-forward.*")}, QDir::Files)
                     .isEmpty());
        operate(QStringLiteral("fourth"));
        QTRY_VERIFY_WITH_TIMEOUT(journalled(QStringLiteral("fourth")), 10000);
        QVERIFY2(m_rsyslog->startDesktop(), qPrintable(m_rsyslog->error()));
        QVERIFY2(m_rsyslog->startCollector(), qPrintable(m_rsyslog->error()));
        QTRY_COMPARE_WITH_TIMEOUT(difference(), QString(), 60000);
    }
};

QTEST_GUILESS_MAIN(FleetJournalTest)
#include "FleetJournalTest.moc"
