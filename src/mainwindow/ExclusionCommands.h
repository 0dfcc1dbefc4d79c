#pragma once

#include <string>

class QMenu;

namespace zlv {

class NotificationSource;
class frmPubMain;

// The commands about folders not to record: "Do Not Record This Folder" in the lists'
// context menu (the Logs menu), for the folder of the row the menu was opened on, and
// "Folders Not Recorded..." in the Tools menu. Only where capture can leave folders out.
void AddExclusionCommands(frmPubMain& window, QMenu* logs, QMenu* tools);

// Hands the exclusions stored in `configFile` to `source`, before it starts.
void ApplyStoredExclusions(const std::string& configFile, NotificationSource* source);

// The folder "Do Not Record This Folder" would exclude for the current row of the window's
// visible list: the row's Path, when it names a folder that can be left out (not the root,
// not the home folder or a folder above it). Empty otherwise.
std::string FolderToExclude(const frmPubMain& window);

} // namespace zlv
