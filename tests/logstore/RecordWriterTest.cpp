// The terminal's block path against the plain one: every line cut apart, checked and
// written by itself with the Append* functions, which is how records were always printed.
#include "logstore/RecordWriter.h"

#include "logstore/DayFile.h"
#include "logstore/RecordFormats.h"
#include "utility/CaseFolding.h"
#include "utility/TextMatcher.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace zlv;
using namespace std::literals;
using recordformat::Form;

namespace {

// Names, a 12-hour clock and a literal outside ASCII: every kind of piece a pattern has.
constexpr std::string_view kPattern = "dddd d mmmm yyyy, h:nn:ss AM/PM \xC2\xB7";

std::string PlainReference(std::string_view bytes, Form form, std::string_view find)
{
    const TextMatcher matcher(find);
    const CompiledPattern pattern(kPattern);
    std::string out;
    while (!bytes.empty()) {
        const std::string_view line = dayfile::NextLine(bytes);
        const auto rest = dayfile::RecordTextOfLine(line);
        if (!rest || !matcher.foundIn(*rest)) {
            continue;
        }
        switch (form) {
        case Form::Tsv:
            recordformat::AppendTsv(out, line);
            break;
        case Form::Display:
            recordformat::AppendDisplay(out, line, pattern);
            break;
        case Form::Csv:
            recordformat::AppendCsv(out, line);
            break;
        case Form::Json:
            recordformat::AppendJson(out, line);
            break;
        }
        out += form == Form::Csv ? "\r\n" : "\n";
    }
    return out;
}

// Lines of every kind a day file holds, whole and damaged: each line end, NULs, bytes that
// are not UTF-8, letters outside ASCII (the long s and the Kelvin sign among them), stamps
// that are nearly right, records of one second in a row, names far longer than a block
// of sixteen bytes, and fields run together.
std::string GeneratedDays(unsigned seed, int lines)
{
    static const std::string_view names[] = {"Quarterly report.odt",
                                             "quarterly_7.txt",
                                             "a\xC5\xBFk.txt",
                                             "\xE2\x84\xAA"
                                             "elvin",
                                             "caf\xE9",
                                             "Caf\xC3\xA9",
                                             "n\0ll"sv,
                                             "\xC3",
                                             "x,\"y\"",
                                             "tab\there",
                                             "STRA\xE1\xBA\x9E"
                                             "E",
                                             "\xF0\x90\x90\xA8",
                                             ""};
    const std::string longName(300, 's');
    static const char* stamps[] = {
        "2023-04-01 10:00:00", "2023-04-01 10:00:00", "2023-02-29 10:00:00", "2024-02-29 23:59:59",
        "2023-04-01 24:00:00", "2023-4-01 10:00:00",  "2023-04-01T10:00:00", "0000-01-01 00:00:00",
        "9999-12-31 23:59:59", "2023-04-31 00:00:00"};
    static const char* ends[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\n"};
    std::mt19937 random(seed);
    std::string out;
    for (int i = 0; i < lines; ++i) {
        std::string line = stamps[random() % std::size(stamps)];
        const int fields = static_cast<int>(random() % 7);
        static const char* kinds[] = {"File", "Folder", "Created", "Renamed", "/home/u/"};
        for (int f = 0; f < fields; ++f) {
            line += '\t';
            const unsigned which = random() % 8;
            if (which < 5) {
                line += kinds[which];
            } else if (which == 7 && random() % 4 == 0) {
                line += longName;
            } else {
                line += names[random() % std::size(names)];
            }
        }
        if (random() % 13 == 0) {
            line.erase(random() % (line.size() + 1), 1); // a byte lost to damage
        }
        out += line;
        out += ends[random() % std::size(ends)];
    }
    if (seed % 2) {
        out += "2023-04-01 10:00:01\tFile\tCreated\t/\tlast\t"; // no line end at all
    }
    return out;
}

std::vector<std::string> Corpus()
{
    std::vector<std::string> files;
#ifdef ZLV_FUZZ_CORPUS
    for (const char* kind : {"day_file", "list_loader"}) {
        const std::filesystem::path dir = std::filesystem::path(ZLV_FUZZ_CORPUS) / kind;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            files.push_back(text.str());
        }
    }
#endif
    return files;
}

const std::string_view kFinds[] = {"",
                                   "quarterly",
                                   "QUARTERLY",
                                   "s",
                                   "K",
                                   "ELVIN",
                                   "caf\xC3\xA9",
                                   "\xC3\x89",
                                   "stra\xC3\x9F"
                                   "e",
                                   "\t",
                                   "l\0l"sv,
                                   "/"};

} // namespace

TEST(RecordWriter, BlocksPrintWhatLineByLinePrintsInEveryForm)
{
    std::vector<std::string> inputs = Corpus();
#if defined(ZLV_FUZZ_CORPUS) && !defined(_WIN32)
    ASSERT_GE(inputs.size(), 4u) << "the fuzzers' seeds are missing";
#endif
    for (unsigned seed = 1; seed <= 6; ++seed) {
        inputs.push_back(GeneratedDays(seed, 3000));
    }
    for (const std::string& bytes : inputs) {
        for (const Form form : {Form::Tsv, Form::Display, Form::Csv, Form::Json}) {
            for (const std::string_view needle : kFinds) {
                recordformat::RecordWriter writer(form, needle, kPattern);
                std::string block, lines;
                const std::size_t written = writer.appendLines(block, bytes);
                std::string_view rest = bytes;
                std::size_t each = 0;
                while (!rest.empty()) {
                    each += writer.appendLine(lines, dayfile::NextLine(rest)) ? 1 : 0;
                }
                const std::string plain = PlainReference(bytes, form, needle);
                ASSERT_EQ(block, plain) << "form " << int(form) << " find " << needle;
                ASSERT_EQ(lines, plain) << "form " << int(form) << " find " << needle;
                ASSERT_EQ(written, each);
            }
        }
    }
}

TEST(RecordWriter, CandidatesNeverPassOverALineThatMatches)
{
    // The block path reads only the lines the matcher names; a letter outside ASCII that
    // folds into ASCII would slip through unless it is named. Only these two do.
    for (char32_t c = 0x80; c < 0x110000; ++c) {
        if (FoldCase(c) < 0x80) {
            EXPECT_TRUE(c == 0x17F || c == 0x212A) << std::hex << static_cast<unsigned>(c);
        }
    }
    const std::string bytes = GeneratedDays(9, 4000);
    for (const std::string_view find : kFinds) {
        const TextMatcher matcher(find);
        std::string_view rest = bytes;
        std::size_t from = 0;
        while (!rest.empty()) {
            const std::size_t start = bytes.size() - rest.size();
            const std::string_view line = dayfile::NextLine(rest);
            if (matcher.foundIn(line)) {
                const std::size_t at = matcher.nextCandidate(bytes, from);
                ASSERT_NE(at, std::string_view::npos) << find << " in " << line;
                ASSERT_LE(at, start + line.size()) << find << " in " << line;
            }
            from = bytes.size() - rest.size();
        }
    }
}
