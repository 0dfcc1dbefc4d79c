#pragma once

class QMenu;

namespace zlv {

class frmPubMain;

// The Logs menu's items for what otherwise takes the mouse or the window manager: sorting
// the visible list by a column ("Sort By", exactly as a click on that column's header) and
// moving the window into the notification area (on Wayland a window never learns that it
// was minimised, so this is the way there).
void AddDesktopCommands(frmPubMain& window, QMenu* logs);

} // namespace zlv
