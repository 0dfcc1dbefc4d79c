#pragma once

// What the Linux capture tests share: a temporary home watched by the real source, recorded
// through the real pipeline into a data folder inside it; every check reads the day file.
#include "capture/frmPubHide.h"
#include "capture/linux/LinuxNotificationSource.h"
#include "logstore/DayFile.h"
#include "mock/ManualClock.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace zlv::test {

using namespace std::chrono_literals;
namespace sfs = std::filesystem;

inline const std::string kMark = "settle-mark-";

inline void Touch(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ::close(fd);
}

// A record as the day file has it after the time stamp.
inline std::string Rec(const std::string& object, const std::string& action,
                       const std::string& path, const std::string& name,
                       const std::string& newName = {})
{
    return object + "\t" + action + "\t" + path + "\t" + name + "\t" + newName;
}

// Pumps the event loop until `done` holds or `limit` has passed.
template <typename Pred> inline bool WaitFor(Pred done, std::chrono::milliseconds limit = 10s)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs this test program again as `prefix` says (under unshare), with `marker` set in its
// environment and only the tests of `filter`: the test passes when they passed there, and is
// skipped when they could not run or were skipped there.
inline void RunAgain(const std::string& marker, const std::string& prefix,
                     const std::string& filter)
{
    const std::string run = marker + "=1 " + prefix + " " +
                            sfs::read_symlink("/proc/self/exe").string() +
                            " --gtest_filter=" + filter + " 2>&1";
    FILE* child = ::popen(run.c_str(), "r");
    std::string output;
    for (char buffer[4096]; child && std::fgets(buffer, sizeof buffer, child);) {
        output += buffer;
    }
    if (child) {
        ::pclose(child);
    }
    if (output.find("[==========]") == std::string::npos ||
        output.find("[  SKIPPED ]") != std::string::npos) {
        GTEST_SKIP() << "no namespace of its own here: " << output;
    }
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

class LinuxCapture : public ::testing::Test
{
protected:
    // The data folder lies inside the watched home, as it usually does under $HOME.
    void SetUp() override { ASSERT_TRUE(folder.establish(home + "/appdata")); }

    // Without a settle time every operation is recorded as the kernel reported it: these
    // tests are about the watch tree, not about net effects.
    void Start(std::vector<std::string> mountRoots = {}, std::function<void()> beforeRead = {},
               const std::string& watched = {}, std::chrono::milliseconds settle = 0ms)
    {
        LinuxCaptureOptions options;
        options.homeFolder = watched.empty() ? home : watched;
        options.mountRoots = std::move(mountRoots);
        options.dataFolder = folder.dataFolder();
        options.watchMedia = false;
        options.beforeRead = std::move(beforeRead);
        options.settle = settle;
        m_settle = settle;
        auto source = std::make_unique<LinuxNotificationSource>(options);
        LinuxNotificationSource* watching = source.get();
        form = std::make_unique<frmPubHide>(folder, std::move(source), clock);
        form->setHealthCallback([this](const CaptureIncident& i, bool) { incidents.push_back(i); });
        ASSERT_TRUE(form->load());
        ASSERT_TRUE(watching->waitUntilWatching(10s));
    }

    std::string DayText() const { return test::ReadAll(folder.dayFilePath(clock.now().date)); }
    std::size_t Told(GapReason reason, bool cleared = false) const
    {
        return std::count_if(incidents.begin(), incidents.end(), [&](const CaptureIncident& i) {
            return i.reason == reason && i.cleared == cleared;
        });
    }

    // Every record but the marks Settle() leaves, in file order.
    std::vector<std::string> Records() const
    {
        std::vector<std::string> out;
        std::istringstream text(DayText());
        for (std::string line; std::getline(text, line);) {
            const std::optional<std::string_view> record = dayfile::RecordTextOfLine(line);
            EXPECT_TRUE(record) << "unreadable line: " << line;
            if (record && record->find(kMark) == std::string_view::npos) {
                out.emplace_back(*record);
            }
        }
        return out;
    }

    // Waits until a file created now is on record: delivery keeps order, so everything done
    // before it has been handled by then. A mark made while the kernel's queue is still full
    // is lost with the overflow, so a new one follows every half second.
    void Settle()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const std::string mark = kMark + std::to_string(m_marks++);
            Touch(home + "/" + mark);
            if (WaitFor([&] { return DayText().find(mark + "\t") != std::string::npos; },
                        m_settle + 500ms)) {
                return;
            }
        }
        FAIL() << "capture did not catch up";
    }

    TempDir homeDir;
    const std::string home = sfs::canonical(homeDir.path()).string();
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 14, 7, 9}};
    std::mutex gate; // outlives the source, whose reader may still pass it while stopping
    std::unique_ptr<frmPubHide> form;
    std::vector<CaptureIncident> incidents;
    int m_marks = 0;
    std::chrono::milliseconds m_settle{0};
};

} // namespace zlv::test
