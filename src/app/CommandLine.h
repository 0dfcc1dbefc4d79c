#pragma once

#include "utility/Clock.h"

#include <QStringList>
#include <optional>
#include <string>

namespace zlv::cli {

enum class Mode
{
    Window,  // the ordinary start
    Help,    // usage text, then out
    Version, // version line, then out
    Journal, // --print and/or --follow
    Status,  // --status
};

enum class Format
{
    Display,
    Tsv,
    Csv,
    Json,
};

struct Arguments
{
    Mode mode = Mode::Window;
    bool tray = false;
    bool print = false;
    bool follow = false;
    std::optional<Date> from;
    std::optional<Date> to;
    std::string find;
    Format format = Format::Display;
    // What was not understood: fatal for the terminal modes (exit status 2), one warning
    // line and an ordinary start for the window.
    QString problem;
};

// The usage text; it names every option.
extern const char* const kUsage;

// Reads the arguments, the program's name first. Qt's own window-system arguments
// (-platform, -session, -style, ...) are known here only so that they and their values are
// left alone: QApplication takes them itself.
Arguments Parse(const QStringList& arguments);

// "YYYY-MM-DD" naming a real day, nothing else.
std::optional<Date> ParseDate(const QString& text);

} // namespace zlv::cli
