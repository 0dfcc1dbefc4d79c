#include "utility/windows/UiTasks.h"

#include <memory>
#include <windows.h>

namespace zlv::win {

namespace {

constexpr UINT kRunTask = WM_APP + 1;

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunTask) {
        // Taken over here: run once, then gone.
        const std::unique_ptr<UiTask> task(reinterpret_cast<UiTask*>(lParam));
        if (task && *task) {
            (*task)();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A window only for messages: never shown, never enumerated, owned by the first thread
// that asks, which is the one that runs the windows.
HWND TaskWindow()
{
    static const HWND window = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &TaskWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ZelvoryUiTasks";
        RegisterClassExW(&windowClass);
        return CreateWindowExW(0, windowClass.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }();
    return window;
}

} // namespace

std::function<void(UiTask)> UiThreadPoster()
{
    const HWND window = TaskWindow();
    return [window](UiTask task) {
        auto* handed = new UiTask(std::move(task));
        if (!window || !PostMessageW(window, kRunTask, 0, reinterpret_cast<LPARAM>(handed))) {
            delete handed; // nobody left to run it
        }
    };
}

} // namespace zlv::win
