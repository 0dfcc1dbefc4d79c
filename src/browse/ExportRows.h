#pragma once

#include <QString>
#include <functional>

class QAbstractItemModel;
class QWidget;

namespace zlv {

enum class ExportForm
{
    Csv,    // RFC 4180 in UTF-8: a caption line, then one line per row, CR LF after each
    DayFile // the day files' own lines: stored stamp and five fields, tab-separated
};

// Writes the rows of `model` as they are shown, in their order, to `path`; the file
// appears whole or not at all. `progress` is told how far the writing is and may answer
// false to stop it, which leaves the file as it was. False when stopped or not written.
bool ExportRows(const QAbstractItemModel& model, const QString& path, ExportForm form,
                const std::function<bool(int done, int total)>& progress = {});

// Asks where to export to, with the form chosen by the file type; an empty path when the
// user cancels. Tests replace the question.
using ExportTargetQuestion = std::function<QString(QWidget* owner, ExportForm& form)>;
ExportTargetQuestion SetExportTargetQuestion(ExportTargetQuestion question);

// The command: asks for the file, then writes the list with a progress dialog that can
// cancel it when the list is long; a failure is said in a message box.
void ExportList(QWidget* owner, const QAbstractItemModel& model);

} // namespace zlv
