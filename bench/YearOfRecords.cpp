#include "YearOfRecords.h"

#include "logstore/DayFile.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <unistd.h>

namespace zlv::bench {

namespace {

void WriteDurably(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

} // namespace

// One plausible record at `second` of `day`: a file or folder created, deleted or renamed
// in one of a few thousand project folders.
void AppendRecord(std::string& text, std::mt19937& random, const Date& day, int second)
{
    static const char* objects[] = {"File", "File", "File", "Folder"};
    static const char* actions[] = {"Created", "Deleted", "Renamed", "Created"};
    LogRecord r;
    r.time = dayfile::FormatStamp({day, second / 3600, second / 60 % 60, second % 60});
    r.object = objects[random() % 4];
    r.action = actions[random() % 4];
    const unsigned project = random() % 5000;
    r.path = "/home/user/Documents/project-" + std::to_string(project) + "/src/module-" +
             std::to_string(random() % 40) + "/";
    const unsigned number = random() % 100000;
    // A few hundred reports, for a find of a rare word; in either case, as names come.
    r.originalName = number % 2500 == 7   ? "Quarterly-Report-" + std::to_string(number) + ".odt"
                     : number % 2500 == 8 ? "quarterly_" + std::to_string(number) + ".txt"
                                          : "file_" + std::to_string(number) + ".txt";
    if (r.action == "Renamed") {
        r.newName = "renamed_" + std::to_string(random() % 100000) + ".txt";
    }
    text += dayfile::FormatLine(r);
}

std::vector<std::string> WriteYearOfRecords(const DataFolder& folder)
{
    std::mt19937 random(42);
    std::vector<std::string> paths;
    for (int d = 0; d < kYearDays; ++d) {
        const Date day = kYearFirstDay.addDays(d);
        folder.ensureMonthFolder(day);
        const long count = (d + 1) * kYearRecords / kYearDays - d * kYearRecords / kYearDays;
        std::string text;
        text.reserve(static_cast<std::size_t>(count) * 110);
        for (long i = 0; i < count; ++i) {
            AppendRecord(text, random, day, static_cast<int>(i * 86400 / count));
        }
        paths.push_back(folder.dayFilePath(day));
        WriteDurably(paths.back(), text);
    }
    return paths;
}

void WriteDayOfRecords(const std::string& path, const Date& day, long count)
{
    std::ofstream out(path, std::ios::binary);
    std::mt19937 random(11);
    std::string text;
    for (long i = 0; i < count; ++i) {
        AppendRecord(text, random, day, static_cast<int>(i * 86400 / count));
        if (text.size() > (1u << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

} // namespace zlv::bench
