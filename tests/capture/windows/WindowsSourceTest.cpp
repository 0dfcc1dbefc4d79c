#include "WinTestSupport.h"
#include "capture/frmPubHide.h"
#include "capture/windows/WindowsNotificationSource.h"
#include "capture/windows/mdlPubSHNotify.h"
#include "mock/ManualClock.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

using namespace zlv;
using namespace zlv::test;

namespace {

void Notify(LONG event, const std::string& item1, const std::string& item2 = {})
{
    SHChangeNotify(event, SHCNF_PATHA, item1.c_str(), item2.empty() ? nullptr : item2.c_str());
}

void MakeFile(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    CloseHandle(h);
}

class CaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.establish(appData.path()));
        form.setRecordedCallback([this] { ++recorded; });
        ASSERT_TRUE(form.load());
        source = dynamic_cast<WindowsNotificationSource*>(form.source());
        ASSERT_NE(source, nullptr);
        ASSERT_NE(source->window(), nullptr);
    }

    bool WaitForRecords(int count)
    {
        return PumpUntil([&] { return recorded >= count; });
    }
    std::string Today() const { return ReadAll(folder.dayFilePath(clock.now().date)); }
    // A line of the day file about an item in the folder the test works in, or in `path`.
    std::string Line(const std::string& object, const std::string& action, const std::string& name,
                     const std::string& newName = {}, const std::string& path = {}) const
    {
        return "2024-03-05 14:07:09\t" + object + "\t" + action + "\t" +
               (path.empty() ? work.path() + "\\" : path) + "\t" + name + "\t" + newName + "\r\n";
    }

    ScriptedMessages messages;
    TempDir appData;
    TempDir work;
    DataFolder folder;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 14, 7, 9}};
    frmPubHide form{folder, std::make_unique<WindowsNotificationSource>(), clock};
    WindowsNotificationSource* source = nullptr;
    int recorded = 0;
};

} // namespace

