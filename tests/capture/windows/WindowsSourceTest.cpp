#include "WinTestSupport.h"
#include "capture/frmPubHide.h"
#include "capture/windows/WindowsNotificationSource.h"
#include "capture/windows/mdlPubSHNotify.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

using namespace zlv;
using zlv::test::PlainWindow;
using zlv::test::PumpFor;
using zlv::test::PumpUntil;
using zlv::test::ReadAll;
using zlv::test::ScriptedMessages;
using zlv::test::TempDir;

namespace {

constexpr const char* kStamp = "2024-03-05 14:07:09";

// What the shell passes in lParam: the event as a signed 32-bit value.
LPARAM EventParam(std::uint32_t event)
{
    return static_cast<LPARAM>(static_cast<LONG>(event));
}

class CaptureTest : public ::testing::Test
{
protected:
    explicit CaptureTest(
        std::unique_ptr<NotificationSource> source = CreateWindowsNotificationSource())
        : form(folder, std::move(source), clock)
    {}

    void SetUp() override
    {
        ASSERT_TRUE(folder.establish(appData.path()));
        form.setRecordedCallback([this] { ++recorded; });
        ASSERT_TRUE(form.load());
        source = dynamic_cast<WindowsNotificationSource*>(form.source());
        ASSERT_NE(source, nullptr);
        ASSERT_NE(source->window(), nullptr);
    }

    static void Notify(LONG event, const std::string& item1, const std::string& item2 = {})
    {
        SHChangeNotify(event, SHCNF_PATHA, item1.c_str(), item2.empty() ? nullptr : item2.c_str());
    }
    bool WaitForRecords(int count)
    {
        return PumpUntil([&] { return recorded >= count; });
    }
    std::string Today() const { return ReadAll(folder.dayFilePath(clock.now().date)); }
    std::string Folder() const { return work.path() + "\\"; }
    static std::string Line(const std::string& object, const std::string& action,
                            const std::string& path, const std::string& name,
                            const std::string& newName = {})
    {
        return std::string(kStamp) + "\t" + object + "\t" + action + "\t" + path + "\t" + name +
               "\t" + newName + "\r\n";
    }

    ScriptedMessages messages;
    TempDir appData;
    TempDir work;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 14, 7, 9}};
    frmPubHide form;
    WindowsNotificationSource* source = nullptr;
    int recorded = 0;
};

} // namespace

