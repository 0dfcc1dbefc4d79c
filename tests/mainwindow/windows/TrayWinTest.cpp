// The notification area under a real X server with a window manager that has one (icewm),
// run by tray-under-x.sh, which clicks the icon when this program says it is there.
#include "capture/PlatformSource.h"
#include "mainwindow/windows/CommandIds.h"
#include "mainwindow/windows/frmPubMain.h"
#include "mainwindow/windows/mdlPubTrayIcon.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/windows/WindowDriver.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <shlobj.h>

using namespace zlv;
using namespace zlv::test;
namespace tray = zlv::win::mdlPubTrayIcon;

namespace {

constexpr DWORD kPatienceMs = 60000;

// The shell still knows the window's icon when it lets it be changed.
bool IconShown(HWND window)
{
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

// Tells tray-under-x.sh that the icon waits for its click.
void AskForAClick()
{
    const char* marker = std::getenv("ZLV_TRAY_MARKER");
    ASSERT_NE(marker, nullptr) << "run by tray-under-x.sh";
    const HANDLE file =
        CreateFileW(DosPath(marker).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

} // namespace

TEST(TrayWin, AMinimisedWindowWaitsInTheNotificationAreaUntilAPressBringsItBack)
{
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&init);
    ScriptedMessages messages;
    TempDir appData;
    TempDir work;
    win::frmPubMain::Options options;
    options.appData = appData.path();
    options.quitOnDestroy = false;
    options.makeSource = [](const DataFolder& f) { return CreatePlatformNotificationSource(f); };
    win::frmPubMain window(std::move(options));
    ASSERT_TRUE(window.create(SW_SHOWNORMAL));
    const HWND main = window.hwnd();
    const HWND today = GetDlgItem(main, IDC_lsvToday);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(main) != FALSE; }, kPatienceMs));
    RECT before{};
    GetWindowRect(main, &before);

    for (const bool realClick : {true, false}) {
        ShowWindow(main, SW_MINIMIZE);
        ASSERT_TRUE(PumpUntil([&] { return tray::InTray(); }, kPatienceMs)) << "no icon taken";
        EXPECT_FALSE(IsWindowVisible(main)) << "gone from the screen and the taskbar";
        EXPECT_TRUE(IconShown(main));

        // Meanwhile nothing but a press on the icon reaches the window, and recording goes on.
        PostMessageW(main, tray::kCallbackMessage, 0, WM_MOUSEMOVE);
        PostMessageW(main, tray::kCallbackMessage, 0, WM_LBUTTONUP);
        PostMessageW(main, WM_CLOSE, 0, 0);
        const std::string file = work / (realClick ? "in-tray.txt" : "in-tray-again.txt");
        CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA | SHCNF_FLUSH, file.c_str(), nullptr);
        PumpFor(300);
        EXPECT_TRUE(tray::InTray());
        EXPECT_FALSE(IsWindowVisible(main));
        EXPECT_TRUE(messages.shown().empty()) << "a hidden window is not asked to close";

        if (realClick) {
            AskForAClick();
        } else {
            // A right press, as the shell reports it.
            PostMessageW(main, tray::kCallbackMessage, 0, WM_RBUTTONDOWN);
        }
        ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(main) != FALSE; }, kPatienceMs))
            << "the press did not bring the window back";
        PumpFor(200);
        EXPECT_FALSE(tray::InTray());
        EXPECT_FALSE(IsIconic(main)) << "in its normal state";
        EXPECT_FALSE(IconShown(main)) << "the icon went";
        RECT after{};
        GetWindowRect(main, &after);
        EXPECT_EQ(after.left, before.left) << "where it stood";
        EXPECT_EQ(after.top, before.top);
        EXPECT_EQ(ItemCount(today), realClick ? 1 : 2) << "what was recorded meanwhile";
    }
}
