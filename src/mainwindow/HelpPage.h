#pragma once

#include <QString>

namespace zlv {

// The help installed with the program ("zelvory/help/zelvory.html" under a shared data
// folder, or under "../share" beside the program); empty when none is there.
QString InstalledHelpPage();

// What F1 opens: the product page on a build with a real server, else the help installed
// with the program, in the desktop's viewer; a message when neither can be had.
void OpenHelp();

} // namespace zlv
