#include "mainwindow/DesktopWords.h"
#include "mainwindow/VersionRule.h"
#include "utility/WebPages.h"

#include <gtest/gtest.h>
#include <string>

using namespace zlv;

TEST(FrontEndRules, OnlyARealServerIsAskedAndOnlyTheUserGetsABox)
{
    for (const char* placeholder :
         {"https://www.qbsoftware.example", "HTTPS://WWW.QBSOFTWARE.EXAMPLE./", "https://",
          "http://me@shop.example.net:8080/", "https://a.b.test", "ftp://real.host/"}) {
        EXPECT_FALSE(web::IsRealServer(placeholder)) << placeholder;
    }
    for (const char* real : {"http://127.0.0.1:5555/v", "https://example.community/",
                             "https://[::1]:8443/x", " https://mirror.host/ "}) {
        EXPECT_TRUE(web::IsRealServer(real)) << real;
    }
    for (VersionAnswer a :
         {VersionAnswer::NoConnection, VersionAnswer::NoNewVersion, VersionAnswer::NewVersion}) {
        EXPECT_NE(version::ReactionTo(a, false), version::Reaction::NoConnectionBox);
        EXPECT_NE(version::ReactionTo(a, true), version::Reaction::QuietNotice);
    }
    // Five characters in ten bytes are an answer.
    EXPECT_EQ(ClassifyVersionText("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"),
              VersionAnswer::NewVersion);
}

TEST(FrontEndRules, EachDesktopIsToldAboutWhatItHas)
{
    const words::DesktopWords& windows = words::For(words::Desktop::Windows);
    const words::DesktopWords& linux = words::For(words::Desktop::Linux);
    EXPECT_STREQ(windows.manageLogFilesTip, "Manages log files in Windows Explorer <Ctrl+M>.");
    for (const char* text : {linux.closeQuestion, linux.manageLogFilesTip, linux.proxyAdvice}) {
        EXPECT_EQ(std::string(text).find("Windows"), std::string::npos) << text;
    }
    const std::string noConnection = version::NoConnectionText();
#ifdef _WIN32
    EXPECT_EQ(noConnection.substr(noConnection.find("\r\n\r\n") + 4),
              "Please note that if you get the Internet connection through a proxy server, you "
              "must set the proxy in Microsoft Web Browser.");
#else
    EXPECT_NE(noConnection.find("your system's proxy settings."), std::string::npos);
#endif
}
