#include "support/windows/MainWindowFixture.h"
#include "utility/FileSystem.h"
#include "utility/ProductVersion.h"
#include "utility/windows/FormMetrics.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <thread>

using namespace zlv;
using namespace zlv::test;

namespace {

// The texts of one column from the top, joined by '|'; of the first `rows` at most.
std::wstring Column(HWND list, int column, int rows = INT_MAX)
{
    std::wstring out;
    for (int row = 0; row < std::min(rows, ItemCount(list)); ++row) {
        out += (row ? L"|" : L"") + ItemText(list, row, column);
    }
    return out;
}

// What a list has painted on its window, taken as a picture of its client area.
class Painted
{
public:
    explicit Painted(HWND list) : m_list(list)
    {
        GetClientRect(list, &m_client);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const HDC screen = GetDC(list);
        m_dc = CreateCompatibleDC(screen);
        m_picture = CreateCompatibleBitmap(screen, m_client.right, m_client.bottom);
        m_before = SelectObject(m_dc, m_picture);
        BitBlt(m_dc, 0, 0, m_client.right, m_client.bottom, screen, 0, 0, SRCCOPY);
        ReleaseDC(list, screen);
    }
    ~Painted()
    {
        SelectObject(m_dc, m_before);
        DeleteObject(m_picture);
        DeleteDC(m_dc);
    }
    COLORREF at(int x, int y) const { return GetPixel(m_dc, x, y); }
    int width() const { return m_client.right; }
    // Whether any pixel of a row is painted in `colour`.
    bool rowHas(int row, COLORREF colour) const
    {
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(m_list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&r));
        return count(r.top, colour, r.bottom) > 0;
    }
    // How many pixels from `top` down (to `bottom`) are painted in `colour`.
    int count(int top, COLORREF colour, LONG bottom = LONG_MAX) const
    {
        int found = 0;
        for (int y = top; y < std::min(bottom, m_client.bottom); ++y) {
            for (int x = 0; x < m_client.right; ++x) {
                found += at(x, y) == colour;
            }
        }
        return found;
    }

private:
    HWND m_list;
    RECT m_client{};
    HDC m_dc = nullptr;
    HBITMAP m_picture = nullptr;
    HGDIOBJ m_before = nullptr;
};

class MainWindowWin : public MainWindowFixture
{
protected:
    // One day later or earlier, with the keys a user presses: the picker is entered afresh
    // (no field chosen), Right chooses its first field, the weekday, and an arrow moves it.
    void StepDay(HWND picker, bool later)
    {
        SetFocus(Control(IDC_lsvToday));
        SetFocus(picker);
        Key(picker, VK_RIGHT);
        Key(picker, later ? VK_UP : VK_DOWN);
        PumpFor(20);
    }
    static Date DateOf(HWND picker)
    {
        const SYSTEMTIME at = PickerDate(picker);
        return Date{at.wYear, at.wMonth, at.wDay};
    }
};

} // namespace

