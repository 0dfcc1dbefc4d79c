#include "mainwindow/ExclusionCommands.h"

#include "capture/NotificationSource.h"
#include "logstore/LogListView.h"
#include "mainwindow/Commands.h"
#include "mainwindow/frmPubExclusions.h"
#include "mainwindow/frmPubMain.h"
#include "settings/Exclusions.h"
#include "utility/MessageBox.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <algorithm>

namespace zlv {

namespace {

constexpr int kPathColumn = 3;

void Apply(const frmPubMain& window, const Exclusions& exclusions)
{
    if (window.capture() && window.capture()->source()) {
        window.capture()->source()->setExclusions(exclusions.folders, exclusions.skipGitIgnored);
    }
}

void ExcludeRowFolder(frmPubMain& window)
{
    const std::string folder = FolderToExclude(window);
    if (folder.empty()) {
        return;
    }
    const std::string config = window.dataFolder().configurationFile();
    Exclusions exclusions = LoadExclusions(config);
    if (std::find(exclusions.folders.begin(), exclusions.folders.end(), folder) ==
        exclusions.folders.end()) {
        exclusions.folders.push_back(folder);
    }
    if (!SaveExclusions(config, exclusions)) {
        MessageBox::show("The folder could not be saved in " + config +
                             ", so it is still recorded.",
                         MessageBox::Icon::Exclamation);
        return;
    }
    Apply(window, exclusions);
}

void ShowExclusions(frmPubMain& window)
{
    frmPubExclusions dialog(
        window.dataFolder().configurationFile(),
        [&window](const Exclusions& exclusions) { Apply(window, exclusions); }, &window);
    dialog.exec();
}

} // namespace

std::string FolderToExclude(const frmPubMain& window)
{
    const LogListView* list = window.visibleList();
    const QModelIndex current = list->currentIndex();
    if (!current.isValid()) {
        return {};
    }
    const std::string folder = ExclusionPath(
        list->model()->index(current.row(), kPathColumn).data().toString().toStdString());
    // The home and what holds it: leaving those out would record nothing at all.
    const std::string home = ExclusionPath(QDir(QDir::homePath()).canonicalPath().toStdString());
    if (folder.empty() ||
        (home.size() >= folder.size() && home.compare(0, folder.size(), folder) == 0 &&
         (home.size() == folder.size() || home[folder.size()] == '/'))) {
        return {};
    }
    return folder;
}

void ApplyStoredExclusions(const std::string& configFile, NotificationSource* source)
{
    if (source) {
        const Exclusions exclusions = LoadExclusions(configFile);
        source->setExclusions(exclusions.folders, exclusions.skipGitIgnored);
    }
}

void AddExclusionCommands(frmPubMain& window, QMenu* logs, QMenu* tools)
{
#ifdef __linux__
    logs->addSeparator()->setObjectName(QStringLiteral("menlsr"));
    QAction* exclude = AddMenuItem(logs, "menld", "Do Not &Record This Folder");
    QObject::connect(logs, &QMenu::aboutToShow, exclude,
                     [exclude, &window] { exclude->setEnabled(!FolderToExclude(window).empty()); });
    QObject::connect(exclude, &QAction::triggered, &window,
                     [&window] { ExcludeRowFolder(window); });
    QObject::connect(AddMenuItem(tools, "mentn", "Folders &Not Recorded..."), &QAction::triggered,
                     &window, [&window] { ShowExclusions(window); });
#else
    (void)window;
    (void)logs;
    (void)tools;
#endif
}

} // namespace zlv
