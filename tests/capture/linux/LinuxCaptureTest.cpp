// Real file operations in temporary folders, watched by the real source and recorded through
// the real pipeline; every check reads the day files.
#include "capture/frmPubHide.h"
#include "capture/linux/LinuxNotificationSource.h"
#include "capture/linux/WatchTree.h"
#include "logstore/DayFile.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zlv;
using namespace std::chrono_literals;
namespace sfs = std::filesystem;
using zlv::test::TempDir;

namespace zlv {

void PrintTo(const LogRecord& r, std::ostream* out)
{
    *out << "{" << r.object << " | " << r.action << " | " << r.path << " | " << r.originalName
         << " | " << r.newName << "}";
}

} // namespace zlv

namespace {

const std::string kMark = "settle-mark-";

std::string Canonical(const std::string& path)
{
    return sfs::canonical(path).string();
}

void Touch(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ::close(fd);
}

sfs::file_time_type::rep ChangeTime(const std::string& path)
{
    struct stat st
    {
    };
    ::lstat(path.c_str(), &st);
    return sfs::file_time_type::rep(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

// Waits until the file system's clock has moved far enough past the change time of `path`
// that a folder moved in afterwards is told apart from what was made inside it before.
void AgePast(const std::string& path)
{
    TempDir scratch;
    const std::string probe = scratch.path() + "/probe";
    const auto slack = std::chrono::nanoseconds(linuxcapture::WatchTree::kArrivalSlack).count();
    const auto until = std::chrono::steady_clock::now() + 2s;
    do {
        Touch(probe);
        std::this_thread::sleep_for(5ms);
    } while (ChangeTime(probe) <= ChangeTime(path) + slack &&
             std::chrono::steady_clock::now() < until);
}

LogRecord Rec(std::string object, std::string action, std::string path, std::string name,
              std::string newName = {})
{
    return LogRecord{{},
                     std::move(object),
                     std::move(action),
                     std::move(path),
                     std::move(name),
                     std::move(newName)};
}

// Pumps the event loop until `done` holds or ten seconds have passed.
template <typename Pred> bool WaitFor(Pred done, std::chrono::milliseconds limit = 10s)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class LinuxCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home = Canonical(homeDir.path());
        // Inside the watched home, as a data folder under $HOME usually is.
        ASSERT_TRUE(folder.establish(home + "/appdata"));
    }

    void TearDown() override
    {
        if (form) {
            form->unload();
        }
    }

    void Start(std::vector<std::string> mountRoots = {}, std::function<void()> beforeRead = {})
    {
        LinuxCaptureOptions options;
        options.homeFolder = home;
        options.mountRoots = std::move(mountRoots);
        options.dataFolder = folder.dataFolder();
        options.watchMedia = false;
        options.beforeRead = std::move(beforeRead);
        auto owned = std::make_unique<LinuxNotificationSource>(options);
        source = owned.get();
        form = std::make_unique<frmPubHide>(folder, std::move(owned));
        ASSERT_TRUE(form->load());
        ASSERT_TRUE(source->waitUntilWatching(10s));
    }

    // Every record of every day file, in file order, without time stamps and without the
    // marks Settle() leaves.
    std::vector<LogRecord> Records() const
    {
        std::vector<std::string> files;
        for (const auto& e : sfs::recursive_directory_iterator(folder.logsFolder())) {
            if (e.path().extension() == ".log") {
                files.push_back(e.path().string());
            }
        }
        std::sort(files.begin(), files.end());
        std::vector<LogRecord> out;
        for (const std::string& file : files) {
            const std::string text = test::ReadAll(file);
            std::size_t at = 0;
            while (at < text.size()) {
                const std::size_t end = std::min(text.find('\n', at), text.size());
                std::optional<LogRecord> r = dayfile::ParseLine(text.substr(at, end + 1 - at));
                at = end + 1;
                EXPECT_TRUE(r) << "unreadable line in " << file;
                if (r && r->originalName.rfind(kMark, 0) != 0) {
                    r->time.clear();
                    out.push_back(std::move(*r));
                }
            }
        }
        return out;
    }

    // Waits until a file created now is on record: delivery keeps order, so everything done
    // before it has been handled by then. A mark made while the kernel's queue is still full
    // is lost with the overflow, so a new one follows every half second.
    void Settle()
    {
        std::vector<std::string> marks;
        const auto seen = [&] {
            const std::string today =
                test::ReadAll(folder.dayFilePath(Clock::instance().now().date)) +
                test::ReadAll(folder.dayFilePath(Clock::instance().now().date.addDays(-1)));
            return std::any_of(marks.begin(), marks.end(), [&](const std::string& m) {
                return today.find(m + "\t") != std::string::npos;
            });
        };
        for (int attempt = 0; attempt < 20; ++attempt) {
            marks.push_back(kMark + std::to_string(m_marks++));
            Touch(home + "/" + marks.back());
            if (WaitFor(seen, 500ms)) {
                return;
            }
        }
        FAIL() << "capture did not catch up";
    }

    TempDir homeDir;
    std::string home;
    DataFolder folder;
    LinuxNotificationSource* source = nullptr;
    std::unique_ptr<frmPubHide> form;
    std::mutex gate; // outlives the source, whose reader may still pass it while stopping

private:
    int m_marks = 0;
};

// How often each (object, action, path, name) was recorded.
std::map<std::string, int> Tally(const std::vector<LogRecord>& records)
{
    std::map<std::string, int> tally;
    for (const LogRecord& r : records) {
        ++tally[r.object + " " + r.action + " " + r.path + r.originalName];
    }
    return tally;
}

} // namespace