TEST_F(MainWindowWin, StartsInTheTodayViewWithTheDayLoadedCountedAndHighlighted)
{
    WriteDay(kWinToday, 100000);
    Open();

    EXPECT_EQ(FindWindowW(L"ZelvoryMainWindow", L"Zelvory"), window->hwnd());
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
    EXPECT_TRUE(IsWindowVisible(Today()));
    EXPECT_FALSE(IsWindowVisible(History()));
    EXPECT_EQ(SendMessageW(Control(IDC_optTod), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Control(IDC_optHis), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Every row is there, the newest on top, as the day file and the display format say.
    ASSERT_EQ(ItemCount(Today()), 100000);
    EXPECT_EQ(ItemText(Today(), 0, 0), L"Mar 05 2024 23:59:59"); // record 99,999
    EXPECT_EQ(ItemText(Today(), 0, 1), L"Folder");
    EXPECT_EQ(ItemText(Today(), 0, 3), L"C:\\Data\\Folder 99999\\");
    EXPECT_EQ(ItemText(Today(), 0, 4), L"item99999");
    EXPECT_EQ(ItemText(Today(), 99999, 4), L"item0");
    EXPECT_EQ(window->lsvToday().tagAt(1), "2024-03-05 23:59:58");
    EXPECT_EQ(SelectedRow(Today()), 0) << "a list with rows has one selected";
    {
        // Every sixth row highlighted, as painted: the text of the seventh row green, of the
        // second not.
        const Painted painted(Today());
        EXPECT_TRUE(painted.rowHas(6, RGB(0, 128, 0)));
        EXPECT_FALSE(painted.rowHas(1, RGB(0, 128, 0)));
    }

    EXPECT_EQ(Status(0), L" Rows: 100000 ");

    // A header click on so many rows sorts on a thread of its own; the rows come back in
    // their new order through the window's message loop, the selection on its record.
    ClickHeader(Today(), 4);
    EXPECT_TRUE(window->lsvToday().rows().sorting());
    ASSERT_TRUE(PumpUntil([&] { return !window->lsvToday().rows().sorting(); }));
    EXPECT_EQ(Column(Today(), 4, 3), L"item0|item1|item10");
    EXPECT_EQ(ItemText(Today(), SelectedRow(Today()), 4), L"item99999");
    EXPECT_NE(Status(1).find(L"2024"), std::wstring::npos) << "today's date";
    EXPECT_NE(Status(2).find(L"2"), std::wstring::npos) << "the time of day";
    const std::string version =
        std::string(" Version ") + zlv::kProgramVersion + " (Build " + zlv::kBuildNumber + ") ";
    EXPECT_EQ(Status(3), std::wstring(version.begin(), version.end()));

    for (int id : {IDC_dtpF, IDC_dtpT}) {
        EXPECT_EQ(DateOf(Control(id)), kWinToday.addDays(-1)) << "yesterday in " << id;
        EXPECT_FALSE(IsWindowEnabled(Control(id))) << "disabled in the Today view";
    }
    // The settings were loaded, and written as defaults on this first run.
    EXPECT_NE(ReadAll(folder.configurationFile()).find("Sequence=Month Day Year"),
              std::string::npos);
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(MainWindowWin, NoTextOfTheWindowIsCut)
{
    WriteDay(kWinToday, 3);
    Open();
    if (const char* dpi = std::getenv("ZLV_WINE_DPI")) {
        ASSERT_EQ(win::WindowDpi(window->hwnd()), static_cast<UINT>(std::atoi(dpi)));
    }
    const auto fits = [](HWND control, const std::wstring& text, int extra) {
        const HDC dc = GetDC(control);
        const HGDIOBJ before =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, before);
        ReleaseDC(control, dc);
        RECT r{};
        GetClientRect(control, &r);
        return r.right - r.left >= size.cx + extra && r.bottom - r.top >= size.cy;
    };
    const int box = GetSystemMetrics(SM_CXMENUCHECK);
    EXPECT_TRUE(fits(Control(IDC_optTod), L"Today", box));
    EXPECT_TRUE(fits(Control(IDC_optHis), L"History", box));
    EXPECT_TRUE(fits(Control(IDC_lbl0), L"From", 0));
    EXPECT_TRUE(fits(Control(IDC_lbl1), L"To", 0));
    // Neighbours do not overlap once grown.
    RECT from{}, dtpF{}, to{}, dtpT{};
    GetWindowRect(Control(IDC_lbl0), &from);
    GetWindowRect(Control(IDC_dtpF), &dtpF);
    GetWindowRect(Control(IDC_lbl1), &to);
    GetWindowRect(Control(IDC_dtpT), &dtpT);
    EXPECT_LE(from.right, dtpF.left);
    EXPECT_LE(dtpF.right, to.left);
    EXPECT_LE(to.right, dtpT.left);
    for (HWND list : {Today(), History()}) {
        const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        for (int column = 0; column < 6; ++column) {
            wchar_t caption[64] = {};
            HDITEMW item{};
            item.mask = HDI_TEXT | HDI_WIDTH;
            item.pszText = caption;
            item.cchTextMax = 64;
            SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(&item));
            const int need = static_cast<int>(
                SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(caption)));
            EXPECT_GT(item.cxy, need) << "column " << column << " of " << list;
        }
    }
}

