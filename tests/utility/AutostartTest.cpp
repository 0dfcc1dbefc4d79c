#include "utility/Autostart.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace autostart = zlv::autostart;

TEST(Autostart, TheEntryNamesTheRunningProgramWhenItsBareNameWouldNotFindIt)
{
    const std::string self = autostart::RunningExecutable();
    ASSERT_FALSE(self.empty());
    ASSERT_EQ(self[0], '/');
    zlv::test::TempDir installed;
    zlv::test::TempDir elsewhere;
    ASSERT_EQ(::symlink(self.c_str(), (installed / "zelvory").c_str()), 0);
    zlv::test::WriteAll(elsewhere / "zelvory", "#!/bin/sh\n");
    ::chmod((elsewhere / "zelvory").c_str(), 0755);

    // Found under its bare name (a relative entry of PATH means nothing at login).
    EXPECT_EQ(autostart::ExecLine(self, "bin::" + installed.path()), "zelvory --tray");
    // Another program of that name comes first, or none is on PATH: this one, by its path.
    for (const std::string& path : {elsewhere.path() + ':' + installed.path(), std::string()}) {
        const std::string line = autostart::ExecLine(self, path);
        EXPECT_NE(line, "zelvory --tray") << path;
        EXPECT_NE(line.find(" --tray"), std::string::npos);
    }
}

TEST(Autostart, APathIsQuotedAndEscapedAsTheSessionReadsIt)
{
    EXPECT_EQ(autostart::ExecLine("/opt/zelvory/bin/zelvory", ""),
              "/opt/zelvory/bin/zelvory --tray");
    EXPECT_EQ(autostart::ExecLine("/opt/Zelvory 2/zelvory", ""),
              "\"/opt/Zelvory 2/zelvory\" --tray");
    // Quote, dollar and backslash are escaped inside the quotes, and each backslash again
    // for the value; a percent sign is doubled.
    EXPECT_EQ(autostart::ExecLine(R"(/home/a"b/$x\y/50%/zelvory)", ""),
              R"("/home/a\\"b/\\$x\\\\y/50%%/zelvory" --tray)");
    // Nothing to name: the bare name is the best there is.
    EXPECT_EQ(autostart::ExecLine("", ""), "zelvory --tray");
    EXPECT_EQ(autostart::ExecLine("build/zelvory", ""), "zelvory --tray");

    zlv::test::TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    ASSERT_TRUE(autostart::SetEnabled(true, "/opt/Zelvory 2/zelvory"));
    EXPECT_NE(zlv::test::ReadAll(autostart::EntryPath())
                  .find("\nExec=\"/opt/Zelvory 2/zelvory\" --tray\n"),
              std::string::npos);
    ::unsetenv("XDG_CONFIG_HOME");
}