TEST_F(LinuxCapture, FilesAndFoldersAreCreatedRenamedAndDeletedInOrder)
{
    Start();
    Touch(home + "/a.txt");
    sfs::create_directory(home + "/d");
    Settle(); // watched by now, as a folder is by the time its user comes back to it
    sfs::rename(home + "/a.txt", home + "/b.txt");
    sfs::rename(home + "/b.txt", home + "/B.txt"); // only the case changes: still a rename
    sfs::rename(home + "/d", home + "/e");
    Touch(home + "/e/inside.txt"); // the folder's watch followed its new name
    sfs::remove(home + "/B.txt");
    sfs::remove(home + "/e/inside.txt");
    sfs::remove(home + "/e");
    Settle();

    const std::string h = home + "/";
    const std::vector<LogRecord> expected = {
        Rec("File", "Created", h, "a.txt"),
        Rec("Folder", "Created", h, "d"),
        Rec("File", "Renamed", h, "a.txt", "b.txt"),
        Rec("File", "Renamed", h, "b.txt", "B.txt"),
        Rec("Folder", "Renamed", h, "d", "e"),
        Rec("File", "Created", h + "e/", "inside.txt"),
        Rec("File", "Deleted", h, "B.txt"),
        Rec("File", "Deleted", h + "e/", "inside.txt"),
        Rec("Folder", "Deleted", h, "e"),
    };
    EXPECT_EQ(Records(), expected);
}

TEST_F(LinuxCapture, MovesAcrossFoldersKeepBothPlacesOnRecord)
{
    sfs::create_directories(home + "/one/sub");
    sfs::create_directory(home + "/two");
    Touch(home + "/one/same.txt");
    Touch(home + "/one/old.txt");
    Start();

    sfs::rename(home + "/one/same.txt", home + "/two/same.txt");
    sfs::rename(home + "/one/old.txt", home + "/two/new.txt");
    sfs::rename(home + "/one/sub", home + "/two/moved");
    Touch(home + "/two/moved/later.txt");
    Settle();

    const std::string one = home + "/one/";
    const std::string two = home + "/two/";
    const std::vector<LogRecord> expected = {
        // Same name, other folder: as a rename its names would be equal and it would be lost.
        Rec("File", "Deleted", one, "same.txt"),
        Rec("File", "Created", two, "same.txt"),
        Rec("File", "Renamed", one, "old.txt", "new.txt"),
        Rec("Folder", "Renamed", one, "sub", "moved"),
        Rec("File", "Created", two + "moved/", "later.txt"),
    };
    EXPECT_EQ(Records(), expected);
}

