#pragma once

#include "mainwindow/VersionRule.h"
#include "utility/windows/CallbackTimer.h"
#include "utility/windows/Handles.h"

#include <functional>
#include <string>
#include <windows.h>

namespace zlv::win {

// Fetches `url` (http or https) with WinHTTP and returns the whole body, waiting at most
// about `timeoutMs` for each step (name, connection, request, answer). Any failure (no
// connection, a status other than 2xx, a time-out, a body far longer than a version file)
// yields the empty text, which the rule reads as no connection.
std::string FetchText(const std::string& url, int timeoutMs);

// The version check of the Windows program: once by itself a while after start (only when
// the build has a real server to ask), and on request. The fetch is synchronous: the window
// is disabled under an hourglass and a banner while it runs, and it is bounded by the
// time-outs, so it never waits long.
class VersionCheck final
{
public:
    static constexpr UINT kBackgroundDelayMs = 60000;
    static constexpr int kFetchTimeoutMs = 9000;
    using Fetcher = std::function<std::string(const std::string& url, int timeoutMs)>;

    // An empty `versionUrl` means the maker's version file. `exitCommand` runs the main
    // window's Exit (with its question) after the upgrade pages are open.
    VersionCheck(HWND window, std::string versionUrl, std::function<void()> exitCommand);
    ~VersionCheck();
    VersionCheck(const VersionCheck&) = delete;
    VersionCheck& operator=(const VersionCheck&) = delete;

    bool hasServer() const { return m_hasServer; }
    const std::string& versionUrl() const { return m_url; }
    // Arms the single background check; once per run, never without a server.
    void startBackgroundTimer(UINT delayMs = kBackgroundDelayMs);
    void checkOnRequest();
    bool backgroundCheckDone() const { return m_backgroundDone; }
    bool busy() const { return m_busy; }
    void abandon();

    void setFetcher(Fetcher fetcher) { m_fetch = std::move(fetcher); }
    void setFetchTimeoutMs(int ms) { m_timeoutMs = ms; }

    // The background check could not reach the server: said quietly, never in a box.
    std::function<void(const std::string& headline, const std::string& details)> onBackgroundFailed;

private:
    void runBackgroundCheck();
    void answer(VersionAnswer result, bool onRequest);
    void showBanner(bool show);

    HWND m_window;
    std::string m_url;
    std::function<void()> m_exit;
    Fetcher m_fetch;
    CallbackTimer m_background;
    HWND m_banner = nullptr;
    OwnedFont m_bannerFont;
    int m_timeoutMs = kFetchTimeoutMs;
    bool m_hasServer = false;
    bool m_backgroundArmed = false;
    bool m_backgroundDone = false;
    bool m_busy = false;
    bool m_abandoned = false;
};

} // namespace zlv::win
