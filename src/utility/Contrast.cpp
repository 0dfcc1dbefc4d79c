#include "utility/Contrast.h"

#include <algorithm>
#include <cmath>

namespace zlv::contrast {

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) +
           0.0722 * Linear(rgb.blueF());
}

QColor WithLightness(const QColor& hsl, int lightness)
{
    return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness, hsl.alpha()).toRgb();
}

} // namespace

double Ratio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Readable(const QColor& colour, const QColor& background, double minimum)
{
    if (Ratio(colour, background) >= minimum) {
        return colour;
    }
    const QColor hsl = colour.toHsl();
    // Towards whichever of white and black stands further from the background. Along that
    // way the contrast only grows, so the least change that is enough is found by halving.
    const bool lighten = Ratio(Qt::white, background) > Ratio(Qt::black, background);
    const int start = hsl.lightness();
    const int end = lighten ? 255 : 0;
    if (Ratio(WithLightness(hsl, end), background) < minimum) {
        return WithLightness(hsl, end);
    }
    int enough = end;      // reaches the minimum
    int tooLittle = start; // does not
    while (std::abs(enough - tooLittle) > 1) {
        const int middle = (enough + tooLittle) / 2;
        if (Ratio(WithLightness(hsl, middle), background) >= minimum) {
            enough = middle;
        } else {
            tooLittle = middle;
        }
    }
    return WithLightness(hsl, enough);
}

} // namespace zlv::contrast
