#include "SignalBurst.h"

#include "BurstWorkload.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zlv::bench {

namespace {

using namespace std::chrono_literals;
namespace sfs = std::filesystem;

constexpr int kFiles = 20000;
constexpr int kSignalAt = 10000;

// The name field of every line of every day file under `home`.
std::set<std::string> Journal(const std::string& home)
{
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e :
         sfs::recursive_directory_iterator(home + "/.local/share/QBS/ZLV/logs", ec)) {
        if (e.path().extension() != ".log") {
            continue;
        }
        std::ifstream in(e.path());
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string name;
            for (int i = 0; i < 5; ++i) {
                std::getline(fields, name, '\t');
            }
            names.insert(name);
        }
    }
    return names;
}

} // namespace

#ifdef ZLV_APP_PATH

int SignalLost(const std::string& root, int rounds)
{
    int worst = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string home = root + "/signal" + std::to_string(round);
        const std::string work = home + "/w";
        sfs::create_directories(work);
        const pid_t app = ::fork();
        if (app == 0) {
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::unsetenv("XDG_DATA_HOME");
            ::unsetenv("XDG_RUNTIME_DIR");
            const int devNull = ::open("/dev/null", O_WRONLY);
            if (devNull >= 0) {
                ::dup2(devNull, STDOUT_FILENO);
                ::dup2(devNull, STDERR_FILENO);
            }
            ::execl(ZLV_APP_PATH, ZLV_APP_PATH, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Recording once a probe shows up in the journal: any of them, since each is written
        // only once it has been left alone for the settle time.
        const auto probed = [&](int made) {
            const std::set<std::string> names = Journal(home);
            for (int probe = 0; probe < made; ++probe) {
                if (names.count(sfs::path(NumberedPath(work, "probe", probe)).filename())) {
                    return true;
                }
            }
            return false;
        };
        for (int probe = 0; probe < 300 && !probed(probe); ++probe) {
            CreateEmptyFile(NumberedPath(work, "probe", probe));
            std::this_thread::sleep_for(100ms);
        }
        std::atomic<int> made{0};
        std::thread burst([&] {
            for (int i = 0; i < kFiles; ++i) {
                CreateEmptyFile(NumberedPath(work, "s", i));
                made = i + 1;
            }
        });
        while (made < kSignalAt) {
            std::this_thread::sleep_for(1ms);
        }
        const int before = made;
        ::kill(app, SIGTERM);
        burst.join();
        ::waitpid(app, nullptr, 0);
        const std::set<std::string> names = Journal(home);
        int lost = 0;
        for (int i = 0; i < before; ++i) {
            lost += !names.count(sfs::path(NumberedPath(work, "s", i)).filename());
        }
        worst = std::max(worst, lost);
    }
    return worst;
}

#else

int SignalLost(const std::string&, int)
{
    return -1;
}

#endif

} // namespace zlv::bench
