#include "mainwindow/windows/VersionCheck.h"

#include "utility/MessageBox.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"
#include "utility/windows/FormMetrics.h"
#include "utility/windows/WinText.h"

#include <winhttp.h>

// <windows.h>, included after utility/MessageBox.h, named its macro again.
#undef MessageBox

namespace zlv::win {

namespace {

// A version file is a handful of bytes; anything much longer is not one.
constexpr DWORD kMaxBodyBytes = 64 * 1024;

struct InternetDeleter
{
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using OwnedInternet = std::unique_ptr<void, InternetDeleter>;

} // namespace

std::string FetchText(const std::string& url, int timeoutMs)
{
    const std::wstring wide = FromUtf8(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
        parts.dwHostNameLength == 0) {
        return {};
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) {
        path = L"/";
    }

    const std::wstring agent = L"Zelvory/" + Widen(kProgramVersion);
    const OwnedInternet session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return {};
    }
    const int wait = std::max(1, timeoutMs);
    // Name look-up, connection, sending and each read; the wait for the answer's head has
    // an option of its own, and under Wine only that one bounds it.
    WinHttpSetTimeouts(session.get(), wait, wait, wait, wait);
    const OwnedInternet connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) {
        return {};
    }
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    const OwnedInternet request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                   secure | WINHTTP_FLAG_REFRESH));
    if (!request) {
        return {};
    }
    DWORD responseWait = static_cast<DWORD>(wait);
    WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseWait,
                     sizeof responseWait);
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return {};
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX) ||
        status < 200 || status >= 300) {
        return {};
    }
    std::string body;
    for (;;) {
        char buffer[4096];
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &read)) {
            return {};
        }
        if (read == 0) {
            return body;
        }
        body.append(buffer, read);
        if (body.size() > kMaxBodyBytes) {
            return {}; // no version file is this long
        }
    }
}

VersionCheck::VersionCheck(HWND window, std::string versionUrl, std::function<void()> exitCommand)
    : m_window(window), m_url(versionUrl.empty() ? web::VersionFile() : std::move(versionUrl)),
      m_exit(std::move(exitCommand)), m_fetch(&FetchText), m_hasServer(web::IsRealServer(m_url))
{}

VersionCheck::~VersionCheck()
{
    abandon();
    if (m_banner) {
        DestroyWindow(m_banner);
    }
}

void VersionCheck::startBackgroundTimer(UINT delayMs)
{
    if (m_backgroundArmed || !m_hasServer || m_abandoned) {
        return;
    }
    m_backgroundArmed = true;
    m_background.start(delayMs, [this] { runBackgroundCheck(); });
}

void VersionCheck::abandon()
{
    m_abandoned = true;
    m_background.stop();
}

void VersionCheck::runBackgroundCheck()
{
    if (m_backgroundDone || m_abandoned) {
        return;
    }
    if (m_busy) {
        // A check on request holds its answer on screen; this one follows it.
        m_background.start(1000, [this] { runBackgroundCheck(); });
        return;
    }
    m_backgroundDone = true;
    m_busy = true;
    answer(ClassifyVersionText(m_fetch(m_url, m_timeoutMs)), false);
}

void VersionCheck::checkOnRequest()
{
    if (m_busy || m_abandoned) {
        return;
    }
    if (!m_hasServer) {
        MessageBox::show(version::NoServerText(), MessageBox::Icon::Information);
        return;
    }
    m_busy = true;
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    EnableWindow(m_window, FALSE);
    showBanner(true);
    const std::string text = m_fetch(m_url, m_timeoutMs);
    showBanner(false);
    EnableWindow(m_window, TRUE);
    SetCursor(before);
    answer(ClassifyVersionText(text), true);
}

void VersionCheck::answer(VersionAnswer result, bool onRequest)
{
    const version::Reaction reaction = version::ReactionTo(result, onRequest);
    if (reaction == version::Reaction::QuietNotice && onBackgroundFailed) {
        onBackgroundFailed(version::QuietNoConnectionText(), version::NoConnectionText());
    }
    const bool upgrade = version::ShowReaction(reaction);
    m_busy = false;
    if (upgrade && !m_abandoned) {
        SystemUtility::OpenWebPage(web::UpdatePage(), 1);
        SystemUtility::OpenWebPage(web::LatestArchive(), 1);
        // Exit may destroy the window and this check with it: nothing follows.
        const std::function<void()> exit = m_exit;
        if (exit) {
            exit();
        }
    }
}

void VersionCheck::showBanner(bool show)
{
    if (!show) {
        if (m_banner) {
            ShowWindow(m_banner, SW_HIDE);
        }
        return;
    }
    const wchar_t* const text = L"Checking the latest version, please wait...";
    if (!m_banner) {
        m_banner =
            CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_BORDER | SS_CENTER | SS_CENTERIMAGE,
                            0, 0, 0, 0, m_window, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!m_banner) {
            return;
        }
    }
    const UINT dpi = WindowDpi(m_window);
    m_bannerFont = CreateFormFont(dpi, 20.25, true);
    SendMessageW(m_banner, WM_SETFONT, reinterpret_cast<WPARAM>(m_bannerFont.get()), FALSE);
    const TwipScale scale = ScaleAt(dpi);
    const SIZE need = TextSize(m_bannerFont.get(), text);
    const int width = std::max(scale.X(9075), static_cast<int>(need.cx) + scale.X(240));
    const int height = std::max(scale.Y(1065), static_cast<int>(need.cy) + scale.Y(120));
    RECT client{};
    GetClientRect(m_window, &client);
    SetWindowPos(m_banner, HWND_TOP, (client.right - width) / 2, (client.bottom - height) / 2,
                 width, height, SWP_SHOWWINDOW);
    UpdateWindow(m_banner); // painted now: the fetch that follows holds the thread
}

} // namespace zlv::win
