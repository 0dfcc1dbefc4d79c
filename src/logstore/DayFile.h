#pragma once

#include "logstore/LogRecord.h"
#include "utility/Clock.h"

#include <optional>
#include <string>
#include <string_view>

// The day-file line format: six tab-separated fields ending in CR LF, the first being
// the time stamp "YYYY-MM-DD HH:MM:SS".
namespace zlv::dayfile {

using ::zlv::FormatStamp;
using ::zlv::kStampLength;
using ::zlv::ParseStamp;

// A field as it may be stored: every character U+0000..U+001F (a tab, CR or LF is legal in
// a Linux file name) becomes its Unicode control picture U+2400+code, so that one record
// always stays one line with six fields.
std::string SanitizeField(std::string_view field);

// Object, Action, Path, Original Name and New Name joined by tabs: what the repeat test
// compares with fields 2 to 6 of a line.
std::string RecordText(const LogRecord& record);

// The whole line, CR LF included. The fields are expected to be sanitised already.
std::string FormatLine(const LogRecord& record);
// The same from a stamp and a record's RecordText, for callers that already built it.
std::string FormatLine(std::string_view stamp, std::string_view recordText);

// One line (its CR LF or LF may be present) back into a record. Blank lines, lines whose
// first field is no valid time stamp and lines with fewer than five tabs give nothing.
// The New Name is everything after the fifth tab.
std::optional<LogRecord> ParseLine(std::string_view line);

// Fields 2 to 6 of a line, that is the line after its first tab without its line end;
// nullopt for a line that ParseLine would reject.
std::optional<std::string_view> RecordTextOfLine(std::string_view line);

} // namespace zlv::dayfile