TEST_F(MainWindowWin, HistoryLoadsTheCheckedRangeAndCorrectsAWrongOneWithItsMessage)
{
    WriteDay(kWinToday, 5);
    WriteDay(kWinToday.addDays(-3), 2);
    WriteDay(kWinToday.addDays(-2), 3);
    WriteDay(kWinToday.addDays(-1), 4);
    Open();
    const HWND dtpF = Control(IDC_dtpF);
    const HWND dtpT = Control(IDC_dtpT);

    SendMessageW(Control(IDC_optHis), BM_CLICK, 0, 0);
    PumpFor(20);
    EXPECT_TRUE(IsWindowVisible(History()));
    EXPECT_FALSE(IsWindowVisible(Today()));
    EXPECT_TRUE(IsWindowEnabled(dtpF) && IsWindowEnabled(dtpT));
    EXPECT_EQ(GetFocus(), dtpF);
    EXPECT_EQ(ItemCount(History()), 4) << "yesterday only";
    EXPECT_EQ(Status(0), L" Rows: 4 ");

    StepDay(dtpF, false);
    StepDay(dtpF, false);
    EXPECT_EQ(DateOf(dtpF), kWinToday.addDays(-3));
    EXPECT_EQ(ItemCount(History()), 9) << "three days, each loaded as it was chosen";
    EXPECT_EQ(Status(0), L" Rows: 9 ");
    EXPECT_TRUE(messages.shown().empty());

    StepDay(dtpT, true);
    ASSERT_EQ(messages.texts(),
              std::vector<std::string>{"The end date cannot be later than yesterday."});
    EXPECT_EQ(messages.shown()[0].icon, MessageBox::Icon::Information);
    EXPECT_EQ(DateOf(dtpT), kWinToday.addDays(-1)) << "set back to yesterday";
    EXPECT_EQ(GetFocus(), dtpT);
    EXPECT_EQ(ItemCount(History()), 9) << "nothing loaded";

    StepDay(dtpT, false);
    EXPECT_EQ(ItemCount(History()), 5);
    StepDay(dtpF, true);
    EXPECT_EQ(ItemCount(History()), 3);
    StepDay(dtpF, true);
    ASSERT_EQ(messages.texts().size(), 2u);
    EXPECT_EQ(messages.texts()[1], "The start date cannot be later than the end date.");
    EXPECT_EQ(DateOf(dtpF), kWinToday.addDays(-2)) << "set to the end date";
    EXPECT_EQ(GetFocus(), dtpF);
    EXPECT_EQ(ItemCount(History()), 3);

    // Back to Today: its list as it was, counted, the pickers off; History loads again.
    SendMessageW(window->hwnd(), WM_COMMAND, ID_menlt, 0);
    EXPECT_TRUE(IsWindowVisible(Today()));
    EXPECT_FALSE(IsWindowVisible(History()));
    EXPECT_FALSE(IsWindowEnabled(dtpF));
    EXPECT_EQ(Status(0), L" Rows: 5 ");
    WriteDay(kWinToday.addDays(-2), 7);
    SendMessageW(window->hwnd(), WM_COMMAND, ID_menlh, 0);
    EXPECT_EQ(ItemCount(History()), 7);
    EXPECT_EQ(Status(0), L" Rows: 7 ");
}

