#pragma once

#include "utility/windows/Handles.h"

#include <string>

namespace zlv::win {

// `Toolbar1`: five buttons with their pictures from the image list `iglToolbar`, a caption
// under each and a tooltip. A click reaches the parent as WM_COMMAND with the button's
// number; the button's caption says which command it runs.
class Toolbar final
{
public:
    bool create(HWND parent, int id, UINT dpi, HFONT font);
    HWND hwnd() const { return m_bar; }
    int height() const;
    void layout();
    // New pictures for another screen density.
    void setDpi(UINT dpi, HFONT font);

    // The caption of the button with command number `command`; empty for none.
    std::wstring caption(int command) const;
    // Fills the tooltip the bar asks for; false when the notification is not about one.
    bool tooltip(NMHDR* header) const;

private:
    void loadImages(UINT dpi);

    HWND m_bar = nullptr;
    OwnedImageList m_iglToolbar;
    mutable std::wstring m_manageTip; // handed to the tooltip, which reads it after we return
};

} // namespace zlv::win
