#pragma once

#include "logstore/LogRecord.h"
#include "utility/Clock.h"

#include <optional>
#include <string>
#include <string_view>

// Reading and writing one journal line. Tabs and CR LF were chosen so that a day file opens
// cleanly in a spreadsheet or a Windows editor; everything here exists to keep a line one
// line, whatever bytes a file name brings.
namespace zlv::dayfile {

using ::zlv::FormatStamp;
using ::zlv::kStampLength;
using ::zlv::ParseStamp;

// Linux lets a file name hold a tab or a line break, which would split a record. Such
// characters are stored as their visible Unicode stand-ins (the "control pictures"), which
// a reader recognises and no real name is likely to use.
std::string SanitizeField(std::string_view field);

// Everything of a line but its stamp. Duplicate detection compares exactly this, so building
// it once per record and comparing bytes is both the cheapest and the strictest test.
std::string RecordText(const LogRecord& record);

// The whole line, CR LF included. The fields are expected to be sanitised already.
std::string FormatLine(const LogRecord& record);
// The same from a stamp and a record's RecordText, for callers that already built it.
std::string FormatLine(std::string_view stamp, std::string_view recordText);

// Back from a line to a record; nullopt for anything that is not one of ours (hand edits,
// torn writes). A tab that slipped into the last name stays part of it rather than turning
// the line into garbage.
std::optional<LogRecord> ParseLine(std::string_view line);

// The part of a stored line that RecordText() would have produced, without copying it;
// nullopt where ParseLine() gives nothing.
std::optional<std::string_view> RecordTextOfLine(std::string_view line);

// The next line of `bytes`, taken off their front, without its line end. A line ends at
// LF, at CR LF, or at a CR alone (as old Mac editors and some damage leave them), so that
// every reader cuts a file into the same lines.
std::string_view NextLine(std::string_view& bytes);
// One past the last line end in `bytes`, so that [0, result) holds whole lines only; 0
// when there is none. A CR at the very end counts as a line end: an LF that follows it
// later only ends an empty line, which holds no record.
std::size_t WholeLinesEnd(std::string_view bytes);

} // namespace zlv::dayfile
