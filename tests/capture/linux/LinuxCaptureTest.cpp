// Real file operations in temporary folders, watched by the real source and recorded through
// the real pipeline; every check reads the day file.
#include "LinuxCaptureFixture.h"
#include "capture/linux/WatchTree.h"
#include "logstore/GapFile.h"
#include "support/Environment.h"

#include <QCoreApplication>
#include <QTimer>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

using namespace zlv;
using namespace zlv::test;
using namespace std::chrono_literals;
namespace sfs = std::filesystem;

TEST_F(LinuxCapture, OperationsAreRecordedInOrderWithinTheBoundsOfTheWatchedArea)
{
    TempDir outside; // same file system as home, so these are renames, not copies
    sfs::create_directories(outside.path() + "/tree/deep/er");
    Touch(outside.path() + "/tree/deep/er/old.txt");
    for (const char* dir : {"/one/sub", "/two", "/shown"}) {
        sfs::create_directories(home + dir);
    }
    Touch(home + "/one/same.txt");
    Touch(home + "/one/old.txt");
    Start({}, [&] { std::lock_guard pass(gate); });
    Touch(home + "/a.txt");
    sfs::create_directory(home + "/d");
    sfs::create_directories(home + "/.hidden/deep"); // reported, not entered
    Touch(home + "/.hidden/x");
    Touch(home + "/.hidden/deep/y");
    sfs::rename(home + "/.hidden/x", home + "/.hidden/z");
    // Far enough past that what a folder moved in holds reads as older than the move.
    std::this_thread::sleep_for(2 * linuxcapture::WatchTree::kArrivalSlack);
    // A tree moved in is one folder; what is made in it before the reader can have put a
    // watch on it (held back here) is found by the listing.
    gate.lock();
    sfs::rename(outside.path() + "/tree", home + "/tree");
    Touch(home + "/tree/deep/er/new.txt");
    gate.unlock();
    // The program's own folders, deleted under us before any record, are made again unseen.
    sfs::remove_all(home + "/appdata/QBS");
    Settle(); // watched by now, as a folder is by the time its user comes back to it

    sfs::rename(home + "/a.txt", home + "/b.txt");
    sfs::rename(home + "/b.txt", home + "/B.txt"); // only the case changes: still a rename
    sfs::rename(home + "/d", home + "/e");
    Touch(home + "/e/inside.txt"); // the folder's watch followed its new name
    sfs::remove(home + "/B.txt");
    sfs::remove(home + "/e/inside.txt");
    sfs::remove(home + "/e");
    sfs::rename(home + "/one/same.txt", home + "/two/same.txt");
    sfs::rename(home + "/one/old.txt", home + "/two/new.txt");
    sfs::rename(home + "/one/sub", home + "/two/moved");
    Touch(home + "/two/moved/later.txt");
    // Moved out, a tree is no longer watched.
    sfs::rename(home + "/tree", outside.path() + "/gone");
    Touch(outside.path() + "/gone/deep/er/unseen.txt");
    Touch(outside.path() + "/loose.txt");
    sfs::rename(outside.path() + "/loose.txt", home + "/loose.txt");
    sfs::rename(home + "/loose.txt", outside.path() + "/loose-out.txt");
    // Hidden by a rename: its watches go. Shown by a rename: watched from now on.
    sfs::rename(home + "/shown", home + "/.shown");
    Touch(home + "/.shown/no.txt");
    sfs::rename(home + "/.hidden", home + "/visible");
    Touch(home + "/visible/deep/yes.txt");
    // Recorded before its folder was hidden and shown again: not recorded a second time.
    sfs::create_directory(home + "/round");
    Touch(home + "/round/new.txt");
    Settle();
    sfs::rename(home + "/round", home + "/.round");
    sfs::rename(home + "/.round", home + "/trip");
    Settle();

    const std::string h = home + "/";
    const std::vector<std::string> expected = {
        Rec("File", "Created", h, "a.txt"),
        Rec("Folder", "Created", h, "d"),
        Rec("Folder", "Created", h, ".hidden"),
        Rec("Folder", "Created", h, "tree"),
        Rec("File", "Created", h + "tree/deep/er/", "new.txt"),
        Rec("Folder", "Deleted", h + "appdata/QBS/", "ZLV"),
        Rec("Folder", "Deleted", h + "appdata/", "QBS"),
        Rec("File", "Renamed", h, "a.txt", "b.txt"),
        Rec("File", "Renamed", h, "b.txt", "B.txt"),
        Rec("Folder", "Renamed", h, "d", "e"),
        Rec("File", "Created", h + "e/", "inside.txt"),
        Rec("File", "Deleted", h, "B.txt"),
        Rec("File", "Deleted", h + "e/", "inside.txt"),
        Rec("Folder", "Deleted", h, "e"),
        // Same name, other folder: as a rename its names would be equal and it would be lost.
        Rec("File", "Deleted", h + "one/", "same.txt"),
        Rec("File", "Created", h + "two/", "same.txt"),
        Rec("File", "Renamed", h + "one/", "old.txt", "new.txt"),
        Rec("Folder", "Renamed", h + "one/", "sub", "moved"),
        Rec("File", "Created", h + "two/moved/", "later.txt"),
        Rec("Folder", "Deleted", h, "tree"),
        Rec("File", "Created", h, "loose.txt"),
        Rec("File", "Deleted", h, "loose.txt"),
        Rec("Folder", "Renamed", h, "shown", ".shown"),
        Rec("Folder", "Renamed", h, ".hidden", "visible"),
        Rec("File", "Created", h + "visible/deep/", "yes.txt"),
        Rec("Folder", "Created", h, "round"),
        Rec("File", "Created", h + "round/", "new.txt"),
        Rec("Folder", "Renamed", h, "round", ".round"),
        Rec("Folder", "Renamed", h, ".round", "trip"),
    };
    EXPECT_EQ(Records(), expected);
}

