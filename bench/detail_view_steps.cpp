// Steps the Detail View through the real Today list holding 10,000 and 1,000,000 rows,
// shown offscreen as in the window. Every press asks the list for its row count and
// selection afresh, moves the selection and scrolls to it; the figures show what a press
// costs and whether it grows with the list. Medians of three runs of each kind. Then the
// Windows dialog under Wine over 100,000 rows, beside the same here.
#include "WineHelper.h"
#include "browse/frmPubDetail.h"
#include "logstore/DayFile.h"
#include "logstore/LogListView.h"
#include "settings/DisplayFormat.h"

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

namespace {

constexpr int kPresses = 2000;

std::string DayFile(const std::filesystem::path& folder, int rows)
{
    const std::string path = (folder / ("rows-" + std::to_string(rows) + ".log")).string();
    std::string text;
    text.reserve(static_cast<std::size_t>(rows) * 100);
    for (int i = 0; i < rows; ++i) {
        const int second = static_cast<int>(static_cast<long long>(i) * 86400 / rows);
        const LogRecord r{
            dayfile::FormatStamp({Date{2024, 3, 5}, second / 3600, second / 60 % 60, second % 60}),
            "File",
            "Created",
            "/home/user/Documents/project-" + std::to_string(i % 97) + "/",
            "file_" + std::to_string(i) + ".txt",
            ""};
        text += dayfile::FormatLine(r);
    }
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

template <typename F> double MicrosecondsPerPress(int presses, F press)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < presses; ++i) {
        press(i);
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / presses;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Steps
{
    double next;
    double firstLast;
};

Steps Run(const std::string& path)
{
    LogListView list(LogListView::Kind::Today);
    list.rebuildToday(path);
    list.resize(1000, 700);
    list.show();
    QApplication::processEvents();

    frmPubDetail dialog(nullptr, [&] { return &list; });
    std::vector<double> next, ends;
    for (int run = 0; run < 3; ++run) {
        dialog.first();
        next.push_back(MicrosecondsPerPress(kPresses, [&](int) { dialog.next(); }));
        ends.push_back(MicrosecondsPerPress(kPresses, [&](int i) {
            if (i % 2) {
                dialog.first();
            } else {
                dialog.last();
            }
        }));
        QApplication::processEvents();
    }
    return {Median(next), Median(ends)};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ProgramDisplayFormat() = DefaultDisplayFormat();
    const auto root =
        std::filesystem::temp_directory_path() / ("zlv-bench-detail-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    const Steps small = Run(DayFile(root, 10000));
    const Steps middle = Run(DayFile(root, 100000));
    const Steps large = Run(DayFile(root, 1000000));
    std::filesystem::remove_all(root);
    std::printf("linux_next_us_100k: %.1f\n", middle.next);
    std::printf("linux_first_last_us_100k: %.1f\n", middle.firstLast);
    zlv::bench::WineHelper wine;
    if (!wine.missing().empty()) {
        std::printf("windows: skipped (%s)\n", wine.missing().c_str());
    } else if (const auto out = wine.run({"detail", "100000"})) {
        std::printf("windows_next_us_100k: %.1f\n",
                    zlv::bench::Figure(*out, "next_us").value_or(-1));
        std::printf("windows_first_last_us_100k: %.1f\n",
                    zlv::bench::Figure(*out, "first_last_us").value_or(-1));
    } else {
        std::printf("windows: the helper failed\n");
    }
    std::printf("next_us_10k: %.1f\n", small.next);
    std::printf("next_us_1M: %.1f\n", large.next);
    std::printf("first_last_us_10k: %.1f\n", small.firstLast);
    std::printf("first_last_us_1M: %.1f\n", large.firstLast);
    return 0;
}
