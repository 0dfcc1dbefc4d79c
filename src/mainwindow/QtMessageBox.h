#pragma once

class QWidget;

namespace zlv {

// Routes the program's message seam to real modal message boxes.
void InstallQtMessageBoxHandler();

// The window that owns every box from now on (the main window); until one is set, or once
// it is gone, the active window does. A box raised while a modal dialog is open is owned by
// that dialog instead.
void SetMessageBoxOwner(QWidget* owner);

} // namespace zlv
