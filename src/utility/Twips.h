#pragma once

namespace zlv {

// Forms are designed in twips (1440 to the inch); the screen has 15 of them to a pixel at
// 96 dots per inch.
constexpr int Px(int twips)
{
    return (twips + 7) / 15;
}

// What every form keeps free beyond its outermost control.
inline constexpr int kFormMarginTwips = 90;

} // namespace zlv
