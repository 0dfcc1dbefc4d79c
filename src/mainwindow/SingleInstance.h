#pragma once

#include <string>

namespace zlv {

// One running Zelvory per user. The lock is a kernel lock on a file in the user's runtime
// folder (or, without a private one, in the data folder; never in a shared folder where
// another user could plant it). The kernel drops it when its process ends, however it
// ends, so whatever a lock file holds (nothing, garbage, a number some other program now
// has), only a running instance can keep the next one out.
class SingleInstance final
{
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False only when another instance holds the lock; keep the object for the whole run.
    // When no lock can be made at all, the program runs rather than lock its user out.
    bool acquire() { return acquireAt(lockPath()); }
    bool acquireAt(const std::string& path);

    // Empty when there is neither a private runtime folder nor a data folder.
    static std::string lockPath();

private:
    int m_fd = -1;
};

} // namespace zlv
