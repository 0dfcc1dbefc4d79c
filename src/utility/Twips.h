#pragma once

#include <cmath>

namespace zlv {

// Forms are designed in twips (1440 to the inch); the screen has 15 of them to a pixel at
// 96 dots per inch.
constexpr int Px(int twips)
{
    return (twips + 7) / 15;
}

// What every form keeps free beyond its outermost control.
inline constexpr int kFormMarginTwips = 90;

// Twips to pixels for a form whose font is larger or smaller than the one it was drawn
// for: lengths across follow the font's character width, lengths down its line height,
// the way dialog units do. A scale of 1 is the design.
struct TwipScale
{
    double x = 1.0;
    double y = 1.0;

    int X(int twips) const { return static_cast<int>(std::lround(twips * x / 15.0)); }
    int Y(int twips) const { return static_cast<int>(std::lround(twips * y / 15.0)); }
};

} // namespace zlv
