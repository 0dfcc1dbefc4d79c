#include "app/JournalFollow.h"

#ifdef __linux__

#include "logstore/DayFile.h"
#include "logstore/GapFile.h"
#include "utility/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace zlv::cli {

namespace {

// How much of what was printed last is kept to recognise the file by: an append leaves it
// where it was, a copy of the file put in its place too; an edit almost never does.
constexpr std::size_t kAnchorBytes = 4096;

// The part of one file not yet printed. Only whole lines are taken, so a line caught half
// written is printed once it is complete.
struct Tail
{
    std::string path;
    std::uint64_t offset = 0;
    bool known = false;
    std::string anchor; // the last bytes taken, ending at `offset`

    void startAtEnd()
    {
        if (const auto st = fs::StatFile(path)) {
            offset = st->size;
            const std::uint64_t back = std::min<std::uint64_t>(offset, kAnchorBytes);
            bool ok = false;
            anchor = fs::ReadFrom(path, offset - back, back, &ok);
            known = ok && anchor.size() == back;
            if (!known) {
                offset = 0;
                anchor.clear();
            }
        }
    }

    // The whole lines added since the last take. `rewritten` is set when the file no longer
    // holds what was taken where it was taken from (cut short, edited, another file in its
    // place): everything in it is then taken from its beginning.
    std::string take(bool& rewritten)
    {
        rewritten = false;
        const auto st = fs::StatFile(path);
        if (!st) {
            return {}; // gone for now; whatever comes back in its place is checked then
        }
        std::string bytes;
        bool holds = true;
        if (known && offset > 0) {
            // What was taken last is read again with what follows it: still there, it tells
            // that the file was only added to, whether or not it is the same file.
            const std::uint64_t from = offset - anchor.size();
            bool ok = false;
            holds = st->size >= offset;
            if (holds) {
                bytes = fs::ReadFrom(path, from, st->size - from, &ok);
                holds = ok && bytes.size() >= anchor.size() &&
                        bytes.compare(0, anchor.size(), anchor) == 0;
            }
            bytes.erase(0, holds ? anchor.size() : bytes.size());
        }
        if (!holds) {
            rewritten = true;
            offset = 0;
            anchor.clear();
        }
        if (!known || offset == 0) {
            bytes = st->size > 0 ? fs::ReadFrom(path, 0, st->size) : std::string();
        }
        known = true;
        bytes.resize(dayfile::WholeLinesEnd(bytes));
        offset += bytes.size();
        anchor += bytes;
        if (anchor.size() > kAnchorBytes) {
            anchor.erase(0, anchor.size() - kAnchorBytes);
        }
        return bytes;
    }
};

struct Day
{
    Tail log;
    Tail gaps;
};

std::string Parent(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Watches what exists of the way to the month folders. Adding a watch that exists already
// changes nothing, so this runs after every wake-up: a folder created or re-created since
// is picked up before its files are read.
void Arm(int fd, const DataFolder& folder, const std::map<Date, Day>& days)
{
    constexpr std::uint32_t kFolderMask = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;
    for (const auto& [date, day] : days) {
        inotify_add_watch(fd, folder.monthFolder(date).c_str(),
                          kFolderMask | IN_MODIFY | IN_CLOSE_WRITE);
    }
    // Until the logs folder exists, its nearest existing ancestor tells us when it comes.
    std::string path = folder.logsFolder();
    while (inotify_add_watch(fd, path.c_str(), kFolderMask) < 0 && path != "/") {
        path = Parent(path);
    }
}

// Wakes at the next local midnight, and at once whenever the system clock is set: a clock
// stepped back into yesterday makes the writer go back to yesterday's file, and the
// follower has to be there before the next record is.
void ArmClockTimer(int fd)
{
    if (fd < 0) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_mday += 1;
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    local.tm_isdst = -1;
    itimerspec at{};
    at.it_value.tv_sec = std::mktime(&local);
    timerfd_settime(fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &at, nullptr);
}

GapRecord RewrittenNotice(const Clock& clock, const std::string& path)
{
    return {FormatStamp(clock.now()), "rewritten",
            "The day file " + path +
                " was cut short or changed by another program: its records follow again from "
                "its beginning."};
}

} // namespace

bool FollowJournal(const DataFolder& folder, JournalPrinter& printer, const Clock& clock,
                   int stopFd, std::optional<Date> from, std::optional<Date> to,
                   const std::function<void()>& following, int writerFd,
                   const std::function<void()>& writerEnded)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const int clockFd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    ArmClockTimer(clockFd);
    printer.setFlushEachLine(true);
    const auto makeDay = [&](const Date& date) {
        Day day;
        day.log.path = folder.dayFilePath(date);
        day.gaps.path = folder.gapFilePath(date);
        return day;
    };
    // Yesterday stays followed too: a record stamped just before midnight may reach its file
    // a moment after our clock turned, and a clock stepped back goes back to its file.
    std::map<Date, Day> days;
    const Date start = clock.now().date;
    for (const Date& date : {start.addDays(-1), start}) {
        Day& day = days.emplace(date, makeDay(date)).first->second;
        day.log.startAtEnd();
        day.gaps.startAtEnd();
    }
    Arm(fd, folder, days);
    if (following) {
        following();
    }

