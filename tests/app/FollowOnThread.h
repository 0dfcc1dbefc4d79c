#pragma once

// Following the journal from the terminal, as the tests of the terminal modes drive it.
#include "app/TerminalModes.h"

#include <future>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace zlv::test {

// Runs `args` (a --follow) on a thread of its own, printing to `out` and `err` until `stopFd`
// is readable; returns once it follows, with its exit status to come.
inline std::future<int> FollowOnThread(const std::string& args, const DataFolder& folder,
                                       const Clock& clock, std::FILE* out, std::FILE* err,
                                       int stopFd)
{
    auto started = std::make_shared<std::promise<void>>();
    std::future<int> status = std::async(std::launch::async, [=, &folder, &clock] {
        const cli::Arguments a = cli::Parse(QString::fromStdString("zelvory " + args).split(u' '));
        return cli::RunTerminalMode(a, folder, {}, clock, out, err, stopFd,
                                    [started] { started->set_value(); });
    });
    started->get_future().wait();
    return status;
}

// The next line written to `fd`, without its end; what came of it when nothing more comes
// within 5 s.
inline std::string ReadLine(int fd)
{
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 5000) == 1 && read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

} // namespace zlv::test
