#pragma once

#include <functional>

namespace zlv::win {

// Runs tasks on the user-interface thread: any thread may hand one over, and any message
// loop of that thread runs it, a modal box's included, whatever window procedure stands in
// for the main window's meanwhile. The first call must come from that thread.
using UiTask = std::function<void()>;
std::function<void(UiTask)> UiThreadPoster();

} // namespace zlv::win