TEST_F(LinuxCapture, TreesMadeAtOnceAreRecordedEntryByEntryExactlyOnceLinksNeverFollowed)
{
    TempDir outside;
    Start();
    // mkdir -p with files written into the deepest folder at once, from several threads, so
    // new folders are listed while their own events are still arriving.
    std::vector<std::thread> workers;
    for (int t = 0; t < 6; ++t) {
        workers.emplace_back([&, t] {
            for (int i = t; i < 30; i += 6) {
                const std::string deep = home + "/t" + std::to_string(i) + "/a/b";
                sfs::create_directories(deep);
                for (int f = 0; f < 15; ++f) {
                    Touch(deep + "/f" + std::to_string(f));
                }
            }
        });
    }
    // Symbolic links are files, and the listing of a new folder never follows one.
    sfs::create_directories(home + "/loop");
    sfs::create_directory_symlink("..", home + "/loop/up");       // a cycle back to home
    sfs::create_directory_symlink(outside.path(), home + "/out"); // and a way out of it
    Touch(home + "/loop/f.txt");
    Touch(outside.path() + "/elsewhere.txt");
    for (std::thread& w : workers) {
        w.join();
    }
    Settle();

    // What the listing of a new folder finds comes in directory order, so sorted.
    const std::string h = home + "/";
    std::vector<std::string> expected = {
        Rec("Folder", "Created", h, "loop"), Rec("File", "Created", h + "loop/", "up"),
        Rec("File", "Created", h, "out"), Rec("File", "Created", h + "loop/", "f.txt")};
    for (int t = 0; t < 30; ++t) {
        const std::string top = "t" + std::to_string(t);
        expected.push_back(Rec("Folder", "Created", h, top));
        expected.push_back(Rec("Folder", "Created", h + top + "/", "a"));
        expected.push_back(Rec("Folder", "Created", h + top + "/a/", "b"));
        for (int f = 0; f < 15; ++f) {
            expected.push_back(Rec("File", "Created", h + top + "/a/b/", "f" + std::to_string(f)));
        }
    }
    std::vector<std::string> records = Records();
    std::sort(records.begin(), records.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(records, expected);
}

TEST_F(LinuxCapture, EveryOverflowIsToldWhatWasCreatedMeanwhileRecoveredAndWatchesRebuilt)
{
    int limit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
    if (limit <= 0 || limit > 100000) {
        GTEST_SKIP() << "the kernel queue holds " << limit << " events; too many to overflow";
    }
    sfs::create_directory(home + "/first");
    sfs::create_directory(home + "/second");
    std::unique_lock hold(gate, std::defer_lock);
    Start({}, [&] { std::lock_guard pass(gate); });
    // Twice over the queue's size while the reader is held, with a folder made meanwhile.
    std::set<std::string> expected;
    for (const std::string tag : {"first", "second"}) {
        hold.lock();
        for (int i = 0; i <= limit; ++i) {
            Touch(home + "/" + tag + "/" + std::to_string(i));
            expected.insert(Rec("File", "Created", home + "/" + tag + "/", std::to_string(i)));
        }
        sfs::create_directories(home + "/late-" + tag + "/in");
        Touch(home + "/late-" + tag + "/in/made.txt");
        hold.unlock();
        Settle();
        expected.insert({Rec("Folder", "Created", home + "/", "late-" + tag),
                         Rec("Folder", "Created", home + "/late-" + tag + "/", "in"),
                         Rec("File", "Created", home + "/late-" + tag + "/in/", "made.txt")});
    }
    EXPECT_EQ(Told(GapReason::Overflow), 2u);
    const std::vector<GapRecord> gaps = gapfile::ReadFile(folder.gapFilePath(clock.now().date));
    ASSERT_EQ(gaps.size(), 2u);
    EXPECT_EQ(gaps[1].reason, "overflow");
    // Everything made in the gaps is on record once, found again by its birth time.
    std::vector<std::string> records = Records();
    EXPECT_EQ(std::set<std::string>(records.begin(), records.end()), expected);
    EXPECT_EQ(records.size(), expected.size()) << "recorded twice";

    // The folders made while events were lost are watched after the rescan.
    Touch(home + "/late-second/in/seen.txt");
    Settle();
    EXPECT_EQ(Records().back(), Rec("File", "Created", home + "/late-second/in/", "seen.txt"));
}

TEST_F(LinuxCapture, ABurstIsDeliveredInSlicesLosesNothingAndStopDeliversTheRest)
{
    Start();
    // The event loop does not run while the files are made: the reader must keep the kernel's
    // queue from overflowing on its own.
    constexpr int kFiles = 17000; // more than the kernel's queue holds by default
    for (int i = 0; i < kFiles; ++i) {
        Touch(home + "/busy" + std::to_string(i));
    }
    int recorded = 0;
    form->setRecordedCallback([&] { ++recorded; });
    // A timer of the same event loop notes every turn it gets while the burst is delivered.
    int turnsDuringBurst = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker,
                     [&] { turnsDuringBurst += recorded > 0 && recorded < kFiles; });
    ticker.start(0);
    ASSERT_TRUE(WaitFor([&] { return recorded >= kFiles / 2; }, 30s));
    EXPECT_GE(turnsDuringBurst, 2) << "the burst was delivered without yielding";
    EXPECT_LT(recorded, kFiles) << "too fast to tell what the stop delivers";

    form->unload(); // no event loop turn in between
    Touch(home + "/after-stop");
    WaitFor([] { return false; }, 50ms);
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), std::size_t(kFiles)) << "lost, or recorded after the stop";
    for (int i = 0; i < kFiles; ++i) {
        ASSERT_EQ(records[i], Rec("File", "Created", home + "/", "busy" + std::to_string(i)));
    }
}

