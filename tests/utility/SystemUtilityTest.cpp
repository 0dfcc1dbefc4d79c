#include "utility/SystemUtility.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using zlv::SystemUtility;

namespace {

class EnvGuard
{
public:
    explicit EnvGuard(const char* name) : m_name(name), m_had(std::getenv(name) != nullptr)
    {
        m_old = m_had ? std::getenv(name) : "";
    }
    ~EnvGuard() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    bool m_had;
    std::string m_old;
};

} // namespace

TEST(SystemUtility, AppDataIsAFolderOfTheUsersOwnOrThereIsNone)
{
    EnvGuard xdg("XDG_DATA_HOME");
    EnvGuard home("HOME");
    zlv::test::TempDir dir;
    const std::string own = dir.path();

    setenv("HOME", (own + "//x/../").c_str(), 1);
    unsetenv("XDG_DATA_HOME");
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
        EXPECT_EQ(none.path, "") << bad;
        EXPECT_NE(none.problem.find("not a folder of your own"), std::string::npos);
    }
}
