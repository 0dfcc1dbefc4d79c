#include "mainwindow/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace zlv {

QString SingleInstance::lockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    return dir + QStringLiteral("/zelvory.lock");
}

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(lockPath());
    // A lock left by a crashed run is recognised by its dead owner and taken over.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

} // namespace zlv
