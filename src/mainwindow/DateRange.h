#pragma once

#include "utility/Clock.h"

namespace zlv {

enum class RangeVerdict
{
    Valid,
    EndTooLate,
    StartAfterEnd
};

// Whether a History range can be loaded. When a range is wrong in both ways, the user
// hears about the end date: fixing the start alone would not make it loadable.
RangeVerdict CheckRange(const Date& from, const Date& to, const Date& today);

} // namespace zlv
