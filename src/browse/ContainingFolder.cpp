#include "browse/ContainingFolder.h"

#include "logstore/LogListModel.h"
#include "utility/DesktopLaunch.h"
#include "utility/MessageBox.h"

#include <QAbstractItemModel>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace zlv {

namespace {

FolderOpeners& Replacement()
{
    static FolderOpeners openers;
    return openers;
}

QString Cell(const QAbstractItemModel& model, int row, int column)
{
    const QModelIndex index = model.index(row, column);
    QVariant text = index.data(LogListModel::FullTextRole);
    return (text.isValid() ? text : index.data(Qt::DisplayRole)).toString();
}

// Names are stored with their control characters turned into control pictures, so that
// one record stays one line; the entry on disk may hold the characters themselves.
QString OnDisk(const QString& folder, const QString& name)
{
    QString raw = name;
    for (QChar& c : raw) {
        if (c.unicode() >= 0x2400 && c.unicode() < 0x2420) {
            c = QChar(c.unicode() - 0x2400);
        }
    }
    const QDir dir(folder);
    if (raw != name && !QFileInfo::exists(dir.filePath(name)) &&
        QFileInfo::exists(dir.filePath(raw))) {
        return raw;
    }
    return name;
}

} // namespace

FolderTarget TargetOfRow(const QAbstractItemModel& model, int row)
{
    const QString action = Cell(model, row, 2);
    FolderTarget target{Cell(model, row, 3), {}};
    if (action == QLatin1String("Renamed")) {
        target.entry = Cell(model, row, 5);
    } else if (action != QLatin1String("Deleted") && action != QLatin1String("Removed")) {
        target.entry = Cell(model, row, 4);
    }
    return target;
}

FolderOpeners DesktopFolderOpeners()
{
    FolderOpeners openers;
    openers.showItems = [](const QUrl& entry) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            return false;
        }
        const QString service = QStringLiteral("org.freedesktop.FileManager1");
        QDBusConnectionInterface* registry = bus.interface();
        if (!registry || !(registry->isServiceRegistered(service).value() ||
                           registry->activatableServiceNames().value().contains(service))) {
            return false;
        }
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                           service, QStringLiteral("ShowItems"));
        call << QStringList{entry.toString(QUrl::FullyEncoded)} << QString();
        // Bounded: a file manager that hangs must not hang the window with it.
        return bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    };
    openers.openFolder = [](const QUrl& folder) {
        launch::Open(folder, launch::Kind::Folder); // a failure is said later, in a box
        return true;
    };
    if (Replacement().showItems) {
        openers.showItems = Replacement().showItems;
    }
    if (Replacement().openFolder) {
        openers.openFolder = Replacement().openFolder;
    }
    return openers;
}

FolderOpeners SetFolderOpeners(FolderOpeners openers)
{
    std::swap(Replacement(), openers);
    return openers;
}

void OpenContainingFolder(const FolderTarget& target)
{
    const QFileInfo folder(target.folder);
    if (target.folder.isEmpty() || !folder.isDir()) {
        MessageBox::show("The folder \"" + target.folder.toStdString() + "\" no longer exists.",
                         MessageBox::Icon::Information);
        return;
    }
    const FolderOpeners openers = DesktopFolderOpeners();
    if (!target.entry.isEmpty()) {
        const QString entry = QDir(target.folder).filePath(OnDisk(target.folder, target.entry));
        // An entry gone since (deleted, renamed again) leaves only its folder to show.
        if (QFileInfo(entry).exists() || QFileInfo(entry).isSymLink()) {
            if (openers.showItems && openers.showItems(QUrl::fromLocalFile(entry))) {
                return;
            }
        }
    }
    if (openers.openFolder) {
        openers.openFolder(QUrl::fromLocalFile(QDir::cleanPath(folder.absoluteFilePath())));
    }
}

} // namespace zlv
