#pragma once

#include <QColor>

namespace zlv::contrast {

// How much two colours stand apart for the eye, from 1 (the same) to 21 (black on white),
// by their relative luminance.
double Ratio(const QColor& a, const QColor& b);

// The least text a reader with weak sight is still expected to make out on its background.
inline constexpr double kReadable = 4.5;

// `colour` as it is when it stands out enough from `background`; otherwise the same hue
// made lighter (on a dark background) or darker (on a light one), no further than it takes.
// A background against which no shade of the hue reaches `minimum` gets the shade that
// comes closest.
QColor Readable(const QColor& colour, const QColor& background, double minimum = kReadable);

} // namespace zlv::contrast
