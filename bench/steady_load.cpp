// A light, steady workload, the way a user works all day: the whole window (offscreen
// unless QT_QPA_PLATFORM says otherwise) with the Linux source over a home of 50,000
// folders, 20 operations a second, and `inotifywait -m -r` over the same tree at the same
// time, each in a process of its own. Each run is made twice: with the window shown, and
// started in the notification area (as a session start does), where nothing is painted. The CPU and
// the context switches of every thread are read from /proc before and after; latency runs from an
// operation's return to its line in the day file, the settle time included. One more run puts
// the least the design can cost (BarePipeline.h) beside inotifywait in the same way, so that
// what is the design's and what is the program's own can be told apart. Several runs; medians
// printed.
//
//   steady_load [--seconds 30] [--runs 3] [--rate 20] [--folders 50000] [--large 1]
//
// Before the measured span a short warm-up records a few operations, so that what is
// counted is the steady cost of a record, not the first record's look at the day.
#include "BarePipeline.h"
#include "DayLineWatch.h"
#include "capture/PlatformSource.h"
#include "capture/linux/LinuxNotificationSource.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"
#include "utility/SystemUtility.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zlv;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
namespace sfs = std::filesystem;

namespace {

struct Settings
{
    int seconds = 30;
    int runs = 3;
    int rate = 20;
    int folders = 50000;
    bool large = true; // also runs over a day of a million lines
};

// ---- The window, in its own process ------------------------------------------------------

int RunWindow(int argc, char** argv, bool tray)
{
    QApplication app(argc, argv);
    frmPubMain::Options options;
    options.versionCheckDelayMs = 0;
    options.makeSource = [](const DataFolder& f) { return CreatePlatformNotificationSource(f); };
    // The offscreen platform has no notification area to ask; the window goes there as if.
    options.trayAvailable = tray;
    frmPubMain window(std::move(options));
    if (tray) {
        window.trayIcon()->startInTray();
    } else {
        window.show();
    }
    QTimer::singleShot(0, &window, [&window] {
        auto* source = window.capture()
                           ? dynamic_cast<LinuxNotificationSource*>(window.capture()->source())
                           : nullptr;
        const bool ok = source && source->waitUntilWatching(600s);
        std::printf("%s\n", ok ? "ready" : "failed");
        std::fflush(stdout);
    });
    return QApplication::exec();
}

// The bare pipeline, in a process of its own like the window, on the same kind of event loop.
int RunBare(int argc, char** argv)
{
    QApplication app(argc, argv);
    bench::BarePipeline bare(argv[2], argv[3], linuxcapture::SettleStage::kSettle);
    std::printf("%s\n", bare.ok() ? "ready" : "failed");
    std::fflush(stdout);
    return QApplication::exec();
}

// ---- What /proc says about a process -----------------------------------------------------

struct TaskFigures
{
    std::uint64_t cpuNs = 0;
    std::uint64_t switches = 0;
};

std::string ReadSmall(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::map<int, TaskFigures> ReadTasks(pid_t pid)
{
    std::map<int, TaskFigures> tasks;
    std::error_code ec;
    for (const auto& e : sfs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        const std::string dir = e.path().string();
        TaskFigures f;
        f.cpuNs = std::strtoull(ReadSmall(dir + "/schedstat").c_str(), nullptr, 10);
        const std::string status = ReadSmall(dir + "/status");
        for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
            const auto at = status.find(std::string("\n") + key);
            if (at != std::string::npos) {
                f.switches +=
                    std::strtoull(status.c_str() + at + 1 + std::strlen(key), nullptr, 10);
            }
        }
        tasks[std::atoi(e.path().filename().c_str())] = f;
    }
    return tasks;
}

// Follows every thread of a process over a span; a thread that ends between two looks
// loses only what it did since the last one.
class ProcessMeter
{
public:
    explicit ProcessMeter(pid_t pid) : m_pid(pid) {}
    void begin()
    {
        m_first = ReadTasks(m_pid);
        m_last = m_first;
    }
    void sample()
    {
        for (const auto& [tid, f] : ReadTasks(m_pid)) {
            m_last[tid] = f;
        }
    }
    TaskFigures total() const
    {
        TaskFigures t;
        for (const auto& [tid, f] : m_last) {
            const auto was = m_first.find(tid);
            const TaskFigures base = was == m_first.end() ? TaskFigures{} : was->second;
            t.cpuNs += f.cpuNs - base.cpuNs;
            t.switches += f.switches - base.switches;
        }
        return t;
    }
    // The threads with the most switches, "name:switches", for the curious.
    std::string busiest() const
    {
        std::vector<std::pair<std::uint64_t, std::string>> rows;
        for (const auto& [tid, f] : m_last) {
            const auto was = m_first.find(tid);
            const std::uint64_t base = was == m_first.end() ? 0 : was->second.switches;
            std::string name = ReadSmall("/proc/" + std::to_string(m_pid) + "/task/" +
                                         std::to_string(tid) + "/comm");
            name.erase(std::remove(name.begin(), name.end(), '\n'), name.end());
            rows.emplace_back(f.switches - base, name.empty() ? std::to_string(tid) : name);
        }
        std::sort(rows.rbegin(), rows.rend());
        std::string out;
        for (std::size_t i = 0; i < rows.size() && i < 4; ++i) {
            out += rows[i].second + ":" + std::to_string(rows[i].first) + " ";
        }
        return out;
    }

private:
    pid_t m_pid;
    std::map<int, TaskFigures> m_first;
    std::map<int, TaskFigures> m_last;
};

// ---- Child processes ---------------------------------------------------------------------

struct Child
{
    pid_t pid = -1;
    int out = -1; // its standard output
    int err = -1; // its standard error
};

Child Spawn(const std::vector<std::string>& args)
{
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    return {pid, out[0], err[0]};
}

void End(Child& child, int signal)
{
    if (child.pid > 0) {
        ::kill(child.pid, signal);
        ::waitpid(child.pid, nullptr, 0);
    }
    for (int fd : {child.out, child.err}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    child = {};
}

// Reads `fd` until `word` has been seen; false at its end.
bool WaitFor(int fd, const char* word, std::string* said)
{
    char buffer[4096];
    while (said->find(word) == std::string::npos) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        said->append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

// Keeps an eye on a process's error output so it never blocks on a full pipe.
void Drain(int fd)
{
    std::thread([fd] {
        char buffer[4096];
        while (::read(fd, buffer, sizeof buffer) > 0) {
        }
    }).detach();
}

// ---- The workload -------------------------------------------------------------------------

// Five operations a round, in a folder picked at random for the round: a file created, a
// file of an earlier round renamed, one of a still earlier round deleted, a folder created
// and an earlier round's folder removed. Every item is left alone for longer than the settle
// time before it is touched again, so that every operation has a net effect of its own:
// once the first rounds are past, each gives exactly one line, in order.
class Workload
{
public:
    Workload(std::string home, int folders, int rate, unsigned seed)
        : m_home(std::move(home)), m_folders(folders), m_random(seed),
          // Rounds in two seconds, twice the settle time.
          m_lag(std::max(1, (2 * rate + 4) / 5))
    {}
    // The operations before every step gives a line.
    int warmup() const { return 2 * m_lag * 5; }
    // Runs step `i`; false when it had nothing to do (the first rounds).
    bool step(int i)
    {
        const int r = i / 5;
        if (i % 5 == 0) {
            std::uniform_int_distribution<int> pick(0, m_folders - 1);
            const int f = pick(m_random);
            m_dirs.push_back(m_home + "/d" + std::to_string(f / 1000) + "/e" +
                             std::to_string(f % 1000));
        }
        const auto at = [this](int round, const char* stem) {
            return m_dirs[static_cast<std::size_t>(round)] + "/" + stem + std::to_string(round);
        };
        switch (i % 5) {
        case 0:
            std::fclose(std::fopen(at(r, "f").c_str(), "w"));
            return true;
        case 1:
            return r >= m_lag &&
                   ::rename(at(r - m_lag, "f").c_str(), at(r - m_lag, "g").c_str()) == 0;
        case 2:
            return r >= 2 * m_lag && ::unlink(at(r - 2 * m_lag, "g").c_str()) == 0;
        case 3:
            return ::mkdir(at(r, "h").c_str(), 0755) == 0;
        default:
            return r >= m_lag && ::rmdir(at(r - m_lag, "h").c_str()) == 0;
        }
    }

private:
    std::string m_home;
    int m_folders;
    std::mt19937 m_random;
    int m_lag;
    std::vector<std::string> m_dirs;
};

void MakeTree(const std::string& home, int folders)
{
    for (int f = 0; f < folders; ++f) {
        sfs::create_directories(home + "/d" + std::to_string(f / 1000) + "/e" +
                                std::to_string(f % 1000));
    }
}

// ---- One run ------------------------------------------------------------------------------

struct RunFigures
{
    int records = 0;
    double cpuMsPerRecord = 0;
    double wakeupsPerRecord = 0;
    double latencyP99Ms = 0;
    double idleWakeupsPerSecond = 0;
    double referenceCpuMs = 0;
    std::string busiest;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

double Median(std::vector<double> v)
{
    return Percentile(std::move(v), 0.5);
}

RunFigures RunOnce(const Settings& s, const std::string& self, const std::string& root,
                   const std::string& home, const std::string& prefilled, const std::string& mode,
                   int runIndex)
{
    const std::string data = root + "/data" + std::to_string(runIndex);
    const std::string runtime = root + "/run" + std::to_string(runIndex);
    sfs::create_directories(data);
    sfs::create_directories(runtime);
    sfs::permissions(runtime, sfs::perms::owner_all);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    DataFolder folder;
    folder.establish(SystemUtility::SpecialFolderPath(SystemUtility::kAppData));
    const Date today = Clock::instance().now().date;
    folder.ensureMonthFolder(today);
    const std::string dayFile = folder.dayFilePath(today);
    if (!prefilled.empty()) {
        sfs::copy_file(prefilled, dayFile, sfs::copy_options::overwrite_existing);
    }

    Child window = Spawn(mode == "--bare" ? std::vector<std::string>{self, mode, home, dayFile}
                                          : std::vector<std::string>{self, mode});
    Child reference = Spawn({"inotifywait", "-m", "-r", "-q", "-e",
                             "create,delete,moved_from,moved_to", "--format", "%e %w%f", home});
    std::string said;
    if (!WaitFor(window.out, "ready", &said)) {
        std::fprintf(stderr, "the window did not start: %s\n", said.c_str());
        std::exit(1);
    }
    Drain(window.err);
    Drain(reference.out);
    Drain(reference.err);
    std::this_thread::sleep_for(3s); // inotifywait -q says nothing when its watches stand

    Workload work(home, s.folders, s.rate, 1234u + static_cast<unsigned>(runIndex));
    const int warmup = work.warmup();
    const auto countLines = [&dayFile] {
        std::ifstream in(dayFile, std::ios::binary);
        return std::count(std::istreambuf_iterator<char>(in), {}, '\n');
    };
    const auto linesBefore = countLines();
    const auto pace = std::chrono::nanoseconds(1'000'000'000 / s.rate);
    int warmLines = 0;
    for (int op = 0; op < warmup; ++op) {
        warmLines += work.step(op);
        std::this_thread::sleep_for(pace);
    }
    // The first record of a long day takes its time; the measuring starts once it is done.
    for (int i = 0; i < 600 && countLines() < linesBefore + warmLines; ++i) {
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(1s);

    RunFigures figures;
    ProcessMeter meter(window.pid);
    ProcessMeter refMeter(reference.pid);

    // At rest nothing should wake the window.
    meter.begin();
    std::this_thread::sleep_for(2s);
    meter.sample();
    figures.idleWakeupsPerSecond = static_cast<double>(meter.total().switches) / 2.0;

    if (!sfs::exists(dayFile)) {
        std::fprintf(stderr, "no day file at %s\n", dayFile.c_str());
        std::exit(1);
    }
    bench::DayLineWatch lines(dayFile);
    const int total = s.seconds * s.rate;
    std::vector<SteadyClock::time_point> done(static_cast<std::size_t>(total));
    meter.begin();
    refMeter.begin();
    const auto period = std::chrono::nanoseconds(1'000'000'000 / s.rate);
    const auto start = SteadyClock::now();
    auto nextSample = start + 250ms;
    for (int i = 0; i < total; ++i) {
        std::this_thread::sleep_until(start + period * i);
        work.step(warmup + i);
        done[static_cast<std::size_t>(i)] = SteadyClock::now();
        if (SteadyClock::now() >= nextSample) {
            meter.sample();
            refMeter.sample();
            nextSample += 250ms;
        }
    }
    // The last records, and whatever the window does after writing them, settle.
    const auto deadline = SteadyClock::now() + 5s + linuxcapture::SettleStage::kSettle;
    while (lines.arrivals().size() < done.size() && SteadyClock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(300ms);
    meter.sample();
    refMeter.sample();

    const auto arrivals = lines.arrivals();
    figures.records = static_cast<int>(arrivals.size());
    const TaskFigures used = meter.total();
    const double records = std::max(1, figures.records);
    figures.cpuMsPerRecord = static_cast<double>(used.cpuNs) / 1e6 / records;
    figures.wakeupsPerRecord = static_cast<double>(used.switches) / records;
    figures.referenceCpuMs = static_cast<double>(refMeter.total().cpuNs) / 1e6;
    figures.busiest = meter.busiest();
    std::vector<double> latency;
    for (std::size_t i = 0; i < arrivals.size() && i < done.size(); ++i) {
        latency.push_back(
            std::chrono::duration<double, std::milli>(arrivals[i].at - done[i]).count());
    }
    figures.latencyP99Ms = Percentile(latency, 0.99);

    End(window, SIGKILL); // measured; the orderly way out would only ask its question
    End(reference, SIGTERM);
    std::error_code ec;
    sfs::remove_all(data, ec);
    return figures;
}

std::string MakePrefilled(const std::string& root, int lines)
{
    const std::string path = root + "/prefilled.log";
    const LocalDateTime now = Clock::instance().now();
    const int before = std::max(1, now.secondsOfDay() - 60);
    std::ofstream out(path, std::ios::binary);
    std::string text;
    for (int i = 0; i < lines; ++i) {
        const int second = static_cast<int>(static_cast<long long>(i) * before / lines);
        LogRecord r;
        r.time = dayfile::FormatStamp({now.date, second / 3600, second / 60 % 60, second % 60});
        r.object = "File";
        r.action = "Created";
        r.path = "/home/user/Documents/project-" + std::to_string(i % 97) + "/";
        r.originalName = "file_" + std::to_string(i) + ".txt";
        text += dayfile::FormatLine(r);
        if (text.size() > (1u << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (!std::strcmp(argv[1], "--window") || !std::strcmp(argv[1], "--tray"))) {
        return RunWindow(argc, argv, !std::strcmp(argv[1], "--tray"));
    }
    if (argc > 3 && !std::strcmp(argv[1], "--bare")) {
        return RunBare(argc, argv);
    }
    Settings s;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--seconds")) {
            s.seconds = std::max(1, value);
        } else if (!std::strcmp(argv[i], "--runs")) {
            s.runs = std::max(1, value);
        } else if (!std::strcmp(argv[i], "--rate")) {
            s.rate = std::clamp(value, 1, 1000);
        } else if (!std::strcmp(argv[i], "--folders")) {
            s.folders = std::max(1, value);
        } else if (!std::strcmp(argv[i], "--large")) {
            s.large = value != 0;
        }
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string self = sfs::canonical("/proc/self/exe").string();
    const std::string root =
        (sfs::temp_directory_path() / ("zlv-steady-" + std::to_string(::getpid()))).string();
    const std::string home = root + "/home";
    MakeTree(home, s.folders);
    ::setenv("HOME", home.c_str(), 1);
    const std::string prefilled = s.large ? MakePrefilled(root, 1000000) : std::string();

    std::vector<double> cpu, cpu1M, trayCpu, bareCpu, wakeups, latency, ratio, trayRatio, bareRatio,
        idle;
    enum class Kind
    {
        Shown,
        Tray,
        Bare,
        Shown1M
    };
    for (int run = 0; run < s.runs; ++run) {
        for (const Kind kind : {Kind::Shown, Kind::Tray, Kind::Bare, Kind::Shown1M}) {
            if (kind == Kind::Shown1M && !s.large) {
                continue;
            }
            const bool big = kind == Kind::Shown1M;
            const bool tray = kind == Kind::Tray;
            const bool bare = kind == Kind::Bare;
            const RunFigures f = RunOnce(s, self, root, home, big ? prefilled : std::string(),
                                         bare   ? "--bare"
                                         : tray ? "--tray"
                                                : "--window",
                                         run * 4 + static_cast<int>(kind));
            std::fprintf(stderr,
                         "run %d%s: %d/%d records, %.3f ms cpu, %.2f wake-ups a record, p99 "
                         "%.2f ms, idle %.1f/s, inotifywait %.0f ms; busiest %s\n",
                         run + 1,
                         big    ? " (1M)"
                         : tray ? " (tray)"
                         : bare ? " (bare pipeline)"
                                : "",
                         f.records, s.seconds * s.rate, f.cpuMsPerRecord, f.wakeupsPerRecord,
                         f.latencyP99Ms, f.idleWakeupsPerSecond, f.referenceCpuMs,
                         f.busiest.c_str());
            (big ? cpu1M : tray ? trayCpu : bare ? bareCpu : cpu).push_back(f.cpuMsPerRecord);
            if (!bare) { // the program's, not the yardstick's
                wakeups.push_back(f.wakeupsPerRecord);
                latency.push_back(f.latencyP99Ms);
                idle.push_back(f.idleWakeupsPerSecond);
            }
            if (!big && f.referenceCpuMs > 0) {
                (tray   ? trayRatio
                 : bare ? bareRatio
                        : ratio)
                    .push_back(f.cpuMsPerRecord * f.records / f.referenceCpuMs);
            }
        }
    }
    std::error_code ec;
    sfs::remove_all(root, ec);

    std::printf("workload: %d operations a second for %d s over %d folders, %d runs\n", s.rate,
                s.seconds, s.folders, s.runs);
    std::printf("idle_wakeups_per_s: %.1f\n", Median(idle));
    std::printf("cpu_ms_per_record: %.3f\n", Median(cpu));
    std::printf("tray_cpu_ms_per_record: %.3f\n", Median(trayCpu));
    std::printf("bare_pipeline_cpu_ms_per_record: %.3f\n", Median(bareCpu));
    if (!cpu1M.empty()) {
        std::printf("cpu_ms_per_record_1M: %.3f\n", Median(cpu1M));
    }
    std::printf("wakeups_per_record: %.2f\n", Median(wakeups));
    std::printf("latency_ms_p99: %.2f (settle time %lld ms)\n", Median(latency),
                static_cast<long long>(linuxcapture::SettleStage::kSettle.count()));
    // The floor under the two goals: no program of this design comes in below it.
    std::printf("bare_pipeline_cpu_ratio_vs_inotifywait: %.2f\n", Median(bareRatio));
    // Both goals count; the shown window's, the harder one, decides.
    std::printf("tray_cpu_ratio_vs_inotifywait: %.2f\n", Median(trayRatio));
    std::printf("cpu_ratio_vs_inotifywait: %.2f\n", Median(ratio));
    return 0;
}
