// The window program: the main window, capture and the notification area. The zelvory
// command answers everything else itself and starts this for the window only, so that its
// terminal modes never load the window system's libraries.
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

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <optional>

#ifndef _WIN32
#include <unistd.h>
#endif

int main(int argc, char* argv[])
{
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    const zlv::cli::Arguments arguments = zlv::cli::Parse(raw);
    if (const std::optional<int> status = zlv::cli::RunWithoutWindow(arguments)) {
        return *status; // the window program may be started by hand, as any program
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
