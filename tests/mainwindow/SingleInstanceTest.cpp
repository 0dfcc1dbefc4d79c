#include "mainwindow/SingleInstance.h"

#include "support/Environment.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using zlv::SingleInstance;
using zlv::test::WriteAll;

TEST(SingleInstance, OnlyARunningInstanceKeepsTheNextOneOut)
{
    zlv::test::TempDir dir;
    const std::string lock = dir / "zelvory.lock";
    // Whatever a dead run or a stranger left in the lock's place never locks the user out:
    // nothing, garbage, a live process that is not this program, a folder, a FIFO.
    for (int kind = 0; kind < 5; ++kind) {
        std::filesystem::remove_all(lock);
        if (kind < 3) {
            WriteAll(lock, kind == 0 ? "" : kind == 1 ? "\x01garbage\n\xFF" : "1\nzelvory\n");
        } else if (kind == 3) {
            std::filesystem::create_directories(lock + "/inside");
        } else {
            ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
        }
        SingleInstance first;
        ASSERT_TRUE(first.acquireAt(lock)) << kind;
        SingleInstance second;
        EXPECT_FALSE(second.acquireAt(lock)) << kind;
    }
    SingleInstance again;
    EXPECT_TRUE(again.acquireAt(lock)) << "the lock goes with its holder";

    // Without a private runtime folder the lock goes into the data folder, never /tmp.
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0777));
    const zlv::test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path()); // open to all: not private
    const zlv::test::ScopedEnv data("XDG_DATA_HOME", dir / "data");
    EXPECT_EQ(SingleInstance::lockPath(), dir / "data/QBS/ZLV/zelvory.lock");
}
