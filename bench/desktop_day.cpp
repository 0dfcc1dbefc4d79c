// A day at a desktop, compressed into two minutes, in a fresh home: the user's own
// operations (files and folders made, renamed, moved, deleted, downloads, saves of new and
// existing documents: 120 of them, each with the records it must leave written down) while
// programs churn around them (editors' swap and lock files, builds and compiled Python in a
// Git project, package installs, a tool's tagged cache, thumbnails, a browser's profile).
// Zelvory's Linux source records into a day file through the real pipeline.
//
// Printed: how many of the user's operations the journal holds exactly (object, action,
// path and names; a save over an existing document exactly when it left nothing), the lines
// that are none of the user's operations, the latency from an operation to its line on disk,
// what knowing the names of the watched folders costs, the settle stage's own time per
// event, and, last, the share of the journal that is not the user's.
#include "DayLineWatch.h"
#include "DesktopDayScript.h"
#include "capture/ShellEvents.h"
#include "capture/frmPubHide.h"
#include "capture/linux/LinuxNotificationSource.h"
#include "capture/linux/WatchTree.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

using namespace zlv;
using namespace std::chrono_literals;
namespace sfs = std::filesystem;

namespace {

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// The record text of a day-file line: what follows the stamp.
std::string RecordText(const std::string& line)
{
    constexpr std::size_t kStamp = 20; // "YYYY-MM-DD HH:MM:SS\t"
    return line.size() > kStamp ? line.substr(kStamp) : std::string();
}

// "folder/\tname" of a record's item, and of its new name for a rename.
std::vector<std::string> ItemsOf(const std::string& record)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = record.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(record.substr(start, tab - start));
    }
    fields.push_back(record.substr(start));
    if (fields.size() < 5) {
        return {};
    }
    std::vector<std::string> items{fields[2] + "\t" + fields[3]};
    if (!fields[4].empty()) {
        items.push_back(fields[2] + "\t" + fields[4]);
    }
    return items;
}

