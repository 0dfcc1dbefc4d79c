#include "support/TempDir.h"
#include "utility/SystemUtility.h"
#include "utility/TextFileUtility.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

using zlv::test::TempDir;
using zlv::test::WriteAll;

TEST(TextFileUtility, FindLineGivesTheLatestWholeLineContainingTheText)
{
    // The wanted lines lie megabytes apart, so the search crosses its read chunks.
    TempDir dir;
    const std::string file = dir / "05.log";
    std::string content = "09:00 first\tneedle\r\n";
    for (int i = 0; content.size() < (3u << 20); ++i) {
        content += "line " + std::to_string(i) + " padding padding padding\r\n";
    }
    WriteAll(file, content + "11:00 second\tneedle\r\n12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "\tneedle", 0), "11:00 second\tneedle");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "first", 0), "09:00 first\tneedle");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "needle-ish", 0),
              "12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "absent", 0), "");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(dir / "missing.log", "x", 0), "");
}

#ifndef _WIN32
namespace {

// Puts an environment variable back as it was when the test ends.
struct EnvGuard
{
    explicit EnvGuard(const char* n) : name(n)
    {
        if (const char* v = std::getenv(n)) {
            old = v;
        }
    }
    ~EnvGuard() { old ? setenv(name, old->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> old;
};

} // namespace

TEST(SystemUtility, AppDataFollowsXdgDataHomeThenHome)
{
    EnvGuard xdg("XDG_DATA_HOME");
    EnvGuard home("HOME");
    setenv("HOME", "/home/ada", 1);

    setenv("XDG_DATA_HOME", "/data/ada/", 1);
    EXPECT_EQ(zlv::SystemUtility::SpecialFolderPath(26), "/data/ada");

    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(zlv::SystemUtility::SpecialFolderPath(26), "/home/ada/.local/share");

    // A relative XDG_DATA_HOME is invalid and must not make the data land in the working
    // folder of whoever started the program.
    setenv("XDG_DATA_HOME", "relative/dir", 1);
    EXPECT_EQ(zlv::SystemUtility::SpecialFolderPath(26), "/home/ada/.local/share");

    // Without HOME the account's home folder is used; never the root of the file system.
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    const std::string fallback = zlv::SystemUtility::SpecialFolderPath(26);
    EXPECT_FALSE(fallback.empty());
    EXPECT_NE(fallback.front(), '.');
    EXPECT_NE(fallback, "/.local/share");
}
#endif
