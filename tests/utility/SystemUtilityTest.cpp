#include "utility/SystemUtility.h"

#include "support/Environment.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using zlv::SystemUtility;

TEST(SystemUtility, AppDataIsAFolderOfTheUsersOwnOrThereIsNone)
{
    zlv::test::TempDir dir;
    const std::string own = dir.path();
    const zlv::test::ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
    const zlv::test::ScopedEnv home("HOME", own + "//x/../");
    EXPECT_EQ(SystemUtility::SpecialFolderPath(26), own + "/.local/share");
    setenv("XDG_DATA_HOME", (own + "/data/").c_str(), 1);
    EXPECT_EQ(SystemUtility::SpecialFolderPath(26), own + "/data");
    // Relative values must not make the data land in whatever folder the program started.
    setenv("XDG_DATA_HOME", "relative/dir", 1);
    EXPECT_EQ(SystemUtility::SpecialFolderPath(26), own + "/.local/share");
    setenv("HOME", "relative", 1);
    const std::string fromAccount = SystemUtility::SpecialFolderPath(26);
    EXPECT_TRUE(fromAccount.empty() || fromAccount.front() == '/') << fromAccount;

    // The root, or a folder of someone else, is no home of ours: no data folder at all,
    // never one in a shared place, and a sentence saying why.
    const std::string theirs = own + "/theirs";
    std::filesystem::create_directories(theirs + "/.local/share");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    }
    setenv("XDG_DATA_HOME", "/", 1);
    for (const std::string& bad : {std::string("/"), root ? own + "/theirs" : "/usr"}) {
        setenv("HOME", bad.c_str(), 1);
        const auto none = SystemUtility::LocateAppData();
        EXPECT_TRUE(none.path.empty() &&
                    none.problem.find("not a folder of your own") != std::string::npos)
            << bad << none.problem;
    }
}
