// winsock2.h must come before windows.h.
#include "mainwindow/windows/VersionCheck.h"
#include "support/ScriptedMessages.h"
#include "support/windows/WindowDriver.h"
#include "utility/ProductVersion.h"
#include "utility/WebPages.h"
#include "utility/windows/ShellLaunch.h"
#include "utility/windows/WinText.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>

using namespace zlv;
using namespace zlv::test;
using zlv::win::VersionCheck;

namespace {

// An HTTP server on 127.0.0.1, on a port the system picks, that answers every request with
// `status` and `body`, or never answers at all.
class LocalServer
{
public:
    LocalServer(int status, std::string body, bool silent = false)
        : m_status(status), m_body(std::move(body)), m_silent(silent)
    {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = 0;
        bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof at);
        int size = sizeof at;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &size);
        m_port = ntohs(at.sin_port);
        listen(m_listener, 4);
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalServer()
    {
        closesocket(m_listener); // ends accept()
        m_thread.join();
        for (SOCKET held : m_held) {
            closesocket(held);
        }
        WSACleanup();
    }
    std::string url() const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + "/vers/zlv.txt";
    }
    int requests() const { return m_requests; }

private:
    void serve()
    {
        for (;;) {
            const SOCKET client = accept(m_listener, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                return;
            }
            ++m_requests;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(got));
            }
            if (m_silent) {
                m_held.push_back(client); // open, and nothing said
                continue;
            }
            const std::string answer = "HTTP/1.1 " + std::to_string(m_status) +
                                       " Answer\r\nContent-Type: text/plain\r\nContent-Length: " +
                                       std::to_string(m_body.size()) +
                                       "\r\nConnection: close\r\n\r\n" + m_body;
            send(client, answer.data(), static_cast<int>(answer.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    int m_status;
    std::string m_body;
    bool m_silent;
    SOCKET m_listener = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::atomic<int> m_requests{0};
    std::vector<SOCKET> m_held;
    std::thread m_thread;
};

class VersionCheckWin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(owner);
        win::shell::SetCalls({[this](const std::wstring& target) {
                                  opened.push_back(target);
                                  return true;
                              },
                              {},
                              {}});
    }
    void TearDown() override
    {
        win::shell::SetCalls({});
        DestroyWindow(owner);
    }
    std::unique_ptr<VersionCheck> Check(const std::string& url)
    {
        auto check = std::make_unique<VersionCheck>(owner, url, [this] { ++exits; });
        check->setFetchTimeoutMs(1500);
        return check;
    }

    ScriptedMessages messages;
    HWND owner = nullptr;
    std::vector<std::wstring> opened;
    int exits = 0;
};

TEST_F(VersionCheckWin, TheServersThreeAnswersAsTheUserSeesThem)
{
    const std::string big(100 * 1024, '9');
    const std::tuple<int, std::string, std::string> cases[] = {
        {200, std::string(kProgramVersion) + "\r\n", version::NoNewVersionText()},
        {200, "99.0", version::NewVersionText()},
        {404, "99.0", version::NoConnectionText()},
        {200, big, version::NoConnectionText()}, // no version file is this long
    };
    for (const auto& [status, body, said] : cases) {
        const LocalServer server(status, body);
        const auto check = Check(server.url());
        ASSERT_TRUE(check->hasServer());
        messages.clear();
        messages.answerNext(MessageBox::Answer::Cancel);
        check->checkOnRequest();
        EXPECT_EQ(server.requests(), 1) << body.substr(0, 10);
        ASSERT_EQ(messages.shown().size(), 1u) << body.substr(0, 10);
        EXPECT_EQ(messages.shown()[0].text, said) << status << " " << body.substr(0, 10);
        EXPECT_TRUE(IsWindowEnabled(owner)) << "the window takes input again";
        EXPECT_FALSE(check->busy());
    }
    EXPECT_TRUE(opened.empty()) << "Cancel to the new version opens nothing";
    EXPECT_EQ(exits, 0);

    // OK opens the update page and the archive, then runs Exit.
    const LocalServer server(200, "99.0");
    const auto check = Check(server.url());
    messages.answerNext(MessageBox::Answer::Ok);
    check->checkOnRequest();
    EXPECT_EQ(opened, (std::vector<std::wstring>{win::FromUtf8(web::UpdatePage()),
                                                 win::FromUtf8(web::LatestArchive())}));
    EXPECT_EQ(exits, 1);
}

TEST_F(VersionCheckWin, AServerThatNeverAnswersIsWaitedForOnlyAsLongAsTheTimeOut)
{
    const LocalServer server(200, "", true);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(win::FetchText(server.url(), 1500), "");
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 1000u) << "it did wait for an answer";
    EXPECT_LT(waited, 8000u) << "and not much longer than the time-out";

    const auto check = Check(server.url());
    check->checkOnRequest();
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, version::NoConnectionText());
}

TEST_F(VersionCheckWin, TheCheckNobodyAskedForIsQuietAndOnlyWhereThereIsAServer)
{
    {
        const auto check = Check(""); // this build's own: a placeholder server
        ASSERT_FALSE(check->hasServer()) << "the tests are built without a server";
        int fetches = 0;
        check->setFetcher([&](const std::string&, int) {
            ++fetches;
            return std::string("99.0");
        });
        check->startBackgroundTimer(0);
        PumpFor(200);
        EXPECT_FALSE(check->backgroundCheckDone());
        check->checkOnRequest();
        EXPECT_EQ(fetches, 0);
        ASSERT_EQ(messages.shown().size(), 1u);
        EXPECT_EQ(messages.shown()[0].text, version::NoServerText());
    }
    messages.clear();
    // A server that has gone: nothing listens on the port any more.
    std::string gone;
    {
        const LocalServer server(200, "");
        gone = server.url();
    }
    const auto check = Check(gone);
    std::string headline;
    check->onBackgroundFailed = [&](const std::string& h, const std::string&) { headline = h; };
    check->startBackgroundTimer(0);
    ASSERT_TRUE(PumpUntil([&] { return check->backgroundCheckDone() && !check->busy(); }));
    EXPECT_EQ(headline, version::QuietNoConnectionText());
    EXPECT_TRUE(messages.shown().empty()) << "never a box for a check nobody asked for";
}

} // namespace
