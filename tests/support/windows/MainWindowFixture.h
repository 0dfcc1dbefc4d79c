#pragma once

// The Windows main window on a data folder of its own, at 14:07:09 on 5 March 2024 by the
// test clock, with every message box it shows scripted.
#include "capture/PlatformSource.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "mainwindow/windows/CommandIds.h"
#include "mainwindow/windows/frmPubMain.h"
#include "mock/ManualClock.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/windows/WindowDriver.h"

#include <gtest/gtest.h>
#include <memory>

namespace zlv::test {

inline constexpr Date kWinToday{2024, 3, 5};

class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static const bool controls = [] {
            INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES |
                                          ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
            return InitCommonControlsEx(&init) != FALSE;
        }();
        ASSERT_TRUE(controls);
        Clock::setInstance(&clock);
        ASSERT_TRUE(folder.establish(appData.path()));
    }
    void TearDown() override
    {
        window.reset();
        Clock::setInstance(nullptr);
    }

    // The window shown, capturing from the real shell source when `capture` says so.
    void Open(bool capture = false)
    {
        win::frmPubMain::Options options;
        options.appData = appData.path();
        options.quitOnDestroy = false;
        if (capture) {
            options.makeSource = [](const DataFolder& f) {
                return CreatePlatformNotificationSource(f);
            };
        }
        window = std::make_unique<win::frmPubMain>(std::move(options));
        ASSERT_TRUE(window->create(SW_SHOWNORMAL));
        PumpFor(50);
    }

    // Writes `count` records of `day`, spread evenly over `spanSeconds` from midnight: files
    // and folders by turns, record i named item<i> in a folder of its own with a space.
    void WriteDay(const Date& day, int count, int spanSeconds = 86400)
    {
        ASSERT_TRUE(folder.ensureMonthFolder(day));
        std::string text;
        for (int i = 0; i < count; ++i) {
            const int s = static_cast<int>(static_cast<long long>(i) * spanSeconds / count);
            const LocalDateTime at{day, s / 3600, s / 60 % 60, s % 60};
            text += dayfile::FormatLine({dayfile::FormatStamp(at), i % 2 ? "Folder" : "File",
                                         "Created", "C:\\Data\\Folder " + std::to_string(i) + "\\",
                                         "item" + std::to_string(i), ""});
        }
        WriteAll(folder.dayFilePath(day), text);
    }

    HWND Control(int id) const { return GetDlgItem(window->hwnd(), id); }
    HWND Today() const { return Control(IDC_lsvToday); }
    HWND History() const { return Control(IDC_lsvHistory); }
    std::wstring Status(int part) const { return StatusText(Control(IDC_stb), part); }

    ScriptedMessages messages;
    TempDir appData;
    DataFolder folder;
    ManualClock clock{LocalDateTime{kWinToday, 14, 7, 9}};
    std::unique_ptr<win::frmPubMain> window;
};

} // namespace zlv::test
