#pragma once

#include <string>

namespace zlv::bench {

// The real program is sent SIGTERM in the middle of a burst of file creations: how many of
// the files made before the signal left its journal lacks once the program has ended, the
// worst of `rounds` runs, each in a fresh home under `root`. -1 when the program was not
// built.
int SignalLost(const std::string& root, int rounds);

} // namespace zlv::bench
