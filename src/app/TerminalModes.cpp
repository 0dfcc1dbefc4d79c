#include "app/TerminalModes.h"

#include "app/InstanceStatus.h"
#include "app/JournalFollow.h"
#include "app/JournalPrinter.h"
#include "app/StopSignals.h"
#include "mainwindow/SingleInstance.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"

namespace zlv::cli {

namespace {

std::string Day(const Date& d)
{
    return FormatStamp(LocalDateTime{d, 0, 0, 0}).substr(0, 10);
}

// An empty print is not a failure to hide: the exit status alone does not say whether the
// range was empty or the search found nothing.
void SayNothingPrinted(std::FILE* err, const Date& from, const Date& to, const std::string& find)
{
    const std::string matching = find.empty() ? std::string() : " matching \"" + find + "\"";
    if (from == to) {
        std::fprintf(err, "zelvory: No records%s on %s.\n", matching.c_str(), Day(from).c_str());
    } else {
        std::fprintf(err, "zelvory: No records%s between %s and %s.\n", matching.c_str(),
                     Day(from).c_str(), Day(to).c_str());
    }
}

} // namespace

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
        if (printer.recordsPrinted() == 0) {
            printer.flush();
            SayNothingPrinted(err, from, to, a.find);
        }
    }
    if (a.follow) {
        // Following waits for records whether or not anyone writes them; whoever waits is
        // told once why nothing comes, and once more if the writer goes away.
        const InstanceState writer = ReadInstance(lockPath);
        const int writerEnd = writer.running ? OpenProcessEnd(writer.pid) : -1;
        if (!writer.running) {
            std::fprintf(err, "zelvory: Zelvory is not running, so nothing is being recorded; "
                              "waiting for it to start (Ctrl+C ends).\n");
        }
        const bool followed = FollowJournal(folder, printer, clock, stopFd, a.from, a.to, following,
                                            writerEnd, [err] {
                                                std::fprintf(err, "zelvory: Zelvory has stopped, "
                                                                  "so nothing is being recorded; "
                                                                  "waiting for it to start again "
                                                                  "(Ctrl+C ends).\n");
                                            });
        CloseProcessEnd(writerEnd);
        if (!followed) {
            printer.flush();
            std::fprintf(err, "zelvory: the journal cannot be followed on this system.\n");
            return 1;
        }
    }
    printer.flush();
    return printer.recordsPrinted() > 0 ? 0 : 1;
}

std::optional<int> RunWithoutWindow(const Arguments& arguments)
{
    switch (arguments.mode) {
    case Mode::Help:
        std::fputs(kUsage, stdout);
        return 0;
    case Mode::Version:
        std::printf("Zelvory %s (Build %s)\n", kProgramVersion, kBuildNumber);
        return 0;
    case Mode::Journal:
    case Mode::Status:
        break;
    case Mode::Window:
        return std::nullopt;
    }
    // A blocked write to a terminal or a pipe nobody reads gives way to the signal, so that
    // printing and following end when asked, whatever they are doing.
    const int stopFd = CatchStopSignals(false);
    // The data folder is only read here: never established, never created.
    DataFolder folder;
    folder.locate(SystemUtility::LocateAppData().path);
    // --status and --follow look for the lock (is anyone recording?); --print never does.
    const QString lock = arguments.mode == Mode::Status || arguments.follow
                             ? QString::fromStdString(SingleInstance::lockPath())
                             : QString();
    return RunTerminalMode(arguments, folder, lock, Clock::instance(), stdout, stderr, stopFd);
}

} // namespace zlv::cli
