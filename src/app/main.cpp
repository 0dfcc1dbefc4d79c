#include "capture/PlatformSource.h"
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/SingleInstance.h"
#include "mainwindow/frmPubMain.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: zelvory [--help | --version]\n"
    "\n"
    "Keeps a journal of the files, folders and drives you create, delete, rename,\n"
    "insert and remove, one line per operation in a log file for each day.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  -v, --version  Show the version and exit.\n";

} // namespace

int main(int argc, char* argv[])
{
    // Answered before any window system is touched, so they work on a console too.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("Zelvory %s (Build %s)\n", zlv::frmPubMain::kVersion,
                        zlv::frmPubMain::kBuild);
            return 0;
        }
        std::fprintf(stderr, "zelvory: unknown option '%s'\n\n%s", argv[i], kUsage);
        return 2;
    }

    // Another instance is running: leave at once, without a window or a file touched.
    zlv::SingleInstance instance;
    if (!instance.acquire()) {
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvory"));
    QApplication::setApplicationVersion(QStringLiteral("2.0 (Build 015)"));
    QApplication::setOrganizationName(QStringLiteral("QBS"));
    QApplication::setDesktopFileName(QStringLiteral("zelvory"));
    zlv::InstallQtMessageBoxHandler();

    zlv::frmPubMain::Options options;
    options.makeSource = [](const zlv::DataFolder& folder) {
        return zlv::CreatePlatformNotificationSource(folder);
    };
    zlv::frmPubMain window(std::move(options));
    window.show();
    return QApplication::exec();
}
