// A History list of a million records: typing a search into it one key at a time, and
// sorting it by each column in turn, while a heartbeat timer notes how long the event loop
// is kept from answering.
#include "YearOfRecords.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "logstore/LogListView.h"
#include "settings/DisplayFormat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zlv;

namespace {

constexpr int kDays = bench::kYearDays;
constexpr long kRecords = bench::kYearRecords;
const Date kFirstDay = bench::kYearFirstDay;

// Turns of the event loop until `done`, in milliseconds since `clock` started.
template <typename Done> double Until(const QElapsedTimer& clock, Done done)
{
    while (!done()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Milliseconds until a timer posted now fires: the moment the event loop answers again.
double UntilAnswered(const QElapsedTimer& clock)
{
    bool answered = false;
    QTimer::singleShot(0, [&answered] { answered = true; });
    return Until(clock, [&answered] { return answered; });
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
        std::filesystem::temp_directory_path() / ("zlv-bench-find-" + std::to_string(::getpid()));
    DataFolder folder;
    if (!folder.establish(root.string())) {
        std::fprintf(stderr, "cannot create %s\n", root.c_str());
        return 1;
    }
    bench::WriteYearOfRecords(folder);
    LogListView history(LogListView::Kind::History);
    history.resize(1000, 700);
    history.loadRange(folder, kFirstDay, kFirstDay.addDays(kDays - 1));
    std::filesystem::remove_all(root);
    history.show();
    QApplication::processEvents();
    if (history.rowCount() != kRecords) {
        std::fprintf(stderr, "loaded %d rows instead of %ld\n", history.rowCount(), kRecords);
        return 1;
    }

    QElapsedTimer beats;
    beats.start();
    double lastBeat = 0;
    double maxStall = 0;
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const double now = static_cast<double>(beats.nsecsElapsed()) / 1e6;
        maxStall = std::max(maxStall, now - lastBeat);
        lastBeat = now;
    });
    heartbeat.start();
    UntilAnswered(beats);
    lastBeat = static_cast<double>(beats.nsecsElapsed()) / 1e6;

    LogListModel* model = history.logModel();
    const QString search = QStringLiteral("ile_42");
    std::vector<double> keys;
    for (qsizetype typed = 1; typed <= search.size(); ++typed) {
        QElapsedTimer clock;
        clock.start();
        model->setFilter(search.left(typed));
        history.viewport()->repaint();
        keys.push_back(UntilAnswered(clock));
    }
    const int found = history.rowCount();
    model->setFilter({});
    UntilAnswered(beats);

    double slowestSort = 0;
    double slowestDone = 0;
    for (int column : {3, 4, 5, 1, 2, 0}) {
        QElapsedTimer clock;
        clock.start();
        history.headerClicked(column);
        slowestSort = std::max(slowestSort, UntilAnswered(clock));
        slowestDone = std::max(slowestDone, Until(clock, [model] { return !model->sorting(); }));
        history.viewport()->repaint();
        UntilAnswered(clock);
    }
    heartbeat.stop();

    std::vector<double> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    std::printf("rows: %d\n", kRecords > 0 ? static_cast<int>(kRecords) : 0);
    std::printf("found: %d\n", found);
    std::printf("keystroke_ms: ");
    for (double k : keys) {
        std::printf("%.1f ", k);
    }
    std::printf("\n");
    // Informative: how long the rows take to stand in their new order.
    std::printf("sort_done_ms: %.1f\n", slowestDone);
    std::printf("keystroke_ms_p50: %.1f\n", (sorted[2] + sorted[3]) / 2);
    std::printf("keystroke_ms_max: %.1f\n", sorted.back());
    std::printf("header_sort_ms: %.1f\n", slowestSort);
    std::printf("max_stall_ms: %.1f\n", maxStall);
    return 0;
}
