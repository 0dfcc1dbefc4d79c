#include "app/CommandLine.h"
#include "app/TerminalModes.h"
#include "capture/PlatformSource.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/SingleInstance.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"

#include <QApplication>
#include <csignal>
#include <cstdio>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

int g_stopPipe[2] = {-1, -1};

// Ends --follow cleanly, so that what was read is written out before the program leaves.
void RequestStop(int)
{
#ifndef _WIN32
    const char byte = 0;
    [[maybe_unused]] const auto n = write(g_stopPipe[1], &byte, 1);
#endif
}

int RunInTerminal(const zlv::cli::Arguments& arguments)
{
#ifndef _WIN32
    if (pipe(g_stopPipe) == 0) {
        std::signal(SIGINT, RequestStop);
        std::signal(SIGTERM, RequestStop);
        std::signal(SIGHUP, RequestStop);
    }
#endif
    // The data folder is only read here: never established, never created.
    zlv::DataFolder folder;
    folder.locate(zlv::SystemUtility::LocateAppData().path);
    // --status and --follow look for the lock (is anyone recording?); --print need not know
    // where the runtime folder is.
    const QString lock = arguments.mode == zlv::cli::Mode::Status || arguments.follow
                             ? QString::fromStdString(zlv::SingleInstance::lockPath())
                             : QString();
    return zlv::cli::RunTerminalMode(arguments, folder, lock, zlv::Clock::instance(), stdout,
                                     stderr, g_stopPipe[0]);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    // Everything but the window is answered before any window system is touched, so it
    // works on a console, over ssh and from scripts.
    const zlv::cli::Arguments arguments = zlv::cli::Parse(raw);
    switch (arguments.mode) {
    case zlv::cli::Mode::Help:
        std::fputs(zlv::cli::kUsage, stdout);
        return 0;
    case zlv::cli::Mode::Version:
        std::printf("Zelvory %s (Build %s)\n", zlv::kProgramVersion, zlv::kBuildNumber);
        return 0;
    case zlv::cli::Mode::Journal:
    case zlv::cli::Mode::Status:
        return RunInTerminal(arguments);
    case zlv::cli::Mode::Window:
        break;
    }

    // Another instance is running: leave at once, without a window or a file touched, once
    // it has been asked to bring its window forward.
    zlv::SingleInstance instance;
    const std::string socketPath = zlv::InstanceSocketPath(zlv::SingleInstance::lockPath());
    if (!instance.acquire()) {
        zlv::TellRunningInstance(socketPath, zlv::LaunchTokensFromEnvironment());
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvory"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1 (Build %2)")
            .arg(QLatin1String(zlv::kProgramVersion), QLatin1String(zlv::kBuildNumber)));
    QApplication::setOrganizationName(QStringLiteral("QBS"));
    QApplication::setDesktopFileName(QStringLiteral("zelvory"));
    // Qt has taken its own arguments (-session, -platform, -style, ...); a start is never
    // refused over what is left, since a session manager or launcher may add anything.
    if (const auto left = zlv::cli::Parse(QApplication::arguments()); !left.problem.isEmpty()) {
        std::fprintf(stderr, "zelvory: %s Ignored.\n", qPrintable(left.problem));
    }
    zlv::InstallQtMessageBoxHandler();

    zlv::frmPubMain::Options options;
    options.makeSource = [](const zlv::DataFolder& folder) {
        return zlv::CreatePlatformNotificationSource(folder);
    };
    // The socket is made before capture starts and goes after it has stopped: a runtime
    // folder inside the home must not put the program's own socket in the journal.
    zlv::InstanceChannel channel(socketPath);
    zlv::frmPubMain window(std::move(options));
    QObject::connect(&channel, &zlv::InstanceChannel::activationRequested, &window,
                     &zlv::frmPubMain::bringForward);
    // Started with the session: straight into the notification area where there is one,
    // or as soon as one comes.
    if (arguments.tray) {
        window.trayIcon()->startInTray();
    } else {
        window.show();
    }
    return QApplication::exec();
}
