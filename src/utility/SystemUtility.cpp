#include "utility/SystemUtility.h"

#include <cstdlib>

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace zlv {

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string WithoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

} // namespace

#ifdef _WIN32

std::string SystemUtility::SpecialFolderPath(int folder)
{
    char buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, folder, nullptr, 0, buffer)) && buffer[0]) {
        return WithoutTrailingSeparators(buffer);
    }
    if (folder == kAppData) {
        if (std::string appData = Env("APPDATA"); !appData.empty()) {
            return WithoutTrailingSeparators(appData);
        }
        if (std::string profile = Env("USERPROFILE"); !profile.empty()) {
            return WithoutTrailingSeparators(profile) + "\\AppData\\Roaming";
        }
    }
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? WithoutTrailingSeparators(buffer) : std::string(".");
}

#else

std::string SystemUtility::SpecialFolderPath(int folder)
{
    (void)folder; // the only folder the program asks for is the per-user data folder
    // Relative values are to be ignored, as the XDG base-directory rules say.
    if (std::string xdg = Env("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
        return WithoutTrailingSeparators(xdg);
    }
    std::string home = Env("HOME");
    if (home.empty() || home.front() != '/') {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
            home = pw->pw_dir;
        }
    }
    home = WithoutTrailingSeparators(home);
    if (!home.empty() && home != "/") {
        return home + "/.local/share";
    }
    // No home at all (a stripped service account): a folder of this user's own.
    return "/tmp/zelvory-" + std::to_string(::getuid());
}

#endif

} // namespace zlv
