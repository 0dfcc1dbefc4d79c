#pragma once

#include "logstore/ListExport.h"
#include "utility/Clock.h"

#include <QString>
#include <functional>

class QWidget;

namespace zlv {

class LogList;

// Writes the rows of `list` as they are shown, in their order, to `path`; the file
// appears whole or not at all. `progress` is told how far the writing is and may answer
// false to stop it, which leaves the file as it was. False when stopped or not written.
bool ExportRows(const LogList& list, const QString& path, ExportForm form,
                const std::function<bool(int done, int total)>& progress = {});

// Where the export dialog starts: the user's Documents folder (the home when there is
// none) and a name such as "zelvory-2026-12-07.csv".
QString SuggestedExportPath(const Date& today, ExportForm form);
// `path` with the form's extension added when it has none of it (".csv", ".log").
QString WithExportExtension(const QString& path, ExportForm form);

// Asks where to export to, with the form chosen by the file type; an empty path when the
// user cancels. `suggested` is where the question starts. Tests replace the question.
using ExportTargetQuestion =
    std::function<QString(QWidget* owner, const QString& suggested, ExportForm& form)>;
ExportTargetQuestion SetExportTargetQuestion(ExportTargetQuestion question);

// The command: asks for the file, then writes the list with a progress dialog that can
// cancel it when the list is long. A failure is said in a message box; success in a line
// for the status bar, handed to `tell`.
void ExportList(QWidget* owner, const LogList& list,
                const std::function<void(const QString&)>& tell = {});

} // namespace zlv