// The settle stage alone, on a stream of the shapes the day has: files made, saved through
// a temporary name, renamed and deleted, every one of them settling in the end.
double SettleMicrosecondsPerEvent()
{
    linuxcapture::SettleStage stage;
    const auto start = std::chrono::steady_clock::now();
    auto now = start;
    std::vector<linuxcapture::Delivery> out;
    constexpr int kItems = 50000;
    int events = 0;
    const auto item = [](const std::string& path) {
        return ShellItem{path.substr(path.rfind('/') + 1), path};
    };
    for (int i = 0; i < kItems; ++i) {
        const std::string dir = "/home/u/d" + std::to_string(i % 100) + "/";
        const std::string name = "f" + std::to_string(i);
        stage.take(Notification{shell::SHCNE_CREATE, item(dir + ".tmp" + name), {}}, now);
        stage.take(Notification{shell::SHCNE_UPDATEITEM, item(dir + ".tmp" + name), {}}, now);
        stage.take(
            Notification{shell::SHCNE_RENAMEITEM, item(dir + ".tmp" + name), item(dir + name)},
            now);
        if (i % 4 == 0) {
            stage.take(Notification{shell::SHCNE_DELETE, item(dir + name), {}}, now);
            ++events;
        }
        events += 3;
        now += 100us; // 10,000 items a second
        stage.release(out, now, false);
        out.clear();
    }
    stage.release(out, now + 10s, false);
    const auto spent = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::micro>(spent).count() / events;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string root =
        (sfs::temp_directory_path() / ("zlv-desktop-day-" + std::to_string(::getpid()))).string();
    const std::string home = root + "/home";
    bench::day::MakeHome(home);
    ::setenv("HOME", home.c_str(), 1);

    DataFolder folder;
    folder.establish(home + "/.local/share");
    const Date today = Clock::instance().now().date;
    folder.ensureMonthFolder(today);
    const std::string dayFile = folder.dayFilePath(today);
    std::ofstream(dayFile, std::ios::app).close();

    LinuxCaptureOptions options = LinuxCaptureOptions::ForDataFolder(folder);
    options.homeFolder = home;
    options.mountRoots = {};
    options.watchMedia = false;
    auto owned = std::make_unique<LinuxNotificationSource>(options);
    LinuxNotificationSource* source = owned.get();
    frmPubHide form(folder, std::move(owned));
    if (!form.load() || !source->waitUntilWatching(120s)) {
        std::fprintf(stderr, "capture did not start\n");
        return 1;
    }

    bench::DayLineWatch lines(dayFile);
    std::atomic<bool> dayOver{false};
    std::vector<bench::day::UserOperation> operations;
    long churn = 0;
    std::thread programs([&] { churn = bench::day::RunProgramChurn(home, dayOver); });
    std::thread user([&] {
        std::this_thread::sleep_for(3s); // the first build and install are under way
        operations = bench::day::RunUserDay(home, 2024);
        dayOver = true;
    });
    // Once the day is over, what is still settling gets its time, then capture stops.
    QTimer watch;
    std::size_t seen = 0;
    auto still = std::chrono::steady_clock::now();
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        const std::size_t now = lines.count();
        if (now != seen) {
            seen = now;
            still = std::chrono::steady_clock::now();
        }
        if (dayOver && std::chrono::steady_clock::now() - still > 3s) {
            QCoreApplication::quit();
        }
    });
    watch.start(100);
    QCoreApplication::exec();
    user.join();
    programs.join();
    form.unload();
    const std::vector<bench::DayLineWatch::Arrival> arrivals = lines.arrivals();

    // Each expected record takes the first line that matches it; what no operation claims
    // is housekeeping.
    std::multimap<std::string, std::size_t> journal;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        journal.emplace(RecordText(arrivals[i].line), i);
    }
    std::vector<bool> claimed(arrivals.size(), false);
    std::vector<double> latency;
    std::vector<bool> found(operations.size(), true);
    for (std::size_t o = 0; o < operations.size(); ++o) {
        for (const std::string& record : operations[o].expected) {
            const auto range = journal.equal_range(record);
            const auto free = std::find_if(range.first, range.second,
                                           [&](const auto& e) { return !claimed[e.second]; });
            if (free == range.second) {
                found[o] = false;
                continue;
            }
            claimed[free->second] = true;
            const auto waited = arrivals[free->second].at - operations[o].done;
            latency.push_back(
                std::max(0.0, std::chrono::duration<double, std::milli>(waited).count()));
        }
    }
    std::map<std::string, int> strayAbout;
    std::size_t housekeeping = 0;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        if (!claimed[i]) {
            ++housekeeping;
            std::fprintf(stderr, "not the user's: %s\n", RecordText(arrivals[i].line).c_str());
            for (const std::string& item : ItemsOf(RecordText(arrivals[i].line))) {
                ++strayAbout[item];
            }
        }
    }
    int exact = 0;
    for (std::size_t o = 0; o < operations.size(); ++o) {
        bool clean = found[o];
        for (const std::string& item : operations[o].items) {
            clean = clean && !strayAbout.count(item);
        }
        if (!clean) {
            std::fprintf(stderr, "not exactly recorded: %s\n", operations[o].what.c_str());
        }
        exact += clean;
    }

    // What the names of the watched folders cost, on the home as the day left it.
    linuxcapture::WatchTree tree(folder.dataFolder());
    tree.open();
    tree.watchRoot(home);
    const double perFile = tree.nameCount() ? static_cast<double>(tree.nameBytes()) /
                                                  static_cast<double>(tree.nameCount())
                                            : 0.0;
    const double settleCost = SettleMicrosecondsPerEvent();

    std::error_code ec;
    sfs::remove_all(root, ec);
    std::printf("day: %zu user operations, %ld operations by programs, %zu lines\n",
                operations.size(), churn, arrivals.size());
    std::printf("user_operations_recorded: %d/%zu\n", exact, operations.size());
    std::printf("housekeeping_lines: %zu\n", housekeeping);
    std::printf("settle_latency_ms_p99: %.0f (p50 %.0f; settle time %lld ms)\n",
                Percentile(latency, 0.99), Percentile(latency, 0.5),
                static_cast<long long>(linuxcapture::SettleStage::kSettle.count()));
    std::printf("watched: %zu folders, %zu names\n", tree.watchCount(), tree.nameCount());
    std::printf("memory_per_watched_file_bytes: %.1f\n", perFile);
    std::printf("settle_stage_us_per_event: %.2f\n", settleCost);
    std::printf("housekeeping_share: %.1f%%\n", arrivals.empty()
                                                    ? 0.0
                                                    : 100.0 * static_cast<double>(housekeeping) /
                                                          static_cast<double>(arrivals.size()));
    return 0;
}
