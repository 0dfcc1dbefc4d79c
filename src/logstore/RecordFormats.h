#pragma once

#include "logstore/GapFile.h"
#include "settings/DisplayFormat.h"

#include <string>
#include <string_view>

// The shapes a record leaves the program in: the terminal's --format tsv, display, csv and
// json, and the window's Export, which writes the same csv (or the stored lines) so that a
// file exported from the list and one printed by --print read alike.
//
// A record is given as its stored line (checked with dayfile::RecordTextOfLine, its line
// end dropped). Its six fields are the stamp, Object, Action, Path, Original Name and,
// as the New Name, everything after the fifth tab: a line damaged into more fields keeps
// the extra ones inside the New Name in every format rather than losing them in some.
namespace zlv::recordformat {

// "time,object,action,path,original_name,new_name"
inline constexpr std::string_view kCsvHeader = "time,object,action,path,original_name,new_name";
// Each format's line end.
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// `bytes` with every byte that is not part of well-formed UTF-8 replaced by U+FFFD.
void AppendUtf8(std::string& out, std::string_view bytes);
// One RFC 4180 field, quoted when it holds a comma, quote, CR or LF; valid UTF-8.
void AppendCsvField(std::string& out, std::string_view bytes);
// One JSON string with its quotes; valid UTF-8, control characters escaped.
void AppendJsonString(std::string& out, std::string_view bytes);

// One record, without a line end. The stored stamp in csv, json and tsv; tsv is the
// stored line exactly; display renders the stamp with `pattern` and shows the rest of the
// line, tabs and all, as valid UTF-8.
void AppendTsv(std::string& out, std::string_view line);
void AppendDisplay(std::string& out, std::string_view line, const CompiledPattern& pattern);
void AppendCsv(std::string& out, std::string_view line);
void AppendJson(std::string& out, std::string_view line);

// One gap of the journal, without a line end (tsv has no such line).
void AppendDisplayGap(std::string& out, const GapRecord& gap, const CompiledPattern& pattern);
void AppendCsvGap(std::string& out, const GapRecord& gap);
void AppendJsonGap(std::string& out, const GapRecord& gap);

} // namespace zlv::recordformat
