#pragma once

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

} // namespace zlv
