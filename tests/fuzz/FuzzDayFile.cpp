// The day-file line parser: any bytes, and the two ways of reading a line must agree.
#include "logstore/DayFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace zlv::dayfile;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto record = ParseLine(line);
    if (record.has_value() != RecordTextOfLine(line).has_value()) {
        std::abort();
    }
    if (record && !ParseLine(FormatLine(*record))) {
        std::abort(); // a record read back from a file is written as a line that reads
    }
    if (const auto at = ParseStamp(line); at && FormatStamp(*at) != line) {
        std::abort();
    }
    return 0;
}
