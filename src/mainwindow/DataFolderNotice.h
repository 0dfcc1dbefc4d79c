#pragma once

#include <QString>

class QAbstractScrollArea;

namespace zlv {

// Says inside `list` (which stays empty) that nothing is recorded because there is no data
// folder, and why; the same words go to standard error for whoever started the program.
void ShowDataFolderProblem(QAbstractScrollArea& list, const QString& why);

} // namespace zlv
