#pragma once

#include "utility/Clock.h"
#include "utility/Twips.h"

// Window geometry of the main window, and the date-range rule, as plain values so that
// they can be tested without a window.
namespace zlv::layout {

// In twips, on the client area of the design, which includes the toolbar.
inline constexpr int kListLeft = 90;
inline constexpr int kListTop = 1245;
inline constexpr int kToolbarDesignHeight = 840;
inline constexpr int kClientWidth = 10845;
inline constexpr int kClientHeight = 5970;

struct Size
{
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

struct Point
{
    int x = 0;
    int y = 0;
};

// The lists' size in an area when their corner stands at `corner` and they keep `margin`
// to the area's right and bottom edges. A negative result in either direction is not
// applied: the previous value is kept.
Size ListSize(Size area, Point corner, Size margin, Size previous);

// Where the window goes: 0.382 of the free space to the left and above.
Point GoldenPlacement(Size screen, Size window);

enum class RangeVerdict
{
    Valid,
    EndTooLate,
    StartAfterEnd
};

// The History range rule: the end date is tested first, so a range that breaks both
// rules is reported as EndTooLate.
RangeVerdict CheckRange(const Date& from, const Date& to, const Date& today);

} // namespace zlv::layout
