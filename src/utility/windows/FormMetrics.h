#pragma once

#include "utility/Twips.h"
#include "utility/windows/Handles.h"

#include <string_view>

// Forms are drawn in twips for Tahoma 8.25 pt at 96 dots per inch. On a screen of another
// density everything grows in proportion; where the fonts in use still need more room than
// that gives, the layout (utility/FormFit.h) makes it.
namespace zlv::win {

inline constexpr UINT kDesignDpi = 96;
inline constexpr double kFormPoints = 8.25;

// The density the window is shown at: its monitor's where the system tells windows apart,
// else the desktop's.
UINT WindowDpi(HWND window);
TwipScale ScaleAt(UINT dpi);

// The forms' font at `dpi`: Tahoma, whose stand-in the system picks where it is missing.
OwnedFont CreateFormFont(UINT dpi, double points = kFormPoints, bool bold = false);

// What `text` takes in `font`, in pixels, on one line.
SIZE TextSize(HFONT font, std::wstring_view text);

// A system metric as it is at `dpi`.
int MetricAt(int index, UINT dpi);

} // namespace zlv::win
