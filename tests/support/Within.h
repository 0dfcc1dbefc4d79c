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
// The exit status of `pid`, 128 + the signal that ended it, or -1 when it had not ended
// after `seconds` (it is killed then).
inline int WaitWithin(pid_t pid, double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `body` in a child process and returns what it returned, or nullopt when it had not
// ended after `seconds`: a test of something that used to hang fails instead of hanging.
inline std::optional<int> ExitWithin(double seconds, const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    const int status = WaitWithin(child, seconds);
    return status < 0 ? std::nullopt : std::optional<int>(status);
}
#endif

} // namespace zlv::test
