#include "mainwindow/Geometry.h"

namespace zlv::layout {

Size ListSize(Size area, Point corner, Size margin, Size previous)
{
    Size s = previous;
    const int width = area.width - corner.x - margin.width;
    const int height = area.height - corner.y - margin.height;
    if (width >= 0) {
        s.width = width;
    }
    if (height >= 0) {
        s.height = height;
    }
    return s;
}

Point GoldenPlacement(Size screen, Size window)
{
    constexpr double kShare = 1.0 - 0.618;
    return Point{static_cast<int>((screen.width - window.width) * kShare),
                 static_cast<int>((screen.height - window.height) * kShare)};
}

} // namespace zlv::layout
