#pragma once

#include <QKeySequence>

class QAction;
class QString;
class QMenu;

namespace zlv {

class frmPubMain;

// Builds the menu bar and the toolbar of the main window and connects them to its
// commands. Returns the "&Logs" menu, which doubles as the lists' context menu.
QMenu* BuildCommands(frmPubMain& window);

// Runs the command of a toolbar button chosen by its caption; a caption that names no
// command does nothing. Returns whether a command ran.
bool RunToolbarCommand(frmPubMain& window, const QString& caption);

// Adds a named menu item whose shortcut works wherever the focus is in the main window.
QAction* AddMenuItem(QMenu* menu, const char* name, const char* caption,
                     QKeySequence shortcut = {});

} // namespace zlv
