#pragma once

#include <QString>
#include <functional>
#include <string>

class QUrl;

namespace zlv::launch {

// What is handed to the desktop, for the words of a failure.
enum class Kind
{
    WebPage,
    Folder,
    HelpPage,
};

// How a program took, or did not take, an address.
struct Outcome
{
    bool ok = true;
    // A sentence's end on what failed ("no program is set to open it"); may be empty.
    QString why;
    // The desktop's own opener is missing, not the program behind it.
    bool openerMissing = false;
};

// Hands an address to the desktop and calls `done` once, later, with the outcome.
using Launcher = std::function<void(const QUrl& url, std::function<void(const Outcome&)> done)>;

// Hands `url` to the desktop's opener without waiting for it. Success is silent; when no
// program takes it, a message box says what could not be opened and what to do about it.
// A second failure of the same kind while that box is up is not shown again.
void Open(const QUrl& url, Kind kind);

// What the message box of a failure says.
std::string FailureText(const QUrl& url, Kind kind, const Outcome& outcome);

// Replaces how addresses are handed over (tests); an empty launcher puts the desktop's
// back. Returns the one replaced.
Launcher SetLauncher(Launcher launcher);

} // namespace zlv::launch
