// What real programs do on disk, made for real in a temporary home: the journal must hold
// what the user did, not the programs' temporary, lock, backup and download files.
#include "LinuxCaptureFixture.h"
#include "capture/linux/NameSet.h"

#include <atomic>
#include <fstream>
#include <numeric>
#include <random>
#include <set>

using namespace zlv;
using namespace zlv::test;

namespace {

// Longer than the shipped settle time, so that a busy test machine pausing between two
// steps of one program's sequence does not split it.
constexpr auto kSettle = 2000ms;

void Rename(const std::string& from, const std::string& to)
{
    ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0) << from << " -> " << to;
}

} // namespace

TEST_F(LinuxCapture, ProgramsSavingLockingAndDownloadingLeaveOnlyWhatTheUserMade)
{
    const std::string doc = home + "/Documents";
    const std::string dl = home + "/Downloads";
    sfs::create_directories(doc);
    sfs::create_directories(dl);
    for (const char* name :
         {"notes.txt", "report.odt", "vim.txt", "chain-a", "back.txt", "draft.txt"}) {
        WriteAll(doc + "/" + name, "some text");
    }
    Start({}, {}, {}, kSettle);

    // A GTK editor saves an existing file, then a new one, through GIO's temporary name.
    WriteAll(doc + "/.goutputstream-AB12CD", "saved");
    Rename(doc + "/.goutputstream-AB12CD", doc + "/notes.txt");
    WriteAll(doc + "/.goutputstream-XY34EF", "new");
    Rename(doc + "/.goutputstream-XY34EF", doc + "/todo.txt");
    // LibreOffice: its lock, a temporary file renamed over the document, the lock removed.
    WriteAll(doc + "/.~lock.report.odt#", "some text");
    WriteAll(doc + "/lu1234abcd.tmp", "document");
    Rename(doc + "/lu1234abcd.tmp", doc + "/report.odt");
    sfs::remove(doc + "/.~lock.report.odt#");
    // vim: its swap file, its probe, and the backup dance.
    WriteAll(doc + "/.vim.txt.swp", "some text");
    Touch(doc + "/4913");
    sfs::remove(doc + "/4913");
    Rename(doc + "/vim.txt", doc + "/vim.txt~");
    WriteAll(doc + "/vim.txt", "edited");
    sfs::remove(doc + "/vim.txt~");
    sfs::remove(doc + "/.vim.txt.swp");
    // Firefox: an empty placeholder, the .part file, the placeholder removed, .part renamed.
    Touch(dl + "/photo.zip");
    WriteAll(dl + "/photo.zip.part", "zip");
    sfs::remove(dl + "/photo.zip");
    Rename(dl + "/photo.zip.part", dl + "/photo.zip");
    // Chromium: a name of its own, then the final one with its ending, then the final one.
    WriteAll(dl + "/Unconfirmed 123.crdownload", "pdf");
    Rename(dl + "/Unconfirmed 123.crdownload", dl + "/doc.pdf.crdownload");
    Rename(dl + "/doc.pdf.crdownload", dl + "/doc.pdf");
    // The user: a chain of renames, a rename back, a file that merely ends in .tmp, and a
    // folder made, filled and named.
    Rename(doc + "/chain-a", doc + "/chain-b");
    Rename(doc + "/chain-b", doc + "/chain-c");
    Rename(doc + "/back.txt", doc + "/back2.txt");
    Rename(doc + "/back2.txt", doc + "/back.txt");
    Touch(doc + "/notes.tmp");
    sfs::create_directory(doc + "/New Folder");
    Touch(doc + "/New Folder/in.txt");
    Rename(doc + "/New Folder", doc + "/Project");
    // Saved, then renamed: to the user the saved file is the one that was there.
    WriteAll(doc + "/.goutputstream-R1", "saved");
    Rename(doc + "/.goutputstream-R1", doc + "/draft.txt");
    Rename(doc + "/draft.txt", doc + "/final.txt");
    // A download that takes its time: nothing while its name says it is unfinished.
    WriteAll(dl + "/big.iso.part", "iso");
    WriteAll(home + "/.viminfo", "some text");
    Settle();

    const std::string d = doc + "/";
    const std::vector<std::string> expected = {
        Rec("File", "Created", d, "todo.txt"),
        Rec("File", "Created", dl + "/", "photo.zip"),
        Rec("File", "Created", dl + "/", "doc.pdf"),
        Rec("File", "Renamed", d, "chain-a", "chain-c"),
        Rec("File", "Created", d, "notes.tmp"),
        Rec("Folder", "Created", d, "Project"),
        Rec("File", "Created", d + "Project/", "in.txt"),
        Rec("File", "Renamed", d, "draft.txt", "final.txt"),
    };
    EXPECT_EQ(Records(), expected);

    Rename(dl + "/big.iso.part", dl + "/big.iso");
    Settle();
    EXPECT_EQ(Records().back(), Rec("File", "Created", dl + "/", "big.iso"));
    EXPECT_EQ(Records().size(), expected.size() + 1);
}

