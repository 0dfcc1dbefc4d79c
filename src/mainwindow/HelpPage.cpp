#include "mainwindow/HelpPage.h"

#include "utility/DesktopLaunch.h"
#include "utility/MessageBox.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace zlv {

namespace {

const QString kHelpFile = QStringLiteral("zelvory/help/zelvory.html");

} // namespace

QString InstalledHelpPage()
{
    // Beside the program first: the copy that came with this very build (an install under
    // any prefix, or the build tree), then the system's shared data folders.
    QStringList candidates;
    if (QCoreApplication::instance()) {
        candidates << QDir(QCoreApplication::applicationDirPath())
                          .absoluteFilePath(QStringLiteral("../share/") + kHelpFile);
    }
    candidates << QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, kHelpFile);
    for (const QString& candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isReadable()) {
            return QDir::cleanPath(file.absoluteFilePath());
        }
    }
    return {};
}

void OpenHelp()
{
    if (web::HasRealServer()) {
        SystemUtility::OpenWebPage(web::ProductPage(), 1);
        return;
    }
    const QString page = InstalledHelpPage();
    if (page.isEmpty()) {
        MessageBox::show("The help of Zelvory is not installed on this system.\r\n\r\nIt is "
                         "installed with the program, as share/zelvory/help/zelvory.html; the "
                         "same text is in the README.md file of Zelvory's sources.",
                         MessageBox::Icon::Information);
        return;
    }
    launch::Open(QUrl::fromLocalFile(page), launch::Kind::HelpPage);
}

} // namespace zlv