TEST_F(CaptureTest, FileAndFolderOperationsInTheShellBecomeOneLineEach)
{
    const std::string a = work / "a.txt";
    const std::string b = work / "b.txt";
    const std::string sub = work / "sub";
    const std::string sub2 = work / "sub2";

    CloseHandle(CreateFileA(a.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    Notify(SHCNE_CREATE, a);
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    Notify(SHCNE_MKDIR, sub);
    ASSERT_TRUE(MoveFileA(a.c_str(), b.c_str()));
    Notify(SHCNE_RENAMEITEM, a, b);
    ASSERT_TRUE(MoveFileA(sub.c_str(), sub2.c_str()));
    Notify(SHCNE_RENAMEFOLDER, sub, sub2);
    ASSERT_TRUE(DeleteFileA(b.c_str()));
    Notify(SHCNE_DELETE, b);
    ASSERT_TRUE(RemoveDirectoryA(sub2.c_str()));
    Notify(SHCNE_RMDIR, sub2);

    ASSERT_TRUE(WaitForRecords(6)) << Today();
    EXPECT_EQ(Today(), Line("File", "Created", Folder(), "a.txt") +
                           Line("Folder", "Created", Folder(), "sub") +
                           Line("File", "Renamed", Folder(), "a.txt", "b.txt") +
                           Line("Folder", "Renamed", Folder(), "sub", "sub2") +
                           Line("File", "Deleted", Folder(), "b.txt") +
                           Line("Folder", "Deleted", Folder(), "sub2"));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(CaptureTest, EventsWithoutARecordArriveAndAreDropped)
{
    // A second window registered beside the capture window proves that the shell did
    // deliver what the journal then dropped.
    PlainWindow witness;
    mdlPubSHNotify witnessRegistration;
    ASSERT_TRUE(witnessRegistration.registerWindow(witness.handle()));

    const std::string file = work / "kept.txt";
    CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    Notify(SHCNE_UPDATEITEM, file);
    Notify(SHCNE_ATTRIBUTES, file);
    Notify(SHCNE_UPDATEDIR, work.path());
    Notify(SHCNE_FREESPACE, "C:\\");
    Notify(SHCNE_DRIVEADDGUI, "C:\\");
    Notify(SHCNE_NETSHARE, work.path());
    const std::string marker = work / "marker.txt";
    Notify(SHCNE_CREATE, marker);

    ASSERT_TRUE(WaitForRecords(1));
    ASSERT_TRUE(PumpUntil([&] { return witness.count(0x0401) >= 7; }))
        << witness.count(0x0401) << " of 7 delivered";
    PumpFor(100);
    EXPECT_EQ(recorded, 1);
    EXPECT_EQ(Today(), Line("File", "Created", Folder(), "marker.txt"));
}

TEST_F(CaptureTest, TheInterruptFlagMakesAnEventUnrecorded)
{
    // This shell does not deliver interrupt-flagged notifications made in-process, so the
    // message is handed to the window the way the shell would, with a real item list.
    const std::string file = work / "flagged.txt";
    CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    PIDLIST_ABSOLUTE list = ILCreateFromPathA(file.c_str());
    ASSERT_NE(list, nullptr);
    PCIDLIST_ABSOLUTE items[2] = {list, nullptr};
    const auto wParam = reinterpret_cast<WPARAM>(items);

    SendMessageA(source->window(), 0x0401, wParam, EventParam(SHCNE_CREATE | SHCNE_INTERRUPT));
    EXPECT_EQ(recorded, 0);
    SendMessageA(source->window(), 0x0401, wParam, EventParam(SHCNE_CREATE));
    EXPECT_EQ(recorded, 1) << "the same message without the flag is a record";
    EXPECT_EQ(Today(), Line("File", "Created", Folder(), "flagged.txt"));
    CoTaskMemFree(list);
}

TEST_F(CaptureTest, MediaAndDriveEventsRecordTheDrive)
{
    SHFILEINFOA info{};
    ASSERT_NE(SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_DISPLAYNAME), 0u);
    const std::string drive = info.szDisplayName;
    ASSERT_FALSE(drive.empty());

    Notify(SHCNE_MEDIAINSERTED, "C:\\");
    Notify(SHCNE_MEDIAREMOVED, "C:\\");
    Notify(SHCNE_DRIVEADD, "C:\\");
    Notify(SHCNE_DRIVEREMOVED, "C:\\");
    ASSERT_TRUE(WaitForRecords(4)) << Today();
    EXPECT_EQ(Today(), Line("Storage Media", "Inserted", "C:\\", drive) +
                           Line("Storage Media", "Removed", "C:\\", drive) +
                           Line("Driver", "Added", "C:\\", drive) +
                           Line("Driver", "Removed", "C:\\", drive));
}

TEST_F(CaptureTest, NamesInTheAnsiCodePageAreWrittenByteForByte)
{
    // e acute: one byte in the Western code pages, two in UTF-8.
    const std::string name = GetACP() == CP_UTF8 ? "caf\xC3\xA9.txt" : "caf\xE9.txt";
    const std::string file = work / name;
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    Notify(SHCNE_CREATE, file);
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_EQ(Today(), Line("File", "Created", Folder(), name));
}

TEST_F(CaptureTest, UnloadEndsTheRegistrationRemovesTheSubclassAndRecordsNothingMore)
{
    const HWND window = source->window();
    form.unload();
    EXPECT_FALSE(source->registration().isRegistered());
    EXPECT_EQ(source->registration().handle(), 0u);
    EXPECT_EQ(source->registration().desktopItemList(), nullptr);
    EXPECT_EQ(source->window(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    // Had the window been destroyed while still subclassed, it would have said so.
    EXPECT_TRUE(messages.shown().empty());

    const std::string file = work / "after.txt";
    Notify(SHCNE_CREATE, file);
    PumpFor(300);
    EXPECT_EQ(recorded, 0);
    EXPECT_EQ(Today(), "");

    // Loading again starts over with a new window and a new registration.
    ASSERT_TRUE(form.load());
    EXPECT_TRUE(source->registration().isRegistered());
    EXPECT_NE(GetPropA(source->window(), "OldWndProc"), nullptr);
    Notify(SHCNE_CREATE, file);
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_EQ(Today(), Line("File", "Created", Folder(), "after.txt"));
}

TEST_F(CaptureTest, MessagesFromOtherProgramsWithBogusPointersAreHarmless)
{
    // Any program can post 0x401 to a top-level window; its wParam is then no address
    // of ours. A page that is reserved but not committed and one committed without
    // access stand for addresses that cannot be read.
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    void* noAccess = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    ASSERT_NE(noAccess, nullptr);
    const void* unreadable[2] = {reserved, noAccess};
    const void* nulls[2] = {nullptr, nullptr};
    const HWND window = source->window();

    for (const WPARAM bogus :
         {WPARAM(0), WPARAM(0x10), reinterpret_cast<WPARAM>(reserved),
          reinterpret_cast<WPARAM>(unreadable), reinterpret_cast<WPARAM>(nulls)}) {
        PostMessageA(window, 0x0401, bogus, EventParam(SHCNE_CREATE));
        PostMessageA(window, 0x0401, bogus, EventParam(SHCNE_RENAMEITEM));
        PostMessageA(window, 0x0401, bogus, EventParam(SHCNE_UPDATEIMAGE));
    }
    const std::string marker = work / "still-working.txt";
    Notify(SHCNE_CREATE, marker);
    ASSERT_TRUE(WaitForRecords(1));
    PumpFor(100);
    EXPECT_EQ(recorded, 1);
    EXPECT_EQ(Today(), Line("File", "Created", Folder(), "still-working.txt"));

    VirtualFree(reserved, 0, MEM_RELEASE);
    VirtualFree(noAccess, 0, MEM_RELEASE);
}

TEST(WindowsSourceFolders, NotificationsAboutTheIgnoredFolderAreNotHandedOn)
{
    ScriptedMessages messages;
    TempDir journal;
    TempDir work;
    const std::string sibling = journal.path() + "2";
    std::vector<std::string> seen;
    WindowsNotificationSource source(journal.path() + "\\");
    ASSERT_TRUE(source.start([&](const Notification& n) {
        seen.push_back(n.item1 ? n.item1->displayName : std::string("(none)"));
    }));

    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, (journal / "05.log").c_str(), nullptr);
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, journal.path().c_str(), nullptr);
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, (sibling + "\\next.txt").c_str(), nullptr);
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, (work / "kept.txt").c_str(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 2; }));
    PumpFor(100);
    EXPECT_EQ(seen, (std::vector<std::string>{"next.txt", "kept.txt"}));

    // The folder itself and anything below it, whatever the case; never a sibling.
    EXPECT_TRUE(WindowsNotificationSource::IsInFolder("c:\\data\\zlv\\LOGS", "C:\\Data\\ZLV"));
    EXPECT_FALSE(WindowsNotificationSource::IsInFolder("C:\\Data", "C:\\Data\\ZLV"));
    EXPECT_FALSE(WindowsNotificationSource::IsInFolder("C:\\a.txt", "")) << "empty ignores nothing";
}