TEST_F(LinuxCapture, AFileStillBeingWrittenIsRecordedWithinFiveSecondsAndOnceOnly)
{
    Start({}, {}, {}, kSettle);
    const auto made = std::chrono::steady_clock::now();
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        std::ofstream out(home + "/recording.mkv", std::ios::binary);
        while (writing) {
            out << std::string(4096, 'v') << std::flush;
            std::this_thread::sleep_for(50ms);
        }
    });
    const bool seen = WaitFor([&] { return !Records().empty(); }, 8s);
    const auto after = std::chrono::steady_clock::now() - made;
    writing = false;
    writer.join();
    ASSERT_TRUE(seen) << "held while it kept changing";
    EXPECT_LT(after, 5s);
    Settle();
    EXPECT_EQ(Records(),
              std::vector<std::string>{Rec("File", "Created", home + "/", "recording.mkv")});
}

TEST_F(LinuxCapture, AStopWritesWhatIsStillSettlingAsItsNetEffect)
{
    sfs::create_directory(home + "/kept");
    WriteAll(home + "/kept/old.txt", "some text");
    Start({}, {}, {}, 60s); // nothing would settle by itself during this test
    constexpr int kFiles = 500;
    for (int i = 0; i < kFiles; ++i) {
        Touch(home + "/kept/f" + std::to_string(i));
    }
    WriteAll(home + "/kept/.goutputstream-Q1", "x");
    Rename(home + "/kept/.goutputstream-Q1", home + "/kept/old.txt");
    Rename(home + "/kept/f0", home + "/kept/first");
    WaitFor([] { return false; }, 300ms);
    ASSERT_TRUE(Records().empty()) << "settled before the stop: nothing to show";
    form->unload(); // what an orderly end (a close, a signal, a logout) runs

    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), std::size_t(kFiles));
    const std::string k = home + "/kept/";
    EXPECT_EQ(records.front(), Rec("File", "Created", k, "first"));
    for (int i = 1; i < kFiles; ++i) {
        ASSERT_EQ(records[i], Rec("File", "Created", k, "f" + std::to_string(i)));
    }
}

TEST(NameSet, HoldsWhatAFolderHoldsThroughGrowthShrinkingAndDeletion)
{
    // Against a plain set, through a folder's life: filled, partly emptied in random order
    // (each deletion shifts the entries after it), filled again, emptied.
    linuxcapture::NameSet names;
    std::set<std::string> truth;
    std::mt19937 random(7);
    const auto name = [](int i) { return "entry-" + std::to_string(i); };
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 5000; ++i) {
            names.insert(name(i));
            truth.insert(name(i));
        }
        std::vector<int> order(5000);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        for (int i = 0; i < (round == 2 ? 5000 : 4990); ++i) {
            names.erase(name(order[i]));
            truth.erase(name(order[i]));
        }
        ASSERT_EQ(names.size(), truth.size());
        for (int i = 0; i < 5000; ++i) {
            ASSERT_EQ(names.contains(name(i)), truth.count(name(i)) == 1) << name(i);
        }
        EXPECT_FALSE(names.contains("never"));
    }
    EXPECT_EQ(names.heapBytes(), 0u) << "an empty folder keeps no table";
}