TEST_F(LinuxCapture, TreesMadeAtOnceAreRecordedEntryByEntryExactlyOnce)
{
    Start();
    // mkdir -p with files written into the deepest folder at once, from several threads, so
    // new folders are listed while their own events are still arriving.
    constexpr int kThreads = 6;
    constexpr int kTrees = 5;
    constexpr int kFiles = 15;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kTrees; ++i) {
                const std::string deep = home + "/t" + std::to_string(t * kTrees + i) + "/a/b";
                sfs::create_directories(deep);
                for (int f = 0; f < kFiles; ++f) {
                    Touch(deep + "/f" + std::to_string(f));
                }
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    // A copied tree (cp -r): everything in it is new to the watched area.
    TempDir outside;
    sfs::create_directories(outside.path() + "/src/x/y");
    for (const char* f : {"/src/1", "/src/x/2", "/src/x/y/3", "/src/x/y/4"}) {
        Touch(outside.path() + f);
    }
    sfs::copy(outside.path() + "/src", home + "/copy", sfs::copy_options::recursive);
    Settle();

    std::map<std::string, int> expected;
    for (int t = 0; t < kThreads * kTrees; ++t) {
        const std::string top = home + "/t" + std::to_string(t);
        expected["Folder Created " + home + "/t" + std::to_string(t)] = 1;
        expected["Folder Created " + top + "/a"] = 1;
        expected["Folder Created " + top + "/a/b"] = 1;
        for (int f = 0; f < kFiles; ++f) {
            expected["File Created " + top + "/a/b/f" + std::to_string(f)] = 1;
        }
    }
    for (const char* f : {"/copy", "/copy/x", "/copy/x/y"}) {
        expected["Folder Created " + home + f] = 1;
    }
    for (const char* f : {"/copy/1", "/copy/x/2", "/copy/x/y/3", "/copy/x/y/4"}) {
        expected["File Created " + home + f] = 1;
    }
    EXPECT_EQ(Tally(Records()), expected);

    // And the copy deleted as a whole (rm -r): every entry once, from the inside out.
    const std::size_t before = Records().size();
    sfs::remove_all(home + "/copy");
    Settle();
    std::map<std::string, int> deleted;
    for (const char* f : {"/copy", "/copy/x", "/copy/x/y"}) {
        deleted["Folder Deleted " + home + f] = 1;
    }
    for (const char* f : {"/copy/1", "/copy/x/2", "/copy/x/y/3", "/copy/x/y/4"}) {
        deleted["File Deleted " + home + f] = 1;
    }
    const std::vector<LogRecord> all = Records();
    EXPECT_EQ(Tally({all.begin() + static_cast<std::ptrdiff_t>(before), all.end()}), deleted);
    EXPECT_EQ(all.back(), Rec("Folder", "Deleted", home + "/", "copy"));
}

TEST_F(LinuxCapture, ATreeMovedInIsOneFolderAndIsWatchedUntilItMovesOut)
{
    TempDir outside; // same file system as home, so these are renames, not copies
    sfs::create_directories(outside.path() + "/tree/deep/er");
    Touch(outside.path() + "/tree/deep/er/old.txt");
    Start();
    AgePast(outside.path() + "/tree/deep/er/old.txt");

    sfs::rename(outside.path() + "/tree", home + "/tree");
    // Before the reader can have put a watch on the tree: found by the listing.
    Touch(home + "/tree/deep/er/new.txt");
    Settle();
    sfs::rename(home + "/tree", outside.path() + "/gone");
    Touch(outside.path() + "/gone/deep/er/unseen.txt");
    sfs::create_directory(outside.path() + "/gone/deep/unseen");
    Touch(outside.path() + "/loose.txt");
    sfs::rename(outside.path() + "/loose.txt", home + "/loose.txt");
    sfs::rename(home + "/loose.txt", outside.path() + "/loose-out.txt");
    Settle();

    const std::vector<LogRecord> expected = {
        Rec("Folder", "Created", home + "/", "tree"),
        Rec("File", "Created", home + "/tree/deep/er/", "new.txt"),
        Rec("Folder", "Deleted", home + "/", "tree"),
        Rec("File", "Created", home + "/", "loose.txt"),
        Rec("File", "Deleted", home + "/", "loose.txt"),
    };
    EXPECT_EQ(Records(), expected);
}

