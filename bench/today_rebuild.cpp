// The Today rebuild that follows every record, timed on a day file that starts empty and on
// ones that already hold 100,000 and 1,000,000 lines: the model's part, and the view's
// (its layout and painting, shown offscreen). Neither should depend on the lines before.
// Then the same for the Windows program's window under Wine, at 0 and 1,000,000 lines,
// where the Windows build tree has it.
#include "WineHelper.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "logstore/LogListView.h"
#include "settings/DisplayFormat.h"
#include "utility/FileSystem.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zlv;
using Micro = std::chrono::duration<double, std::micro>;

namespace {

constexpr int kAppended = 1000;
// Under Wine a record costs more; fewer of them still give a steady median.
constexpr int kWindowsAppended = 300;
const Date kDay{2024, 3, 5};

std::string Line(int secondOfDay, int n)
{
    LogRecord r;
    r.time =
        dayfile::FormatStamp({kDay, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60});
    r.object = "File";
    r.action = n % 3 == 0 ? "Renamed" : "Created";
    r.path = "/home/user/Documents/project-" + std::to_string(n % 97) + "/";
    r.originalName = "file_" + std::to_string(n) + ".txt";
    if (r.action == "Renamed") {
        r.newName = "renamed_" + std::to_string(n) + ".txt";
    }
    return dayfile::FormatLine(r);
}

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

struct Figures
{
    double rebuildUs;
    double viewUs;  // the view's own work in the event loop afterwards (layout, painting)
    double totalUs; // both, per record
};

Figures Run(const std::filesystem::path& root, int prefilled)
{
    DataFolder folder;
    folder.establish(root.string());
    folder.ensureMonthFolder(kDay);
    const std::string path = folder.dayFilePath(kDay);
    {
        // The morning: prefilled records spread over the first twelve hours.
        std::string text;
        for (int i = 0; i < prefilled; ++i) {
            text +=
                Line(static_cast<int>(static_cast<long>(i) * 43200 / std::max(1, prefilled)), i);
        }
        std::ofstream(path, std::ios::binary) << text;
    }
    LogListView today(LogListView::Kind::Today);
    today.resize(1000, 700);
    today.show();
    today.loadFile(path);
    today.highlightRows();
    QApplication::processEvents();

    std::vector<double> rebuild, view, total;
    for (int i = 0; i < kAppended; ++i) {
        fs::AppendWhole(path, Line(43200 + i, prefilled + i));
        auto start = std::chrono::steady_clock::now();
        today.rebuildToday(path);
        rebuild.push_back(Micro(std::chrono::steady_clock::now() - start).count());
        start = std::chrono::steady_clock::now();
        QApplication::processEvents();
        view.push_back(Micro(std::chrono::steady_clock::now() - start).count());
        total.push_back(rebuild.back() + view.back());
    }
    if (today.rowCount() != prefilled + kAppended) {
        std::fprintf(stderr, "%d rows instead of %d\n", today.rowCount(), prefilled + kAppended);
        std::exit(1);
    }
    return {Median(rebuild), Median(view), Median(total)};
}

// The Windows window after each record, under Wine, at 0 and 1,000,000 records side by side
// in one process: its absolute times are Wine's, the ratio is what counts.
void WindowsRuns()
{
    zlv::bench::WineHelper wine;
    if (!wine.missing().empty()) {
        std::printf("windows: skipped (%s)\n", wine.missing().c_str());
        return;
    }
    const auto both = wine.run({"today", "1000000", std::to_string(kWindowsAppended)});
    if (!both) {
        std::printf("windows: the helper failed\n");
        return;
    }
    const auto figure = [&](const char* key) { return zlv::bench::Figure(*both, key).value_or(0); };
    std::printf("windows_rebuild_us_median_from_empty: %.1f\n", figure("empty_rebuild_us"));
    std::printf("windows_view_update_us_median_from_empty: %.1f\n", figure("empty_view_us"));
    std::printf("windows_total_us_median_from_empty: %.1f\n", figure("empty_total_us"));
    std::printf("windows_rebuild_us_median_1M: %.1f\n", figure("full_rebuild_us"));
    std::printf("windows_view_update_us_median_1M: %.1f\n", figure("full_view_us"));
    std::printf("windows_total_us_median_1M: %.1f\n", figure("full_total_us"));
    const double empty = figure("empty_total_us");
    std::printf("windows_view_ratio_1M_vs_empty: %.2f\n",
                empty > 0 ? figure("full_total_us") / empty : 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ProgramDisplayFormat() = DefaultDisplayFormat();

    const auto root =
        std::filesystem::temp_directory_path() / ("zlv-bench-today-" + std::to_string(::getpid()));
    const Figures empty = Run(root / "empty", 0);
    const Figures full = Run(root / "full", 100000);
    const Figures million = Run(root / "million", 1000000);
    std::filesystem::remove_all(root);

    // "rebuild" is LogListView::rebuildToday (the model, and the layout it asks for);
    // "view" is what the event loop does afterwards (painting); "total" both.
    std::printf("rebuild_us_median_from_empty: %.1f\n", empty.rebuildUs);
    std::printf("view_update_us_median_from_empty: %.1f\n", empty.viewUs);
    std::printf("total_us_median_from_empty: %.1f\n", empty.totalUs);
    std::printf("view_update_us_median: %.1f\n", full.viewUs);
    std::printf("rebuild_us_median: %.1f\n", full.rebuildUs);
    std::printf("total_us_median_1M: %.1f\n", million.totalUs);
    std::printf("ratio_100k_vs_empty: %.2f\n", full.rebuildUs / empty.rebuildUs);
    WindowsRuns();
    std::printf("view_ratio_1M_vs_empty: %.2f\n", million.totalUs / empty.totalUs);
    return 0;
}
