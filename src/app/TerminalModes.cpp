#include "app/TerminalModes.h"

#include "app/InstanceStatus.h"
#include "app/JournalFollow.h"
#include "app/JournalPrinter.h"

namespace zlv::cli {

int RunTerminalMode(const Arguments& a, const DataFolder& folder, const QString& lockPath,
                    const Clock& clock, std::FILE* out, std::FILE* err, int stopFd,
                    const std::function<void()>& following)
{
    if (!a.problem.isEmpty()) {
        std::fprintf(err, "zelvory: %s\nTry 'zelvory --help'.\n", qPrintable(a.problem));
        return 2;
    }
    if (a.mode == Mode::Status) {
        return PrintStatus(folder, clock, lockPath, out, err);
    }

    const std::string pattern =
        a.format == Format::Display ? UserDisplayPattern(folder) : std::string();
    JournalPrinter printer(out, a.format, a.find, pattern);
    printer.setStopFd(stopFd);
    printer.setWarnings(err);
    printer.begin();
    if (a.print) {
        const Date today = clock.now().date;
        // One end given: --to alone is that day, --from alone runs to today.
        const Date to = a.to.value_or(a.from ? std::max(today, *a.from) : today);
        const Date from = a.from.value_or(a.to ? *a.to : today);
        PrintRange(folder, from, to, printer);
    }
    if (a.follow && !FollowJournal(folder, printer, clock, stopFd, a.from, a.to, following)) {
        printer.flush();
        std::fprintf(err, "zelvory: the journal cannot be followed on this system.\n");
        return 1;
    }
    printer.flush();
    return printer.recordsPrinted() > 0 ? 0 : 1;
}

} // namespace zlv::cli
