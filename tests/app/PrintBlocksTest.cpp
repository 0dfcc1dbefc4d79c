// Lines cut at a block's end, a CR ending one block and its LF the next, a line longer
// than many blocks and a last one without its end print alike in blocks of any size.
#include "app/JournalPrinter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace zlv;

TEST(PrintBlocks, AnyBlockSizePrintsWhatTheWholeFilePrints)
{
    test::TempDir appData;
    DataFolder folder;
    const Date day{2026, 3, 4};
    ASSERT_TRUE(folder.establish(appData.path()) && folder.ensureMonthFolder(day));
    const std::string line =
        "2026-03-04 10:00:00\tFile\tCreated\t/h/\ta\t" + std::string(3000, 'n');
    test::WriteAll(folder.dayFilePath(day),
                   line + "\r\n" + line + "\r" + line + "\n" + line + "\r\r\n" + line);
    for (const std::size_t block : {1, 43, 1 << 30}) {
        std::FILE* out = std::fopen((appData / "out").c_str(), "wb");
        {
            cli::JournalPrinter printer(out, cli::Format::Tsv, "", "");
            printer.setReadBlock(block);
            printer.day(folder, day);
        }
        std::fclose(out);
        const std::string printed = test::ReadAll(appData / "out");
        EXPECT_EQ(printed, line + "\n" + line + "\n" + line + "\n" + line + "\n" + line + "\n");
    }
}
