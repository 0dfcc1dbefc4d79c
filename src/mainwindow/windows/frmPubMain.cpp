#include "mainwindow/windows/frmPubMain.h"

#include "logstore/GapMarks.h"
#include "mainwindow/DateRange.h"
#include "mainwindow/DesktopWords.h"
#include "mainwindow/HealthText.h"
#include "mainwindow/windows/CommandIds.h"
#include "mainwindow/windows/mdlPubTrayIcon.h"
#include "settings/Settings.h"
#include "utility/MessageBox.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"
#include "utility/windows/WinText.h"

#include <algorithm>

namespace zlv::win {

namespace {

constexpr const wchar_t* kWindowClass = L"ZelvoryMainWindow";
constexpr ULONGLONG kTodayRefreshMs = 200;

HICON LoadProductIcon(int size)
{
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_zelvory),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// Milliseconds to the next whole minute of the system's clock, a little after it.
UINT ToNextMinute()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return (60 - now.wSecond) * 1000u - now.wMilliseconds + 50u;
}

} // namespace

frmPubMain::frmPubMain(Options options) : m_options(std::move(options)) {}

frmPubMain::~frmPubMain()
{
    if (m_hwnd) {
        // The program is going: no question any more, and the window's own procedure back
        // so that it hears of its end.
        m_closeConfirmed = true;
        mdlPubTrayIcon::PutBackProcedure(m_hwnd);
        DestroyWindow(m_hwnd);
    }
    shutDown();
}

bool frmPubMain::create(int show)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_icon.reset(LoadProductIcon(GetSystemMetrics(SM_CXICON)));
    m_smallIcon.reset(LoadProductIcon(GetSystemMetrics(SM_CXSMICON)));
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &frmPubMain::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = m_icon.get();
    windowClass.hIconSm = m_smallIcon.get();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    m_accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_accelerators));
    // The window owns its menu from here on and destroys it with itself.
    const HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_frmPubMain));
    if (!CreateWindowExW(0, kWindowClass, L"Zelvory", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu,
                         instance, this)) {
        if (menu) {
            DestroyMenu(menu);
        }
        return false;
    }
    // The window class was registered once; this window's icons are its own.
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.get()));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
    buildControls();
    // A right-button release in a list pops up the Logs menu there, with no default item.
    for (LogListView* list : {&m_lsvToday, &m_lsvHistory}) {
        list->onContextMenu = [this](POINT at) {
            TrackPopupMenu(GetSubMenu(GetMenu(m_hwnd), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x,
                           at.y, 0, m_hwnd, nullptr);
        };
        list->onDetailRequested = [this] { showDetailView(); };
    }
    startUp();
    placeWindow();
    ShowWindow(m_hwnd, show);
    UpdateWindow(m_hwnd);
    SetFocus(m_lsvToday.hwnd());
    return true;
}

