// A burst of file creations under the real program, its day file read by a desktop rsyslogd
// and shipped over RELP to a collector rsyslogd, both set up from contrib/rsyslog on
// 127.0.0.1 (FleetRig.h). For each burst: records a second and the latency from each
// operation to its line, in Zelvory's own day file and in the collector's file, side by
// side. Three bursts, medians; the collector's p99 last.
#include "BurstWorkload.h"
#include "FleetRig.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Steady = std::chrono::steady_clock;
using zlv::bench::RsyslogPair;
using zlv::bench::RunningZelvory;

namespace {

constexpr int kOperations = 10000;
constexpr int kRuns = 3;
constexpr int kTimeoutMs = 180000;

// The lines appended to a file from the moment it is opened.
class Tail final
{
public:
    explicit Tail(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd >= 0) {
            ::lseek(m_fd, 0, SEEK_END);
        }
    }
    ~Tail()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool ok() const { return m_fd >= 0; }
    template <typename F> void read(F&& onLine)
    {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            m_pending.append(buffer, static_cast<std::size_t>(n));
        }
        std::size_t start = 0;
        for (std::size_t end; (end = m_pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            onLine(std::string_view(m_pending).substr(start, end - start));
        }
        m_pending.erase(0, start);
    }

private:
    int m_fd;
    std::string m_pending;
};

// The burst's number in a name "<prefix><five digits>" found after `key`; -1 when none.
int Operation(std::string_view line, std::string_view key, const std::string& prefix)
{
    const std::size_t at = line.find(std::string(key) + prefix);
    if (at == std::string_view::npos) {
        return -1;
    }
    const std::size_t digits = at + key.size() + prefix.size();
    return digits + 5 <= line.size() ? std::atoi(std::string(line.substr(digits, 5)).c_str()) : -1;
}

struct Figures
{
    double perSecond = 0;
    double p50 = 0;
    double p99 = 0;
};

