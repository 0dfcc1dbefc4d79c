// Records distinct notifications through the whole pipeline (classification, repeat test,
// append) into a day file that first is empty and then already holds 1,000,000 lines.
#include "capture/RecordPipeline.h"
#include "capture/ShellEvents.h"
#include "logstore/DayFile.h"
#include "mock/ManualClock.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace zlv;
using Seconds = std::chrono::duration<double>;

namespace {

constexpr int kRecords = 60000;

// The process's resident memory now, in KiB.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return 0;
}
constexpr int kPrefilled = 1000000;

double RecordBatch(RecordPipeline& pipeline, ManualClock& clock, const std::string& tag)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRecords; ++i) {
        if (i % 1000 == 0) {
            clock.advanceSeconds(1);
        }
        const std::string name = tag + std::to_string(i) + ".txt";
        Notification n{shell::SHCNE_CREATE, ShellItem{name, "/home/user/work/" + name}, {}};
        if (pipeline.handle(n) != RecordPipeline::Outcome::Written) {
            std::fprintf(stderr, "record %d was not written\n", i);
            std::exit(1);
        }
    }
    return kRecords / Seconds(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const auto root =
        std::filesystem::temp_directory_path() / ("zlv-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);

    double empty = 0;
    {
        DataFolder folder;
        folder.establish((root / "empty").string());
        ManualClock clock(LocalDateTime{{2024, 3, 5}, 8, 0, 0});
        RecordPipeline pipeline(folder, clock);
        empty = RecordBatch(pipeline, clock, "e");
    }

    DataFolder folder;
    folder.establish((root / "full").string());
    ManualClock clock(LocalDateTime{{2024, 3, 5}, 8, 0, 0});
    folder.ensureMonthFolder(clock.now().date);
    {
        std::ofstream out(folder.dayFilePath(clock.now().date), std::ios::binary);
        for (int i = 0; i < kPrefilled; ++i) {
            LogRecord r{"2024-03-05 07:" + std::string(i % 60 < 10 ? "0" : "") +
                            std::to_string(i % 60) + ":00",
                        "File",
                        "Created",
                        "/home/user/old/",
                        "old" + std::to_string(i) + ".txt",
                        ""};
            out << dayfile::FormatLine(r);
        }
    }
    RecordPipeline pipeline(folder, clock);
    // The first record reads only the day's tail back to the repeat window; every later
    // one only what was appended since. Shown apart so that the steady cost is what the
    // ratio compares.
    const long residentBefore = ResidentKiB();
    const auto warmStart = std::chrono::steady_clock::now();
    pipeline.handle(Notification{shell::SHCNE_CREATE, ShellItem{"warm", "/w/warm"}, {}});
    const double warm = Seconds(std::chrono::steady_clock::now() - warmStart).count();
    const long extraKiB = ResidentKiB() - residentBefore;
    const double full = RecordBatch(pipeline, clock, "f");

    std::filesystem::remove_all(root);
    std::printf("records: %d per run\n", kRecords);
    std::printf("records_per_s_empty: %.0f\n", empty);
    std::printf("records_per_s_1M: %.0f\n", full);
    std::printf("ratio_1M_vs_empty: %.2f\n", full / empty);
    std::printf("first_record_1M_extra_kib: %ld\n", extraKiB);
    std::printf("first_record_1M_ms: %.1f\n", warm * 1000);
    return 0;
}
