#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace zlv {

// What the program asks of the operating system: where the user's data lives, the settings
// file, the browser, the file manager and network drives. Finding the data folder is plain
// C++ so the capture tests and the Windows build can use it; the rest needs Qt.
class SystemUtility final
{
public:
    static constexpr int kAppData = 26; // the per-user roaming application-data folder

    // The folder's path without a trailing separator. Empty when no folder of the user's
    // own can be found: the program then keeps nothing rather than put the user's data in
    // a shared place (AppDataProblem says why).
    static std::string SpecialFolderPath(int folder);

    // Where the per-user data lives, or, when nowhere, a sentence for the user on why.
    struct AppDataLookup
    {
        std::string path;
        std::string problem;
    };
    static AppDataLookup LocateAppData();

    // The stored text of `key` in `section` of the settings file; empty when absent.
    static std::string ReadSetting(const std::string& file, const std::string& section,
                                   const std::string& key);
    // The values of `keys` from one read of the file; nullopt when it cannot be read (a
    // folder or FIFO in its place is reported on standard error).
    static std::optional<std::vector<std::string>>
    ReadSettings(const std::string& file, const std::string& section,
                 const std::vector<std::string>& keys);
    // Stores `value` under `key`; the file is replaced whole, never left half-written, and
    // made readable by its owner only. True only when the value reads back as given.
    static bool WriteSetting(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value);
    // Several keys in one save: either all of them are stored or the file stays as it was.
    static bool WriteSettings(const std::string& file, const std::string& section,
                              const std::vector<std::pair<std::string, std::string>>& entries);

    // Opens an http or https address in the user's web browser; anything else is skipped.
    // A page that no browser takes is said in a message box (launch::Open). `showState`
    // has no meaning on today's desktops; callers still pass it.
    static void OpenWebPage(const std::string& address, int showState = 1);

    // Shows `folder` in the desktop's file manager without waiting for it; a failure is
    // said in a message box.
    static void OpenFolderInFileManager(const std::string& folder);

    // The system's dialogs for connecting and disconnecting a network drive, modal over
    // `owner`. On Linux they are Zelvory's own small dialogs over GIO's mounts; the mount
    // or unmount goes on in the background after the dialog has closed, and only a failure
    // is shown, in a message box. `flags` is kept for the callers' sake.
    static void ShowMapDriveDialog(QWidget* owner, int flags = 1);
    static void ShowDisconnectDriveDialog(QWidget* owner, int flags = 1);
};

} // namespace zlv
