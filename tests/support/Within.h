#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zlv::test {

#ifndef _WIN32
// Runs `body` in a child process and returns what it returned, or nullopt when it had not
// ended after `seconds` (it is killed then): a test of something that used to hang fails
// instead of hanging.
inline std::optional<int> ExitWithin(double seconds, const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::optional<int>(-1);
}
#endif

} // namespace zlv::test
