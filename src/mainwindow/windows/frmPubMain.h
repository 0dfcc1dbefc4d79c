#pragma once

#include "capture/NotificationSource.h"
#include "capture/frmPubHide.h"
#include "logstore/DataFolder.h"
#include "logstore/windows/LogListView.h"
#include "mainwindow/windows/StatusBar.h"
#include "mainwindow/windows/Toolbar.h"
#include "mainwindow/windows/VersionCheck.h"
#include "utility/FormFit.h"
#include "utility/windows/CallbackTimer.h"
#include "utility/windows/Handles.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zlv::win {

// The main window: starts the program, shows the Today and History views, keeps the status
// bar current, stands in the notification area while minimised and asks before the program
// stops. One window procedure hands every message to handle().
class frmPubMain final
{
public:
    struct Options
    {
        // Where the data folder goes; empty means the user's application-data folder.
        std::string appData;
        // Makes the platform's notification source; none means no capture (tests).
        std::function<std::unique_ptr<NotificationSource>(const DataFolder&)> makeSource;
        // Whether destroying the window ends the thread's message loop.
        bool quitOnDestroy = true;
        // The version file to ask (empty: the maker's) and when the check nobody asked for
        // runs (0: never).
        std::string versionUrl;
        UINT versionCheckDelayMs = VersionCheck::kBackgroundDelayMs;
        // Whether capture keeps the run's state in the data folder, so that the next start
        // can tell a kill or a crash and write back held records (RecordingSession). Only
        // for the one instance that holds the data folder's lock.
        bool keepRunState = false;
    };

    explicit frmPubMain(Options options);
    ~frmPubMain();
    frmPubMain(const frmPubMain&) = delete;
    frmPubMain& operator=(const frmPubMain&) = delete;

    // Creates the window, runs the start-up and shows the window with `show`. False when
    // no window could be made.
    bool create(int show = SW_SHOWNORMAL);
    HWND hwnd() const { return m_hwnd; }
    // The window's shortcut keys, for the message loop.
    HACCEL accelerators() const { return m_accelerators; }

    const DataFolder& dataFolder() const { return m_folder; }
    LogListView& lsvToday() { return m_lsvToday; }
    LogListView& lsvHistory() { return m_lsvHistory; }
    LogListView& visibleList();
    StatusBar& stb() { return m_stb; }
    frmPubHide* capture() const { return m_hide.get(); }

    // The views and the range check, as their controls and menu items run them.
    void showTodayView();
    void showHistoryView();
    void runRangeCheck();
    // Brings lsvToday in line with today's day file (what a recorded operation triggers).
    void rebuildToday();

    // The commands of the menus, the keys, the toolbar and the status bar
    // (MainCommands.cpp).
    void showDetailView();
    void manageLogFiles();
    void showOptions();
    void showAbout();
    void checkLatestVersion();
    void mapNetworkDrive();
    void disconnectNetworkDrive();
    void switchStartWithWindows();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onCommand(int id, HWND from);
    bool runToolbarCommand(const std::wstring& caption);
    void onMenuPopup(HMENU menu);
    void startVersionCheck();
    LRESULT onNotify(NMHDR* header);
    void onSize(WPARAM state);
    void onDpiChanged(UINT dpi, const RECT* suggested);

    // MainControls.cpp: the controls, their fonts and their places.
    void buildControls();
    void layoutControls();
    void layoutLists();
    void placeWindow();

    void startUp();
    void startCapture();
    void refreshRowCount();
    void refreshTodayGaps();
    void refreshClock();
    void scheduleTodayRebuild();
    void noteIncident(const CaptureIncident& incident, bool askUser);
    void refreshHealth();
    void showPendingMessages();
    bool confirmClose();
    void shutDown();
    Date today() const;
    Date pickerDate(HWND picker) const;
    void setPickerDate(HWND picker, const Date& date);
    bool historySelected() const;

    Options m_options;
    HWND m_hwnd = nullptr;
    DataFolder m_folder;
    std::string m_dataFolderProblem;
    std::unique_ptr<frmPubHide> m_hide;

    HACCEL m_accelerators = nullptr; // the resource's: the system frees it
    OwnedIcon m_icon;
    OwnedIcon m_smallIcon;
    OwnedFont m_font;
    OwnedFont m_boldFont;
    UINT m_dpi = 96;
    Toolbar m_toolbar;
    HWND m_optTod = nullptr;
    HWND m_optHis = nullptr;
    HWND m_lbl[2] = {};
    HWND m_dtpF = nullptr;
    HWND m_dtpT = nullptr;
    LogListView m_lsvToday{LogListView::Kind::Today};
    LogListView m_lsvHistory{LogListView::Kind::History};
    StatusBar m_stb;
    FormFit m_form;
    int m_controlsTop = 0; // where the design's rows below the toolbar begin, in pixels
    SIZE m_listSize{0, 0};

    bool m_pickerDropped = false; // a calendar is open: its choice is checked on close
    bool m_checkOnCloseUp = false;
    bool m_todayPending = false; // a record waits to be shown (the window was in the tray)
    ULONGLONG m_lastTodayRebuild = 0;
    // Capture's timers are the thread's, so that they keep going while the window sits in
    // the notification area, where its own procedure reacts to nothing.
    CallbackTimer m_todayTimer;
    CallbackTimer m_retryTimer;
    CallbackTimer m_heldLater;
    CallbackTimer m_healthLater;
    CallbackTimer m_messagesLater;
    CallbackTimer m_clockTimer;
    CallbackTimer m_heartbeat; // keeps the run's state current while all is quiet
    std::vector<CaptureIncident> m_pendingMessages;
    bool m_showingMessages = false;
    bool m_closeConfirmed = false;
    bool m_shutDown = false;
    std::unique_ptr<VersionCheck> m_version;
    std::string m_versionNotice;
    std::string m_versionNoticeDetails;
};

} // namespace zlv::win
