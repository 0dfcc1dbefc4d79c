#include "logstore/ListExport.h"

#include "logstore/LogList.h"
#include "logstore/RecordFormats.h"

#include <algorithm>

namespace zlv {

std::string ExportHeader(ExportForm form)
{
    if (form == ExportForm::DayFile) {
        return {};
    }
    return std::string(recordformat::kCsvHeader) + std::string(recordformat::kCsvLineEnd);
}

void AppendExportRows(const LogList& list, int first, int count, ExportForm form, std::string& out)
{
    const int end = std::min(list.rowCount(), first + count);
    for (int row = std::max(first, 0); row < end; ++row) {
        if (form == ExportForm::Csv) {
            recordformat::AppendCsv(out, list.storedLine(row));
            out += recordformat::kCsvLineEnd;
        } else {
            recordformat::AppendTsv(out, list.storedLine(row));
            out += "\r\n";
        }
    }
}

} // namespace zlv
