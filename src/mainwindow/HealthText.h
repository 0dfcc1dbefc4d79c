#pragma once

#include "capture/CaptureHealth.h"

#include <string>

// What the program says about the completeness of its journal, the same words in every
// front end: the status bar's warning, its details, the tray's tooltip and the one message
// per condition where the user has to act.
namespace zlv::healthtext {

// What the user can do about an incident of this kind.
const char* Advice(GapReason reason);

// The message for an incident the user has to act on: what happened, then what to do.
std::string Message(const CaptureIncident& incident);

// A few words for the status bar; empty while the journal of the run is complete.
std::string Headline(const CaptureHealth& health);

// Every incident of the run with its time, count and advice, and the records still held;
// empty while the journal is complete. Lines end in LF.
std::string Details(const CaptureHealth& health);

} // namespace zlv::healthtext
