#include "utility/SystemUtility.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zlv {

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

#ifdef _WIN32
std::string WithoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}
#endif

} // namespace

std::string SystemUtility::SpecialFolderPath(int folder)
{
    (void)folder; // the only folder the program asks for is the per-user data folder
    return LocateAppData().path;
}

#ifdef _WIN32

SystemUtility::AppDataLookup SystemUtility::LocateAppData()
{
    char buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, kAppData, nullptr, 0, buffer)) && buffer[0]) {
        return {WithoutTrailingSeparators(buffer), {}};
    }
    if (std::string appData = Env("APPDATA"); !appData.empty()) {
        return {WithoutTrailingSeparators(appData), {}};
    }
    if (std::string profile = Env("USERPROFILE"); !profile.empty()) {
        return {WithoutTrailingSeparators(profile) + "\\AppData\\Roaming", {}};
    }
    return {{}, "Windows names no application-data folder for this account."};
}

#else

namespace {

// "/a/./b//c/../d/" as "/a/b/d": the same folder, written the one way comparisons expect.
std::string Normalised(const std::string& absolute)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at < absolute.size()) {
        const std::size_t slash = std::min(absolute.find('/', at), absolute.size());
        const std::string part = absolute.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string out;
    for (const std::string& part : parts) {
        out += '/' + part;
    }
    return out.empty() ? "/" : out;
}

enum class Ownership
{
    Own,
    Missing,
    Foreign // not a folder, or someone else's
};

Ownership FolderOwnership(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        return Ownership::Missing;
    }
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() ? Ownership::Own : Ownership::Foreign;
}

// True when `path` is a folder of ours or can become one: every part of it that exists,
// up to `base` (a folder known to be ours) or else up to the nearest existing one, is a
// folder of ours. The root is nobody's own folder, whoever runs the program.
bool UsableFolder(std::string path, const std::string& base = {})
{
    while (path != "/" && path != base) {
        switch (FolderOwnership(path)) {
        case Ownership::Own:
            if (base.empty()) {
                return true;
            }
            break;
        case Ownership::Foreign:
            return false;
        case Ownership::Missing:
            break;
        }
        path = path.substr(0, path.rfind('/'));
        path = path.empty() ? "/" : path;
    }
    return path == base;
}

} // namespace

SystemUtility::AppDataLookup SystemUtility::LocateAppData()
{
    // A relative XDG_DATA_HOME is to be ignored, as the XDG base-directory rules say.
    if (const std::string xdg = Env("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
        if (const std::string path = Normalised(xdg); UsableFolder(path)) {
            return {path, {}};
        }
    }
    // A relative HOME would put the data wherever the program happened to start.
    std::string home = Env("HOME");
    if (home.empty() || home.front() != '/') {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "";
    }
    if (home.empty()) {
        return {{}, "No home folder is known for this account."};
    }
    home = Normalised(home);
    if (home == "/" || FolderOwnership(home) != Ownership::Own) {
        return {{},
                "The home folder \"" + home +
                    "\" is not a folder of your own, so there is no "
                    "private place for the journal."};
    }
    const std::string share = home + "/.local/share";
    if (!UsableFolder(share, home)) {
        return {{},
                "\"" + share +
                    "\" is not a folder of your own, so there is no private "
                    "place for the journal."};
    }
    return {share, {}};
}

#endif

} // namespace zlv
