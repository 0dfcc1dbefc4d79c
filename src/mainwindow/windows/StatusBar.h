#pragma once

#include "utility/Clock.h"
#include "utility/windows/Handles.h"

#include <string>

namespace zlv::win {

// The main window's status bar `stb`: the row count, today's date, the time of day and the
// version, and between the count and the date a warning while the journal is incomplete.
class StatusBar final
{
public:
    enum Panel
    {
        kRows = 0,
        kDate,
        kTime,
        kVersion,
        kWarning, // shown only while there is something to say
        kNone
    };

    bool create(HWND parent, int id, HFONT font);
    HWND hwnd() const { return m_bar; }
    int height() const;

    void setText(Panel panel, const std::wstring& text);
    const std::wstring& text(Panel panel) const { return m_texts[panel]; }
    // Renders the date and time panels from `now`; true when the date changed since the
    // last call (not on the first).
    bool refreshClock(const LocalDateTime& now);
    // The warning and what its tooltip says; an empty headline takes it away.
    void setWarning(const std::wstring& headline, const std::wstring& details);

    // Follows the parent's new size or font.
    void layout();
    void setFont(HFONT font);
    // The panel under a point of the bar's client area.
    Panel panelAt(POINT point) const;
    // The index of `panel` among the bar's parts; -1 while it is not shown.
    int partOf(Panel panel) const;

private:
    HWND m_bar = nullptr;
    HWND m_tips = nullptr;
    HFONT m_font = nullptr;
    HICON m_warningIcon = nullptr; // the system's, shared: never destroyed
    std::wstring m_texts[kNone];
    std::wstring m_warningDetails;
    Date m_shownDate{0, 0, 0};
};

} // namespace zlv::win
