// The Windows program: one instance, the main window over the shared core, and the message
// loop that runs everything, capture included.
#include "capture/PlatformSource.h"
#include "logstore/DataFolder.h"
#include "mainwindow/windows/SingleInstance.h"
#include "mainwindow/windows/frmPubMain.h"
#include "utility/MessageBox.h"
#include "utility/SystemUtility.h"
#include "utility/windows/SystemMessageBox.h"

#include <objbase.h>
#include <string_view>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int show)
{
    using namespace zlv;
    // A second launch ends here, before it creates, opens or shows anything.
    win::SingleInstance instance;
    if (!instance.acquire()) {
        return 0;
    }
    // Started at logon ("Start with Windows"): straight into the notification area, which
    // a minimised main window enters.
    const bool atLogon =
        commandLine && std::wstring_view(commandLine).find(L"--tray") != std::wstring_view::npos;
    if (atLogon) {
        show = SW_SHOWMINNOACTIVE;
    }
    // The same account logged on elsewhere may be recording this journal already.
    std::string dataFolder;
    if (const std::string appData = SystemUtility::LocateAppData().path; !appData.empty()) {
        DataFolder folder;
        folder.locate(appData);
        dataFolder = folder.dataFolder();
    }
    const win::SingleInstance::FolderLock lock = instance.lockDataFolder(dataFolder);
    // Every box goes through the one seam; until the window exists, boxes have no owner.
    win::frmPubMain* owner = nullptr;
    win::InstallSystemMessageBoxes([&owner] { return owner ? owner->hwnd() : nullptr; });
    if (lock == win::SingleInstance::FolderLock::Taken) {
        if (!atLogon) {
            MessageBox::show("Zelvory is already recording your operations in another session "
                             "of this account.",
                             MessageBox::Icon::Information);
        }
        return 0;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES |
                     ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    win::frmPubMain::Options options;
    options.makeSource = [](const DataFolder& folder) {
        return CreatePlatformNotificationSource(folder);
    };
    // Only the holder of the data folder's lock may keep its run state: a second keeper
    // would take the first one's live state for a crash.
    options.keepRunState = lock == win::SingleInstance::FolderLock::Held;
    win::frmPubMain window(std::move(options));
    owner = &window;
    if (!window.create(show)) {
        return 1;
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        const HWND main = window.hwnd();
        if (main && TranslateAcceleratorW(main, window.accelerators(), &message)) {
            continue;
        }
        // Tab and the arrow keys move between the controls as in a dialog.
        if (main && IsDialogMessageW(main, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