TEST_F(LinuxCapture, ADriveMountedBelowAMountRootIsAddedWatchedAndRemoved)
{
    TempDir roots;
    const std::string media = sfs::canonical(roots.path()).string() + "/media";
    const std::string stick = media + "/user/MY STICK"; // mounted while watching
    const std::string early = media + "/user/early";    // before: watched, never added
    const auto mount = [](const std::string& at) {
        sfs::create_directories(at);
        return ::mount("zlvtest", at.c_str(), "tmpfs", 0, "size=1m") == 0;
    };
    // Whatever happens below, no mount outlives the test (a no-op once unmounted).
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        ::umount2(stick.c_str(), MNT_DETACH);
        ::umount2(early.c_str(), MNT_DETACH);
    });
    if (!mount(early)) {
        GTEST_SKIP() << "mounting a tmpfs is not allowed here: " << std::strerror(errno);
    }
    sfs::create_directory(early + "/was-there");
    Start({media});
    ASSERT_TRUE(mount(stick)) << std::strerror(errno);
    Settle(); // the mount is handled before the file below it is made
    Touch(stick + "/on-stick.txt");
    Touch(early + "/was-there/f.txt");
    Settle();
    // Two unmounts found in one reading of the mount table come in table order.
    EXPECT_EQ(::umount2(stick.c_str(), MNT_DETACH), 0);
    Settle();
    EXPECT_EQ(::umount2(early.c_str(), MNT_DETACH), 0);
    WaitFor([&] { return Records().size() >= 5; });

    const std::vector<std::string> expected = {
        Rec("Driver", "Added", stick + "/", "MY STICK"),
        Rec("File", "Created", stick + "/", "on-stick.txt"),
        Rec("File", "Created", early + "/was-there/", "f.txt"),
        Rec("Driver", "Removed", stick + "/", "MY STICK"),
        Rec("Driver", "Removed", early + "/", "early"),
    };
    EXPECT_EQ(Records(), expected);
}

