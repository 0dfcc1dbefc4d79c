#include "app/JournalPrinter.h"

#include "app/StopSignals.h"
#include "logstore/DayFile.h"
#include "settings/Settings.h"
#include "utility/RegularFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

namespace zlv::cli {

namespace {

constexpr std::size_t kFlushAt = 1 << 20;

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsIgnoringCase(std::string_view hay, std::string_view lowerNeedle)
{
    if (lowerNeedle.empty()) {
        return true;
    }
    return std::search(hay.begin(), hay.end(), lowerNeedle.begin(), lowerNeedle.end(),
                       [](char a, char b) { return Lower(a) == b; }) != hay.end();
}

// The length of the well-formed UTF-8 sequence at the start of `s`, 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8Length(std::string_view s)
{
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80;
        hi = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < lo || b(1) > hi) {
        return 0;
    }
    for (std::size_t i = 2; i < n; ++i) {
        if (b(i) < 0x80 || b(i) > 0xBF) {
            return 0;
        }
    }
    return n;
}

// Calls `piece` with runs of valid UTF-8 and `bad` once for each byte that is not.
template <typename Piece, typename Bad> void WalkUtf8(std::string_view s, Piece piece, Bad bad)
{
    std::size_t start = 0, i = 0;
    while (i < s.size()) {
        const std::size_t n = Utf8Length(s.substr(i));
        if (n) {
            i += n;
            continue;
        }
        piece(s.substr(start, i - start));
        bad();
        start = ++i;
    }
    piece(s.substr(start));
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The six fields of a checked line; the last one takes the rest of the line.
std::array<std::string_view, 6> Fields(std::string_view line)
{
    std::array<std::string_view, 6> f;
    for (std::size_t i = 0; i < 5; ++i) {
        const std::size_t tab = line.find('\t');
        f[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    f[5] = line;
    return f;
}

} // namespace

JournalPrinter::JournalPrinter(std::FILE* out, Format format, std::string find,
                               std::string displayPattern)
    : m_out(out), m_format(format), m_pattern(displayPattern)
{
    std::transform(find.begin(), find.end(), find.begin(), Lower);
    m_find = std::move(find);
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
    m_buffer += m_format == Format::Csv ? "\r\n" : "\n";
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
        std::fprintf(m_err, "zelvory: %s \"%s\" is not a regular file; it is not read.\n", what,
                     path.c_str());
    }
}

void JournalPrinter::text(std::string_view bytes)
{
    WalkUtf8(
        bytes, [this](std::string_view ok) { m_buffer += ok; },
        [this] { m_buffer += kReplacement; });
}

void JournalPrinter::csvField(std::string_view bytes)
{
    if (bytes.find_first_of(",\"\r\n") == std::string_view::npos) {
        text(bytes);
        return;
    }
    m_buffer += '"';
    std::size_t quote;
    while ((quote = bytes.find('"')) != std::string_view::npos) {
        text(bytes.substr(0, quote + 1));
        m_buffer += '"';
        bytes.remove_prefix(quote + 1);
    }
    text(bytes);
    m_buffer += '"';
}

void JournalPrinter::jsonString(std::string_view bytes)
{
    m_buffer += '"';
    const auto piece = [this](std::string_view ok) {
        for (char c : ok) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                m_buffer += '\\';
                m_buffer += c;
            } else if (u < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", u);
                m_buffer += esc;
            } else {
                m_buffer += c;
            }
        }
    };
    WalkUtf8(bytes, piece, [this] { m_buffer += kReplacement; });
    m_buffer += '"';
}

void JournalPrinter::begin()
{
    if (m_format == Format::Csv) {
        m_buffer += "time,object,action,path,original_name,new_name";
        lineDone();
    }
}

bool JournalPrinter::record(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const std::optional<std::string_view> rest = dayfile::RecordTextOfLine(line);
    if (!rest || !ContainsIgnoringCase(*rest, m_find)) {
        return false;
    }
    const std::string_view stamp = line.substr(0, dayfile::kStampLength);
    switch (m_format) {
    case Format::Tsv:
        // Exactly the stored bytes: a script that wants them gets them.
        m_buffer += line;
        break;
    case Format::Display:
        if (const auto at = dayfile::ParseStamp(stamp)) {
            m_pattern.renderTo(*at, m_buffer, 256);
        }
        m_buffer += '\t';
        text(*rest);
        break;
    case Format::Csv: {
        const auto f = Fields(*rest);
        m_buffer += stamp;
        for (std::size_t i = 0; i < 5; ++i) {
            m_buffer += ',';
            csvField(f[i]);
        }
        break;
    }
    case Format::Json: {
        static constexpr const char* kKeys[] = {"object", "action", "path", "original_name",
                                                "new_name"};
        const auto f = Fields(*rest);
        m_buffer += "{\"time\":\"";
        m_buffer += stamp;
        m_buffer += '"';
        for (std::size_t i = 0; i < 5; ++i) {
            m_buffer += ",\"";
            m_buffer += kKeys[i];
            m_buffer += "\":";
            jsonString(f[i]);
        }
        m_buffer += '}';
        break;
    }
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
        if (const auto at = dayfile::ParseStamp(g.stamp)) {
            m_pattern.renderTo(*at, m_buffer, 256);
        }
        m_buffer += "\t-- gap in the journal (";
        text(g.reason);
        m_buffer += "): ";
        text(g.sentence);
        break;
    case Format::Csv:
        m_buffer += g.stamp;
        m_buffer += ",(gap),";
        csvField(g.reason);
        m_buffer += ",,";
        csvField(g.sentence);
        m_buffer += ',';
        break;
    case Format::Json:
        m_buffer += "{\"gap\":true,\"time\":";
        jsonString(g.stamp);
        m_buffer += ",\"reason\":";
        jsonString(g.reason);
        m_buffer += ",\"message\":";
        jsonString(g.sentence);
        m_buffer += '}';
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
            const std::size_t end = bytes.find('\n');
            const std::string_view line = bytes.substr(0, end);
            bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
            const std::string_view stamp = line.substr(0, dayfile::kStampLength);
            // As in the lists: records of a gap's own second come before it.
            for (; nextGap != gaps.end() && nextGap->stamp < stamp; ++nextGap) {
                gap(*nextGap);
            }
            record(line);
        }
    };
    // Read in blocks, so that a day file of any size costs the same memory; a line cut by
    // a block's end waits for the next block.
    RegularFile file;
    const RegularFile::Status status = file.open(folder.dayFilePath(date));
    if (status == RegularFile::Status::NotRegular) {
        warnNotRegular(folder.dayFilePath(date), "day file");
    }
    constexpr std::size_t kBlock = 4 << 20;
    std::size_t kept = 0;
    std::uint64_t offset = 0;
    std::string chunk;
    // A stop is looked for between blocks: a block takes a few milliseconds.
    while (status == RegularFile::Status::Open && !stopped()) {
        m_fileBuffer.resize(kept + kBlock);
        const long got = file.readAt(offset, kBlock, chunk) ? static_cast<long>(chunk.size()) : 0;
        if (got <= 0) {
            break;
        }
        offset += chunk.size();
        std::memcpy(m_fileBuffer.data() + kept, chunk.data(), chunk.size());
        const std::string_view block(m_fileBuffer.data(), kept + static_cast<std::size_t>(got));
        const std::size_t end = block.rfind('\n') + 1; // 0 when the block holds no line end
        lines(block.substr(0, end));
        kept = block.size() - end;
        std::memmove(m_fileBuffer.data(), m_fileBuffer.data() + end, kept);
    }
    lines(std::string_view(m_fileBuffer.data(), kept)); // a last line without its end
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
