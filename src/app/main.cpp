// The zelvory command. Everything but the window is answered here, before any window system
// is touched, so it works on a console, over ssh and from scripts; the window is a program
// of its own, started in this process's place. That keeps the window system's libraries
// out of the terminal modes: loading them takes longer than printing a month.
#include "app/CommandLine.h"
#include "app/TerminalModes.h"

#include <QStringList>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// Beside this program in the build tree, where the installation puts it otherwise.
std::string WindowProgram()
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof self) {
        return ZLV_WINDOW_INSTALLED;
    }
    std::string folder(self, static_cast<std::size_t>(n));
    folder.erase(folder.rfind('/') + 1);
    for (const std::string& candidate :
         {folder + "zelvory-window", folder + ZLV_WINDOW_FROM_BINDIR}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return ZLV_WINDOW_INSTALLED;
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    if (const std::optional<int> status = zlv::cli::RunWithoutWindow(zlv::cli::Parse(raw))) {
        return *status;
    }
    // The same process goes on as the window, with the same arguments: a session manager,
    // the lock and --status all see the process that was started.
    const std::string window = WindowProgram();
    ::execv(window.c_str(), argv);
    std::fprintf(stderr, "zelvory: The window cannot be started (%s): %s.\n", window.c_str(),
                 std::strerror(errno));
    return 1;
}
