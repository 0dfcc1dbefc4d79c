#pragma once

#include <functional>

class QWidget;

namespace zlv {

// Runs `place` once, when the window manager has put its frame around `window`: at its
// first exposure. Before that a window's outer size is only its inner size.
void WhenFramed(QWidget* window, std::function<void()> place);

} // namespace zlv
