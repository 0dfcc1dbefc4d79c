#include "utility/Autostart.h"

#include "utility/FileSystem.h"

#include <cstdio>
#include <cstdlib>

namespace zlv::autostart {

namespace {

constexpr const char* kEntry = "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Zelvory\n"
                               "Comment=Keep a journal of the files, folders and drives you "
                               "create, delete and rename\n"
                               "Exec=zelvory --tray\n"
                               "Icon=zelvory\n"
                               "Terminal=false\n"
                               "X-GNOME-Autostart-enabled=true\n";

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

bool SetEnabled(bool on)
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
    const std::string_view entry(kEntry);
    const bool written = std::fwrite(entry.data(), 1, entry.size(), f) == entry.size();
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace zlv::autostart
