// Range-loads a year of day files holding a million records into the History list, and
// sorts the same files with the system's sort as a yardstick for reading and ordering that
// many lines; three of each, side by side, compared by their medians. Then the memory: the
// peak of the whole History session (three loads, the list shown and sorted by a column),
// and what a Today list of a million rows adds to a fresh process over its file's size.
#include "YearOfRecords.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "logstore/LogListModel.h"
#include "logstore/LogListView.h"
#include "settings/DisplayFormat.h"

#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

using namespace zlv;
using Seconds = std::chrono::duration<double>;

namespace {

constexpr int kDays = bench::kYearDays;
constexpr long kRecords = bench::kYearRecords;
const Date kFirstDay = bench::kYearFirstDay;
using bench::Median;

double Since(std::chrono::steady_clock::time_point start)
{
    return Seconds(std::chrono::steady_clock::now() - start).count();
}

// A figure of /proc/self/status in MiB ("VmHWM:", "VmRSS:").
double StatusMb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stod(line.substr(std::strlen(key))) / 1024.0;
        }
    }
    return -1;
}

double PeakRssMb()
{
    return StatusMb("VmHWM:");
}

// Run in a process of its own (argv: --today-list or --today-view, then the file), so that
// nothing freed before can be reused: the resident memory a Today list of the file adds,
// the list itself (the rows both front ends share) or the window's view shown over it.
int MeasureToday(const std::string& mode, const std::string& path)
{
    const double fileMb = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024);
    const double before = StatusMb("VmRSS:");
    if (mode == "--today-list") {
        LogListModel today;
        today.rebuildFrom(path);
        const double added = StatusMb("VmRSS:") - before;
        std::printf("today_file_mib: %.1f\n", fileMb);
        std::printf("today_list_extra_mib: %.1f (%d rows)\n", added, today.rowCount());
        std::printf("today_1M_extra_ratio: %.2f\n", added / fileMb);
        return 0;
    }
    LogListView today(LogListView::Kind::Today);
    today.rebuildToday(path);
    today.resize(1000, 700);
    today.show();
    QApplication::processEvents();
    const double added = StatusMb("VmRSS:") - before;
    std::printf("today_with_view_extra_mib: %.1f\n", added);
    std::printf("today_1M_with_view_ratio: %.2f\n", added / fileMb);
    return 0;
}

std::string Figures(const std::vector<double>& v)
{
    std::string out;
    for (double x : v) {
        char one[32];
        std::snprintf(one, sizeof one, "%.3f ", x);
        out += one;
    }
    return out;
}

