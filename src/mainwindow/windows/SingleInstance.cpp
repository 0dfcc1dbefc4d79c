#include "mainwindow/windows/SingleInstance.h"

#include "utility/FileSystem.h"

#include <lmcons.h>

namespace zlv::win {

std::wstring SingleInstance::DefaultName()
{
    wchar_t user[UNLEN + 1] = {};
    DWORD length = UNLEN + 1;
    std::wstring name = L"Local\\Zelvory-";
    if (GetUserNameW(user, &length)) {
        // A backslash would make the rest a namespace of its own.
        for (wchar_t* c = user; *c; ++c) {
            if (*c == L'\\') {
                *c = L'_';
            }
        }
        name += user;
    }
    return name;
}

bool SingleInstance::acquire(const std::wstring& name)
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!mutex) {
        return true;
    }
    m_mutex.reset(mutex);
    if (error == ERROR_ALREADY_EXISTS) {
        m_mutex.reset();
        return false;
    }
    return true;
}

SingleInstance::FolderLock SingleInstance::lockDataFolder(const std::string& dataFolder)
{
    // The first start on a fresh account makes the folder for it.
    if (dataFolder.empty() || !fs::CreateDirectoryChain(dataFolder)) {
        return FolderLock::Unavailable;
    }
    // Shared for reading and writing, so that a scanner or a backup that opens the file
    // keeps nobody out: the byte range lock is what counts, and the system drops it with
    // the process, however it ends.
    HANDLE file = CreateFileA((dataFolder + "\\zelvory.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return FolderLock::Unavailable;
    }
    OwnedHandle lock(file);
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        return GetLastError() == ERROR_LOCK_VIOLATION ? FolderLock::Taken : FolderLock::Unavailable;
    }
    m_folderLock = std::move(lock);
    return FolderLock::Held;
}

} // namespace zlv::win