TEST_F(LinuxCapture, NothingInsideHiddenFoldersOrTheDataFolderIsRecorded)
{
    sfs::create_directory(home + "/shown");
    Start();

    sfs::create_directories(home + "/.hidden/deep");
    Touch(home + "/.hidden/x");
    Touch(home + "/.hidden/deep/y");
    sfs::rename(home + "/.hidden/x", home + "/.hidden/z");
    AgePast(home + "/.hidden/z");
    // Hidden by a rename: its watches go.
    sfs::rename(home + "/shown", home + "/.shown");
    Touch(home + "/.shown/no.txt");
    // Shown by a rename: watched from now on.
    sfs::rename(home + "/.hidden", home + "/visible");
    Touch(home + "/visible/deep/yes.txt");
    // The data folder deleted under us is made again by the next record, unwatched.
    sfs::remove_all(folder.dataFolder());
    Touch(home + "/after.txt");
    Settle();

    const std::string h = home + "/";
    const std::vector<LogRecord> expected = {
        Rec("Folder", "Created", h, ".hidden"),
        Rec("Folder", "Renamed", h, "shown", ".shown"),
        Rec("Folder", "Renamed", h, ".hidden", "visible"),
        Rec("File", "Created", h + "visible/deep/", "yes.txt"),
        Rec("File", "Created", h, "after.txt"),
    };
    EXPECT_EQ(Records(), expected);
}

TEST_F(LinuxCapture, SymbolicLinksAreRecordedAsFilesAndNeverFollowed)
{
    TempDir outside;
    Start();

    sfs::create_directories(home + "/loop");
    sfs::create_directory_symlink("..", home + "/loop/up");       // a cycle back to home
    sfs::create_directory_symlink(outside.path(), home + "/out"); // and a way out of it
    sfs::create_directories(home + "/fresh");
    sfs::create_directory_symlink(home + "/fresh", home + "/fresh/self");
    Touch(home + "/loop/f.txt");
    Touch(outside.path() + "/elsewhere.txt");
    Settle();

    // What the listing of a new folder finds comes in directory order, so only the tally.
    const std::string h = home + "/";
    const std::map<std::string, int> expected = {
        {"Folder Created " + h + "loop", 1},     {"File Created " + h + "loop/up", 1},
        {"File Created " + h + "out", 1},        {"Folder Created " + h + "fresh", 1},
        {"File Created " + h + "fresh/self", 1}, {"File Created " + h + "loop/f.txt", 1},
    };
    EXPECT_EQ(Tally(Records()), expected);
}

TEST_F(LinuxCapture, NamesWithControlCharactersAndOddBytesStayOneRecordEach)
{
    Start();
    const std::vector<std::string> names = {"tab\there",   "line\nbreak",         "cr\rhere",
                                            "latin1-\xE9", std::string(250, 'n'), "sp ace"};
    for (const std::string& name : names) {
        Touch(home + "/" + name);
    }
    Settle();

    const std::vector<LogRecord> records = Records();
    ASSERT_EQ(records.size(), names.size());
    EXPECT_EQ(records[0].originalName, "tab\xE2\x90\x89here");
    EXPECT_EQ(records[1].originalName, "line\xE2\x90\x8A"
                                       "break");
    EXPECT_EQ(records[2].originalName, "cr\xE2\x90\x8Dhere");
    EXPECT_EQ(records[3].originalName, "latin1-\xE9");
    EXPECT_EQ(records[4].originalName, names[4]);
    EXPECT_EQ(records[5].originalName, "sp ace");
}

TEST_F(LinuxCapture, AQueueOverflowIsReportedOnceAndTheWatchesAreRebuilt)
{
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    int limit = 16384;
    limitFile >> limit;
    if (limit > 100000) {
        GTEST_SKIP() << "the kernel queue holds " << limit << " events; too many to overflow";
    }

    // Watched before the start: in a folder made while the reader is held, the listing of
    // the new folder would find the files without a single event.
    sfs::create_directory(home + "/first");
    sfs::create_directory(home + "/second");
    std::unique_lock hold(gate);
    Start({}, [&] { std::lock_guard pass(gate); });
    testing::internal::CaptureStderr();

    // Over the queue's size while the reader is held, with a folder made meanwhile.
    const auto burst = [&](const std::string& tag) {
        for (int i = 0; i <= limit; ++i) {
            Touch(home + "/" + tag + "/" + std::to_string(i));
        }
        sfs::create_directories(home + "/late-" + tag + "/in");
    };
    burst("first");
    hold.unlock();
    Settle();
    hold.lock();
    burst("second");
    hold.unlock();
    Settle();
    const std::string errors = testing::internal::GetCapturedStderr();

    const std::string message = "queue of file operations overflowed";
    ASSERT_NE(errors.find(message), std::string::npos) << errors;
    EXPECT_EQ(errors.find(message), errors.rfind(message)) << "reported more than once";

    // The folders made while events were lost are watched after the rescan.
    const std::size_t before = Records().size();
    Touch(home + "/late-first/in/seen.txt");
    Touch(home + "/late-second/in/seen.txt");
    Settle();
    const std::vector<LogRecord> records = Records();
    ASSERT_EQ(records.size(), before + 2);
    EXPECT_EQ(records[before], Rec("File", "Created", home + "/late-first/in/", "seen.txt"));
    EXPECT_EQ(records[before + 1], Rec("File", "Created", home + "/late-second/in/", "seen.txt"));
}