LRESULT CALLBACK frmPubMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<frmPubMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmPubMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT frmPubMain::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_NOTIFY:
        return onNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
        onSize(wParam);
        return 0;
    case WM_INITMENUPOPUP:
        onMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) {
            // Messages that waited for the window (it was hidden, or not yet shown).
            m_messagesLater.start(0, [this] { showPendingMessages(); });
        }
        break;
    case WM_DPICHANGED:
        onDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        // Every way of closing ends here: the close box, Alt+F4, Exit, the toolbar.
        if (m_closeConfirmed || confirmClose()) {
            shutDown();
            DestroyWindow(m_hwnd);
        }
        return 0;
    case WM_QUERYENDSESSION:
        if (m_shutDown || m_closeConfirmed) {
            return TRUE;
        }
        // Yes here stands for the end that follows, which must not ask again.
        m_closeConfirmed = confirmClose();
        return m_closeConfirmed ? TRUE : FALSE;
    case WM_ENDSESSION:
        if (wParam) {
            shutDown();
        }
        return 0;
    case WM_DESTROY:
        shutDown();
        if (m_options.quitOnDestroy) {
            PostQuitMessage(0);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

LRESULT frmPubMain::onNotify(NMHDR* header)
{
    LRESULT result = 0;
    if (m_lsvToday.handleNotify(header, result) || m_lsvHistory.handleNotify(header, result)) {
        return result;
    }
    if (m_toolbar.tooltip(header)) {
        return 0;
    }
    const bool picker = header->hwndFrom == m_dtpF || header->hwndFrom == m_dtpT;
    if (picker && header->code == DTN_DROPDOWN) {
        m_pickerDropped = true;
    } else if (picker && header->code == DTN_CLOSEUP) {
        // A date chosen in the calendar is checked once the calendar has gone, so that no
        // message box opens over it.
        m_pickerDropped = false;
        if (std::exchange(m_checkOnCloseUp, false)) {
            runRangeCheck();
        }
    } else if (picker && header->code == DTN_DATETIMECHANGE) {
        if (m_pickerDropped) {
            m_checkOnCloseUp = true;
        } else {
            runRangeCheck();
        }
    } else if (header->hwndFrom == m_stb.hwnd() && header->code == NM_CLICK) {
        const auto* mouse = reinterpret_cast<const NMMOUSE*>(header);
        const StatusBar::Panel panel = m_stb.panelAt(mouse->pt);
        if (panel == StatusBar::kWarning && m_hide) {
            MessageBox::show(healthtext::Details(m_hide->health()), MessageBox::Icon::Exclamation);
        } else if (panel == StatusBar::kVersion) {
            showAbout();
        }
    }
    return 0;
}

void frmPubMain::onSize(WPARAM state)
{
    if (state == SIZE_MINIMIZED) {
        mdlPubTrayIcon::EnterTray(m_hwnd, m_smallIcon.get());
    } else if (m_todayPending) {
        // Back from the notification area: what was recorded meanwhile is shown now.
        rebuildToday();
    }
    SendMessageW(m_toolbar.hwnd(), WM_SIZE, 0, 0);
    m_stb.layout();
    layoutLists();
}

void frmPubMain::startUp()
{
    const SystemUtility::AppDataLookup appData =
        m_options.appData.empty() ? SystemUtility::LocateAppData()
                                  : SystemUtility::AppDataLookup{m_options.appData, {}};
    if (!appData.path.empty()) {
        m_folder.establish(appData.path);
        // An empty day explains itself: what is recorded, and where the journal lives.
        m_lsvToday.setEmptyText(Widen(words::FirstStartText({}, m_folder.logsFolder())));
    } else {
        m_dataFolderProblem = "Nothing is being recorded. " + appData.problem;
    }
    LoadSettingsAtStartup(m_folder.configurationFile());

    m_stb.setText(StatusBar::kVersion, Widen(std::string(" Version ") + kProgramVersion +
                                             " (Build " + kBuildNumber + ") "));

    SendMessageW(m_optTod, BM_SETCHECK, BST_CHECKED, 0);
    if (!m_folder.dataFolder().empty()) {
        m_lsvToday.loadFile(m_folder.dayFilePath(today()));
    }
    m_lsvToday.adjustColumns();
    m_lsvToday.highlightRows();
    refreshRowCount();

    const Date yesterday = today().addDays(-1);
    setPickerDate(m_dtpF, yesterday);
    setPickerDate(m_dtpT, yesterday);
    refreshClock();

    startCapture();
    // After the start, which may have noted the span since the last run, or its end.
    refreshTodayGaps();
    refreshHealth();
    startVersionCheck();
}

void frmPubMain::startCapture()
{
    if (!m_options.makeSource || m_folder.dataFolder().empty()) {
        return;
    }
    m_hide = std::make_unique<frmPubHide>(m_folder, m_options.makeSource(m_folder));
    m_hide->setRecordedCallback([this] { scheduleTodayRebuild(); });
    m_hide->setRetryScheduler([this](int ms) {
        m_retryTimer.start(static_cast<UINT>(ms), [this] {
            if (m_hide) {
                m_hide->retryHeld();
            }
        });
    });
    m_hide->setHealthCallback(
        [this](const CaptureIncident& incident, bool askUser) { noteIncident(incident, askUser); });
    // Held records are written by a retry of their own, with no incident to tell.
    m_hide->setHeldCallback([this] {
        if (!m_heldLater.active()) {
            m_heldLater.start(0, [this] { refreshHealth(); });
        }
    });
    if (m_options.keepRunState) {
        m_hide->keepRunState();
        m_heartbeat.start(
            60000,
            [this] {
                if (m_hide) {
                    m_hide->publishState();
                }
            },
            true);
    }
    m_hide->load(); // a failed start is told by the capture itself
}

Date frmPubMain::today() const
{
    return Clock::instance().now().date;
}

LogListView& frmPubMain::visibleList()
{
    // The lists' own flags, not the screen: in the notification area nothing is visible,
    // yet the view the user chose still counts.
    const LONG_PTR style = GetWindowLongPtrW(m_lsvHistory.hwnd(), GWL_STYLE);
    return (style & WS_VISIBLE) ? m_lsvHistory : m_lsvToday;
}

void frmPubMain::refreshRowCount()
{
    m_stb.setText(StatusBar::kRows, visibleList().rowCountText());
}

void frmPubMain::refreshTodayGaps()
{
    if (!m_folder.dataFolder().empty()) {
        m_lsvToday.setGapStamps(gapmarks::CollectStamps(m_folder, today(), today()));
    }
}

void frmPubMain::refreshClock()
{
    if (m_stb.refreshClock(Clock::instance().now())) {
        // The Today list follows the calendar even when nothing is recorded at midnight.
        rebuildToday();
        refreshTodayGaps();
    }
    m_clockTimer.start(ToNextMinute(), [this] { refreshClock(); });
}

bool frmPubMain::historySelected() const
{
    return SendMessageW(m_optHis, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

Date frmPubMain::pickerDate(HWND picker) const
{
    SYSTEMTIME at{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&at)) != GDT_VALID) {
        return today();
    }
    return Date{at.wYear, at.wMonth, at.wDay};
}

void frmPubMain::setPickerDate(HWND picker, const Date& date)
{
    SYSTEMTIME at{};
    at.wYear = static_cast<WORD>(date.year);
    at.wMonth = static_cast<WORD>(date.month);
    at.wDay = static_cast<WORD>(date.day);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&at));
}

