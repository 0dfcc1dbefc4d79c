#include "app/CommandLine.h"
#include "app/StopSignals.h"
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
#include <QSocketNotifier>
#include <cstdio>
#include <memory>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

int RunInTerminal(const zlv::cli::Arguments& arguments)
{
    // A blocked write to a terminal or a pipe nobody reads gives way to the signal, so that
    // printing and following end when asked, whatever they are doing.
    const int stopFd = zlv::CatchStopSignals(false);
    // The data folder is only read here: never established, never created.
    zlv::DataFolder folder;
    folder.locate(zlv::SystemUtility::LocateAppData().path);
    // --status and --follow look for the lock (is anyone recording?); --print never does.
    const QString lock = arguments.mode == zlv::cli::Mode::Status || arguments.follow
                             ? QString::fromStdString(zlv::SingleInstance::lockPath())
                             : QString();
    return zlv::cli::RunTerminalMode(arguments, folder, lock, zlv::Clock::instance(), stdout,
                                     stderr, stopFd);
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
    // From here on a termination, a hang-up (a logout) or an interrupt ends in order: what
    // was seen is written before the program leaves.
    const int stopFd = zlv::CatchStopSignals(true);

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
    options.keepRunState = true;
    options.lockAgain = [&instance] { return instance.acquire(); };
    // The socket is made before capture starts and goes after it has stopped: a runtime
    // folder inside the home must not put the program's own socket in the journal.
    zlv::InstanceChannel channel(socketPath);
    zlv::frmPubMain window(std::move(options));
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (stopFd >= 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &window,
                         [&window, stopFd] {
#ifndef _WIN32
                             char bytes[64];
                             [[maybe_unused]] const auto n = ::read(stopFd, bytes, sizeof bytes);
#endif
                             window.endWithoutAsking();
                         });
    }
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
