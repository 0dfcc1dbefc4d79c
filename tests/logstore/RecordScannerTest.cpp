// The one-pass check and the hour's copied time against the line-by-line readers, where a
// shortcut could go wrong: a stamp that shares its hour with a good one, lines that end
// inside or across the sixteen-byte blocks, patterns whose time changes width.
#include "logstore/DayFile.h"
#include "logstore/RecordWriter.h"

#include <gtest/gtest.h>

using namespace zlv;
using namespace std::literals;

TEST(RecordScanner, CopiedHoursAndOnePassChecksReadAsEachLineAlone)
{
    std::string bytes = "\0\0\0\0\0\0\0\0\0\0\0\0\0\00000:00\tF\tC\t/\tn\t\r\n"s;
    for (const std::string_view hour : {"2023-05-06 09:", "2023-05-06 10:", "2023-05-06 00:",
                                        "2023-05-06 12:", "2023-05-06 09:", "2023-05-07 23:"}) {
        for (const std::string_view time : {"03:03", "59:58", "60:00", "5:00 ", "00:6a", "09:10"}) {
            for (std::size_t length = 0; length < 40; length += 7) {
                bytes.append(hour).append(time).append(length % 3 ? "\tF\tC\t" : "\tF\tC\t/\t");
                bytes.append(length, "ab\txyz"[length % 6]).append(length % 2 ? "\r\n" : "\n\t\t\n");
            }
        }
    }
    const std::string tabs(5000, 'a'), fewTabs = tabs + "\t" + tabs + "\t\t" + tabs;
    bytes += "2023-05-07 23:10:10\t" + fewTabs + "\r\n2023-05-07 23:10:11\t" + fewTabs + "\t\n";
    const std::string patterns[] = {
        "yyyy-mm-dd hh:mm:ss", "d mmm yyyy h:m:s AM/PM",          "h:mm", "ss hh:mm ss",
        "03 h:mm:ss",          std::string(250, 'x') + "hh:mm:ss"};
    for (const std::string& pattern : patterns) {
        for (const auto form : {recordformat::Form::Tsv, recordformat::Form::Display}) {
            recordformat::RecordWriter writer(form, "", pattern);
            std::string block, lines;
            writer.appendLines(block, bytes);
            const CompiledPattern compiled(pattern);
            for (std::string_view rest = bytes; !rest.empty();) {
                const std::string_view line = dayfile::NextLine(rest);
                if (dayfile::RecordTextOfLine(line)) {
                    form == recordformat::Form::Tsv
                        ? recordformat::AppendTsv(lines, line)
                        : recordformat::AppendDisplay(lines, line, compiled);
                    lines += '\n';
                }
            }
            ASSERT_EQ(block, lines) << pattern;
        }
    }
}
