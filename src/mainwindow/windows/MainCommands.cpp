// The main window's commands: what each menu item, shortcut key, toolbar button and
// status-bar click of the Windows program does.
#include "browse/windows/frmPubDetail.h"
#include "mainwindow/windows/CommandIds.h"
#include "mainwindow/windows/frmPubMain.h"
#include "settings/windows/frmPubAbout.h"
#include "settings/windows/frmPubOptions.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"
#include "utility/windows/RunAtLogon.h"
#include "utility/windows/ShellLaunch.h"

namespace zlv::win {

namespace {

void OpenPage(const std::string& address)
{
    SystemUtility::OpenWebPage(address, 1);
}

} // namespace

void frmPubMain::onCommand(int id, HWND from)
{
    if (from && from == m_toolbar.hwnd()) {
        runToolbarCommand(m_toolbar.caption(id));
        return;
    }
    switch (id) {
    case IDC_optTod:
    case ID_menlt:
        showTodayView();
        break;
    case IDC_optHis:
    case ID_menlh:
        showHistoryView();
        break;
    case IDOK:
        // Enter, which the dialog keys turn into IDOK: in a list it opens the Detail View.
        if (const HWND focus = GetFocus();
            focus && (focus == m_lsvToday.hwnd() || focus == m_lsvHistory.hwnd())) {
            showDetailView();
        }
        break;
    case ID_menlm:
        manageLogFiles();
        break;
    case ID_menlv:
        showDetailView();
        break;
    case ID_menlx:
        SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
        break;
    case ID_mento:
        showOptions();
        break;
    case ID_mentm:
        mapNetworkDrive();
        break;
    case ID_mentd:
        disconnectNetworkDrive();
        break;
    case ID_mentw:
        switchStartWithWindows();
        break;
    case ID_menhh:
        OpenPage(web::ProductPage());
        break;
    case ID_menho:
        OpenPage(web::CompanyHomePage());
        break;
    case ID_menhe:
        OpenPage(web::ContactPage());
        break;
    case ID_menhr:
        OpenPage(web::RecommendPage());
        break;
    case ID_menhc:
        checkLatestVersion();
        break;
    case ID_menhf:
        OpenPage(web::FacebookPage());
        break;
    case ID_menht:
        OpenPage(web::TwitterPage());
        break;
    case ID_menha:
        showAbout();
        break;
    default:
        break;
    }
}

bool frmPubMain::runToolbarCommand(const std::wstring& caption)
{
    // The caption decides, as the user reads it.
    if (caption == L"Manage Log Files") {
        manageLogFiles();
    } else if (caption == L"Detail View") {
        showDetailView();
    } else if (caption == L"Options") {
        showOptions();
    } else if (caption == L"Homepage") {
        OpenPage(web::ProductPage());
    } else if (caption == L"Exit") {
        SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    } else {
        return false;
    }
    return true;
}

void frmPubMain::onMenuPopup(HMENU menu)
{
    // The mark shows what the Run key holds, also when it was changed elsewhere.
    if (GetMenuState(menu, ID_mentw, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
        CheckMenuItem(menu, ID_mentw,
                      MF_BYCOMMAND | (runatlogon::IsEnabled() ? MF_CHECKED : MF_UNCHECKED));
    }
}

void frmPubMain::showDetailView()
{
    frmPubDetail::Open(m_hwnd, [this]() -> LogListView& { return visibleList(); });
}

void frmPubMain::manageLogFiles()
{
    SystemUtility::OpenFolderInFileManager(m_folder.logsFolder());
}

void frmPubMain::showOptions()
{
    frmPubOptions dialog(m_folder.configurationFile(), [this] {
        // Both lists: the hidden one shows the new format when the user turns to it.
        m_lsvToday.refreshTimes();
        m_lsvHistory.refreshTimes();
    });
    dialog.runModal(m_hwnd);
}

void frmPubMain::showAbout()
{
    frmPubAbout dialog(m_folder.dataFolder());
    dialog.runModal(m_hwnd);
}

void frmPubMain::checkLatestVersion()
{
    if (m_version) {
        m_version->checkOnRequest();
    }
}

void frmPubMain::mapNetworkDrive()
{
    shell::DriveDialog(m_hwnd, true);
}

void frmPubMain::disconnectNetworkDrive()
{
    shell::DriveDialog(m_hwnd, false);
}

void frmPubMain::switchStartWithWindows()
{
    runatlogon::SetEnabled(!runatlogon::IsEnabled());
}

void frmPubMain::startVersionCheck()
{
    m_version = std::make_unique<VersionCheck>(m_hwnd, m_options.versionUrl,
                                               [this] { SendMessageW(m_hwnd, WM_CLOSE, 0, 0); });
    m_version->onBackgroundFailed = [this](const std::string& headline,
                                           const std::string& details) {
        m_versionNotice = headline;
        m_versionNoticeDetails = details;
        refreshHealth();
    };
    if (m_options.versionCheckDelayMs > 0) {
        m_version->startBackgroundTimer(m_options.versionCheckDelayMs);
    }
}

} // namespace zlv::win