TEST_F(CaptureTest, WhatTheShellReportsToEveryRegisteredWindowBecomesOneLineEachOrIsDropped)
{
    // A second window registered beside the capture window, whose registration is tested
    // too: it proves that the shell delivered what the journal then dropped.
    PlainWindow witness;
    auto shell = std::make_unique<mdlPubSHNotify>();
    EXPECT_FALSE(shell->deregister()) << "nothing registered yet";
    ASSERT_TRUE(shell->registerWindow(witness.handle()));
    EXPECT_NE(shell->handle(), 0u);
    ASSERT_NE(shell->desktopItemList(), nullptr);
    EXPECT_EQ(shell->desktopItemList()->mkid.cb, 0) << "the desktop is the empty list";
    const ULONG handle = shell->handle();
    EXPECT_FALSE(shell->registerWindow(witness.handle()));
    EXPECT_EQ(shell->handle(), handle);
    EXPECT_EQ(mdlPubSHNotify::SpecialFolderItemList(nullptr, 0x7F), nullptr) << "no such folder";

    const std::string a = work / "a.txt";
    const std::string b = work / "b.txt";
    const std::string sub = work / "sub";
    const std::string sub2 = work / "sub2";
    // e acute: one byte in the Western code pages, two in UTF-8; written byte for byte.
    const std::string cafe = GetACP() == CP_UTF8 ? "caf\xC3\xA9.txt" : "caf\xE9.txt";
    MakeFile(a);
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
    MakeFile(work / cafe);
    Notify(SHCNE_CREATE, work / cafe);
    // Events without a record arrive and are dropped.
    Notify(SHCNE_UPDATEITEM, work / cafe);
    Notify(SHCNE_ATTRIBUTES, work / cafe);
    Notify(SHCNE_UPDATEDIR, work.path());
    Notify(SHCNE_NETSHARE, work.path());
    for (const LONG event : {SHCNE_FREESPACE, SHCNE_DRIVEADDGUI, SHCNE_MEDIAINSERTED,
                             SHCNE_MEDIAREMOVED, SHCNE_DRIVEADD, SHCNE_DRIVEREMOVED}) {
        Notify(event, "C:\\");
    }
    ASSERT_TRUE(PumpUntil([&] { return witness.count(kNotify) >= 17; }))
        << witness.count(kNotify) << " of 17 delivered";
    ASSERT_TRUE(WaitForRecords(11)) << Today();
    PumpFor(200);
    EXPECT_EQ(witness.count(kNotify), 17) << "registered once, so one message per change";

    SHFILEINFOA info{};
    ASSERT_NE(SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_DISPLAYNAME), 0u);
    const std::string drive = info.szDisplayName;
    ASSERT_FALSE(drive.empty());
    const std::string lines =
        Line("File", "Created", "a.txt") + Line("Folder", "Created", "sub") +
        Line("File", "Renamed", "a.txt", "b.txt") + Line("Folder", "Renamed", "sub", "sub2") +
        Line("File", "Deleted", "b.txt") + Line("Folder", "Deleted", "sub2") +
        Line("File", "Created", cafe) + Line("Storage Media", "Inserted", drive, {}, "C:\\") +
        Line("Storage Media", "Removed", drive, {}, "C:\\") +
        Line("Driver", "Added", drive, {}, "C:\\") + Line("Driver", "Removed", drive, {}, "C:\\");
    EXPECT_EQ(Today(), lines);

    // Deregistered, the witness gets nothing; registered again, it does.
    EXPECT_TRUE(shell->deregister());
    EXPECT_EQ(shell->handle(), 0u);
    EXPECT_EQ(shell->desktopItemList(), nullptr);
    EXPECT_FALSE(shell->deregister());
    const std::string after = work / "after.txt";
    Notify(SHCNE_CREATE, after);
    ASSERT_TRUE(WaitForRecords(12));
    PumpFor(200);
    EXPECT_EQ(witness.count(kNotify), 17);
    ASSERT_TRUE(shell->registerWindow(witness.handle()));

    // Unloaded, capture ends its registration, removes its subclass (or the window would
    // say so as it goes) and records nothing more.
    const HWND window = source->window();
    form.unload();
    EXPECT_FALSE(source->registration().isRegistered());
    EXPECT_EQ(source->registration().desktopItemList(), nullptr);
    EXPECT_EQ(source->window(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    Notify(SHCNE_CREATE, after);
    EXPECT_TRUE(PumpUntil([&] { return witness.count(kNotify) == 18; }));
    PumpFor(200);
    EXPECT_EQ(witness.count(kNotify), 18);
    EXPECT_EQ(recorded, 12);

    // Ending the registration object ends the registration; loading again starts over with
    // a new window and a new registration.
    shell.reset();
    ASSERT_TRUE(form.load());
    EXPECT_TRUE(source->registration().isRegistered());
    EXPECT_NE(GetPropA(source->window(), "OldWndProc"), nullptr);
    Notify(SHCNE_MKDIR, work / "again");
    ASSERT_TRUE(WaitForRecords(13));
    PumpFor(200);
    EXPECT_EQ(witness.count(kNotify), 18);
    EXPECT_EQ(Today(),
              lines + Line("File", "Created", "after.txt") + Line("Folder", "Created", "again"));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(CaptureTest, FlaggedEventsAreNotRecordedAndMessagesWithBogusPointersAreHarmless)
{
    // This shell does not deliver interrupt-flagged notifications made in-process, so the
    // message is handed to the window the way the shell would, with a real item list and
    // the event as a signed 32-bit value.
    const std::string file = work / "flagged.txt";
    MakeFile(file);
    PIDLIST_ABSOLUTE list = ILCreateFromPathA(file.c_str());
    ASSERT_NE(list, nullptr);
    PCIDLIST_ABSOLUTE items[2] = {list, nullptr};
    const HWND window = source->window();
    SendMessageA(window, kNotify, reinterpret_cast<WPARAM>(items),
                 LONG(SHCNE_CREATE | SHCNE_INTERRUPT));
    EXPECT_EQ(recorded, 0);
    SendMessageA(window, kNotify, reinterpret_cast<WPARAM>(items), SHCNE_CREATE);
    EXPECT_EQ(recorded, 1) << "the same message without the flag is a record";
    CoTaskMemFree(list);

    // Any program can post 0x401 to a top-level window; its wParam is then no address of
    // ours. A page that is reserved but not committed and one committed without access
    // stand for addresses that cannot be read.
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    void* noAccess = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    ASSERT_NE(noAccess, nullptr);
    const void* unreadable[2] = {reserved, noAccess};
    const void* nulls[2] = {nullptr, nullptr};
    for (const WPARAM bogus :
         {WPARAM(0), WPARAM(0x10), reinterpret_cast<WPARAM>(reserved),
          reinterpret_cast<WPARAM>(unreadable), reinterpret_cast<WPARAM>(nulls)}) {
        for (const LONG event : {SHCNE_CREATE, SHCNE_RENAMEITEM, SHCNE_UPDATEIMAGE}) {
            PostMessageA(window, kNotify, bogus, event);
        }
    }
    Notify(SHCNE_CREATE, work / "still-working.txt");
    ASSERT_TRUE(WaitForRecords(2));
    PumpFor(100);
    EXPECT_EQ(recorded, 2);
    EXPECT_EQ(Today(), Line("File", "Created", "flagged.txt") +
                           Line("File", "Created", "still-working.txt"));
    VirtualFree(reserved, 0, MEM_RELEASE);
    VirtualFree(noAccess, 0, MEM_RELEASE);
}

TEST(WindowsSourceFolders, NotificationsAboutTheIgnoredFolderAreNotHandedOn)
{
    ScriptedMessages messages;
    TempDir journal;
    TempDir work;
    std::vector<std::string> seen;
    WindowsNotificationSource source(journal.path() + "\\");
    ASSERT_TRUE(source.start([&](const Notification& n) {
        seen.push_back(n.item1 ? n.item1->displayName : std::string("(none)"));
    }));
    Notify(SHCNE_CREATE, journal / "05.log");
    Notify(SHCNE_MKDIR, journal.path());
    Notify(SHCNE_CREATE, journal.path() + "2\\next.txt"); // a sibling is not inside
    Notify(SHCNE_CREATE, work / "kept.txt");
    ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 2; }));
    PumpFor(100);
    EXPECT_EQ(seen, (std::vector<std::string>{"next.txt", "kept.txt"}));

    // Whatever the case; an empty folder ignores nothing.
    EXPECT_TRUE(WindowsNotificationSource::IsInFolder("c:\\data\\zlv\\LOGS", "C:\\Data\\ZLV"));
    EXPECT_FALSE(WindowsNotificationSource::IsInFolder("C:\\Data", "C:\\Data\\ZLV"));
    EXPECT_FALSE(WindowsNotificationSource::IsInFolder("C:\\a.txt", ""));
}
