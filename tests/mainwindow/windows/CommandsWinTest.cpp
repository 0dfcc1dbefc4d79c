#include "browse/windows/frmPubDetail.h"
#include "settings/Settings.h"
#include "settings/windows/frmPubAbout.h"
#include "settings/windows/frmPubOptions.h"
#include "support/windows/MainWindowFixture.h"
#include "utility/FileSystem.h"
#include "utility/WebPages.h"
#include "utility/windows/CallbackTimer.h"
#include "utility/windows/RunAtLogon.h"
#include "utility/windows/ShellLaunch.h"
#include "utility/windows/WinText.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace zlv;
using namespace zlv::test;
using zlv::win::frmPubDetail;
using zlv::win::frmPubOptions;

namespace {

// The dialog the main window shows now: a visible window of this thread that it owns.
HWND OwnedDialog(HWND owner)
{
    std::pair<HWND, HWND> search{owner, nullptr}; // the owner, the dialog found
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto& [by, found] = *reinterpret_cast<std::pair<HWND, HWND>*>(data);
            if (hwnd != by && GetWindow(hwnd, GW_OWNER) == by && IsWindowVisible(hwnd)) {
                found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* at = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = at;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

void Press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class CommandsWin : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // Nothing leaves the test: every hand-over to another program is noted instead.
        win::shell::SetCalls({[this](const std::wstring& target) {
                                  opened.push_back(target);
                                  return true;
                              },
                              [this](const std::wstring& line) {
                                  started.push_back(line);
                                  return true;
                              },
                              [this](HWND owner, bool connect) {
                                  drives.push_back(connect ? L"connect" : L"disconnect");
                                  EXPECT_EQ(owner, window->hwnd());
                              }});
    }
    void TearDown() override
    {
        window.reset();
        win::shell::SetCalls({});
        MainWindowFixture::TearDown();
    }

    // Runs `open`, which shows a modal dialog over the main window, and hands the dialog to
    // `drive` from inside its modal loop; the dialog is closed afterwards whatever `drive`
    // did, so that no failure leaves the test waiting. The dialog's title, or empty when
    // none opened.
    std::wstring RunDialog(const std::function<void()>& open,
                           const std::function<void(HWND)>& drive = {})
    {
        std::wstring title;
        win::CallbackTimer timer;
        timer.start(
            20,
            [&] {
                const HWND dialog = OwnedDialog(window->hwnd());
                if (!dialog || !title.empty()) {
                    return;
                }
                title = Text(dialog);
                if (drive) {
                    drive(dialog);
                }
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            },
            true);
        open();
        timer.stop();
        return title;
    }
    void Command(int id) { SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::wstring RunCommandDialog(int id, const std::function<void(HWND)>& drive = {})
    {
        return RunDialog([&] { Command(id); }, drive);
    }

    std::vector<std::wstring> opened;
    std::vector<std::wstring> started;
    std::vector<std::wstring> drives;
};

TEST_F(CommandsWin, DetailViewStepsThroughTheVisibleListAndCopiesAField)
{
    WriteDay(kWinToday, 5); // newest on top: row r shows item(4 - r)
    Open();
    const auto field = [](HWND dialog, int i) {
        return Text(GetDlgItem(dialog, frmPubDetail::kTxt + i));
    };
    std::vector<int> rows;
    std::vector<std::wstring> names;
    const auto note = [&](HWND dialog) {
        rows.push_back(SelectedRow(Today()));
        names.push_back(field(dialog, frmPubDetail::kOriginalName));
    };
    const std::wstring title = RunCommandDialog(ID_menlv, [&](HWND dialog) {
        note(dialog);
        EXPECT_EQ(field(dialog, frmPubDetail::kPath), L"C:\\Data\\Folder 4\\");
        EXPECT_EQ(field(dialog, frmPubDetail::kDateAndTime), ItemText(Today(), 0, 0));
        for (int button :
             {frmPubDetail::kNext, frmPubDetail::kLast, frmPubDetail::kNext,
              frmPubDetail::kPrevious, frmPubDetail::kFirst, frmPubDetail::kPrevious}) {
            Press(dialog, frmPubDetail::ButtonId(button));
            note(dialog);
        }
        // The field with the focus is the one copied: the path, spaces and all.
        Press(dialog, frmPubDetail::ButtonId(frmPubDetail::kNext));
        SetFocus(GetDlgItem(dialog, frmPubDetail::kTxt + frmPubDetail::kPath));
        Press(dialog, frmPubDetail::ButtonId(frmPubDetail::kCopy));
    });
    EXPECT_EQ(title, L"Detail View");
    // Next past the last row and Previous before the first stay where they are.
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 4, 4, 3, 0, 0}));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"item4", L"item3", L"item0", L"item0", L"item1",
                                                L"item4", L"item4"}));
    EXPECT_EQ(ClipboardText(), L"C:\\Data\\Folder 3\\");
    EXPECT_EQ(SelectedRow(Today()), 1) << "the list stays where the reading stopped";

    // Enter in the list and a double-click open it too, on the selected row.
    SetFocus(Today());
    EXPECT_EQ(RunCommandDialog(IDOK,
                               [&](HWND dialog) {
                                   EXPECT_EQ(field(dialog, frmPubDetail::kOriginalName), L"item3");
                               }),
              L"Detail View");
    SetFocus(Control(IDC_dtpF));
    EXPECT_EQ(RunCommandDialog(IDOK), L"") << "Enter elsewhere opens nothing";
    EXPECT_EQ(RunDialog([&] {
                  NMITEMACTIVATE activate{};
                  activate.hdr = {Today(), IDC_lsvToday, NM_DBLCLK};
                  activate.iItem = 1;
                  SendMessageW(window->hwnd(), WM_NOTIFY, IDC_lsvToday,
                               reinterpret_cast<LPARAM>(&activate));
              }),
              L"Detail View");
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(CommandsWin, DetailViewOfAnEmptyListSaysSoInsteadOfOpening)
{
    Open();
    EXPECT_EQ(RunCommandDialog(ID_menlv), L"");
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"No available data for display."});
}

