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

private:
    OwnedHandle m_mutex;
};

} // namespace zlv::win
