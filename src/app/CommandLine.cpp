#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace zlv::cli {

// Laid out the way help2man reads it ("Usage:"/"or:" lines, "Options:" and "Exit status:"
// headings): the manual page is generated from this text, so the two never disagree.
const char* const kUsage =
    "Usage: zelvory [--tray]\n"
    "  or:  zelvory --print [--from DATE] [--to DATE] [--find TEXT] [--format FORMAT]\n"
    "  or:  zelvory --follow [--find TEXT] [--format FORMAT]\n"
    "  or:  zelvory --print --follow [--from DATE] [--find TEXT] [--format FORMAT]\n"
    "  or:  zelvory --status | --help | --version\n"
    "\n"
    "Keeps a journal of the files, folders and drives you create, delete, rename,\n"
    "insert and remove, one line per operation in a log file for each day.\n"
    "\n"
    "Options:\n"
    "  --tray           Start with the window in the notification area.\n"
    "  --print          Print the records of a range of days (default: today), oldest\n"
    "                   first, without a window and without recording.\n"
    "  --follow         Print each record as soon as it is written, until interrupted;\n"
    "                   after --print, once the range is printed.\n"
    "  --from DATE      First day of the range (YYYY-MM-DD).\n"
    "  --to DATE        Last day of the range (YYYY-MM-DD).\n"
    "  --find TEXT      Only records whose object, action, path or names contain TEXT\n"
    "                   (letter case ignored).\n"
    "  --format FORMAT  display (the time as the Options set it), tsv (the lines as\n"
    "                   stored), csv (with a header row) or json (one object a line).\n"
    "  --status         Say whether Zelvory runs, since when, how many folders it\n"
    "                   watches and whether today's journal has gaps.\n"
    "  -h, --help       Show this help and exit.\n"
    "  -v, --version    Show the version and exit.\n"
    "\n"
    "--follow says once on standard error when Zelvory is not running (or stops) and\n"
    "goes on waiting for its records.\n"
    "\n"
    "Exit status:\n"
    "  --print, --follow  0, 1 when no record was printed (--print then says so on\n"
    "                     standard error), 2 on bad arguments, --from, --to, --find\n"
    "                     or --format without --print or --follow among them.\n"
    "  --status           0 when recording is complete, 3 when today has a gap,\n"
    "                     4 when Zelvory is not running.\n";

namespace {

// Qt's arguments that carry a value; they are recognised so that a session manager's
// "-session 1234_5678" does not count as two unknown words.
constexpr const char* kQtValueOptions[] = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "qwindowicon",
    "qwindowtitle",
    "session",
    "style",
    "stylesheet",
    "display",
    "geometry",
    "title",
    "name",
    "visual",
    "dialogs",
    "qdevicepixelratio",
    "fn",
    "font",
    "bg",
    "background",
    "fg",
    "foreground",
    "btn",
    "button",
    "im",
    "inputstyle",
    "qmljsdebugger",
    "graphicssystem",
};
constexpr const char* kQtFlags[] = {"reverse",     "sync",        "nograb", "dograb",
                                    "widgetcount", "testability", "cmap"};

} // namespace

std::optional<Date> ParseDate(const QString& text)
{
    const QByteArray b = text.toLatin1();
    if (b.size() != 10 || b[4] != '-' || b[7] != '-') {
        return std::nullopt;
    }
    Date d;
    int* parts[] = {&d.year, &d.month, &d.day};
    const int starts[] = {0, 5, 8};
    const int lengths[] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        *parts[i] = 0;
        for (int k = starts[i]; k < starts[i] + lengths[i]; ++k) {
            if (b[k] < '0' || b[k] > '9') {
                return std::nullopt;
            }
            *parts[i] = *parts[i] * 10 + (b[k] - '0');
        }
    }
    return d.isValid() ? std::optional<Date>(d) : std::nullopt;
}

Arguments Parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's arguments are single-dash words; "-session" must not read as -s -e -s ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption tray(QStringLiteral("tray"));
    const QCommandLineOption print(QStringLiteral("print"));
    const QCommandLineOption follow(QStringLiteral("follow"));
    const QCommandLineOption status(QStringLiteral("status"));
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("date"));
    const QCommandLineOption to(QStringLiteral("to"), {}, QStringLiteral("date"));
    const QCommandLineOption find(QStringLiteral("find"), {}, QStringLiteral("text"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("format"));
    parser.addOptions({help, version, tray, print, follow, status, from, to, find, format});
    for (const char* name : kQtValueOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("v")));
    }
    for (const char* name : kQtFlags) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }

    Arguments a;
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        a.mode = Mode::Help;
        return a;
    }
    if (parser.isSet(version)) {
        a.mode = Mode::Version;
        return a;
    }
    if (!parsed) {
        a.problem = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        a.problem = QStringLiteral("Unknown argument '%1'.").arg(parser.positionalArguments()[0]);
    }
    a.tray = parser.isSet(tray);
    a.print = parser.isSet(print);
    a.follow = parser.isSet(follow);
    if (parser.isSet(status)) {
        a.mode = Mode::Status;
        if (a.print || a.follow) {
            a.problem = QStringLiteral("--status goes alone, without --print or --follow.");
        }
    } else if (a.print || a.follow) {
        a.mode = Mode::Journal;
    }
    const bool filters =
        parser.isSet(from) || parser.isSet(to) || parser.isSet(find) || parser.isSet(format);
    if (a.mode != Mode::Journal) {
        if (filters && a.problem.isEmpty()) {
            a.problem = QStringLiteral("--from, --to, --find and --format go with --print or "
                                       "--follow.");
        }
        if (filters && a.mode == Mode::Window) {
            // Whoever typed a range or a search wanted the terminal, not a window: it ends
            // there with the problem named, as any other misuse of the terminal modes does.
            a.mode = Mode::Journal;
        }
        return a;
    }

    for (const auto& [option, slot] : {std::pair{&from, &a.from}, std::pair{&to, &a.to}}) {
        if (parser.isSet(*option)) {
            const QString value = parser.value(*option);
            *slot = ParseDate(value);
            if (!*slot && a.problem.isEmpty()) {
                a.problem = QStringLiteral("Invalid date '%1' for --%2: use YYYY-MM-DD.")
                                .arg(value, option->names().constFirst());
            }
        }
    }
    if (a.from && a.to && *a.to < *a.from && a.problem.isEmpty()) {
        a.problem = QStringLiteral("The range ends (%1) before it begins (%2).")
                        .arg(parser.value(to), parser.value(from));
    }
    a.find = parser.value(find).toStdString();
    if (parser.isSet(format)) {
        const QString f = parser.value(format);
        if (f == QLatin1String("display")) {
            a.format = Format::Display;
        } else if (f == QLatin1String("tsv")) {
            a.format = Format::Tsv;
        } else if (f == QLatin1String("csv")) {
            a.format = Format::Csv;
        } else if (f == QLatin1String("json")) {
            a.format = Format::Json;
        } else if (a.problem.isEmpty()) {
            a.problem =
                QStringLiteral("Unknown format '%1': use display, tsv, csv or json.").arg(f);
        }
    }
    return a;
}

} // namespace zlv::cli
