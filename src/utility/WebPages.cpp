#include "utility/WebPages.h"

#ifndef ZLV_SERVER_URL
#define ZLV_SERVER_URL "https://www.qbsoftware.example"
#endif
#ifndef ZLV_FACEBOOK_URL
#define ZLV_FACEBOOK_URL "https://www.facebook.com/qbsoftware"
#endif
#ifndef ZLV_TWITTER_URL
#define ZLV_TWITTER_URL "https://twitter.com/qbsoftware"
#endif

namespace zlv::web {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace

std::string NormaliseServer(std::string_view server)
{
    std::string s = Trimmed(server);
    while (!s.empty() && s.back() == '/') {
        s.pop_back();
    }
    return s;
}

std::string Server()
{
    return NormaliseServer(ZLV_SERVER_URL);
}

std::string ProductPage()
{
    return Server() + "/zelvory/";
}

std::string UpdatePage()
{
    return ProductPage() + "?selectedTab=updates";
}

std::string LatestArchive()
{
    return ProductPage() + "zelvory.zip";
}

std::string RecommendPage()
{
    return ProductPage() + "?selectedTab=recommend";
}

std::string CompanyHomePage()
{
    return Server() + "/?source=zlv-ui";
}

std::string ContactPage()
{
    return Server() + "/contact.htm";
}

std::string VersionFile()
{
    return Server() + "/vers/zlv.txt";
}

std::string FacebookPage()
{
    return Trimmed(ZLV_FACEBOOK_URL);
}

std::string TwitterPage()
{
    return Trimmed(ZLV_TWITTER_URL);
}

} // namespace zlv::web
