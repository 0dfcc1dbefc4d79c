// The terminal's block path against the plain one: each line cut apart, checked and
// written by itself with the Append* functions, as records were always printed.
#include "logstore/RecordWriter.h"

#include "logstore/DayFile.h"
#include "support/TempDir.h"
#include "utility/CaseFolding.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

using namespace zlv;
using namespace std::literals;
using recordformat::Form;

namespace {

// Names, a 12-hour clock and a literal outside ASCII.
constexpr std::string_view kPattern = "dddd d mmmm yyyy, h:nn:ss AM/PM \xC2\xB7";

std::string Plain(std::string_view bytes, Form form, std::string_view find)
{
    const TextMatcher matcher(find);
    const CompiledPattern pattern(kPattern);
    std::string out;
    while (!bytes.empty()) {
        const std::string_view line = dayfile::NextLine(bytes);
        if (const auto rest = dayfile::RecordTextOfLine(line); rest && matcher.foundIn(*rest)) {
            form == Form::Tsv    ? recordformat::AppendTsv(out, line)
            : form == Form::Csv  ? recordformat::AppendCsv(out, line)
            : form == Form::Json ? recordformat::AppendJson(out, line)
                                 : recordformat::AppendDisplay(out, line, pattern);
            out += form == Form::Csv ? "\r\n" : "\n";
        }
    }
    return out;
}

// Every kind of line: each line end, NULs, bytes that are not UTF-8, the long s and the
// Kelvin sign, nearly right stamps, several records of one second, long names, fields lost.
std::string GeneratedDays(unsigned seed)
{
    static const std::string_view stamps[] = {
        "2023-04-01 10:00:00", "2023-04-01 10:00:00", "2023-02-29 10:00:00", "2024-02-29 23:59:59",
        "2023-04-01 24:00:00", "2023-4-01 10:00:00",  "2023-04-01T10:00:00", "0000-01-01 00:00:00"};
    static const std::string_view fields[] = {"File",
                                              "Renamed",
                                              "/home/u/",
                                              "Quarterly report.odt",
                                              "a\xC5\xBFk",
                                              "\xE2\x84\xAA"
                                              "elvin",
                                              "caf\xE9",
                                              "Caf\xC3\xA9",
                                              "n\0ll"sv,
                                              "\xC3",
                                              "x,\"y\"",
                                              "STRA\xE1\xBA\x9E"
                                              "E",
                                              ""};
    static const std::string_view ends[] = {"\r\n", "\n", "\r", "\r\r\n"};
    std::mt19937 random(seed);
    std::string out;
    for (int i = 0; i < 3000; ++i) {
        std::string line(stamps[random() % std::size(stamps)]);
        for (int f = static_cast<int>(random() % 7); f > 0; --f) {
            line += '\t';
            line += random() % 40 ? fields[random() % std::size(fields)] : std::string(300, 's');
        }
        out += line.erase(random() % 13 ? line.size() : random() % line.size(), 1);
        out += ends[random() % std::size(ends)];
    }
    return out + "2023-04-01 10:00:01\tFile\tCreated\t/\tlast\t"; // no line end
}

} // namespace

TEST(RecordWriter, BlocksPrintWhatLineByLinePrintsInEveryForm)
{
    // The block path reads only the lines the matcher names, so a letter outside ASCII
    // that folds into ASCII must be among those it names: these two are all there are.
    for (char32_t c = 0x80; c < 0x110000; ++c) {
        EXPECT_TRUE(FoldCase(c) >= 0x80 || c == 0x17F || c == 0x212A) << static_cast<int>(c);
    }
    std::vector<std::string> inputs{GeneratedDays(1), GeneratedDays(2)};
    for (const char* kind : {"day_file", "list_loader"}) {
        std::error_code error;
        for (const auto& e : std::filesystem::directory_iterator(
                 std::filesystem::path(ZLV_FUZZ_CORPUS) / kind, error)) {
            inputs.push_back(test::ReadAll(e.path().string()));
        }
    }
#ifndef _WIN32
    ASSERT_GE(inputs.size(), 6u) << "the fuzzers' seeds are missing";
#endif
    for (const std::string& bytes : inputs) {
        for (const Form form : {Form::Tsv, Form::Display, Form::Csv, Form::Json}) {
            for (const std::string_view find :
                 {""sv, "quarterly"sv, "S"sv, "K"sv, "caf\xC3\xA9"sv, "\xC3\x89"sv,
                  "stra\xC3\x9F"
                  "e"sv,
                  "\t"sv, "l\0l"sv}) {
                recordformat::RecordWriter writer(form, find, kPattern);
                std::string block, lines;
                std::size_t written = writer.appendLines(block, bytes);
                for (std::string_view rest = bytes; !rest.empty();) {
                    written -= writer.appendLine(lines, dayfile::NextLine(rest)) ? 1 : 0;
                }
                const std::string plain = Plain(bytes, form, find);
                ASSERT_EQ(block, plain) << static_cast<int>(form) << " " << find;
                ASSERT_EQ(lines, plain) << static_cast<int>(form) << " " << find;
                EXPECT_EQ(written, 0u);
            }
        }
    }
}
