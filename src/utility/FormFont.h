#pragma once

#include <QFont>

namespace zlv {

// The typeface every form is designed in, at the given size.
inline QFont FormFont(double points = 8.25, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A truth value is no size: FormFont(true) would quietly ask for a 1-point font.
QFont FormFont(bool) = delete;

} // namespace zlv
