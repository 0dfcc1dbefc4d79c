#include "app/JournalPrinter.h"

#include "logstore/DayFile.h"
#include "logstore/RecordFormats.h"
#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zlv::cli {

namespace {

constexpr std::size_t kFlushAt = 1 << 20;

// Opens `path` for reading when it is a regular file; -1 otherwise. A fifo or device put in
// the place of a day file must not block or feed the reader forever.
int OpenRegularFile(const std::string& path)
{
#ifdef _WIN32
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
    struct stat st
    {
    };
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

JournalPrinter::JournalPrinter(std::FILE* out, Format format, std::string find,
                               std::string displayPattern)
    : m_out(out), m_format(format), m_find(find), m_pattern(displayPattern)
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
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
        m_buffer.clear();
    }
    std::fflush(m_out);
}

void JournalPrinter::lineDone()
{
    m_buffer += m_format == Format::Csv ? "\r\n" : "\n";
    if (m_flushEachLine || m_buffer.size() >= kFlushAt) {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
        m_buffer.clear();
        if (m_flushEachLine) {
            std::fflush(m_out);
        }
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
    const std::optional<std::string_view> rest = dayfile::RecordTextOfLine(line);
    // One matcher for the window and the terminal; a needle never spans two fields.
    if (!rest || !m_find.foundIn(*rest)) {
        return false;
    }
    switch (m_format) {
    case Format::Tsv:
        recordformat::AppendTsv(m_buffer, line);
        break;
    case Format::Display:
        recordformat::AppendDisplay(m_buffer, line, m_pattern);
        break;
    case Format::Csv:
        recordformat::AppendCsv(m_buffer, line);
        break;
    case Format::Json:
        recordformat::AppendJson(m_buffer, line);
        break;
    }
    lineDone();
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
        gaps = gapfile::ReadFile(folder.gapFilePath(date));
    }
    auto nextGap = gaps.begin();

    const auto lines = [&](std::string_view bytes) {
        while (!bytes.empty()) {
            const std::string_view line = dayfile::NextLine(bytes);
            const std::string_view stamp = line.substr(0, dayfile::kStampLength);
            for (; nextGap != gaps.end() && nextGap->stamp <= stamp; ++nextGap) {
                gap(*nextGap);
            }
            record(line);
        }
    };
    // Read in blocks, so that a day file of any size costs the same memory; a line cut by
    // a block's end waits for the next block.
    const int fd = OpenRegularFile(folder.dayFilePath(date));
    constexpr std::size_t kBlock = 4 << 20;
    std::size_t kept = 0;
    for (;;) {
        m_fileBuffer.resize(kept + kBlock);
        const long got =
            fd < 0 ? 0 : static_cast<long>(::read(fd, m_fileBuffer.data() + kept, kBlock));
        if (got <= 0) {
            break;
        }
        const std::string_view block(m_fileBuffer.data(), kept + static_cast<std::size_t>(got));
        const std::size_t end = dayfile::WholeLinesEnd(block);
        lines(block.substr(0, end));
        kept = block.size() - end;
        std::memmove(m_fileBuffer.data(), m_fileBuffer.data() + end, kept);
    }
    lines(std::string_view(m_fileBuffer.data(), kept)); // a last line without its end
    if (fd >= 0) {
        ::close(fd);
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
    for (Date d = from; d <= to; d = d.addDays(1)) {
        printer.day(folder, d);
    }
    printer.flush();
    return printer.recordsPrinted() - before;
}

} // namespace zlv::cli
