#pragma once

#include <functional>
#include <windows.h>

namespace zlv::win {

// Makes the program's message seam (utility/MessageBox.h) show the system's message
// boxes, owned by the window `owner` names at that moment (none while it is hidden).
// Tests replace the handler again and answer the boxes themselves.
void InstallSystemMessageBoxes(std::function<HWND()> owner);

} // namespace zlv::win
