#include "app/JournalFollow.h"

#ifdef __linux__

#include "logstore/DayFile.h"
#include "utility/FileSystem.h"

#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace zlv::cli {

namespace {

// The part of one file not yet printed. Only whole lines are taken, so a line caught half
// written is printed once it is complete.
struct Tail
{
    std::string path;
    std::uint64_t offset = 0;
    std::uint64_t identity = 0;
    bool known = false;

    void startAtEnd()
    {
        if (const auto st = fs::StatFile(path)) {
            offset = st->size;
            identity = st->identity;
            known = true;
        }
    }

    std::string take()
    {
        const auto st = fs::StatFile(path);
        if (!st) {
            return {};
        }
        if (known && (st->identity != identity || st->size < offset)) {
            offset = 0; // replaced or cut short: everything in it is new to us
        }
        identity = st->identity;
        known = true;
        if (st->size <= offset) {
            return {};
        }
        std::string bytes = fs::ReadFrom(path, offset, st->size - offset);
        bytes.resize(dayfile::WholeLinesEnd(bytes));
        offset += bytes.size();
        return bytes;
    }
};

struct Day
{
    Date date;
    Tail log;
    Tail gaps;
};

Day MakeDay(const DataFolder& folder, const Date& date)
{
    Day d{date, {folder.dayFilePath(date)}, {folder.gapFilePath(date)}};
    return d;
}

std::string Parent(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Watches what exists of the way to the month folders. Adding a watch that exists already
// changes nothing, so this runs after every wake-up: a folder created or re-created since
// is picked up before its files are read.
void Arm(int fd, const DataFolder& folder, const std::vector<Day>& days)
{
    constexpr std::uint32_t kFolderMask = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;
    for (const Day& d : days) {
        inotify_add_watch(fd, folder.monthFolder(d.date).c_str(),
                          kFolderMask | IN_MODIFY | IN_CLOSE_WRITE);
    }
    // Until the logs folder exists, its nearest existing ancestor tells us when it comes.
    std::string path = folder.logsFolder();
    while (inotify_add_watch(fd, path.c_str(), kFolderMask) < 0 && path != "/") {
        path = Parent(path);
    }
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
    printer.setFlushEachLine(true);
    // The day before stays followed too: a record stamped just before midnight may reach
    // its file a moment after our clock turned.
    std::vector<Day> days{MakeDay(folder, clock.now().date)};
    Arm(fd, folder, days);
    days.back().log.startAtEnd();
    days.back().gaps.startAtEnd();
    if (following) {
        following();
    }

    const auto drain = [&] {
        for (Day& d : days) {
            const bool wanted = (!from || *from <= d.date) && (!to || d.date <= *to);
            std::string gapBytes = d.gaps.take();
            std::string logBytes = d.log.take();
            if (!wanted) {
                continue;
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

    for (;;) {
        drain();
        pollfd fds[3] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}, {writerFd, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
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
        const Date today = clock.now().date;
        if (days.back().date < today) {
            drain();
            days.push_back(MakeDay(folder, today));
            if (days.size() > 2) {
                days.erase(days.begin());
            }
        }
        Arm(fd, folder, days);
    }
    drain();
    printer.flush();
    close(fd);
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
