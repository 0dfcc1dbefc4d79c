#pragma once

#include <string>

namespace zlv {

// One running Zelvory per data folder. The lock is a kernel lock on a file in the data folder
// itself, whatever the environment says of runtime folders: two processes that write the
// same journal always meet at the same lock (one started from a desktop session, one from
// a terminal, a cron job or sudo without it), and a lock is never in a shared folder where
// another user could plant it. The kernel drops it when its process ends, however it ends,
// so whatever a lock file holds (nothing, garbage, a number some other program now has),
// only a running instance can keep the next one out.
class SingleInstance final
{
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False only when another instance holds the lock; keep the object for the whole run.
    // When no lock can be made at all, the program runs rather than lock its user out.
    // Asked again while holding a lock (the data folder was moved away and made anew), it
    // keeps the one it holds while the path still names it, else takes the new one.
    bool acquire() { return acquireAt(lockPath()); }
    bool acquireAt(const std::string& path);

    // The one place that names the lock: in the data folder. Empty without a data folder.
    static std::string lockPath();

private:
    int m_fd = -1;
};

} // namespace zlv
