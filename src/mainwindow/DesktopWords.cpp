#include "mainwindow/DesktopWords.h"

namespace zlv::words {

namespace {

constexpr DesktopWords kWindows{
    "Are you sure you want to stop tracing your operations in Windows Explorer?",
    "Manages log files in Windows Explorer <Ctrl+M>.",
    "Please note that if you get the Internet connection through a proxy server, you must set "
    "the proxy in Microsoft Web Browser.",
};

constexpr DesktopWords kLinux{
    "Are you sure you want to stop tracing your operations in your file manager?",
    "Manages log files in your file manager <Ctrl+M>.",
    "Please note that if you get the Internet connection through a proxy server, you must set "
    "the proxy in your system's proxy settings.",
};

} // namespace

const DesktopWords& For(Desktop desktop)
{
    return desktop == Desktop::Windows ? kWindows : kLinux;
}

std::string FirstStartText(const std::string& home, const std::string& journal, Desktop desktop)
{
    std::string text = "Nothing has been recorded today yet.\n\n";
    if (desktop == Desktop::Windows) {
        text += "Zelvory records the files and folders you create, delete or rename in Windows "
                "Explorer, and the drives and storage media you add, insert or remove.\n\n"
                "Not recorded: changes made by programs that do not report them to Windows "
                "Explorer.\n\n";
    } else {
        text += "Zelvory records the files and folders you create, delete or rename in your "
                "home folder (" +
                home +
                ") and on the drives mounted under /media, /run/media and /mnt, and the "
                "drives and storage media you add, insert or remove.\n\n"
                "Not recorded: what happens inside hidden folders (their names begin with a "
                "dot), and inside folders excluded from recording.\n\n";
    }
    text += "The journal lives in " + journal + ", one file for each day.";
    return text;
}

} // namespace zlv::words
