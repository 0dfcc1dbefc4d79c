#pragma once

#include "utility/Clock.h"

#include <string>
#include <string_view>
#include <vector>

namespace zlv {

class DataFolder;

// Where a list ordered by time shows that the journal has a gap.
namespace gapmarks {

// The stamps of every gap recorded for the days `from` to `to`, ascending. Months without a
// folder are passed over whole, as the lists' own loading does.
std::vector<std::string> CollectStamps(const DataFolder& folder, Date from, Date to);

// Whether one of `gaps` (ascending) falls between two neighbouring rows of a list ordered
// by time, `above` shown over `below`. An empty stamp stands for the list's edge. Records
// at or before a gap's stamp are on its older side.
bool Between(const std::vector<std::string>& gaps, std::string_view above, std::string_view below,
             bool newestFirst);

} // namespace gapmarks
} // namespace zlv
