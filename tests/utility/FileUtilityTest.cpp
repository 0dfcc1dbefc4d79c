#include "support/TempDir.h"
#include "utility/SystemUtility.h"
#include "utility/TextFileUtility.h"

#include <cstdlib>
#include <gtest/gtest.h>

using zlv::test::TempDir;
using zlv::test::WriteAll;

TEST(TextFileUtility, FindLineGivesTheLatestWholeLineContainingTheText)
{
    TempDir dir;
    const std::string file = dir / "05.log";
    WriteAll(file, "09:00 first\tneedle\r\n"
                   "10:00 other\r\n"
                   "11:00 second\tneedle\r\n"
                   "12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "\tneedle", 0), "11:00 second\tneedle");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "needle-ish", 0),
              "12:00 last line without end needle-ish");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "absent", 0), "");
    EXPECT_EQ(zlv::TextFileUtility::FindLine(dir / "missing.log", "x", 0), "");
}

TEST(TextFileUtility, FindLineReadsAcrossChunkBoundaries)
{
    TempDir dir;
    const std::string file = dir / "big.log";
    std::string content;
    for (int i = 0; content.size() < (3u << 20); ++i) {
        content += "line " + std::to_string(i) + " padding padding padding\r\n";
    }
    content += "the one we want\r\n";
    for (int i = 0; i < 1000; ++i) {
        content += "tail " + std::to_string(i) + "\r\n";
    }
    WriteAll(file, content);
    EXPECT_EQ(zlv::TextFileUtility::FindLine(file, "one we", 0), "the one we want");
}

#ifndef _WIN32
namespace {

class EnvGuard
{
public:
    explicit EnvGuard(const char* name) : m_name(name)
    {
        if (const char* v = std::getenv(name)) {
            m_old = v;
            m_had = true;
        }
    }
    ~EnvGuard()
    {
        if (m_had) {
            setenv(m_name, m_old.c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
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
