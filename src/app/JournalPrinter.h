#pragma once

#include "app/CommandLine.h"
#include "logstore/DataFolder.h"
#include "logstore/GapFile.h"
#include "logstore/RecordWriter.h"
#include "settings/DisplayFormat.h"
#include "utility/TextMatcher.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv::cli {

// Turns day-file lines and gap records into the chosen output format. Output is gathered
// and written in large blocks, except where `flushEachLine` asks for every line to leave
// at once (following, where a reader waits for each record).
class JournalPrinter final
{
public:
    JournalPrinter(std::FILE* out, Format format, std::string find, std::string displayPattern);
    ~JournalPrinter();

    void setFlushEachLine(bool on) { m_flushEachLine = on; }
    // Output gives way as soon as `stopFd` is readable (a stop was asked for): nothing more
    // is written, and stopped() says so. Without it output waits as long as it must.
    void setStopFd(int stopFd) { m_stopFd = stopFd; }
    bool stopped();
    // Where a file that is skipped for not being a regular file is named; none: not named.
    void setWarnings(std::FILE* err) { m_err = err; }

    // The header row of the formats that have one.
    void begin();
    // One stored line (its line end may be present). Damaged lines and lines that --find
    // rejects are skipped; returns whether the line was printed.
    bool record(std::string_view line);
    void gap(const GapRecord& gap);
    // The records of one day's file and the gaps of that day, in time order.
    void day(const DataFolder& folder, const Date& date);
    void flush();

    long long recordsPrinted() const { return m_printed; }
    // How many bytes of a day file are looked at in one go (a line longer is read whole).
    void setReadBlock(std::size_t bytes) { m_block = std::max<std::size_t>(bytes, 1); }

private:
    void lineDone();
    void linesDone();
    void emit(std::string_view bytes);
    void warnNotRegular(const std::string& path, const char* what);

    std::FILE* m_out;
    Format m_format;
    recordformat::RecordWriter m_writer;
    CompiledPattern m_pattern;
    bool m_flushEachLine = false;
    long long m_printed = 0;
    std::string m_buffer;
    std::size_t m_block = 256 << 10;
    int m_stopFd = -1;
    bool m_stopped = false;
    std::optional<bool> m_writesMayWait; // known from the first write on
    std::FILE* m_err = nullptr;
};

// The display pattern the user chose in the configuration file, read without writing
// anything; the default one when the file has none.
std::string UserDisplayPattern(const DataFolder& folder);

// Prints every day of [from, to] that has a file (after the caller's begin()), until the
// printer is stopped; returns the number of records printed.
long long PrintRange(const DataFolder& folder, const Date& from, const Date& to,
                     JournalPrinter& printer);

} // namespace zlv::cli
