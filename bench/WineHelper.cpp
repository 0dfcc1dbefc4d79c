#include "WineHelper.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace zlv::bench {

namespace {

bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string folder = rest.substr(0, colon);
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    }
    return false;
}

} // namespace

WineHelper::WineHelper()
{
    if (!OnPath("wine")) {
        m_missing = "wine is not installed";
        return;
    }
    if (access(ZLV_WIN_BENCH, R_OK) != 0) {
        m_missing = std::string(ZLV_WIN_BENCH) + " is not built (the Windows build tree)";
        return;
    }
    m_root =
        (std::filesystem::temp_directory_path() / ("zlv-bench-wine-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(m_root + "/home");
}

WineHelper::~WineHelper()
{
    if (m_root.empty()) {
        return;
    }
    const std::string stop = "WINEPREFIX='" + m_root + "/prefix' wineserver -k 2>/dev/null";
    if (std::system(stop.c_str()) != 0) {
        // Nothing ran in the prefix; there is nothing to stop.
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::optional<std::string> WineHelper::run(const std::vector<std::string>& arguments,
                                           double* firstLineMs)
{
    if (!m_missing.empty()) {
        return std::nullopt;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        return std::nullopt;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        // The prefix is made on the first run, drawing nowhere, and kept for the next.
        setenv("ZLV_WINEPREFIX", (m_root + "/prefix").c_str(), 1);
        setenv("HOME", (m_root + "/home").c_str(), 1);
        unsetenv("DISPLAY");
        std::vector<char*> argv{const_cast<char*>(ZLV_WINE_RUN), const_cast<char*>(ZLV_WIN_BENCH)};
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(ZLV_WINE_RUN, argv.data());
        std::_Exit(127);
    }
    close(fds[1]);
    std::string output;
    char buffer[4096];
    bool firstLine = false;
    for (;;) {
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        output.append(buffer, static_cast<std::size_t>(got));
        if (!firstLine && output.find('\n') != std::string::npos) {
            firstLine = true;
            if (firstLineMs) {
                *firstLineMs = std::chrono::duration<double, std::milli>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
            }
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return output;
}

std::optional<double> Figure(const std::string& output, const std::string& key)
{
    const std::string wanted = key + ": ";
    for (std::size_t at = output.find(wanted); at != std::string::npos;
         at = output.find(wanted, at + 1)) {
        if (at == 0 || output[at - 1] == '\n') {
            return std::strtod(output.c_str() + at + wanted.size(), nullptr);
        }
    }
    return std::nullopt;
}

double Median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

} // namespace zlv::bench