TEST_F(CommandsWin, OptionsPreviewsSavesTheSixKeysRefreshesTheListAndRestoresDefaults)
{
    WriteDay(kWinToday, 1);
    Open();
    const std::wstring before = ItemText(Today(), 0, 0);
    std::wstring preview;
    const auto choose = [](HWND dialog, int slot, int index) {
        const HWND list = GetDlgItem(dialog, frmPubOptions::kCbb + slot);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(frmPubOptions::kCbb + slot, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    };
    EXPECT_EQ(RunCommandDialog(ID_mento,
                               [&](HWND dialog) {
                                   for (int slot = 0; slot < 6; ++slot) {
                                       EXPECT_EQ(SendMessageW(
                                                     GetDlgItem(dialog, frmPubOptions::kCbb + slot),
                                                     CB_GETCURSEL, 0, 0),
                                                 0)
                                           << "the defaults are each list's first entry";
                                   }
                                   choose(dialog, 0, 1); // Year Month Day
                                   choose(dialog, 1, 1); // -
                                   preview = Text(GetDlgItem(dialog, frmPubOptions::kPreview));
                                   Press(dialog, frmPubOptions::ButtonId(frmPubOptions::kSave));
                               }),
              L"Options");
    EXPECT_EQ(preview, L"2024-Mar-05 14:07:09") << "the clock's moment in the choice";
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Save successfully!"});
    const std::string stored = ReadAll(folder.configurationFile());
    EXPECT_NE(stored.find("Sequence=Year Month Day"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Separator=-"), std::string::npos) << stored;
    EXPECT_EQ(ItemText(Today(), 0, 0), L"2024-Mar-05 00:00:00") << "was " << win::Narrow(before);

    // Saving what is stored says nothing; Default writes the defaults back at once.
    messages.clear();
    RunCommandDialog(ID_mento, [&](HWND dialog) {
        Press(dialog, frmPubOptions::ButtonId(frmPubOptions::kSave));
        Press(dialog, frmPubOptions::ButtonId(frmPubOptions::kDefault));
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, frmPubOptions::kCbb), CB_GETCURSEL, 0, 0), 0);
    });
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_NE(ReadAll(folder.configurationFile()).find("Sequence=Month Day Year"),
              std::string::npos);
    EXPECT_EQ(ItemText(Today(), 0, 0), before);
}

TEST_F(CommandsWin, EveryOtherCommandHandsItsWorkToWhatItNames)
{
    WriteDay(kWinToday, 1);
    Open();
    for (int id : {ID_menhh, ID_menho, ID_menhe, ID_menhr, ID_menhf, ID_menht}) {
        Command(id);
    }
    const std::vector<std::wstring> pages = {
        win::FromUtf8(web::ProductPage()),  win::FromUtf8(web::CompanyHomePage()),
        win::FromUtf8(web::ContactPage()),  win::FromUtf8(web::RecommendPage()),
        win::FromUtf8(web::FacebookPage()), win::FromUtf8(web::TwitterPage())};
    EXPECT_EQ(opened, pages);

    Command(ID_menlm);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], L"Explorer " + win::Widen(folder.logsFolder()));
    Command(ID_mentm);
    Command(ID_mentd);
    EXPECT_EQ(drives, (std::vector<std::wstring>{L"connect", L"disconnect"}));

    // This build asks no server: the check says so and fetches nothing.
    Command(ID_menhc);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].icon, MessageBox::Icon::Information);

    EXPECT_EQ(RunCommandDialog(ID_menha), L"About Zelvory");
    EXPECT_EQ(RunCommandDialog(ID_mento), L"Options");

    // The toolbar's buttons go by their captions, as the menu items do.
    const HWND toolbar = Control(IDC_Toolbar1);
    const auto button = [&](const wchar_t* caption) {
        const int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON b{};
            SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&b));
            wchar_t text[64] = {};
            SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(b.idCommand),
                         reinterpret_cast<LPARAM>(text));
            if (std::wstring(text) == caption) {
                return b.idCommand;
            }
        }
        return -1;
    };
    const auto click = [&](const wchar_t* caption) {
        SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(button(caption), BN_CLICKED),
                     reinterpret_cast<LPARAM>(toolbar));
    };
    EXPECT_EQ(RunDialog([&] { click(L"Detail View"); }), L"Detail View");
    EXPECT_EQ(RunDialog([&] { click(L"Options"); }), L"Options");
    click(L"Manage Log Files");
    click(L"Homepage");
    EXPECT_EQ(started.size(), 2u);
    EXPECT_EQ(opened.back(), win::FromUtf8(web::ProductPage()));

    // Start with Windows switches the user's Run key, and the menu shows what it holds.
    const bool was = win::runatlogon::IsEnabled();
    Command(ID_mentw);
    EXPECT_NE(win::runatlogon::IsEnabled(), was);
    const HMENU tools = GetSubMenu(GetMenu(window->hwnd()), 1);
    SendMessageW(window->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(tools), 1);
    EXPECT_EQ((GetMenuState(tools, ID_mentw, MF_BYCOMMAND) & MF_CHECKED) != 0, !was);
    Command(ID_mentw);
    EXPECT_EQ(win::runatlogon::IsEnabled(), was);
}

} // namespace