TEST_F(LinuxCapture, ABusyUserInterfaceLosesNothingAndStopDeliversWhatWasCaptured)
{
    Start();
    // The event loop does not run while the files are made: the reader must keep the kernel's
    // queue from overflowing on its own.
    constexpr int kFiles = 17000; // more than the kernel's queue holds by default
    for (int i = 0; i < kFiles; ++i) {
        Touch(home + "/busy" + std::to_string(i));
    }
    form->unload(); // no event loop turn in between
    std::vector<LogRecord> records = Records();
    ASSERT_EQ(records.size(), std::size_t(kFiles));
    for (int i = 0; i < kFiles; ++i) {
        ASSERT_EQ(records[i].originalName, "busy" + std::to_string(i)) << "out of order";
    }

    // Nothing reaches the journal after the stop.
    Touch(home + "/after-stop");
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(50ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(Records().size(), std::size_t(kFiles));
}

TEST_F(LinuxCapture, ABurstIsDeliveredInSlicesBetweenWhichTheEventLoopRuns)
{
    Start();
    constexpr int kFiles = 8000;
    for (int i = 0; i < kFiles; ++i) {
        Touch(home + "/slice" + std::to_string(i));
    }
    int recorded = 0;
    form->setRecordedCallback([&] { ++recorded; });
    // A timer of the same event loop notes every turn it gets while the burst is delivered.
    int turnsDuringBurst = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker,
                     [&] { turnsDuringBurst += recorded > 0 && recorded < kFiles; });
    ticker.start(0);
    ASSERT_TRUE(WaitFor([&] { return recorded == kFiles; }, 30s));
    EXPECT_GE(turnsDuringBurst, 2) << "the burst was delivered without yielding";
}

TEST_F(LinuxCapture, ADriveMountedBelowAMountRootIsAddedWatchedAndRemoved)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a tmpfs";
    }
    TempDir roots;
    const std::string media = Canonical(roots.path()) + "/media";
    const std::string stick = media + "/user/MY STICK";
    sfs::create_directories(stick);
    sfs::create_directories(media + "/user/early");
    // Whatever happens below, no mount outlives the test (a no-op once unmounted).
    struct Unmount
    {
        std::vector<std::string> points;
        ~Unmount()
        {
            for (const std::string& p : points) {
                ::umount2(p.c_str(), MNT_DETACH);
            }
        }
    } unmount{{stick, media + "/user/early"}};
    if (::mount("zlvtest", (media + "/user/early").c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "mounting a tmpfs is not allowed here: " << std::strerror(errno);
    }
    sfs::create_directory(media + "/user/early/was-there");
    Start({media});

    ASSERT_EQ(::mount("zlvtest", stick.c_str(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    Settle(); // the mount is handled before the file below it is made
    Touch(stick + "/on-stick.txt");
    Touch(media + "/user/early/was-there/f.txt"); // mounted before the start, watched too
    Settle();
    EXPECT_EQ(::umount2(stick.c_str(), MNT_DETACH), 0);
    EXPECT_EQ(::umount2((media + "/user/early").c_str(), MNT_DETACH), 0);
    WaitFor([&] { return Records().size() >= 5; });

    const std::vector<LogRecord> expected = {
        Rec("Driver", "Added", stick + "/", "MY STICK"),
        Rec("File", "Created", stick + "/", "on-stick.txt"),
        Rec("File", "Created", media + "/user/early/was-there/", "f.txt"),
        Rec("Driver", "Removed", stick + "/", "MY STICK"),
        Rec("Driver", "Removed", media + "/user/early/", "early"),
    };
    EXPECT_EQ(Records(), expected);
}
