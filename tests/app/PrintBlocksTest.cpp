// A day file read in blocks of any size prints what one whole read prints: lines cut at a
// block's end, a CR at the end of one block and its LF in the next, a line longer than
// many blocks and a last line without its end.
#include "app/JournalPrinter.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace zlv;
using zlv::cli::Format;

TEST(PrintBlocks, AnyBlockSizePrintsWhatTheWholeFilePrints)
{
    test::TempDir appData;
    DataFolder folder;
    ASSERT_TRUE(folder.establish(appData.path()));
    const Date day{2026, 3, 4};
    ASSERT_TRUE(folder.ensureMonthFolder(day));
    std::string bytes;
    for (const char* end : {"\r\n", "\r", "\n", "\r\r\n"}) {
        bytes += "2026-03-04 10:00:00\tFile\tCreated\t/h/\ta\t" + std::string(3000, 'n') + end;
        bytes += "2026-03-04 10:00:01\tFile\tCreated\t/h/\tb\t" + std::string(1, '\0') + end;
    }
    test::WriteAll(folder.dayFilePath(day), bytes + "2026-03-04 10:00:02\tFile\tCreated\t/h/\tz\t");
    for (const Format format : {Format::Tsv, Format::Json}) {
        std::string whole;
        for (const std::size_t block : {std::size_t(1) << 30, std::size_t(1), std::size_t(7),
                                        std::size_t(43), std::size_t(4096)}) {
            char* printed = nullptr;
            std::size_t size = 0;
            std::FILE* out = open_memstream(&printed, &size);
            {
                cli::JournalPrinter printer(out, format, "", "");
                printer.setReadBlock(block);
                printer.day(folder, day);
            }
            std::fclose(out);
            const std::string text(printed, size);
            std::free(printed);
            if (whole.empty()) {
                whole = text;
                EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 9);
            }
            EXPECT_EQ(text, whole) << block;
        }
    }
}
