#pragma once

namespace zlv {

// Routes the program's message seam to real modal message boxes over the active window.
void InstallQtMessageBoxHandler();

} // namespace zlv
