// The parts of SystemUtility that need Qt or a desktop: web pages, the file manager and
// the network-drive dialogs.
#include "utility/DesktopLaunch.h"
#include "utility/SystemUtility.h"

#include <QFile>
#include <QUrl>
#include <QWidget>

#ifdef _WIN32
#include "utility/MessageBox.h"

#include <QProcess>
#include <windows.h>
#include <winnetwk.h>
#else
#include "utility/NetworkDriveDialogs.h"
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
    launch::Open(url, launch::Kind::WebPage);
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
    if (!explorer.startDetached()) {
        const QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(folder.c_str()));
        MessageBox::show(
            launch::FailureText(url, launch::Kind::Folder,
                                {false, QStringLiteral("Explorer did not start"), false}),
            MessageBox::Icon::Exclamation);
    }
#else
    // A file URL rather than a command line: no shell, so any byte in the path is safe.
    launch::Open(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())), launch::Kind::Folder);
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
