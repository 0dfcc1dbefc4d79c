// A day file read in blocks of any size prints what one whole read prints: lines cut at a
// block's end, a CR ending one block and its LF starting the next, a line longer than many
// blocks, a last line without its end.
#include "app/JournalPrinter.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace zlv;

TEST(PrintBlocks, AnyBlockSizePrintsWhatTheWholeFilePrints)
{
    test::TempDir appData;
    DataFolder folder;
    const Date day{2026, 3, 4};
    ASSERT_TRUE(folder.establish(appData.path()) && folder.ensureMonthFolder(day));
    std::string bytes;
    for (const char* end : {"\r\n", "\r", "\n", "\r\r\n", ""}) {
        bytes += "2026-03-04 10:00:00\tFile\tCreated\t/h/\ta\t" + std::string(3000, 'n') + end;
    }
    test::WriteAll(folder.dayFilePath(day), bytes);
    std::string whole;
    for (const std::size_t block : {std::size_t(1) << 30, std::size_t(1), std::size_t(43)}) {
        char* printed = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&printed, &size);
        {
            cli::JournalPrinter printer(out, cli::Format::Tsv, "", "");
            printer.setReadBlock(block);
            printer.day(folder, day);
        }
        std::fclose(out);
        whole = whole.empty() ? std::string(printed, size) : whole;
        EXPECT_EQ(std::string(printed, size), whole) << block;
        EXPECT_EQ(size, 5 * 3040u);
        std::free(printed);
    }
}