Figures Measure(const std::vector<Steady::time_point>& done,
                const std::vector<Steady::time_point>& arrived, Steady::time_point burstStart)
{
    std::vector<double> ms;
    for (std::size_t i = 0; i < done.size(); ++i) {
        ms.push_back(std::chrono::duration<double, std::milli>(arrived[i] - done[i]).count());
    }
    std::sort(ms.begin(), ms.end());
    const auto last = *std::max_element(arrived.begin(), arrived.end());
    return {done.size() / std::chrono::duration<double>(last - burstStart).count(),
            ms[ms.size() / 2], ms[ms.size() * 99 / 100]};
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (const QString why = RsyslogPair::missing(); !why.isEmpty()) {
        std::printf("fleet_ship: skipped: %s\n", qPrintable(why));
        return 0;
    }
    QTemporaryDir root;
    const QString home = root.path() + QStringLiteral("/home/bench");
    const QString work = home + QStringLiteral("/work");
    RunningZelvory zelvory(QStringLiteral(ZLV_APP_PATH), home);
    RsyslogPair rsyslog(root.path(), root.path() + QStringLiteral("/home"),
                        QStringLiteral(ZLV_CONTRIB_DIR));
    if (!zelvory.start(work) || !rsyslog.configure() || !rsyslog.startCollector() ||
        !rsyslog.startDesktop()) {
        std::fprintf(stderr, "fleet_ship: cannot start: %s\n", qPrintable(rsyslog.error()));
        return 1;
    }
    // The knocks that showed capture running reach the collector: its file is there.
    QElapsedTimer waited;
    waited.start();
    while (rsyslog.collected().size() < zelvory.lines(QStringLiteral("*.log")).size() &&
           waited.elapsed() < 30000) {
        QThread::msleep(50);
    }
    const QStringList hosts = QDir(rsyslog.collectorFolder()).entryList({QStringLiteral("*.log")});
    if (hosts.size() != 1) {
        std::fprintf(stderr, "fleet_ship: nothing reached the collector\n");
        return 1;
    }
    const std::string dayFile =
        (zelvory.logsFolder() + QDate::currentDate().toString(QStringLiteral("/yyyyMM/dd.log")))
            .toStdString();
    const std::string collectorFile =
        (rsyslog.collectorFolder() + QLatin1Char('/') + hosts.first()).toStdString();

    std::vector<double> dayRate, dayP50, dayP99, farRate, farP50, farP99;
    for (int run = 0; run < kRuns; ++run) {
        const std::string prefix = "b" + std::to_string(run) + "-";
        Tail day(dayFile);
        Tail far(collectorFile);
        const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        inotify_add_watch(watch, dayFile.c_str(), IN_MODIFY);
        inotify_add_watch(watch, collectorFile.c_str(), IN_MODIFY);
        std::vector<Steady::time_point> done(kOperations), atDay(kOperations), atFar(kOperations);
        std::vector<char> seenDay(kOperations), seenFar(kOperations);
        int dayCount = 0;
        int farCount = 0;
        const auto start = Steady::now();
        std::thread burst([&] {
            for (int i = 0; i < kOperations; ++i) {
                zlv::bench::CreateEmptyFile(
                    zlv::bench::NumberedPath(work.toStdString(), prefix.c_str(), i));
                done[static_cast<std::size_t>(i)] = Steady::now();
            }
        });
        const auto take = [&](std::string_view line, std::string_view key,
                              std::vector<Steady::time_point>& at, std::vector<char>& seen,
                              int& count) {
            const int i = Operation(line, key, prefix);
            if (i >= 0 && i < kOperations && !seen[static_cast<std::size_t>(i)]) {
                seen[static_cast<std::size_t>(i)] = 1;
                at[static_cast<std::size_t>(i)] = Steady::now();
                ++count;
            }
        };
        while (farCount < kOperations &&
               Steady::now() - start < std::chrono::milliseconds(kTimeoutMs)) {
            pollfd p{watch, POLLIN, 0};
            ::poll(&p, 1, 100);
            char events[4096];
            while (::read(watch, events, sizeof events) > 0) {
            }
            day.read([&](std::string_view l) { take(l, "\t", atDay, seenDay, dayCount); });
            far.read([&](std::string_view l) {
                take(l, "\"original_name\": \"", atFar, seenFar, farCount);
            });
        }
        burst.join();
        ::close(watch);
        if (dayCount < kOperations || farCount < kOperations) {
            std::fprintf(stderr,
                         "fleet_ship: run %d: %d in the day file, %d at the collector of %d\n", run,
                         dayCount, farCount, kOperations);
            return 1;
        }
        const Figures d = Measure(done, atDay, start);
        const Figures f = Measure(done, atFar, start);
        std::printf("run %d: day file %.0f/s p50 %.1f ms p99 %.1f ms; collector %.0f/s p50 %.1f "
                    "ms p99 %.1f ms\n",
                    run, d.perSecond, d.p50, d.p99, f.perSecond, f.p50, f.p99);
        dayRate.push_back(d.perSecond);
        dayP50.push_back(d.p50);
        dayP99.push_back(d.p99);
        farRate.push_back(f.perSecond);
        farP50.push_back(f.p50);
        farP99.push_back(f.p99);
    }
    // Figures count only if everything arrived, and once: the last records may still be on
    // their way.
    QString wrong;
    for (waited.restart(); waited.elapsed() < 30000; QThread::msleep(200)) {
        if ((wrong = zlv::bench::Difference(zelvory.written(),
                                            rsyslog.arrived(QStringLiteral("bench"))))
                .isEmpty()) {
            break;
        }
    }
    if (!wrong.isEmpty()) {
        std::fprintf(stderr, "fleet_ship: lost or repeated:\n%s\n", qPrintable(wrong.left(2000)));
        return 1;
    }
    std::printf("burst: %d file creations, %d runs, medians; every record arrived once\n",
                kOperations, kRuns);
    std::printf("day_file_records_per_s: %.0f\n", Median(dayRate));
    std::printf("day_file_p50_ms: %.1f\n", Median(dayP50));
    std::printf("day_file_p99_ms: %.1f\n", Median(dayP99));
    std::printf("collector_p50_ms: %.1f\n", Median(farP50));
    std::printf("collector_records_per_s: %.0f\n", Median(farRate));
    std::printf("collector_p99_ms: %.1f\n", Median(farP99));
    return 0;
}
