#pragma once

#include "utility/Clock.h"
#include "utility/Twips.h"

// Window geometry of the main window, and the date-range rule, as plain values so that
// they can be tested without a window.
namespace zlv::layout {

inline constexpr int kMarginPx = Px(kFormMarginTwips);
inline constexpr int kListLeftPx = Px(90);
inline constexpr int kListTopPx = Px(1245);      // from the top of the client area
inline constexpr int kToolbarDesignPx = Px(840); // the toolbar's design height
inline constexpr int kClientWidthPx = Px(10845);
inline constexpr int kClientHeightPx = Px(5970);

struct Size
{
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// The lists' size for a client area (toolbar and status bar included). A negative result
// in either direction is not applied: the previous value is kept.
Size ListSize(Size client, int statusBarHeight, Size previous);

// Where the window goes: 0.382 of the free space to the left and above.
struct Point
{
    int x = 0;
    int y = 0;
};
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
