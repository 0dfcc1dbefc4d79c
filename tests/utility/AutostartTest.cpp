#include "utility/Autostart.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace autostart = zlv::autostart;

TEST(Autostart, TheEntryNamesTheRunningProgramByAPathTheSessionReadsWhenPathWouldNotFindIt)
{
    const std::string self = autostart::RunningExecutable();
    ASSERT_TRUE(!self.empty() && self[0] == '/');
    zlv::test::TempDir installed;
    zlv::test::TempDir elsewhere;
    ASSERT_EQ(::symlink(self.c_str(), (installed / "zelvory").c_str()), 0);
    zlv::test::WriteAll(elsewhere / "zelvory", "#!/bin/sh\n");
    ::chmod((elsewhere / "zelvory").c_str(), 0755);

    // Found under its bare name (a relative entry of PATH means nothing at login).
    EXPECT_EQ(autostart::ExecLine(self, "bin::" + installed.path()), "zelvory --tray");
    // Another program of that name comes first, or none is on PATH: this one, by its path.
    EXPECT_NE(autostart::ExecLine(self, elsewhere.path() + ':' + installed.path()),
              "zelvory --tray");
    EXPECT_NE(autostart::ExecLine(self, ""), "zelvory --tray");

    EXPECT_EQ(autostart::ExecLine("/opt/zelvory/bin/zelvory", ""),
              "/opt/zelvory/bin/zelvory --tray");
    EXPECT_EQ(autostart::ExecLine("/opt/Zelvory 2/zelvory", ""),
              "\"/opt/Zelvory 2/zelvory\" --tray");
    // Quote, dollar and backslash are escaped inside the quotes, and each backslash again
    // for the value; a percent sign is doubled.
    EXPECT_EQ(autostart::ExecLine(R"(/home/a"b/$x\y/50%/zelvory)", ""),
              R"("/home/a\\"b/\\$x\\\\y/50%%/zelvory" --tray)");
    // Nothing to name: the bare name is the best there is.
    EXPECT_EQ(autostart::ExecLine("build/zelvory", ""), "zelvory --tray");
}

TEST(Autostart, TheWindowProgramNamesTheCommandThatStartsIt)
{
    zlv::test::TempDir root;
    const auto program = [&](const std::string& relative) {
        ::mkdir((root / relative.substr(0, relative.rfind('/'))).c_str(), 0755);
        zlv::test::WriteAll(root / relative, "#!/bin/sh\n");
        ::chmod((root / relative).c_str(), 0755);
        return root / relative;
    };
    ::mkdir((root / "usr").c_str(), 0755);
    ::mkdir((root / "usr/libexec").c_str(), 0755);
    const std::string installed = program("usr/libexec/zelvory/zelvory-window");
    // Nothing where the command belongs: the window program is all there is to name.
    EXPECT_EQ(autostart::CommandOf(installed), installed);
    const std::string command = program("usr/bin/zelvory");
    const std::string named = autostart::CommandOf(installed);
    EXPECT_NE(named, installed);
    EXPECT_EQ(autostart::ExecLine(named, root / "usr/bin"), "zelvory --tray") << named;
    // The build tree keeps both side by side; any other program names itself.
    const std::string built = program("build/zelvory-window");
    const std::string beside = program("build/zelvory");
    EXPECT_EQ(autostart::CommandOf(built), beside);
    EXPECT_EQ(autostart::CommandOf(command), command);
}
