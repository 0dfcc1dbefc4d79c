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

// The lists' size for an area. A window shrunk below the lists' corner would give a
// negative size, which Qt would turn into zero and lose; that direction keeps its old value.
Size ListSize(Size area, Point corner, Size margin, Size previous);

// Where the window first appears: the golden section of the free space, which sits a little
// above and left of centre, where the eye expects a main window.
Point GoldenPlacement(Size screen, Size window);

enum class RangeVerdict
{
    Valid,
    EndTooLate,
    StartAfterEnd
};

// Whether a History range can be loaded. When a range is wrong in both ways, the user
// hears about the end date: fixing the start alone would not make it loadable.
RangeVerdict CheckRange(const Date& from, const Date& to, const Date& today);

} // namespace zlv::layout
