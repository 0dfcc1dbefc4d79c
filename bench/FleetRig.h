#pragma once

// A desktop's journal shipped to a collector, all on this machine: the real program in a
// home of its own and two rsyslogd set up from the shipped configurations in
// contrib/rsyslog. Used by the fleet_ship benchmark and the fleet journal test.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <memory>

namespace zlv::bench {

// Records and gaps counted by a key made of their fields, so that what the program wrote
// and what the collector received compare as counts: equal counts, every line exactly once.
using RecordCounts = QMap<QString, int>;
// Empty when the two agree; else each key that is missing, repeated or never written.
QString Difference(const RecordCounts& written, const RecordCounts& arrived);

// Two rsyslogd of their own on 127.0.0.1: a "desktop" reading the day and gap files of
// every home under `homes` (in place of /home), and a "collector" writing one file per host
// on a port probed free. Each runs in the foreground with its own configuration (-f), pid
// file (-i) and work directory under `root`; the system's rsyslog, its configuration and
// its service are never touched.
class RsyslogPair final
{
public:
    // Empty when rsyslogd and the modules the configurations load are installed; else what
    // is missing, for a skip message.
    static QString missing();

    RsyslogPair(const QString& root, const QString& homes, const QString& contrib);
    ~RsyslogPair();
    RsyslogPair(const RsyslogPair&) = delete;
    RsyslogPair& operator=(const RsyslogPair&) = delete;

    // Writes the configurations and has rsyslogd check them; false with error() set when a
    // shipped file no longer has the settings put in its place here, or rsyslogd rejects it.
    bool configure();
    bool startCollector() { return start(m_collector); }
    bool stopCollector() { return stop(m_collector); }
    bool startDesktop() { return start(m_desktop); }
    bool stopDesktop() { return stop(m_desktop); }

    // Where the desktop keeps its place in each file and its queue while the collector is away.
    QString desktopWork() const { return m_desktop.folder + QStringLiteral("/work"); }
    // How many messages wait in the desktop ruleset's queue, as its last counters said.
    qint64 desktopQueued() const;
    QString collectorFolder() const { return m_root + QStringLiteral("/collected"); }
    // Every line of every host file, in file order.
    QList<QByteArray> collected() const;
    // The collected lines by key. A line that is not a record of `user`'s, with a host, counts
    // under a key of its own, so that it shows as never written.
    RecordCounts arrived(const QString& user) const;
    QString error() const { return m_error; }

private:
    struct Daemon
    {
        QString name;
        QString folder;
        std::unique_ptr<QProcess> process;
    };
    bool writeConfig(Daemon& daemon, const QString& shipped,
                     const QList<std::pair<QString, QString>>& replacements);
    bool start(Daemon& daemon);
    bool stop(Daemon& daemon);
    bool fail(const Daemon& daemon, const QString& what);

    QString m_root;
    QString m_homes;
    QString m_contrib;
    quint16 m_port = 0;
    Daemon m_desktop;
    Daemon m_collector;
    QString m_error;
};

// The program, offscreen, with HOME at `home`. With a `fakeStart` ("YYYY-MM-DD hh:mm:ss")
// its clock starts there through libfaketime and runs on at the real pace.
class RunningZelvory final
{
public:
    // The preload library, or empty when libfaketime is not installed.
    static QString fakeTimeLibrary();

    RunningZelvory(const QString& program, const QString& home);
    ~RunningZelvory();

    // Starts it and creates files in `work` until one of them is journalled, so that
    // capture is known to run; false when nothing is journalled within 20 s.
    bool start(const QString& work, const QString& fakeStart = {});
    void stop();
    // Since start(): how far the program's clock has run.
    qint64 elapsedMs() const { return m_started.elapsed(); }
    QString logsFolder() const;
    // Every line of every file matching `pattern` (*.log, *.gaps) under logs/, CR LF taken off.
    QList<QByteArray> lines(const QString& pattern) const;
    // Each day-file and gap-file line by key, as the desktop's rsyslog sends it.
    RecordCounts written() const;

private:
    QString m_program;
    QString m_home;
    QProcess m_process;
    QElapsedTimer m_started;
};

} // namespace zlv::bench
