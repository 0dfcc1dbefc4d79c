#pragma once

#include <string>
#include <string_view>

namespace zlv::web {

// Addresses of the maker's pages. They hang off one server a packager picks at build time
// (ZLV_SERVER_URL), so a fork or a mirror changes one setting, not a dozen strings; the two
// social pages are separate settings because they live elsewhere.

std::string Server();          // without a trailing slash
std::string ProductPage();     // Server() + "/zelvory/"
std::string UpdatePage();      // ProductPage() + "?selectedTab=updates"
std::string LatestArchive();   // ProductPage() + "zelvory.zip"
std::string RecommendPage();   // ProductPage() + "?selectedTab=recommend"
std::string CompanyHomePage(); // Server() + "/?source=zlv-ui"
std::string ContactPage();     // Server() + "/contact.htm"
std::string VersionFile();     // Server() + "/vers/zlv.txt"
std::string FacebookPage();
std::string TwitterPage();

// `server` with surrounding blanks and trailing slashes removed, so that a configured
// "https://host/" does not turn every page into "https://host//...".
std::string NormaliseServer(std::string_view server);

// Whether `address` names a server that can exist: an http or https address whose host is
// not one of the names set aside for examples (".example", ".invalid", ".test",
// example.com and the like). A build made without ZLV_SERVER_URL has such a placeholder,
// and asking it anything only fails.
bool IsRealServer(std::string_view address);
// Whether this build was given a server of its own.
bool HasRealServer();

} // namespace zlv::web
