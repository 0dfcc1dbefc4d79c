#pragma once

#include <string>

// The sentences that name the user's desktop. A Windows user reads the names of the programs
// Windows has; elsewhere the same sentences name what the user has there instead. Both sets
// live here so that either can be checked on any system.
namespace zlv::words {

enum class Desktop
{
    Windows,
    Linux,
};

#ifdef _WIN32
inline constexpr Desktop kThisDesktop = Desktop::Windows;
#else
inline constexpr Desktop kThisDesktop = Desktop::Linux;
#endif

struct DesktopWords
{
    const char* closeQuestion;     // asked before the program stops
    const char* manageLogFilesTip; // the toolbar's "Manage Log Files" button
    const char* proxyAdvice;       // the last paragraph of the no-connection message
};

const DesktopWords& For(Desktop desktop = kThisDesktop);

// What the empty Today list says on a first start: what is recorded and what is not, and
// where the journal lives. `home` is the folder recorded on Linux.
std::string FirstStartText(const std::string& home, const std::string& journal,
                           Desktop desktop = kThisDesktop);

} // namespace zlv::words
