#pragma once

class QMenu;
class QToolBar;

namespace zlv {

class frmPubMain;

// The find field at the right end of the toolbar, and the Logs menu's items for finding,
// opening a record's folder and exporting the list, added after the menu's own items.
void AddFindCommands(frmPubMain& window, QMenu* logs, QToolBar* toolbar);

// Opens the folder of the visible list's selected record.
void OpenSelectedRecordFolder(frmPubMain& window);

} // namespace zlv
