#include "mainwindow/windows/SingleInstance.h"

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

} // namespace zlv::win
