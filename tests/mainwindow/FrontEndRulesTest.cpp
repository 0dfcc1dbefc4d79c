#include "mainwindow/DesktopWords.h"
#include "mainwindow/VersionRule.h"
#include "utility/WebPages.h"

#include <gtest/gtest.h>
#include <string>

using namespace zlv;

TEST(FrontEndRules, OnlyARealServerIsAsked)
{
    for (const char* placeholder :
         {"https://www.qbsoftware.example", "https://qbsoftware.example/vers/zlv.txt",
          "HTTPS://WWW.QBSOFTWARE.EXAMPLE./", "https://example.com", "http://www.example.org:8080/",
          "https://me@shop.example.net/", "https://host.invalid", "https://a.b.test", "",
          "https://", "ftp://real.host/", "www.zelvory.org", "https://:443/"}) {
        EXPECT_FALSE(web::IsRealServer(placeholder)) << placeholder;
    }
    for (const char* real :
         {"https://www.zelvory.org", "http://127.0.0.1:5555/vers/zlv.txt", "https://localhost/",
          "https://example.community/", "https://myexample.com", "https://[::1]:8443/x",
          " https://mirror.host/ "}) {
        EXPECT_TRUE(web::IsRealServer(real)) << real;
    }
}

TEST(FrontEndRules, OnlyTheCheckTheUserAskedForShowsABox)
{
    using version::Reaction;
    for (VersionAnswer answer :
         {VersionAnswer::NoConnection, VersionAnswer::NoNewVersion, VersionAnswer::NewVersion}) {
        const Reaction unasked = version::ReactionTo(answer, false);
        EXPECT_TRUE(unasked == Reaction::Nothing || unasked == Reaction::QuietNotice ||
                    unasked == Reaction::NewVersionQuestion);
        EXPECT_NE(version::ReactionTo(answer, true), Reaction::Nothing);
        EXPECT_NE(version::ReactionTo(answer, true), Reaction::QuietNotice);
    }
    EXPECT_EQ(version::ReactionTo(VersionAnswer::NoConnection, false), Reaction::QuietNotice);
    // The version file's text, as bytes: a UTF-8 character counts once, a BOM not at all.
    EXPECT_EQ(ClassifyVersionText("\xEF\xBB\xBF"
                                  "2.0\r\n"),
              VersionAnswer::NoNewVersion);
    EXPECT_EQ(ClassifyVersionText("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), // 5 letters é
              VersionAnswer::NewVersion);
}

TEST(FrontEndRules, EachDesktopIsToldAboutWhatItHas)
{
    // Windows keeps its words exactly.
    const words::DesktopWords& windows = words::For(words::Desktop::Windows);
    EXPECT_STREQ(windows.closeQuestion,
                 "Are you sure you want to stop tracing your operations in Windows Explorer?");
    EXPECT_STREQ(windows.manageLogFilesTip, "Manages log files in Windows Explorer <Ctrl+M>.");
    EXPECT_STREQ(windows.proxyAdvice, "Please note that if you get the Internet connection "
                                      "through a proxy server, you must set the proxy in "
                                      "Microsoft Web Browser.");
    // Linux is never told about Windows programs.
    const words::DesktopWords& linux = words::For(words::Desktop::Linux);
    for (const char* text : {linux.closeQuestion, linux.manageLogFilesTip, linux.proxyAdvice}) {
        const std::string s(text);
        EXPECT_EQ(s.find("Windows"), std::string::npos) << s;
        EXPECT_EQ(s.find("Microsoft"), std::string::npos) << s;
    }
    EXPECT_NE(std::string(linux.closeQuestion).find("your file manager"), std::string::npos);
    EXPECT_NE(std::string(linux.proxyAdvice).find("your system's proxy settings"),
              std::string::npos);
#ifdef _WIN32
    EXPECT_EQ(&words::For(), &windows);
    EXPECT_EQ(version::NoConnectionText(),
              "Cannot connect to QBS server to check the new version, please check the Internet "
              "connection and try again.\r\n\r\nPlease note that if you get the Internet "
              "connection through a proxy server, you must set the proxy in Microsoft Web "
              "Browser.");
#else
    EXPECT_EQ(&words::For(), &linux);
    EXPECT_EQ(version::NoConnectionText().find("Microsoft"), std::string::npos);
#endif

    const std::string first = words::FirstStartText(
        "/home/ann", "/home/ann/.local/share/QBS/ZLV/logs", words::Desktop::Linux);
    for (const char* part : {"/home/ann)", "/media", "hidden folders", "excluded from recording",
                             "/home/ann/.local/share/QBS/ZLV/logs"}) {
        EXPECT_NE(first.find(part), std::string::npos) << part;
    }
    const std::string onWindows =
        words::FirstStartText("C:\\Users\\ann", "C:\\Users\\ann\\AppData\\Roaming\\QBS\\ZLV\\logs",
                              words::Desktop::Windows);
    EXPECT_NE(onWindows.find("Windows Explorer"), std::string::npos);
    EXPECT_EQ(onWindows.find("/media"), std::string::npos);
}
