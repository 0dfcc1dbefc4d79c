#pragma once

#include "app/JournalPrinter.h"
#include "utility/Clock.h"

#include <functional>
#include <optional>

namespace zlv::cli {

// Prints every record appended to the journal from now on, by whichever process writes
// it, going on into the next day's file after midnight. Records of days outside
// [from, to] are left out. Woken by inotify on the logs folder and the month folders, so
// it sleeps between records. Returns when `stopFd` becomes readable (false when the
// journal cannot be followed at all, e.g. on a system without inotify). `following` is
// called once the starting point is taken: what is appended after it will be printed.
// `writerEnded` is called once when `writerFd` (see OpenProcessEnd) becomes readable;
// following goes on.
bool FollowJournal(const DataFolder& folder, JournalPrinter& printer, const Clock& clock,
                   int stopFd, std::optional<Date> from = std::nullopt,
                   std::optional<Date> to = std::nullopt,
                   const std::function<void()>& following = {}, int writerFd = -1,
                   const std::function<void()>& writerEnded = {});

} // namespace zlv::cli
