#pragma once

#include "app/CommandLine.h"
#include "logstore/DataFolder.h"
#include "logstore/GapFile.h"
#include "settings/DisplayFormat.h"
#include "utility/TextMatcher.h"

#include <cstdio>
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

private:
    void lineDone();

    std::FILE* m_out;
    Format m_format;
    TextMatcher m_find;
    CompiledPattern m_pattern;
    bool m_flushEachLine = false;
    long long m_printed = 0;
    std::string m_buffer;
    std::vector<char> m_fileBuffer;
};

// The display pattern the user chose in the configuration file, read without writing
// anything; the default one when the file has none.
std::string UserDisplayPattern(const DataFolder& folder);

// Prints every day of [from, to] (after the caller's begin()); returns the number of
// records printed.
long long PrintRange(const DataFolder& folder, const Date& from, const Date& to,
                     JournalPrinter& printer);

} // namespace zlv::cli
