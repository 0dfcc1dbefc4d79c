#pragma once

#include <string>

namespace zlv {

class LogList;

enum class ExportForm
{
    Csv,    // as --format csv prints: the header, the stored stamps, CR LF after each line
    DayFile // the day files' own lines, exactly as stored, CR LF after each
};

// What an export file starts with: the csv header line, nothing for day-file lines.
std::string ExportHeader(ExportForm form);
// Rows [first, first + count) of `list` in the order shown, each with its line end.
void AppendExportRows(const LogList& list, int first, int count, ExportForm form, std::string& out);

} // namespace zlv
