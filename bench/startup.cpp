// Time from process start until the main window is shown with all of today's rows loaded,
// with a today file of 100,000 lines. The parent starts the child and waits for its word.
// Then the Windows program's window under Wine with a day of 1,000,000 lines, where the
// Windows build tree has it.
#include "WineHelper.h"
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
constexpr int kWindowsLines = 1000000;
constexpr int kRuns = 5;

void WriteDay(const zlv::DataFolder& folder, const zlv::LocalDateTime& now, int lines,
              const std::string& path)
{
    folder.ensureMonthFolder(now.date);
    std::ofstream out(folder.dayFilePath(now.date), std::ios::binary);
    for (int i = 0; i < lines; ++i) {
        zlv::LocalDateTime at = now;
        at.hour = static_cast<int>(static_cast<long long>(i) * 24 / lines);
        at.minute = i % 60;
        at.second = (i / 60) % 60;
        out << zlv::dayfile::FormatLine({zlv::dayfile::FormatStamp(at), "File", "Created", path,
                                         "file" + std::to_string(i) + ".cpp", ""});
    }
}

// The window of the Windows program, started afresh each run: the time from the start of
// wine until the helper's first line, and the helper's own count from its process start.
void WindowsRuns(const std::filesystem::path& root, const zlv::LocalDateTime& now)
{
    zlv::bench::WineHelper wine;
    if (!wine.missing().empty()) {
        std::printf("windows: skipped (%s)\n", wine.missing().c_str());
        return;
    }
    zlv::DataFolder folder;
    folder.establish((root / "windows").string());
    WriteDay(folder, now, kWindowsLines, "C:\\Users\\user\\projects\\src\\");
    const std::string appData = (root / "windows").string();
    // The first run makes the Wine prefix; it is not counted.
    if (!wine.run({"startup", appData})) {
        std::printf("windows: the helper failed\n");
        return;
    }
    std::vector<double> wall, inside;
    for (int run = 0; run < kRuns; ++run) {
        double firstLine = 0;
        const auto output = wine.run({"startup", appData}, &firstLine);
        if (!output || zlv::bench::Figure(*output, "rows") != kWindowsLines) {
            std::printf("windows: the window did not show %d rows\n", kWindowsLines);
            return;
        }
        wall.push_back(firstLine);
        inside.push_back(zlv::bench::Figure(*output, "in_process_ms").value_or(0));
        std::printf("windows run %d: %.0f ms (%.0f ms in the process)\n", run + 1, wall.back(),
                    inside.back());
    }
    std::printf("windows_rows: %d\n", kWindowsLines);
    std::printf("windows_startup_ms: %.0f\n", zlv::bench::Median(wall));
    std::printf("windows_startup_in_process_ms: %.0f\n", zlv::bench::Median(inside));
}

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
    WriteDay(folder, now, kLines, "/home/user/projects/src/");

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
    WindowsRuns(root, now);
    std::filesystem::remove_all(root);
    std::sort(times.begin(), times.end());
    std::printf("rows: %d\n", kLines);
    std::printf("startup_ms: %.0f\n", times[times.size() / 2]);
    return 0;
}