void frmPubMain::showTodayView()
{
    SendMessageW(m_optTod, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(m_optHis, BM_SETCHECK, BST_UNCHECKED, 0);
    EnableWindow(m_dtpF, FALSE);
    EnableWindow(m_dtpT, FALSE);
    ShowWindow(m_lsvToday.hwnd(), SW_SHOW);
    ShowWindow(m_lsvHistory.hwnd(), SW_HIDE);
    refreshRowCount();
}

void frmPubMain::showHistoryView()
{
    SendMessageW(m_optHis, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(m_optTod, BM_SETCHECK, BST_UNCHECKED, 0);
    EnableWindow(m_dtpF, TRUE);
    EnableWindow(m_dtpT, TRUE);
    SetFocus(m_dtpF);
    runRangeCheck();
}

void frmPubMain::runRangeCheck()
{
    if (!historySelected()) {
        return;
    }
    const Date now = today();
    const Date from = pickerDate(m_dtpF);
    const Date to = pickerDate(m_dtpT);
    switch (CheckRange(from, to, now)) {
    case RangeVerdict::EndTooLate:
        MessageBox::show("The end date cannot be later than yesterday.",
                         MessageBox::Icon::Information);
        setPickerDate(m_dtpT, now.addDays(-1));
        SetFocus(m_dtpT);
        return;
    case RangeVerdict::StartAfterEnd:
        MessageBox::show("The start date cannot be later than the end date.",
                         MessageBox::Icon::Information);
        setPickerDate(m_dtpF, to);
        SetFocus(m_dtpF);
        return;
    case RangeVerdict::Valid:
        break;
    }
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (!m_folder.dataFolder().empty()) {
        m_lsvHistory.loadRange(m_folder, from, to);
        m_lsvHistory.setGapStamps(gapmarks::CollectStamps(m_folder, from, to));
    } else {
        m_lsvHistory.clearRows();
    }
    SetCursor(before);
    ShowWindow(m_lsvHistory.hwnd(), SW_SHOW);
    ShowWindow(m_lsvToday.hwnd(), SW_HIDE);
    refreshRowCount();
}

void frmPubMain::scheduleTodayRebuild()
{
    if (mdlPubTrayIcon::InTray()) {
        // Nobody sees the list now; it is brought up to date when the window is back.
        m_todayPending = true;
        return;
    }
    // A record after a pause is shown at once. Records that follow one another closely are
    // shown together, a fifth of a second apart: every one is on disk already, only its
    // row waits, and the list looks exactly as if it had been rebuilt after each.
    if (m_todayTimer.active()) {
        return;
    }
    const ULONGLONG since = GetTickCount64() - m_lastTodayRebuild;
    const ULONGLONG wait = since >= kTodayRefreshMs ? 0 : kTodayRefreshMs - since;
    m_todayTimer.start(static_cast<UINT>(wait), [this] { rebuildToday(); });
}

void frmPubMain::rebuildToday()
{
    m_todayTimer.stop(); // whatever it waited for is read now
    m_todayPending = false;
    m_lastTodayRebuild = GetTickCount64();
    if (!m_folder.dataFolder().empty()) {
        m_lsvToday.rebuildToday(m_folder.dayFilePath(today()));
    }
    // A record arriving in the History view updates the Today list behind it; the user
    // keeps looking at the range they chose.
    refreshRowCount();
}

void frmPubMain::noteIncident(const CaptureIncident& incident, bool askUser)
{
    // Called from inside capture: only note things here, show them from the message loop.
    if (askUser) {
        m_pendingMessages.push_back(incident);
    }
    const bool gap = incident.isGap && !incident.cleared;
    m_healthLater.start(0, [this, gap] {
        refreshHealth();
        if (gap) {
            refreshTodayGaps();
        }
        showPendingMessages();
    });
}

void frmPubMain::refreshHealth()
{
    std::string headline;
    std::string details;
    if (!m_dataFolderProblem.empty()) {
        headline = "Nothing is being recorded";
        details = m_dataFolderProblem;
    } else if (m_hide) {
        headline = healthtext::Headline(m_hide->health());
        details = healthtext::Details(m_hide->health());
    }
    if (headline.empty() && !m_versionNotice.empty()) {
        // The failed check nobody asked for, said quietly where the warnings are.
        headline = m_versionNotice;
        details = m_versionNoticeDetails;
    }
    m_stb.setWarning(Widen(headline), Widen(details));
    mdlPubTrayIcon::SetTip(m_hwnd, headline.empty() ? std::string(mdlPubTrayIcon::kProductTip)
                                                    : std::string("Zelvory - ") + headline);
}

void frmPubMain::showPendingMessages()
{
    // While the window sits in the notification area (or before it is first shown) the
    // messages wait for it; the tooltip says enough meanwhile.
    if (m_showingMessages || !m_hwnd || !IsWindowVisible(m_hwnd) || mdlPubTrayIcon::InTray()) {
        return;
    }
    m_showingMessages = true;
    while (!m_pendingMessages.empty() && m_hwnd) {
        const CaptureIncident next = m_pendingMessages.front();
        m_pendingMessages.erase(m_pendingMessages.begin());
        // Only OK: this box informs, it never offers to stop. Recording goes on meanwhile.
        MessageBox::show(healthtext::Message(next), MessageBox::Icon::Exclamation);
    }
    m_showingMessages = false;
}

bool frmPubMain::confirmClose()
{
    return MessageBox::show(words::For().closeQuestion, MessageBox::Icon::Question,
                            MessageBox::Buttons::YesNoCancel,
                            MessageBox::Answer::Yes) == MessageBox::Answer::Yes;
}

void frmPubMain::shutDown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    m_closeConfirmed = true;
    if (m_version) {
        m_version->abandon();
    }
    if (m_hwnd) {
        mdlPubTrayIcon::RemoveTrayIcon(m_hwnd);
        mdlPubTrayIcon::PutBackProcedure(m_hwnd);
    }
    for (CallbackTimer* timer : {&m_todayTimer, &m_retryTimer, &m_heldLater, &m_healthLater,
                                 &m_messagesLater, &m_clockTimer, &m_heartbeat}) {
        timer->stop();
    }
    // Capture stops here; nothing is recorded after this point.
    if (m_hide) {
        m_hide->unload();
    }
}

} // namespace zlv::win
