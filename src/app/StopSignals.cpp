#include "app/StopSignals.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>
#endif

namespace zlv {

#ifdef _WIN32

int CatchStopSignals(bool)
{
    return -1;
}

bool StopAsked(int)
{
    return false;
}

#else

namespace {

int g_pipe[2] = {-1, -1};

// Only async-signal-safe calls: one write, errno left as it was found.
void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int CatchStopSignals(bool restartCalls)
{
    if (g_pipe[0] < 0) {
        if (::pipe2(g_pipe, O_CLOEXEC) != 0) {
            g_pipe[0] = g_pipe[1] = -1;
            return -1;
        }
        // A flood of signals must never block the handler on a full pipe.
        ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    }
    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = restartCalls ? SA_RESTART : 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    return g_pipe[0];
}

bool StopAsked(int stopFd)
{
    if (stopFd < 0) {
        return false;
    }
    pollfd p{stopFd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

#endif

} // namespace zlv
