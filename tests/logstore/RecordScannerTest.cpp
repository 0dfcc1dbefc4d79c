// The shortcuts of the block path against the line-by-line readers: stamps sharing the hour
// of a good one, tabs just past a line end, times that change width or are cut, csv and json
// of plain fields.
#include "logstore/DayFile.h"
#include "logstore/RecordWriter.h"

#include <gtest/gtest.h>

using namespace zlv;
using namespace std::literals;
using recordformat::Form;

TEST(RecordScanner, CopiedHoursAndOnePassChecksReadAsEachLineAlone)
{
    std::string bytes = "\0\0\0\0\0\0\0\0\0\0\0\0\0\00000:00\tF\tC\t/\tn\t\r\n"s;
    for (const char* hour : {"2023-05-06 09:", "2023-05-06 10:", "2023-05-06 00:", "2023-05-06 12:",
                             "2023-05-06 09:", "2023-05-07 23:"}) {
        for (const char* time : {"03:03", "59:58", "60:00", "5:00 ", "00:6a", "09:10"}) {
            for (std::size_t length = 0; length < 40; length += 7) {
                bytes.append(hour).append(time).append(length % 3 ? "\tF\tC\t" : "\tF\tC\t/\t");
                bytes.append(length, "ab\txyz"[length % 6])
                    .append(length % 2 ? "\r\n" : "\n\t\t\n");
            }
        }
    }
    for (const std::string& pattern :
         {"yyyy-mm-dd hh:mm:ss"s, "d mmm yyyy h:m:s AM/PM"s, "h:mm"s, "ss hh:mm ss"s, "03 h:mm:ss"s,
          std::string(250, 'x') + "hh:mm:ss"}) {
        // Display goes through the same check as every form, and renders the time too.
        recordformat::RecordWriter writer(Form::Display, "", pattern);
        std::string block, lines;
        writer.appendLines(block, bytes);
        for (std::string_view rest = bytes; !rest.empty();) {
            if (const std::string_view line = dayfile::NextLine(rest);
                dayfile::RecordTextOfLine(line)) {
                recordformat::AppendDisplay(lines, line, CompiledPattern(pattern));
                lines += '\n';
            }
        }
        ASSERT_EQ(block, lines) << pattern;
    }
}

TEST(RecordScanner, CsvAndJsonOfPlainLinesReadAsFieldByField)
{
    const std::string_view keys[] = {"object", "action", "path", "original_name", "new_name"};
    const std::string name = "a-name-longer-than-sixteen-bytes";
    for (const std::string_view odd :
         {""sv, ","sv, "\""sv, "\\"sv, "\x01"sv, "\xFF"sv, "\xC3\xA9"sv, "\t"sv}) {
        for (std::size_t at = 0; at <= name.size(); at += 5) {
            // A tab only where it stays inside a field: in the New Name, short or empty at times.
            std::string fields[5] = {"File", "Created", "/h/" + name, name,
                                     name.substr(0, at * 7 % 33)};
            std::string& field = fields[odd == "\t" ? 4 : at % 5];
            field.insert(std::min(at, field.size()), odd);
            std::string line = "2023-05-06 09:10:11", csv = line,
                        json = "{\"time\":\"" + line + '"';
            for (std::size_t i = 0; i < 5; ++i) {
                line += '\t' + fields[i];
                recordformat::AppendCsvField(csv += ',', fields[i]);
                recordformat::AppendJsonString(json.append(",\"").append(keys[i]) += "\":",
                                               fields[i]);
            }
            std::string printed;
            recordformat::AppendCsv(printed, line);
            EXPECT_EQ(printed, csv);
            printed.clear();
            recordformat::AppendJson(printed, line);
            EXPECT_EQ(printed, json + '}');
        }
    }
}
