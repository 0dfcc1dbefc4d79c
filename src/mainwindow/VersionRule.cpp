#include "mainwindow/VersionRule.h"

#include "mainwindow/DesktopWords.h"
#include "utility/MessageBox.h"

#include <algorithm>
#include <vector>

namespace zlv {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Characters, not bytes: a UTF-8 continuation byte does not start one.
std::size_t CharacterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool IsDottedNumber(std::string_view text)
{
    bool digitSeen = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digitSeen = true;
        } else if (c == '.' && digitSeen) {
            digitSeen = false;
        } else {
            return false;
        }
    }
    return digitSeen;
}

std::vector<std::string_view> Parts(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (std::size_t dot; (dot = text.find('.')) != std::string_view::npos;) {
        parts.push_back(text.substr(0, dot));
        text.remove_prefix(dot + 1);
    }
    parts.push_back(text);
    return parts;
}

// Compares two dotted numbers part by part as digit strings, so that no part can
// overflow and "2.10" is greater than "2.9"; a missing part counts as 0.
int CompareDotted(std::string_view a, std::string_view b)
{
    const std::vector<std::string_view> pa = Parts(a);
    const std::vector<std::string_view> pb = Parts(b);
    const auto significant = [](std::string_view part) {
        while (part.size() > 1 && part.front() == '0') {
            part.remove_prefix(1);
        }
        return part;
    };
    for (std::size_t i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const std::string_view x = significant(i < pa.size() ? pa[i] : "0");
        const std::string_view y = significant(i < pb.size() ? pb[i] : "0");
        if (x.size() != y.size()) {
            return x.size() < y.size() ? -1 : 1;
        }
        if (const int c = x.compare(y); c != 0) {
            return c < 0 ? -1 : 1;
        }
    }
    return 0;
}

} // namespace

VersionAnswer ClassifyVersionText(std::string_view text, std::string_view ownVersion)
{
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    const std::size_t length = CharacterCount(text);
    if (length < 3 || length > 9) {
        return VersionAnswer::NoConnection;
    }
    if (IsDottedNumber(text) && IsDottedNumber(ownVersion)) {
        return CompareDotted(text, ownVersion) > 0 ? VersionAnswer::NewVersion
                                                   : VersionAnswer::NoNewVersion;
    }
    return text == ownVersion ? VersionAnswer::NoNewVersion : VersionAnswer::NewVersion;
}

namespace version {

Reaction ReactionTo(VersionAnswer answer, bool onRequest)
{
    switch (answer) {
    case VersionAnswer::NoConnection:
        // Nobody asked: a box out of nowhere, a minute after every start without a
        // network, is a nag. It is said once, where the user looks anyway.
        return onRequest ? Reaction::NoConnectionBox : Reaction::QuietNotice;
    case VersionAnswer::NoNewVersion:
        return onRequest ? Reaction::NoNewVersionBox : Reaction::Nothing;
    case VersionAnswer::NewVersion:
        break;
    }
    return Reaction::NewVersionQuestion;
}

bool ShowReaction(Reaction reaction)
{
    switch (reaction) {
    case Reaction::Nothing:
    case Reaction::QuietNotice:
        return false;
    case Reaction::NoConnectionBox:
        MessageBox::show(NoConnectionText(), MessageBox::Icon::Exclamation);
        return false;
    case Reaction::NoNewVersionBox:
        MessageBox::show(NoNewVersionText(), MessageBox::Icon::Information);
        return false;
    case Reaction::NewVersionQuestion:
        return MessageBox::show(NewVersionText(), MessageBox::Icon::Question,
                                MessageBox::Buttons::OkCancel,
                                MessageBox::Answer::Ok) == MessageBox::Answer::Ok;
    }
    return false;
}

std::string NewVersionText()
{
    return "New version found, please click <OK> to exit Zelvory, view the update and download "
           "the latest version, to abandon upgrading, please click <Cancel>.";
}

std::string NoNewVersionText()
{
    return "No available new version for upgrading.";
}

std::string NoConnectionText()
{
    return std::string("Cannot connect to QBS server to check the new version, please check the "
                       "Internet connection and try again.\r\n\r\n") +
           words::For().proxyAdvice;
}

std::string NoServerText()
{
    return "This copy of Zelvory was built without an update server, so it cannot look for a "
           "new version by itself.\r\n\r\nNew versions come from wherever you got Zelvory, "
           "for instance your system's software updates.";
}

std::string QuietNoConnectionText()
{
    return "Could not check for a new version: no connection to QBS server.";
}

} // namespace version

} // namespace zlv
