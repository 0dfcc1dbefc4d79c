// The parts of SystemUtility that hand something to another program, on Windows: web pages
// to the user's browser and the logs folder to Explorer, through the shell seam.
#include "utility/MessageBox.h"
#include "utility/SystemUtility.h"
#include "utility/windows/ShellLaunch.h"
#include "utility/windows/WinText.h"

#include <algorithm>
#include <cctype>

// <windows.h>, included after utility/MessageBox.h, named its macro again.
#undef MessageBox

namespace zlv {

namespace {

// An http or https address with a host and nothing a command line could read more into.
bool IsWebAddress(const std::string& address)
{
    std::string lower(address.substr(0, 8));
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::size_t host = 0;
    if (lower.starts_with("https://")) {
        host = 8;
    } else if (lower.starts_with("http://")) {
        host = 7;
    } else {
        return false;
    }
    const bool plain = std::none_of(address.begin(), address.end(), [](unsigned char c) {
        return c <= ' ' || c == '"' || c == 0x7F;
    });
    return plain && host < address.size() && address[host] != '/' && address[host] != '?' &&
           address[host] != '#';
}

} // namespace

void SystemUtility::OpenWebPage(const std::string& address, int showState)
{
    (void)showState; // the browser decides how it shows the page
    // Only web addresses: a file or a program name handed to the shell would be run.
    if (!IsWebAddress(address)) {
        return;
    }
    if (!win::shell::Open(win::FromUtf8(address))) {
        MessageBox::show("Zelvory could not open " + address +
                             ": Windows has no web browser set to open it.\r\n\r\nChoose a "
                             "default web browser in Windows' settings, then try again.",
                         MessageBox::Icon::Exclamation);
    }
}

void SystemUtility::OpenFolderInFileManager(const std::string& folder)
{
    if (folder.empty()) {
        return;
    }
    // Explorer reads its own command line: the path follows "Explorer " as it is, unquoted,
    // spaces and all.
    if (!win::shell::Start(L"Explorer " + win::Widen(folder))) {
        MessageBox::show("Zelvory could not show " + folder + ": Explorer did not start.",
                         MessageBox::Icon::Exclamation);
    }
}

} // namespace zlv
