#include "browse/ExportRows.h"

#include "logstore/LogList.h"
#include "utility/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace zlv {

namespace {

// Lists shorter than this are written before a progress dialog would even show.
constexpr int kProgressRows = 20000;
constexpr int kRowsPerWrite = 4096;

ExportTargetQuestion& Question()
{
    static ExportTargetQuestion question;
    return question;
}

QString Extension(ExportForm form)
{
    return form == ExportForm::Csv ? QStringLiteral("csv") : QStringLiteral("log");
}

// Qt's file dialog writes its history into QtProject.conf in the user's configuration
// folder whenever it closes, native or not; this program keeps nothing there. While the
// dialog lives, that file goes to a folder of its own, removed afterwards. Nothing else
// here uses QSettings.
class DialogSettingsAside final
{
public:
    DialogSettingsAside()
    {
        if (m_dir.isValid()) {
            for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
                QSettings::setPath(format, QSettings::UserScope, m_dir.path());
            }
        }
    }
    ~DialogSettingsAside()
    {
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope, config);
        }
    }
    DialogSettingsAside(const DialogSettingsAside&) = delete;
    DialogSettingsAside& operator=(const DialogSettingsAside&) = delete;

private:
    QTemporaryDir m_dir;
};

QString AskForTarget(QWidget* owner, const QString& suggested, ExportForm& form)
{
    const QString csv = QStringLiteral("CSV, as zelvory --format csv prints (*.csv)");
    const QString log = QStringLiteral("Day-file lines, as stored (*.log)");
    const DialogSettingsAside aside;
    // The desktop's own dialog where there is one.
    QFileDialog dialog(owner, QStringLiteral("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({csv, log});
    dialog.setDefaultSuffix(Extension(ExportForm::Csv));
    dialog.selectFile(suggested);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, log](const QString& filter) {
                         dialog.setDefaultSuffix(
                             Extension(filter == log ? ExportForm::DayFile : ExportForm::Csv));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    form = dialog.selectedNameFilter() == log ? ExportForm::DayFile : ExportForm::Csv;
    return dialog.selectedFiles().constFirst();
}

} // namespace

bool ExportRows(const LogList& list, const QString& path, ExportForm form,
                const std::function<bool(int, int)>& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    std::string chunk = ExportHeader(form);
    const int rows = list.rowCount();
    for (int row = 0; row < rows || !chunk.empty(); row += kRowsPerWrite) {
        AppendExportRows(list, row, kRowsPerWrite, form, chunk);
        if (file.write(chunk.data(), static_cast<qint64>(chunk.size())) !=
            static_cast<qint64>(chunk.size())) {
            file.cancelWriting();
            return false;
        }
        chunk.clear();
        if (progress && !progress(std::min(row + kRowsPerWrite, rows), rows)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

QString SuggestedExportPath(const Date& today, ExportForm form)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    char name[48];
    std::snprintf(name, sizeof name, "zelvory-%04d-%02d-%02d.", today.year, today.month, today.day);
    return QDir(folder).filePath(QString::fromLatin1(name) + Extension(form));
}

QString WithExportExtension(const QString& path, ExportForm form)
{
    const QString extension = Extension(form);
    if (QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) == 0) {
        return path;
    }
    return path + QLatin1Char('.') + extension;
}

ExportTargetQuestion SetExportTargetQuestion(ExportTargetQuestion question)
{
    std::swap(Question(), question);
    return question;
}

void ExportList(QWidget* owner, const LogList& list,
                const std::function<void(const QString&)>& tell)
{
    ExportForm form = ExportForm::Csv;
    const QString suggested = SuggestedExportPath(Clock::instance().now().date, form);
    const QString chosen =
        Question() ? Question()(owner, suggested, form) : AskForTarget(owner, suggested, form);
    if (chosen.isEmpty()) {
        return;
    }
    // The dialog asked about the name as typed; a name that gains its extension here may
    // stand for another file, which is not replaced unasked.
    const QString path = WithExportExtension(chosen, form);
    if (path != chosen && QFileInfo::exists(path) &&
        MessageBox::show("\"" + QDir::toNativeSeparators(path).toStdString() +
                             "\" already exists. Do you want to replace it?",
                         MessageBox::Icon::Exclamation, MessageBox::Buttons::YesNo,
                         MessageBox::Answer::No) != MessageBox::Answer::Yes) {
        return;
    }
    const int rows = list.rowCount();
    std::function<bool(int, int)> progress;
    std::unique_ptr<QProgressDialog> dialog;
    if (rows >= kProgressRows) {
        dialog = std::make_unique<QProgressDialog>(QStringLiteral("Exporting..."),
                                                   QStringLiteral("Cancel"), 0, rows, owner);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(300);
        progress = [&dialog](int done, int) {
            dialog->setValue(done);
            // Capture waits meanwhile, so that no row arrives in the middle of the file.
            QApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
            return !dialog->wasCanceled();
        };
    }
    const bool written = ExportRows(list, path, form, progress);
    const bool cancelled = dialog && dialog->wasCanceled();
    dialog.reset();
    if (written) {
        if (tell) {
            tell((rows == 1 ? QStringLiteral("Exported 1 row to %2")
                            : QStringLiteral("Exported %1 rows to %2").arg(rows))
                     .arg(QDir::toNativeSeparators(path)));
        }
    } else if (!cancelled) {
        MessageBox::show("The rows could not be written to \"" + path.toStdString() + "\".",
                         MessageBox::Icon::Exclamation);
    }
}

} // namespace zlv
