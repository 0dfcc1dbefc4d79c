#include "app/JournalPrinter.h"

#include "app/StopSignals.h"
#include "logstore/DayFile.h"
#include "logstore/RecordFormats.h"
#include "logstore/RecordWriter.h"
#include "settings/Settings.h"
#include "utility/RegularFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#ifndef _WIN32
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zlv::cli {

namespace {

constexpr std::size_t kFlushAt = 1 << 20;

#ifndef _WIN32
// Whether a write to `fd` can be held up for as long as nobody reads (a pipe, a terminal,
// a socket); a file on disk and the null device never hold one up.
bool WritesMayWait(int fd)
{
    struct stat out = {};
    struct stat null = {};
    if (::fstat(fd, &out) != 0) {
        return true;
    }
    if (S_ISREG(out.st_mode)) {
        return false;
    }
    return !(S_ISCHR(out.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
             null.st_rdev == out.st_rdev);
}
#endif

recordformat::Form FormOf(Format format)
{
    switch (format) {
    case Format::Tsv:
        return recordformat::Form::Tsv;
    case Format::Csv:
        return recordformat::Form::Csv;
    case Format::Json:
        return recordformat::Form::Json;
    case Format::Display:
        break;
    }
    return recordformat::Form::Display;
}

} // namespace

JournalPrinter::JournalPrinter(std::FILE* out, Format format, std::string find,
                               std::string displayPattern)
    : m_out(out), m_format(format), m_writer(FormOf(format), find, displayPattern),
      m_pattern(displayPattern)
{
    m_buffer.reserve(kFlushAt + 4096);
}

JournalPrinter::~JournalPrinter()
{
    flush();
}

void JournalPrinter::flush()
{
    if (!m_buffer.empty()) {
        emit(m_buffer);
        m_buffer.clear();
    }
    if (m_stopFd < 0) {
        std::fflush(m_out);
    }
}

void JournalPrinter::lineDone()
{
    m_buffer += m_writer.lineEnd();
    linesDone();
}

void JournalPrinter::linesDone()
{
    if (m_flushEachLine || m_buffer.size() >= kFlushAt) {
        flush();
    }
}

bool JournalPrinter::stopped()
{
    m_stopped = m_stopped || StopAsked(m_stopFd);
    return m_stopped;
}

void JournalPrinter::emit(std::string_view bytes)
{
#ifndef _WIN32
    if (m_stopFd >= 0) {
        // Written straight to the descriptor, a page at a time and only when it takes one, so
        // that a terminal or a pipe nobody reads never holds a stop up.
        const int fd = fileno(m_out);
        std::fflush(m_out);
        if (!m_writesMayWait) {
            m_writesMayWait = WritesMayWait(fd);
        }
        while (!bytes.empty() && !m_stopped && !*m_writesMayWait) {
            // A file or the null device takes it all at once, whoever reads it or not.
            const ssize_t n = ::write(fd, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) {
                stopped();
                continue;
            }
            if (n <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        while (!bytes.empty() && !m_stopped) {
            pollfd fds[2] = {{fd, POLLOUT, 0}, {m_stopFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents & POLLIN) {
                m_stopped = true;
                return;
            }
            const ssize_t n = ::write(fd, bytes.data(), std::min<std::size_t>(bytes.size(), 4096));
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                return; // the reader is gone; nothing more can be said
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return;
    }
#endif
    std::fwrite(bytes.data(), 1, bytes.size(), m_out);
}

void JournalPrinter::warnNotRegular(const std::string& path, const char* what)
{
    if (m_err) {
        WarnNotRegular(path, what, m_err);
    }
}

void JournalPrinter::begin()
{
    if (m_format == Format::Csv) {
        m_buffer += recordformat::kCsvHeader;
        lineDone();
    }
}

bool JournalPrinter::record(std::string_view line)
{
    // One line, as the readers cut them; its line end, whichever it is, is not printed.
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (!m_writer.appendLine(m_buffer, line)) {
        return false;
    }
    linesDone();
    ++m_printed;
    return true;
}

void JournalPrinter::gap(const GapRecord& g)
{
    switch (m_format) {
    case Format::Tsv:
        // The stored lines only: a gap has no such line.
        return;
    case Format::Display:
        recordformat::AppendDisplayGap(m_buffer, g, m_pattern);
        break;
    case Format::Csv:
        recordformat::AppendCsvGap(m_buffer, g);
        break;
    case Format::Json:
        recordformat::AppendJsonGap(m_buffer, g);
        break;
    }
    lineDone();
}

void JournalPrinter::day(const DataFolder& folder, const Date& date)
{
    std::vector<GapRecord> gaps;
    if (m_format != Format::Tsv) {
        RegularFile::Status status = RegularFile::Status::Missing;
        gaps = gapfile::ReadFile(folder.gapFilePath(date), &status);
        if (status == RegularFile::Status::NotRegular) {
            warnNotRegular(folder.gapFilePath(date), "gap file");
        }
        // Lines told late (a loss found at the next start) may follow later ones.
        std::stable_sort(gaps.begin(), gaps.end(),
                         [](const GapRecord& a, const GapRecord& b) { return a.stamp < b.stamp; });
    }
    auto nextGap = gaps.begin();

    const auto lines = [&](std::string_view bytes) {
        while (!bytes.empty()) {
            if (nextGap == gaps.end() && !m_flushEachLine) {
                // No gap left to put between them: the lines go through in one piece.
                m_printed += static_cast<long long>(m_writer.appendLines(m_buffer, bytes));
                linesDone();
                return;
            }
            const std::string_view line = dayfile::NextLine(bytes);
            const std::string_view stamp = line.substr(0, dayfile::kStampLength);
            // As in the lists: records of a gap's own second come before it.
            for (; nextGap != gaps.end() && nextGap->stamp < stamp; ++nextGap) {
                gap(*nextGap);
            }
            record(line);
        }
    };
    // Read in blocks, so that a day file of any size costs the same memory. Copied, not
    // mapped: on a virtual machine every page fault of a mapping costs more than copying
    // the page, and a block that fits the cache is scanned where the copy left it (a year
    // prints in half the time). A line cut by a block's end starts the next block.
    RegularFile file;
    const RegularFile::Status status = file.open(folder.dayFilePath(date));
    if (status == RegularFile::Status::NotRegular) {
        warnNotRegular(folder.dayFilePath(date), "day file");
    }
    const std::uint64_t size = status == RegularFile::Status::Open ? file.info().size : 0;
    std::uint64_t offset = 0;
    std::size_t want = m_block;
    std::string chunk;
    // A stop is looked for between blocks: a block takes a few milliseconds.
    while (offset < size && !stopped()) {
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, size - offset));
        if (!file.readAt(offset, want, chunk) || chunk.empty()) {
            break;
        }
        const std::string_view block = chunk;
        // The file's end (or what is left of a file cut short since it was opened) ends
        // its last line too.
        const bool last = block.size() < want || offset + block.size() >= size;
        const std::size_t end = last ? block.size() : dayfile::WholeLinesEnd(block);
        if (end == 0) {
            want *= 2; // a line longer than a block: read on to its end
            continue;
        }
        lines(block.substr(0, end));
        offset += end;
        want = m_block;
    }
    for (; nextGap != gaps.end(); ++nextGap) {
        gap(*nextGap);
    }
}

std::string UserDisplayPattern(const DataFolder& folder)
{
    // Only read: when the configuration has no format yet, the default one is used here
    // rather than written, as the window would do.
    LoadSettings(folder.configurationFile());
    DisplayFormatFields fields = ProgramDisplayFormat();
    if (fields[kSequenceSlot].empty()) {
        fields = DefaultDisplayFormat();
    }
    return GetDisplayPattern(fields);
}

long long PrintRange(const DataFolder& folder, const Date& from, const Date& to,
                     JournalPrinter& printer)
{
    const long long before = printer.recordsPrinted();
    for (const Date& d : folder.daysOnDisk(from, to)) {
        if (printer.stopped()) {
            break;
        }
        printer.day(folder, d);
    }
    printer.flush();
    return printer.recordsPrinted() - before;
}

} // namespace zlv::cli
