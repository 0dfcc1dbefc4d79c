#pragma once

#include "utility/windows/Handles.h"

#include <string>

namespace zlv::win {

// One running Zelvory per user and logon session: a named mutex that the system drops
// when its process ends, however it ends.
class SingleInstance final
{
public:
    // False only when another instance holds the mutex; keep the object for the whole run.
    // When none can be made (say another account took the name first), the program runs
    // rather than lock its user out.
    bool acquire() { return acquire(DefaultName()); }
    bool acquire(const std::wstring& name);

    // "Local\Zelvory-<user>": local to the session, one per account in it.
    static std::wstring DefaultName();

    // The mutex is the logon session's, yet the same account logged on twice (at the
    // console and remotely) has one data folder: a lock on a file in it, held for the run,
    // keeps a second recorder of the same journal out. Taken: another instance holds it.
    // Unavailable: no lock could be had at all (the program runs, keeping no run state).
    enum class FolderLock
    {
        Held,
        Taken,
        Unavailable
    };
    FolderLock lockDataFolder(const std::string& dataFolder);

private:
    OwnedHandle m_mutex;
    OwnedHandle m_folderLock;
};

} // namespace zlv::win
