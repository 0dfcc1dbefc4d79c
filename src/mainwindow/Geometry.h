#pragma once

#include "utility/Twips.h"

// Window geometry of the main window, as plain values so that it can be computed without a
// window.
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

} // namespace zlv::layout