// Ten day files of a year spoilt in the ways a disk or a hand edit spoils them: binary junk,
// runs of NULs, a record whose name is 4 MiB, and records glued together without a line
// end. Loaded as a range, each screenful showing a damaged row is repainted, the slowest
// repaint counting.
double DamagedPaintMs(const std::filesystem::path& root)
{
    DataFolder folder;
    if (!folder.establish((root / "damaged").string())) {
        return -1;
    }
    std::mt19937 random(7);
    const auto record = [](const Date& day, int second, const std::string& name) {
        LogRecord r{dayfile::FormatStamp({day, second / 3600, second / 60 % 60, second % 60}),
                    "File",
                    "Created",
                    "/home/user/",
                    name,
                    ""};
        return dayfile::FormatLine(r);
    };
    for (int d = 0; d < 10; ++d) {
        const Date day = kFirstDay.addDays(d * 36);
        folder.ensureMonthFolder(day);
        std::string text;
        for (int i = 0; i < 200; ++i) {
            text += record(day, i * 60, "ok_" + std::to_string(i) + ".txt");
            std::string junk(64 + random() % 4096, '\0');
            for (char& c : junk) {
                c = static_cast<char>(d % 2 ? random() : 0);
            }
            text += junk + "\n";
            if (i % 50 == 0) {
                std::string big = record(day, i * 60 + 1, std::string((4u << 20) - 4096, 'x'));
                text += d % 3 ? big : big.substr(0, big.size() - 2); // glued onto the next
            }
        }
        std::ofstream(folder.dayFilePath(day), std::ios::binary) << text;
    }
    LogListView list(LogListView::Kind::History);
    list.resize(1000, 700);
    list.loadRange(folder, kFirstDay, kFirstDay.addDays(kDays - 1));
    list.show();
    QApplication::processEvents();
    double slowest = 0;
    QScrollBar* bar = list.verticalScrollBar();
    for (int top = 0; top <= bar->maximum(); top += std::max(1, bar->pageStep())) {
        bar->setValue(top);
        QApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        list.viewport()->repaint();
        slowest = std::max(slowest, Since(start) * 1000);
    }
    return slowest;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ProgramDisplayFormat() = DefaultDisplayFormat();
    if (argc == 3 && std::strncmp(argv[1], "--today-", 8) == 0) {
        return MeasureToday(argv[1], argv[2]);
    }

    const auto root = std::filesystem::temp_directory_path() /
                      ("zlv-bench-history-" + std::to_string(::getpid()));
    DataFolder folder;
    if (!folder.establish(root.string())) {
        std::fprintf(stderr, "cannot create %s\n", root.c_str());
        return 1;
    }
    const std::vector<std::string> files = bench::WriteYearOfRecords(folder);

    std::string command = "LC_ALL=C sort --parallel=1 -r";
    for (const std::string& file : files) {
        command += " '" + file + "'";
    }
    command += " > /dev/null";

    // Loads and sorts take turns, three times, so that whatever else the machine does
    // weighs on both alike; the medians are compared.
    LogListView history(LogListView::Kind::History);
    history.resize(1000, 700);
    std::vector<double> loads, sorts;
    double rss = 0;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        history.loadRange(folder, kFirstDay, kFirstDay.addDays(kDays - 1));
        loads.push_back(Since(start));
        rss = std::max(rss, PeakRssMb());
        if (history.rowCount() != kRecords) {
            std::fprintf(stderr, "loaded %d rows instead of %ld\n", history.rowCount(), kRecords);
            return 1;
        }
        start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "sort failed\n");
            return 1;
        }
        sorts.push_back(Since(start));
    }
    std::printf("rows: %d\n", history.rowCount());
    std::printf("load_s_runs: %s\n", Figures(loads).c_str());
    std::printf("sort_s_runs: %s\n", Figures(sorts).c_str());
    std::printf("load_s: %.3f\n", Median(loads));
    std::printf("peak_rss_mb: %.1f\n", rss);

    // What the user meets next: the list shown, then sorted by another column.
    auto start = std::chrono::steady_clock::now();
    history.show();
    QApplication::processEvents();
    std::printf("first_show_s: %.3f\n", Since(start));
    start = std::chrono::steady_clock::now();
    history.headerClicked(3);
    while (history.logModel()->sorting()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QApplication::processEvents();
    std::printf("header_sort_s: %.3f\n", Since(start));
    const double sessionPeak = PeakRssMb();
    history.hide();
    std::filesystem::remove_all(root);

    std::printf("sort_s: %.3f\n", Median(sorts));
    std::printf("ratio_vs_sort: %.2f\n", Median(loads) / Median(sorts));

    const double damaged = DamagedPaintMs(root);
    std::filesystem::remove_all(root);
    std::printf("damaged_paint_ms: %.1f\n", damaged);

    std::printf("peak_mib: %.1f\n", sessionPeak);
    std::filesystem::create_directories(root);
    const std::string million = (root / "million.log").string();
    bench::WriteDayOfRecords(million, {2024, 3, 5}, kRecords);
    std::fflush(stdout);
    // The view first, so that the deciding figure comes last.
    int status = 0;
    for (const char* mode : {"--today-view", "--today-list"}) {
        const std::string child =
            "'/proc/" + std::to_string(::getpid()) + "/exe' " + mode + " '" + million + "'";
        status |= std::system(child.c_str());
    }
    std::filesystem::remove_all(root);
    return status == 0 ? 0 : 1;
}
