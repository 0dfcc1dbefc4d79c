#include "utility/Autostart.h"

#include "utility/FileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#ifndef _WIN32
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zlv::autostart {

namespace {

constexpr const char* kBareName = "zelvory";

std::string Entry(const std::string& exec)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Zelvory\n"
           "Comment=Keep a journal of the files, folders and drives you create, delete and "
           "rename\n"
           "Exec=" +
           exec +
           "\n"
           "Icon=zelvory\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// One argument of an Exec key. The key is read in three steps, undone here in reverse: the
// value's own escapes (\\ \n \t), then the quoting of an argument that holds a reserved
// character, then the field codes (%).
std::string ExecArgument(std::string_view path)
{
    constexpr std::string_view kReserved = " \t\n\r\"'\\><~|&;$*?#()`";
    std::string argument;
    if (path.find_first_of(kReserved) == std::string_view::npos) {
        argument = path;
    } else {
        argument = "\"";
        for (const char c : path) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                argument += '\\';
            }
            argument += c;
        }
        argument += '"';
    }
    std::string value;
    for (const char c : argument) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        case '%':
            value += "%%";
            break;
        default:
            value += c;
        }
    }
    return value;
}

#ifndef _WIN32
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa
    {
    };
    struct stat sb
    {
    };
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
#endif

// Whether the session, looking `name` up in `searchPath`, starts `executable`.
bool FoundOnPath(const std::string& executable, const std::string& searchPath)
{
#ifndef _WIN32
    std::size_t begin = 0;
    while (begin <= searchPath.size()) {
        std::size_t end = searchPath.find(':', begin);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        const std::string folder = searchPath.substr(begin, end - begin);
        begin = end + 1;
        // A relative entry means something else in every folder the session starts from.
        if (folder.empty() || folder[0] != '/') {
            continue;
        }
        const std::string candidate = folder + '/' + kBareName;
        if (::access(candidate.c_str(), X_OK) == 0) {
            // The first hit is what runs, whether or not it is us.
            return SameFile(candidate, executable);
        }
    }
#else
    (void)executable;
    (void)searchPath;
#endif
    return false;
}

std::string ConfigHome()
{
    // A relative value is to be ignored, as the base-directory rules say.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : "") + "/.config";
}

} // namespace

std::string EntryPath()
{
    return ConfigHome() + "/autostart/zelvory.desktop";
}

bool IsEnabled()
{
    return fs::FileExists(EntryPath());
}

std::string RunningExecutable()
{
#ifndef _WIN32
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n > 0 && static_cast<std::size_t>(n) < sizeof buffer) {
        return CommandOf(std::string(buffer, static_cast<std::size_t>(n)));
    }
#endif
    return {};
}

std::string CommandOf(const std::string& path)
{
#if !defined(_WIN32) && defined(ZLV_COMMAND_FROM_WINDOW)
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos &&
        path.compare(slash + 1, std::string::npos, "zelvory-window") == 0) {
        const std::string folder = path.substr(0, slash + 1);
        for (const std::string& command : {folder + kBareName, folder + ZLV_COMMAND_FROM_WINDOW}) {
            if (::access(command.c_str(), X_OK) == 0) {
                return command;
            }
        }
    }
#endif
    return path;
}

std::string ExecLine(const std::string& executable, const std::string& searchPath)
{
    if (executable.empty() || executable[0] != '/' || FoundOnPath(executable, searchPath)) {
        return std::string(kBareName) + " --tray";
    }
    return ExecArgument(executable) + " --tray";
}

bool SetEnabled(bool on, const std::string& executable)
{
    const std::string path = EntryPath();
    if (!on) {
        std::remove(path.c_str());
        return !fs::FileExists(path);
    }
    if (fs::FileExists(path)) {
        return true; // the user's own entry (perhaps edited) stays as it is
    }
    if (!fs::CreateDirectoryChain(ConfigHome() + "/autostart")) {
        return false;
    }
    // Written beside and renamed into place, so the session never finds half an entry.
    const std::string temporary = path + ".new";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        return false;
    }
    const char* searchPath = std::getenv("PATH");
    const std::string entry = Entry(ExecLine(executable, searchPath ? searchPath : ""));
    const bool written = std::fwrite(entry.data(), 1, entry.size(), f) == entry.size();
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace zlv::autostart
