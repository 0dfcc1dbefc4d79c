// The Windows program's share of bench/startup and bench/today_rebuild: run under Wine by
// those Linux benchmarks, which start it, read its figures and print them beside their own.
//   win_bench startup <data folder's parent, a Unix path>
//       the main window over the day there: prints the row count once the window is shown
//       and painted, and the milliseconds since this process was created.
//   win_bench today <records before> <records appended>
//       the cost of one record on the Today list (rebuild, then painting) in a window whose
//       day already holds that many records, beside one whose day was empty: prints the
//       medians in microseconds.
//   win_bench detail <rows>
//       the Detail View stepping through a Today list of that many rows: prints the median
//       microseconds of a Next press and of a First or Last press.
#include "browse/windows/frmPubDetail.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "mainwindow/windows/CommandIds.h"
#include "mainwindow/windows/frmPubMain.h"
#include "utility/FileSystem.h"
#include "utility/windows/CallbackTimer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace zlv;
using Micro = std::chrono::duration<double, std::micro>;

namespace {

// A Unix path as this Wine process names it.
std::string DosPath(const std::string& unixPath)
{
    using ToDos = WCHAR*(CDECL*)(const char*);
    const auto address = reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name"));
    const auto toDos = reinterpret_cast<ToDos>(address);
    WCHAR* dos = toDos ? toDos(unixPath.c_str()) : nullptr;
    if (!dos) {
        return unixPath;
    }
    char narrow[MAX_PATH * 4] = {};
    WideCharToMultiByte(CP_ACP, 0, dos, -1, narrow, sizeof narrow, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, dos);
    return narrow;
}

// Dispatches everything that is waiting, painting included.
void Settle()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double SinceProcessStart()
{
    FILETIME created{}, unused{};
    GetProcessTimes(GetCurrentProcess(), &created, &unused, &unused, &unused);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

void InitControls()
{
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX),
                              ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES |
                                  ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
}

int Startup(const std::string& appData)
{
    InitControls();
    win::frmPubMain::Options options;
    options.appData = DosPath(appData);
    options.quitOnDestroy = false;
    win::frmPubMain window(std::move(options));
    if (!window.create(SW_SHOWNORMAL)) {
        return 1;
    }
    RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Settle();
    std::printf("rows: %d\n", window.lsvToday().rowCount());
    std::printf("in_process_ms: %.0f\n", SinceProcessStart());
    std::fflush(stdout);
    std::_Exit(0); // the measurement is over; no need to wait for an orderly shutdown
}

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

std::string Line(const Date& day, int secondOfDay, int n)
{
    LogRecord r;
    r.time =
        dayfile::FormatStamp({day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60});
    r.object = "File";
    r.action = n % 3 == 0 ? "Renamed" : "Created";
    r.path = "C:\\Users\\user\\Documents\\project-" + std::to_string(n % 97) + "\\";
    r.originalName = "file_" + std::to_string(n) + ".txt";
    if (r.action == "Renamed") {
        r.newName = "renamed_" + std::to_string(n) + ".txt";
    }
    return dayfile::FormatLine(r);
}

// One window over a day that holds `prefilled` records, and what a record costs it.
class TodayWindow
{
public:
    TodayWindow(const std::filesystem::path& root, const Date& day, int prefilled)
        : m_day(day), m_prefilled(prefilled)
    {
        std::filesystem::create_directories(root);
        m_folder.establish(root.string());
        m_folder.ensureMonthFolder(day);
        m_path = m_folder.dayFilePath(day);
        // The morning: the records before spread over the first twelve hours.
        std::string text;
        text.reserve(static_cast<std::size_t>(prefilled) * 100);
        for (int i = 0; i < prefilled; ++i) {
            text += Line(
                day, static_cast<int>(static_cast<long long>(i) * 43200 / std::max(1, prefilled)),
                i);
        }
        fs::AppendWhole(m_path, text);
        win::frmPubMain::Options options;
        options.appData = root.string();
        options.quitOnDestroy = false;
        m_window = std::make_unique<win::frmPubMain>(std::move(options));
    }

    bool open()
    {
        if (!m_window->create(SW_SHOWNORMAL)) {
            return false;
        }
        SetWindowPos(m_window->hwnd(), nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOMOVE);
        Settle();
        return true;
    }

