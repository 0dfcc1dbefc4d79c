#include "utility/SaveFile.h"

#include <QFile>
#include <QSaveFile>

namespace zlv {

bool SaveWholeFile(const std::string& path, std::string_view bytes)
{
    QSaveFile out(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    // Private whatever the umask, and whatever mode an older file had.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !out.commit()) {
        out.cancelWriting();
        return false;
    }
    return true;
}

} // namespace zlv
