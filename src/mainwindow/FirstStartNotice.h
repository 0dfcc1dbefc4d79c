#pragma once

#include <QString>
#include <functional>

namespace zlv {

class LogListView;

// While `today` holds no record, its body says what Zelvory records and what it does not,
// and where the journal (`journal`, the logs folder) lives, with a button that opens it.
// It goes with the first row and comes back if the day starts over empty. Clicks anywhere
// else still reach the list.
void ShowFirstStartNotice(LogListView& today, const QString& journal,
                          std::function<void()> openJournal);

} // namespace zlv
