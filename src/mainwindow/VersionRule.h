#pragma once

#include "utility/ProductVersion.h"

#include <string>
#include <string_view>

// What the version check decides, as plain values, so that every front end asks the same
// questions and a test needs neither a network nor a window.
namespace zlv {

enum class VersionAnswer
{
    NoConnection,
    NoNewVersion,
    NewVersion
};

// What the fetched version file (UTF-8) means. Trailing blanks and line ends, and a leading
// byte order mark, are ignored; what is left must be 3 to 9 characters long to count as an
// answer at all. When both the answer and `ownVersion` are dotted numbers only a greater
// number is new, so an older file on a lagging mirror never asks to "upgrade" backwards;
// any other answer is new exactly when it differs from `ownVersion`.
VersionAnswer ClassifyVersionText(std::string_view fetched,
                                  std::string_view ownVersion = kProgramVersion);

namespace version {

// What one check shows the user.
enum class Reaction
{
    Nothing,         // no new version, found by the check nobody asked for
    QuietNotice,     // the check nobody asked for could not connect: a word, never a box
    NoConnectionBox, // the user asked and the server could not be reached
    NoNewVersionBox, // the user asked and has the latest version
    NewVersionQuestion,
};

Reaction ReactionTo(VersionAnswer answer, bool onRequest);
// Shows the box a reaction calls for and says whether the user chose to upgrade. A quiet
// notice shows nothing here: each window puts it in its own status bar.
bool ShowReaction(Reaction reaction);

// The texts of the check, in this build's words (the proxy advice names what the user's
// system has).
std::string NewVersionText();
std::string NoNewVersionText();
std::string NoConnectionText();
// Asked on a build that has no update server to ask.
std::string NoServerText();
// The one line the status bar shows when the check nobody asked for failed.
std::string QuietNoConnectionText();

} // namespace version

} // namespace zlv
