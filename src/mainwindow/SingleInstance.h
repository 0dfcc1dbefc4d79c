#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace zlv {

// One running Zelvory per user. The lock lives in the user's runtime folder, never in the
// data folder, so that a second launch touches none of the user's files.
class SingleInstance final
{
public:
    // True when this process is the only instance; keep the object for the whole run.
    bool acquire();
    static QString lockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace zlv