    const auto drain = [&] {
        for (auto& [date, d] : days) {
            const bool wanted = (!from || *from <= date) && (!to || date <= *to);
            bool rewritten = false, gapsRewritten = false;
            std::string gapBytes = d.gaps.take(gapsRewritten);
            std::string logBytes = d.log.take(rewritten);
            if (!wanted) {
                continue;
            }
            if (rewritten) {
                printer.gap(RewrittenNotice(clock, d.log.path));
            }
            std::string_view g(gapBytes);
            while (!g.empty()) {
                if (const auto gap = gapfile::ParseLine(dayfile::NextLine(g))) {
                    printer.gap(*gap);
                }
            }
            std::string_view l(logBytes);
            while (!l.empty()) {
                printer.record(dayfile::NextLine(l));
            }
        }
    };

    while (!printer.stopped()) {
        drain();
        pollfd fds[4] = {
            {fd, POLLIN, 0}, {stopFd, POLLIN, 0}, {writerFd, POLLIN, 0}, {clockFd, POLLIN, 0}};
        if (poll(fds, 4, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[1].revents) {
            break;
        }
        if (fds[2].revents) {
            writerFd = -1; // said once; a negative descriptor is left out of the poll
            if (writerEnded) {
                writerEnded();
            }
        }
        alignas(inotify_event) char events[16384];
        while (read(fd, events, sizeof events) > 0) {
        }
        if (fds[3].revents) {
            std::uint64_t expirations = 0;
            [[maybe_unused]] const auto n = read(clockFd, &expirations, sizeof expirations);
            ArmClockTimer(clockFd);
        }
        const Date today = clock.now().date;
        if (days.find(today) == days.end()) {
            drain();
            // A new day is read from its beginning: all of it is written from now on. A day
            // the clock went back to holds records printed long ago: only what comes now.
            Day day = makeDay(today);
            if (today < days.rbegin()->first) {
                day.log.startAtEnd();
                day.gaps.startAtEnd();
            }
            days.emplace(today, std::move(day));
            while (days.size() > 3) {
                auto oldest = days.begin();
                if (oldest->first >= today.addDays(-1)) {
                    break;
                }
                days.erase(oldest);
            }
        }
        Arm(fd, folder, days);
    }
    drain();
    printer.flush();
    close(fd);
    if (clockFd >= 0) {
        close(clockFd);
    }
    return true;
}

} // namespace zlv::cli

#else

namespace zlv::cli {

bool FollowJournal(const DataFolder&, JournalPrinter&, const Clock&, int, std::optional<Date>,
                   std::optional<Date>, const std::function<void()>&, int,
                   const std::function<void()>&)
{
    return false;
}

} // namespace zlv::cli

#endif
