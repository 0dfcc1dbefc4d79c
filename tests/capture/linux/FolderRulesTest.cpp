// Folders that are not the user's work (caches, what Git ignores, what the user excluded)
// and file systems mounted inside the home, made for real in a temporary home.
#include "LinuxCaptureFixture.h"
#include "support/InotifyWatches.h"

#include <git2.h>
#include <sys/mount.h>

using namespace zlv;
using namespace zlv::test;

namespace {

constexpr auto kSettle = 500ms;
const std::string kTag = "Signature: 8a477f597d28d172789f06886806bc55\n# a cache\n";

bool MakeRepository(const std::string& folder)
{
    git_libgit2_init();
    git_repository* repo = nullptr;
    const bool made = git_repository_init(&repo, folder.c_str(), 0) == 0;
    git_repository_free(repo);
    git_libgit2_shutdown();
    return made;
}

} // namespace

TEST_F(LinuxCapture, CachesAndWhatGitIgnoresAreNeitherWatchedNorRecorded)
{
    // home, appdata, appdata/QBS, notcache, proj, proj/src: six folders to watch.
    sfs::create_directories(home + "/cache1/deep/er");
    WriteAll(home + "/cache1/CACHEDIR.TAG", kTag);
    sfs::create_directories(home + "/notcache");
    WriteAll(home + "/notcache/CACHEDIR.TAG", "no signature here");
    sfs::create_directories(home + "/proj/src");
    ASSERT_TRUE(MakeRepository(home + "/proj"));
    WriteAll(home + "/proj/.gitignore", "build/\n*.o\nnode_modules/\n");
    sfs::create_directories(home + "/proj/node_modules/pkg/lib");
    const std::size_t before = test::WatchesHeld();
    Start({}, {}, {}, kSettle);
    EXPECT_EQ(test::WatchesHeld() - before, 6u);

    Touch(home + "/cache1/deep/er/blob");
    Touch(home + "/notcache/kept");
    // A build inside the work tree, and packages installed into it.
    sfs::create_directories(home + "/proj/build/obj");
    for (int i = 0; i < 50; ++i) {
        Touch(home + "/proj/build/obj/f" + std::to_string(i) + ".o");
    }
    Touch(home + "/proj/src/main.o");
    Touch(home + "/proj/src/main.c");
    sfs::create_directories(home + "/proj/node_modules/other/dist");
    Touch(home + "/proj/node_modules/other/dist/index.js");
    // A program makes its cache, then tags it.
    sfs::create_directories(home + "/cache2/blobs");
    Touch(home + "/cache2/blobs/one");
    WriteAll(home + "/cache2/CACHEDIR.TAG", kTag);
    Settle();
    Touch(home + "/cache2/blobs/two");
    // Renamed out of what Git ignores, the file comes into sight.
    ASSERT_EQ(::rename((home + "/proj/src/main.o").c_str(), (home + "/proj/src/util.c").c_str()),
              0);
    Settle();

    const std::string p = home + "/proj/src/";
    EXPECT_EQ(Records(),
              (std::vector<std::string>{Rec("File", "Created", home + "/notcache/", "kept"),
                                        Rec("File", "Created", p, "main.c"),
                                        Rec("File", "Created", p, "util.c")}));

    // The switch turned off: the build tree and the packages (seven folders) are watched
    // and recorded like the rest.
    form->source()->setExclusions({}, false);
    ASSERT_TRUE(WaitFor([&] { return test::WatchesHeld() - before == 13u; }))
        << test::WatchesHeld() - before;
    Touch(home + "/proj/build/obj/late.o");
    Settle();
    EXPECT_EQ(Records().back(), Rec("File", "Created", home + "/proj/build/obj/", "late.o"));
}

TEST_F(LinuxCapture, AnExcludedFolderLosesItsWatchesAtOnceAndIsWatchedAgainUnrecorded)
{
    for (int i = 0; i < 20; ++i) {
        sfs::create_directories(home + "/work/tmp/t" + std::to_string(i));
    }
    Touch(home + "/work/tmp/t3/old.txt");
    const std::size_t before = test::WatchesHeld();
    Start({}, {}, {}, kSettle);
    const std::size_t all = test::WatchesHeld() - before;

    Touch(home + "/work/tmp/t1/settling.txt"); // still settling when the folder is excluded
    form->source()->setExclusions({home + "/work/tmp"}, true);
    ASSERT_TRUE(WaitFor([&] { return test::WatchesHeld() - before == all - 21; }))
        << test::WatchesHeld() - before << " of " << all;
    Touch(home + "/work/tmp/t2/unseen.txt");
    Touch(home + "/work/seen.txt");
    Settle();
    EXPECT_EQ(Records(),
              std::vector<std::string>{Rec("File", "Created", home + "/work/", "seen.txt")});

    form->source()->setExclusions({}, true);
    ASSERT_TRUE(WaitFor([&] { return test::WatchesHeld() - before == all; }));
    Touch(home + "/work/tmp/t4/new.txt");
    Settle();
    // What was there already, made while excluded included, is not news.
    EXPECT_EQ(Records().back(), Rec("File", "Created", home + "/work/tmp/t4/", "new.txt"));
    EXPECT_EQ(Records().size(), 2u);
}

TEST_F(LinuxCapture, AFileSystemMountedInsideTheHomeIsADriveWatchedWhileThere)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    // Again in a mount namespace of its own, so that nothing is mounted on the machine.
    if (!std::getenv("ZLV_IN_MOUNT_NS")) {
        return RunAgain("ZLV_IN_MOUNT_NS", "unshare -m --propagation private",
                        "LinuxCapture.AFileSystemMountedInsideTheHome*");
    }
    const std::string stick = home + "/usbstick";
    sfs::create_directory(stick);
    Touch(stick + "/underneath.txt");
    Start({}, {}, {}, kSettle);
    ASSERT_EQ(::mount("zlvtest", stick.c_str(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    Settle();
    Touch(stick + "/on-stick.txt");
    Settle();
    ASSERT_EQ(::umount2(stick.c_str(), MNT_DETACH), 0);
    Settle();
    Touch(stick + "/after.txt"); // the folder underneath is watched again
    Settle();
    const std::string s = stick + "/";
    EXPECT_EQ(Records(), (std::vector<std::string>{Rec("Driver", "Added", s, "usbstick"),
                                                   Rec("File", "Created", s, "on-stick.txt"),
                                                   Rec("Driver", "Removed", s, "usbstick"),
                                                   Rec("File", "Created", s, "after.txt")}));
}
