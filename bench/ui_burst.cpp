// The whole application, offscreen, while the capture burst runs in its home folder. A
// 10 ms timer measures how late the event loop answers: that lateness is what a user would
// feel as a frozen window.
#include "BurstWorkload.h"
#include "capture/PlatformSource.h"
#include "logstore/LogListView.h"
#include "mainwindow/frmPubMain.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace zlv;

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const auto root =
        std::filesystem::temp_directory_path() / ("zlv-ui-burst-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "home" / "burst");
    bench::PrepareBurst((root / "home" / "burst").string());
    std::filesystem::create_directories(root / "run");
    std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);

    QApplication app(argc, argv);
    frmPubMain::Options options;
    options.appData = (root / "appdata").string();
    options.versionCheckDelayMs = 0;
    options.makeSource = [](const DataFolder& f) { return CreatePlatformNotificationSource(f); };
    frmPubMain window(std::move(options));
    window.show();

    double maxStallMs = 0;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        if (sinceTick.isValid()) {
            maxStallMs = std::max(maxStallMs, sinceTick.nsecsElapsed() / 1e6 - 10.0);
        }
        sinceTick.start();
    });

    std::thread workload;
    std::atomic<bool> burstDone{false};
    QElapsedTimer total;
    LogListView* today = window.lsvToday();
    QElapsedTimer idle;
    int lastRows = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        const int rows = today->rowCount();
        if (rows != lastRows) {
            lastRows = rows;
            idle.restart();
        }
        // All lines in, or nothing new for five seconds after the burst.
        if (rows >= bench::kBurstLines || (burstDone && idle.elapsed() > 5000)) {
            app.exit(0);
        }
    });

    // Let the window settle and the watches stand before the burst.
    QTimer::singleShot(500, &app, [&] {
        sinceTick.invalidate();
        tick.start();
        total.start();
        idle.start();
        workload = std::thread([&] {
            bench::RunBurst((root / "home" / "burst").string());
            burstDone = true;
        });
        watch.start(50);
    });
    QApplication::exec();
    if (workload.joinable()) {
        workload.join();
    }

    // A rename row stands for both halves of the kernel's rename.
    int operations = 0;
    const QAbstractItemModel* model = today->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        operations += model->index(r, 2).data().toString() == QLatin1String("Renamed") ? 2 : 1;
    }
    std::printf("elapsed_s: %.2f\n", total.elapsed() / 1000.0);
    std::printf("lines: %d/%d\n", today->rowCount(), bench::kBurstLines);
    std::printf("rows: %d\n", operations);
    std::printf("max_stall_ms: %.0f\n", maxStallMs);
    std::fflush(stdout);
    std::_Exit(0); // measured; the orderly shutdown would only ask its question
}
