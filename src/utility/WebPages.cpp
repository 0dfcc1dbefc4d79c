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

bool IsRealServer(std::string_view address)
{
    std::string text = Trimmed(address);
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    std::string_view rest(text);
    if (rest.starts_with("https://")) {
        rest.remove_prefix(8);
    } else if (rest.starts_with("http://")) {
        rest.remove_prefix(7);
    } else {
        return false;
    }
    std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) {
        host.remove_prefix(at + 1);
    }
    if (host.starts_with('[')) {
        return host.find(']') != std::string_view::npos; // an IPv6 literal
    }
    host = host.substr(0, host.find(':'));
    while (host.ends_with('.')) {
        host.remove_suffix(1); // the root's dot: "example.com." is example.com
    }
    if (host.empty()) {
        return false;
    }
    const auto under = [host](std::string_view domain) {
        return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                                  host[host.size() - domain.size() - 1] == '.');
    };
    for (std::string_view reserved :
         {"example", "invalid", "test", "example.com", "example.net", "example.org"}) {
        if (under(reserved)) {
            return false;
        }
    }
    return true;
}

bool HasRealServer()
{
    return IsRealServer(Server());
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
