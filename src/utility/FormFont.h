#pragma once

#include <QFont>
#include <QGuiApplication>
#include <QStringList>

namespace zlv {

// The forms were drawn in Tahoma 8.25 pt on a desktop whose own font was 9 pt. They
// follow the desktop's font: its size in that proportion, and its family wherever
// Tahoma is not installed. The layout then adapts to the font (FormLayout.h).
inline constexpr double kDesignPoints = 8.25;
inline constexpr double kDesktopDesignPoints = 9.0;

// The form font at the given design size.
inline QFont FormFont(double points = kDesignPoints, bool bold = false)
{
    const QFont desktop = QGuiApplication::font();
    QFont font = desktop;
    font.setFamilies({QStringLiteral("Tahoma"), desktop.family()});
    const double desktopPoints =
        desktop.pointSizeF() > 0 ? desktop.pointSizeF() : kDesktopDesignPoints;
    font.setPointSizeF(points * desktopPoints / kDesktopDesignPoints);
    font.setBold(bold);
    return font;
}

// A truth value is no size: FormFont(true) would quietly ask for a 1-point font.
QFont FormFont(bool) = delete;

} // namespace zlv