    void record(int n)
    {
        fs::AppendWhole(m_path, Line(m_day, 43200 + n % 43200, m_prefilled + n));
        auto start = std::chrono::steady_clock::now();
        m_window->rebuildToday();
        rebuild.push_back(Micro(std::chrono::steady_clock::now() - start).count());
        start = std::chrono::steady_clock::now();
        RedrawWindow(GetDlgItem(m_window->hwnd(), IDC_lsvToday), nullptr, nullptr, RDW_UPDATENOW);
        Settle();
        view.push_back(Micro(std::chrono::steady_clock::now() - start).count());
        total.push_back(rebuild.back() + view.back());
    }

    int rows() const { return m_window->lsvToday().rowCount(); }
    void showDetail() { m_window->showDetailView(); }

    std::vector<double> rebuild, view, total;

private:
    Date m_day;
    int m_prefilled;
    DataFolder m_folder;
    std::string m_path;
    std::unique_ptr<win::frmPubMain> m_window;
};

// Two windows side by side, one over an empty day and one over a day of `prefilled`
// records, each record going to one and then to the other, so that whatever else the
// machine does meanwhile weighs on both alike.
int Today(int prefilled, int appended)
{
    InitControls();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path root =
        std::filesystem::path(temp) / ("zlv-win-bench-" + std::to_string(GetCurrentProcessId()));
    const Date day = Clock::instance().now().date;
    int status = 0;
    {
        TodayWindow empty(root / "empty", day, 0);
        TodayWindow full(root / "full", day, prefilled);
        if (!empty.open() || !full.open()) {
            return 1;
        }
        for (int i = 0; i < appended; ++i) {
            empty.record(i);
            full.record(i);
        }
        if (empty.rows() != appended || full.rows() != prefilled + appended) {
            std::fprintf(stderr, "%d and %d rows\n", empty.rows(), full.rows());
            status = 1;
        }
        std::printf("empty_rebuild_us: %.1f\nempty_view_us: %.1f\nempty_total_us: %.1f\n",
                    Median(empty.rebuild), Median(empty.view), Median(empty.total));
        std::printf("full_rebuild_us: %.1f\nfull_view_us: %.1f\nfull_total_us: %.1f\n",
                    Median(full.rebuild), Median(full.view), Median(full.total));
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return status;
}

// Presses the Detail View's buttons from inside its modal loop, as a user's clicks would
// arrive, on a window whose Today list holds `rows` records.
int Detail(int rows)
{
    InitControls();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path root =
        std::filesystem::path(temp) / ("zlv-win-detail-" + std::to_string(GetCurrentProcessId()));
    constexpr int kPresses = 200; // each press is a round of messages under Wine
    std::vector<double> next, ends;
    int status = 1;
    {
        TodayWindow window(root, Clock::instance().now().date, rows);
        if (!window.open() || window.rows() != rows) {
            return 1;
        }
        const auto perPress = [](auto press) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kPresses; ++i) {
                press(i);
            }
            return Micro(std::chrono::steady_clock::now() - start).count() / kPresses;
        };
        win::CallbackTimer driver;
        driver.start(10, [&] {
            win::frmPubDetail* dialog = win::frmPubDetail::openInstance();
            if (!dialog) {
                return;
            }
            for (int run = 0; run < 3; ++run) {
                dialog->first();
                next.push_back(perPress([&](int) { dialog->next(); }));
                ends.push_back(perPress([&](int i) { i % 2 ? dialog->first() : dialog->last(); }));
                Settle();
            }
            status = 0;
            PostMessageW(dialog->hwnd(), WM_COMMAND, IDCANCEL, 0);
        });
        window.showDetail();
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    if (status == 0) {
        std::printf("next_us: %.1f\nfirst_last_us: %.1f\n", Median(next), Median(ends));
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "startup") {
        return Startup(argv[2]);
    }
    if (argc == 4 && std::string(argv[1]) == "today") {
        return Today(std::atoi(argv[2]), std::atoi(argv[3]));
    }
    if (argc == 3 && std::string(argv[1]) == "detail") {
        return Detail(std::atoi(argv[2]));
    }
    std::fprintf(stderr,
                 "usage: win_bench startup <folder> | today <before> <appended> | detail <rows>\n");
    return 2;
}
