// The parts of SystemUtility that need Qt or a desktop: web pages, the file manager and
// the network-drive dialogs.
#include "utility/SystemUtility.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <QWidget>

#ifdef _WIN32
#include <QProcess>
#include <windows.h>
#include <winnetwk.h>
#else
#include "utility/NetworkDrives.h"
#endif

namespace zlv {

void SystemUtility::OpenWebPage(const std::string& address, int showState)
{
    (void)showState;
    // Only web addresses: an address that is really a file or a program name must not be
    // handed to the desktop's opener.
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
        return;
    }
    QDesktopServices::openUrl(url);
}

void SystemUtility::OpenFolderInFileManager(const std::string& folder)
{
    if (folder.empty()) {
        return;
    }
#ifdef _WIN32
    // Explorer reads its own command line, so the path goes after "Explorer " as it is;
    // QProcess would quote an argument, the native arguments are passed untouched.
    QProcess explorer;
    explorer.setProgram(QStringLiteral("Explorer"));
    explorer.setNativeArguments(QString::fromLocal8Bit(folder.c_str()));
    explorer.startDetached();
#else
    // A file URL rather than a command line: no shell, so any byte in the path is safe.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())));
#endif
}

#ifdef _WIN32

void SystemUtility::ShowMapDriveDialog(QWidget* owner, int flags)
{
    HWND hwnd = owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    WNetConnectionDialog(hwnd, static_cast<DWORD>(flags));
}

void SystemUtility::ShowDisconnectDriveDialog(QWidget* owner, int flags)
{
    HWND hwnd = owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    WNetDisconnectDialog(hwnd, static_cast<DWORD>(flags));
}

#else

void SystemUtility::ShowMapDriveDialog(QWidget* owner, int flags)
{
    (void)flags;
    frmPubMapDrive dialog(owner);
    dialog.exec();
}

void SystemUtility::ShowDisconnectDriveDialog(QWidget* owner, int flags)
{
    (void)flags;
    frmPubDisconnectDrive dialog(owner);
    dialog.exec();
}

#endif

} // namespace zlv