TEST_F(LinuxCapture, AtTheWatchLimitTheDeepestFoldersWaitAreToldAndAreWatchedOnceWatchesFree)
{
    // Again in a user namespace of its own, where the watch limit can be lowered.
    if (!std::getenv("ZLV_IN_USER_NS")) {
        return RunAgain("ZLV_IN_USER_NS", "unshare -U -r", "LinuxCapture.AtTheWatchLimit*");
    }
    if (!(std::ofstream("/proc/sys/user/max_inotify_watches") << 200 << std::flush)) {
        GTEST_SKIP() << "the kernel refuses to set the namespace's watch limit";
    }
    // a0..a9 / b0..b9 / c0..c1, beside appdata/QBS: 313 folders, the home's included.
    for (int abc = 0; abc < 200; ++abc) {
        sfs::create_directories(home + "/a" + std::to_string(abc / 20) + "/b" +
                                std::to_string(abc / 2 % 10) + "/c" + std::to_string(abc % 2));
    }
    Start();
    ASSERT_TRUE(WaitFor([&] { return Told(GapReason::WatchLimit) == 1; }, 2s));
    // 20 of the 200 watches stay free for the user's other programs.
    const std::string& told = incidents[0].sentence;
    EXPECT_TRUE(told.find(" 133 folders ") != told.npos &&
                told.find("fs.inotify.max_user_watches to 1000 ") != told.npos)
        << told;
    EXPECT_TRUE(incidents[0].needsAction && incidents[0].ongoing);
    // Breadth first: every folder of the first two levels is watched.
    const auto touchEach = [&](int from, const std::string& name) {
        for (int ab = from * 10; ab < 100; ++ab) {
            Touch(home + "/a" + std::to_string(ab / 10) + "/b" + std::to_string(ab % 10) + name);
        }
    };
    touchEach(0, "/f");
    Settle();
    EXPECT_EQ(Records().size(), 100u);
    // Half the trees gone frees enough watches for every folder that is left.
    for (int a = 0; a < 5; ++a) {
        sfs::remove_all(home + "/a" + std::to_string(a));
    }
    Settle();
    EXPECT_EQ(Told(GapReason::WatchLimit, true), 1u);
    const std::size_t before = Records().size();
    touchEach(5, "/c1/f");
    Settle();
    EXPECT_EQ(Records().size(), before + 50);
}

TEST_F(LinuxCapture, FoldersPastThePathLimitAreWatchedAndTheRootNeverIs)
{
    // 20 levels of 250-byte names: over 5,000 bytes, more than one system call takes.
    const std::string part(250, 'n');
    std::string deep = home + "/long";
    sfs::create_directory(deep);
    const std::shared_ptr<void> cleanup(nullptr, [&](void*) {
        [[maybe_unused]] const int rc = std::system(("rm -rf '" + home + "/long'").c_str());
    });
    int fd = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(::mkdirat(fd, part.c_str(), 0755), 0);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        deep += "/" + part;
    }
    Start();
    ASSERT_EQ(::mkdirat(fd, "new", 0755), 0);
    ::close(::openat(fd, "new/in.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ::close(::openat(fd, "here.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ::close(fd);
    Settle();
    const std::vector<std::string> expected = {Rec("Folder", "Created", deep + "/", "new"),
                                               Rec("File", "Created", deep + "/new/", "in.txt"),
                                               Rec("File", "Created", deep + "/", "here.txt")};
    EXPECT_EQ(Records(), expected);
    EXPECT_EQ(Told(GapReason::PathTooLong), 0u);

    // A home at the root would watch the whole system: nothing is watched, and it is told.
    form.reset();
    Start({}, {}, "/");
    ASSERT_TRUE(WaitFor([&] { return Told(GapReason::CaptureStopped) == 1; }));
    EXPECT_TRUE(incidents.back().needsAction);
    const ScopedEnv relative("HOME", "relative");
    EXPECT_EQ(HomeFolder().front(), '/') << "a relative home is not the user's";
}
