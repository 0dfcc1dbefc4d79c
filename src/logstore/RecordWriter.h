#pragma once

#include "logstore/RecordFormats.h"
#include "logstore/RecordScanner.h"
#include "settings/DisplayFormat.h"
#include "utility/TextMatcher.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zlv::recordformat {

enum class Form : std::uint8_t
{
    Tsv,
    Display,
    Csv,
    Json
};

// Writes day-file records in one of the output forms, a line at a time or a whole block of
// lines at once; the terminal's printing reads a year at the speed of the disk through it.
// The output is what the Append* functions of RecordFormats.h give for each record, with
// the form's line end after it.
class RecordWriter final
{
public:
    RecordWriter(Form form, std::string_view find, std::string_view displayPattern);

    const TextMatcher& matcher() const { return m_find; }
    std::string_view lineEnd() const { return m_form == Form::Csv ? kCsvLineEnd : "\n"; }

    // `line` (its line end cut off) with its own line end, when it is a record the find
    // text shows; whether it was.
    bool appendLine(std::string& out, std::string_view line);
    // The same for every line of `bytes`, looking only at the lines where the find text
    // can be; how many were written.
    std::size_t appendLines(std::string& out, std::string_view bytes);

private:
    void appendRecord(std::string& out, std::string_view line);
    void appendDisplay(std::string& out, std::string_view line);

    Form m_form;
    TextMatcher m_find;
    dayfile::RecordScanner m_scanner;
    CompiledPattern m_pattern;
    // The display form renders a time once for all the records of its hour and writes
    // their minutes and seconds into the copy, where the pattern shows them as two digits
    // alone; otherwise once for all the records of its second.
    std::string renderTime(std::string_view stamp) const;
    void learnHour(std::string_view stamp);
    std::string m_hour; // "YYYY-MM-DD HH:" of the hour learnt last
    std::size_t m_minutePlace = 0;
    std::size_t m_secondPlace = 0;
    bool m_eachSecond = true;
    std::string m_stamp; // the stamp rendered last, where each second is rendered
    std::string m_rendered;
};

} // namespace zlv::recordformat