TEST_F(MainWindowWin, AHeaderClickSortsTheOtherWayAndTheSelectionFollowsItsRecord)
{
    // The order a click gives is the list's own rule, the time column by the moment included
    // (its tests); here, that the window hands every click on and shows what comes back.
    WriteDay(kWinToday.addDays(-1), 3); // item0 and item2 files, item1 a folder
    Open();
    SendMessageW(Control(IDC_optHis), BM_CLICK, 0, 0);
    PumpFor(20);
    ASSERT_EQ(Column(History(), 4), L"item2|item1|item0") << "newest first after a load";

    LVITEMW selected{};
    selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(History(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
    ClickHeader(History(), 1);
    EXPECT_EQ(Column(History(), 1), L"File|File|Folder") << "a click sorts the other way";
    EXPECT_EQ(SelectedRow(History()), 2) << "the selection moves with its record";
    ClickHeader(History(), 1);
    EXPECT_EQ(Column(History(), 1), L"Folder|File|File");
    ClickHeader(History(), 0);
    EXPECT_EQ(Column(History(), 4), L"item0|item1|item2");
    ClickHeader(History(), 0);
    EXPECT_EQ(Column(History(), 4), L"item2|item1|item0");
    // The other list keeps its own sort.
    EXPECT_EQ(window->lsvToday().sortColumn(), 0);
    EXPECT_TRUE(window->lsvToday().sortDescending());
}

TEST_F(MainWindowWin, EveryWayOfClosingAsksAndOnlyYesStops)
{
    Open(true);
    ASSERT_TRUE(window->capture() && window->capture()->isLoaded());
    const HWND main = window->hwnd();
    const HWND toolbar = Control(IDC_Toolbar1);
    messages.answerNext(MessageBox::Answer::No);
    SendMessageW(main, WM_CLOSE, 0, 0);
    messages.answerNext(MessageBox::Answer::Cancel);
    SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    messages.answerNext(MessageBox::Answer::No);
    SendMessageW(main, WM_COMMAND, ID_menlx, 0);
    messages.answerNext(MessageBox::Answer::No);
    ClickToolbarButton(toolbar, 3005);
    messages.answerNext(MessageBox::Answer::No);
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, 0), FALSE) << "logging off asks too";
    PumpFor(50);
    ASSERT_EQ(messages.shown().size(), 5u);
    for (const MessageBox::Request& r : messages.shown()) {
        EXPECT_EQ(r.text, "Are you sure you want to stop tracing your operations in Windows "
                          "Explorer?");
        EXPECT_EQ(r.icon, MessageBox::Icon::Question);
        EXPECT_EQ(r.buttons, MessageBox::Buttons::YesNoCancel);
        EXPECT_EQ(r.defaultButton, MessageBox::Answer::Yes);
        EXPECT_TRUE(r.title.empty() || r.title == "Zelvory");
    }
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(window->capture()->isLoaded()) << "still recording";

    messages.answerNext(MessageBox::Answer::Yes);
    ClickToolbarButton(toolbar, 3005);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(window->capture()->isLoaded()) << "capture stopped with the window";
    EXPECT_EQ(messages.shown().size(), 6u);
}

