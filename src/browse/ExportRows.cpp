#include "browse/ExportRows.h"

#include "logstore/DayFile.h"
#include "logstore/LogListModel.h"
#include "utility/MessageBox.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFileDialog>
#include <QProgressDialog>
#include <QSaveFile>

namespace zlv {

namespace {

// Lists shorter than this are written before a progress dialog would even show.
constexpr int kProgressRows = 20000;

ExportTargetQuestion& Question()
{
    static ExportTargetQuestion question;
    return question;
}

QString Cell(const QAbstractItemModel& model, int row, int column)
{
    const QModelIndex index = model.index(row, column);
    const QVariant text = index.data(LogListModel::FullTextRole);
    return (text.isValid() ? text : index.data(Qt::DisplayRole)).toString();
}

void AppendCsvField(QByteArray& out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (!bytes.contains('"') && !bytes.contains(',') && !bytes.contains('\r') &&
        !bytes.contains('\n')) {
        out += bytes;
        return;
    }
    out += '"';
    for (const char c : bytes) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

QByteArray Line(const QAbstractItemModel& model, int row, ExportForm form)
{
    QByteArray out;
    if (form == ExportForm::DayFile) {
        QVariant stamp = model.index(row, 0).data(LogListModel::StampRole);
        LogRecord record{(stamp.isValid() ? stamp.toString() : Cell(model, row, 0)).toStdString(),
                         Cell(model, row, 1).toStdString(),
                         Cell(model, row, 2).toStdString(),
                         Cell(model, row, 3).toStdString(),
                         Cell(model, row, 4).toStdString(),
                         Cell(model, row, 5).toStdString()};
        const std::string line = dayfile::FormatLine(record);
        return QByteArray(line.data(), static_cast<qsizetype>(line.size()));
    }
    for (int column = 0; column < model.columnCount(); ++column) {
        if (column > 0) {
            out += ',';
        }
        AppendCsvField(out, Cell(model, row, column));
    }
    out += "\r\n";
    return out;
}

} // namespace

bool ExportRows(const QAbstractItemModel& model, const QString& path, ExportForm form,
                const std::function<bool(int, int)>& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (form == ExportForm::Csv) {
        QByteArray captions;
        for (int column = 0; column < model.columnCount(); ++column) {
            if (column > 0) {
                captions += ',';
            }
            AppendCsvField(captions, model.headerData(column, Qt::Horizontal).toString());
        }
        file.write(captions + "\r\n");
    }
    const int rows = model.rowCount();
    QByteArray chunk;
    for (int row = 0; row < rows; ++row) {
        chunk += Line(model, row, form);
        if (chunk.size() > (1 << 20) || row + 1 == rows) {
            file.write(chunk);
            chunk.clear();
        }
        if (progress && (row % 4096 == 0 || row + 1 == rows) && !progress(row + 1, rows)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

ExportTargetQuestion SetExportTargetQuestion(ExportTargetQuestion question)
{
    std::swap(Question(), question);
    return question;
}

void ExportList(QWidget* owner, const QAbstractItemModel& model)
{
    ExportForm form = ExportForm::Csv;
    QString path;
    if (Question()) {
        path = Question()(owner, form);
    } else {
        const QString csv = QStringLiteral("CSV files (*.csv)");
        const QString log = QStringLiteral("Log files (*.log)");
        QString chosen = csv;
        path = QFileDialog::getSaveFileName(owner, QStringLiteral("Export"), QString(),
                                            csv + QStringLiteral(";;") + log, &chosen);
        form = chosen == log ? ExportForm::DayFile : ExportForm::Csv;
    }
    if (path.isEmpty()) {
        return;
    }
    std::function<bool(int, int)> progress;
    std::unique_ptr<QProgressDialog> dialog;
    if (model.rowCount() >= kProgressRows) {
        dialog = std::make_unique<QProgressDialog>(
            QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, model.rowCount(), owner);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(300);
        progress = [&dialog](int done, int) {
            dialog->setValue(done);
            // Capture waits meanwhile, so that no row arrives in the middle of the file.
            QApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
            return !dialog->wasCanceled();
        };
    }
    const bool written = ExportRows(model, path, form, progress);
    const bool cancelled = dialog && dialog->wasCanceled();
    dialog.reset();
    if (!written && !cancelled) {
        MessageBox::show("The rows could not be written to \"" + path.toStdString() + "\".",
                         MessageBox::Icon::Exclamation);
    }
}

} // namespace zlv
