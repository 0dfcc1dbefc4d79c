#pragma once

#include <QString>
#include <functional>

class QAbstractItemModel;
class QUrl;

namespace zlv {

// Where a record leads in the file system: its folder, and the entry in it to point at
// (empty when there is none left to point at, as after a deletion).
struct FolderTarget
{
    QString folder;
    QString entry;
};

// The record shown in `row` of a log list: a renamed entry by its new name, a deleted one
// by its folder alone.
FolderTarget TargetOfRow(const QAbstractItemModel& model, int row);

// How the desktop is asked to show things. `showItems` asks the file manager to show its
// folder with the entry selected and reports whether it took the request; `openFolder`
// hands a folder to the desktop's opener.
struct FolderOpeners
{
    std::function<bool(const QUrl& entry)> showItems;
    std::function<bool(const QUrl& folder)> openFolder;
};

// The file manager's D-Bus interface on the session bus, then the desktop's opener.
FolderOpeners DesktopFolderOpeners();
// Replaces what DesktopFolderOpeners() gives (tests); returns the previous replacement.
FolderOpeners SetFolderOpeners(FolderOpeners openers);

// Shows the target's folder, its entry selected where the file manager can do that. A
// folder that no longer exists is said so in a message box, and nothing is opened.
void OpenContainingFolder(const FolderTarget& target);

} // namespace zlv