TEST_F(MainWindowWin, AnOperationTheShellReportsBecomesALineAndATopRow)
{
    WriteDay(kWinToday, 10, 3600);
    Open(true);
    ASSERT_EQ(ItemCount(Today()), 10);
    TempDir work;
    const std::string file = work / "report.txt";
    // The shell is told from a thread of its own, as Explorer would tell it; this thread
    // goes on dispatching messages meanwhile, since the shell may send to the window.
    std::atomic<bool> told{false};
    std::thread explorer([&] {
        const HANDLE h =
            CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        CloseHandle(h);
        SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA | SHCNF_FLUSH, file.c_str(), nullptr);
        told = true;
    });
    const bool shown = PumpUntil([&] { return told && ItemCount(Today()) == 11; });
    explorer.join();
    ASSERT_TRUE(shown) << ItemCount(Today());
    EXPECT_EQ(ItemText(Today(), 0, 0), L"Mar 05 2024 14:07:09");
    EXPECT_EQ(ItemText(Today(), 0, 1), L"File");
    EXPECT_EQ(ItemText(Today(), 0, 2), L"Created");
    EXPECT_EQ(ItemText(Today(), 0, 3),
              std::wstring(work.path().begin(), work.path().end()) + L"\\");
    EXPECT_EQ(ItemText(Today(), 0, 4), L"report.txt");
    EXPECT_EQ(Status(0), L" Rows: 11 "); // the day file's line: WindowsSourceTest

    // In the History view the Today list follows behind, and the count stays History's.
    SendMessageW(window->hwnd(), WM_COMMAND, ID_menlh, 0);
    EXPECT_EQ(Status(0), L" Rows: 0 ");
    clock.advanceSeconds(10);
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA | SHCNF_FLUSH, file.c_str(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ItemCount(Today()) == 12; }));
    EXPECT_EQ(ItemText(Today(), 0, 2), L"Deleted");
    EXPECT_TRUE(IsWindowVisible(History()));
    EXPECT_EQ(Status(0), L" Rows: 0 ");
}

TEST_F(MainWindowWin, WithoutANotificationAreaAMinimisedWindowStaysOnTheTaskbar)
{
    Open(true);
    const HWND main = window->hwnd();
    {
        // An empty day explains itself in the list's body, under the header.
        const Painted painted(Today());
        const int text = painted.count(40, GetSysColor(COLOR_WINDOWTEXT));
        EXPECT_GT(text, 200);
        EXPECT_GT(painted.count(40, GetSysColor(COLOR_WINDOW)), text) << "on the list's ground";
    }
    const LONG_PTR procedure = GetWindowLongPtrW(main, GWLP_WNDPROC);
    ShowWindow(main, SW_MINIMIZE);
    PumpFor(50);
    // The null display has no notification area: the shell refuses the icon.
    EXPECT_TRUE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(GetWindowLongPtrW(main, GWLP_WNDPROC), procedure) << "its own procedure";
    ShowWindow(main, SW_RESTORE);
    EXPECT_FALSE(IsIconic(main));
    messages.answerNext(MessageBox::Answer::No);
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(messages.shown().size(), 1u) << "a restored window still asks";
}

TEST_F(MainWindowWin, AnIncidentIsShownInTheStatusBarAndAskedAboutOnce)
{
    WriteDay(kWinToday, 2);
    Open(true);
    EXPECT_EQ(Status(1).find(L"gaps"), std::wstring::npos) << "no warning while complete";
    const CaptureIncident lost{.reason = GapReason::Overflow,
                               .sentence = "Too many operations at once.",
                               .needsAction = true};
    window->capture()->reportIncident(lost);
    ASSERT_TRUE(PumpUntil([&] { return Status(1) == L" Journal has gaps "; })) << Status(1);
    EXPECT_EQ(Status(0), L" Rows: 2 ");
    EXPECT_NE(Status(2).find(L"2024"), std::wstring::npos) << "the date moved one panel on";
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text.find("Too many operations at once.\r\n\r\n"), 0u);
    EXPECT_EQ(messages.shown()[0].icon, MessageBox::Icon::Exclamation);
    EXPECT_NE(ReadAll(folder.gapFilePath(kWinToday)).find("overflow"), std::string::npos);

    // The hole is drawn where it lies: above the newest row, which came before it.
    RECT top{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(Today(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&top));
    const Painted painted(Today());
    const auto red = [&](int y) { return painted.at(painted.width() / 2, y) == RGB(220, 40, 30); };
    EXPECT_TRUE(red(top.top) || red(top.top + 1)) << "no line at the top row's edge";
    EXPECT_FALSE(red(top.bottom + 2)) << "and none between the rows before it";

    // The same reason again is told in the status bar only.
    window->capture()->reportIncident(lost);
    PumpFor(100);
    EXPECT_EQ(messages.shown().size(), 1u);
}
