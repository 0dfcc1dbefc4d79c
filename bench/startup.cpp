// Time from process start until the main window is shown with all of today's rows loaded,
// with a today file of 100,000 lines. The parent starts the child and waits for its word.
#include "capture/PlatformSource.h"
#include "logstore/DayFile.h"
#include "logstore/LogListView.h"
#include "mainwindow/frmPubMain.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLines = 100000;
constexpr int kRuns = 5;

int Child(int argc, char** argv, const char* appData)
{
    QApplication app(argc, argv);
    zlv::frmPubMain::Options options;
    options.appData = appData;
    options.versionCheckDelayMs = 0;
    options.makeSource = [](const zlv::DataFolder& f) {
        return zlv::CreatePlatformNotificationSource(f);
    };
    zlv::frmPubMain window(std::move(options));
    window.show();
    // Shown means the first paint went through the event loop.
    QTimer::singleShot(0, &app, [&] {
        std::printf("%d\n", window.lsvToday()->rowCount());
        std::fflush(stdout);
        app.exit(0);
    });
    QApplication::exec();
    std::_Exit(0); // the measurement is over; no need to wait for an orderly shutdown
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "--child")) {
        return Child(argc, argv, argv[2]);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    const auto root =
        std::filesystem::temp_directory_path() / ("zlv-startup-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "home");
    std::filesystem::create_directories(root / "run");
    std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);

    zlv::DataFolder folder;
    folder.establish((root / "appdata").string());
    const zlv::LocalDateTime now = zlv::Clock::instance().now();
    folder.ensureMonthFolder(now.date);
    {
        std::ofstream out(folder.dayFilePath(now.date), std::ios::binary);
        for (int i = 0; i < kLines; ++i) {
            zlv::LocalDateTime at = now;
            at.hour = i * 24 / kLines;
            at.minute = i % 60;
            at.second = (i / 60) % 60;
            out << zlv::dayfile::FormatLine({zlv::dayfile::FormatStamp(at), "File", "Created",
                                             "/home/user/projects/src/",
                                             "file" + std::to_string(i) + ".cpp", ""});
        }
    }

    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        int fds[2];
        if (pipe(fds) != 0) {
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            execl("/proc/self/exe", argv[0], "--child", (root / "appdata").c_str(), nullptr);
            std::_Exit(127);
        }
        close(fds[1]);
        char buffer[64] = {};
        const ssize_t got = read(fds[0], buffer, sizeof buffer - 1);
        const auto shown = std::chrono::steady_clock::now();
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (got <= 0 || std::atoi(buffer) != kLines) {
            std::fprintf(stderr, "child reported '%s' rows\n", buffer);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
        std::printf("run %d: %.0f ms\n", run + 1, times.back());
    }
    std::filesystem::remove_all(root);
    std::sort(times.begin(), times.end());
    std::printf("rows: %d\n", kLines);
    std::printf("startup_ms: %.0f\n", times[times.size() / 2]);
    return 0;
}
