#include "mainwindow/windows/StatusBar.h"

#include "utility/windows/FormMetrics.h"

#include <algorithm>
#include <array>
#include <vector>

namespace zlv::win {

namespace {

constexpr const wchar_t* kTips[] = {L"Rows total.", L"Today.", L"Now.", L"Program version."};

// The parts from left to right.
std::vector<StatusBar::Panel> Shown(bool warning)
{
    if (warning) {
        return {StatusBar::kRows, StatusBar::kWarning, StatusBar::kDate, StatusBar::kTime,
                StatusBar::kVersion};
    }
    return {StatusBar::kRows, StatusBar::kDate, StatusBar::kTime, StatusBar::kVersion};
}

std::wstring DateText(const Date& d)
{
    SYSTEMTIME at{};
    at.wYear = static_cast<WORD>(d.year);
    at.wMonth = static_cast<WORD>(d.month);
    at.wDay = static_cast<WORD>(d.day);
    wchar_t buffer[128] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr, buffer, 128);
    return std::wstring(L" ") + buffer + L" ";
}

std::wstring TimeText(const LocalDateTime& now)
{
    SYSTEMTIME at{};
    at.wYear = static_cast<WORD>(now.date.year);
    at.wMonth = static_cast<WORD>(now.date.month);
    at.wDay = static_cast<WORD>(now.date.day);
    at.wHour = static_cast<WORD>(now.hour);
    at.wMinute = static_cast<WORD>(now.minute);
    wchar_t buffer[128] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &at, nullptr, buffer, 128);
    return std::wstring(L" ") + buffer + L" ";
}

} // namespace

bool StatusBar::create(HWND parent, int id, HFONT font)
{
    m_bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                            0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!m_bar) {
        return false;
    }
    m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_tips) {
        // Long enough for the warning's details, which run over several lines.
        SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, 480);
        for (int panel = kRows; panel < kNone; ++panel) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = m_bar;
            tool.uId = static_cast<UINT_PTR>(panel);
            tool.lpszText = const_cast<wchar_t*>(panel < kWarning ? kTips[panel] : L"");
            SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    m_warningIcon = static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    setFont(font);
    return true;
}

int StatusBar::height() const
{
    RECT r{};
    GetWindowRect(m_bar, &r);
    return r.bottom - r.top;
}

void StatusBar::setFont(HFONT font)
{
    m_font = font;
    SendMessageW(m_bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    layout();
}

void StatusBar::setText(Panel panel, const std::wstring& text)
{
    if (panel >= kNone || m_texts[panel] == text) {
        return;
    }
    const bool resize = panel != kRows && m_texts[panel].size() != text.size();
    m_texts[panel] = text;
    if (resize) {
        layout();
        return;
    }
    const int part = partOf(panel);
    if (part >= 0) {
        SendMessageW(m_bar, SB_SETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
}

bool StatusBar::refreshClock(const LocalDateTime& now)
{
    const bool changed = m_shownDate.year != 0 && m_shownDate != now.date;
    m_shownDate = now.date;
    setText(kDate, DateText(now.date));
    setText(kTime, TimeText(now));
    return changed;
}

void StatusBar::setWarning(const std::wstring& headline, const std::wstring& details)
{
    const bool wasShown = !m_texts[kWarning].empty();
    m_warningDetails = details;
    m_texts[kWarning] = headline.empty() ? std::wstring() : L" " + headline + L" ";
    if (m_tips) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = m_bar;
        tool.uId = kWarning;
        tool.lpszText = const_cast<wchar_t*>(m_warningDetails.c_str());
        SendMessageW(m_tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (wasShown || !headline.empty()) {
        layout();
    }
}

int StatusBar::partOf(Panel panel) const
{
    const auto parts = Shown(!m_texts[kWarning].empty());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == panel) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void StatusBar::layout()
{
    if (!m_bar) {
        return;
    }
    SendMessageW(m_bar, WM_SIZE, 0, 0); // the bar takes the parent's width and its height
    RECT client{};
    GetClientRect(m_bar, &client);
    const auto parts = Shown(!m_texts[kWarning].empty());
    // Panels other than the row count are as wide as their text; the count takes the rest.
    const int grip = GetSystemMetrics(SM_CXVSCROLL);
    std::array<int, kNone> widths{};
    int fixed = grip;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const SIZE text = TextSize(m_font, m_texts[parts[i]]);
        widths[i] = text.cx + 2 * GetSystemMetrics(SM_CXEDGE) + 6;
        if (parts[i] == kWarning) {
            widths[i] += GetSystemMetrics(SM_CXSMICON) + 2;
        }
        fixed += widths[i];
    }
    std::array<int, kNone> edges{};
    int at = std::max(static_cast<int>(client.right) - fixed, 40);
    edges[0] = at;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        at += widths[i];
        edges[i] = at;
    }
    edges[parts.size() - 1] = -1; // the last one reaches the grip
    SendMessageW(m_bar, SB_SETPARTS, parts.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SendMessageW(m_bar, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(m_texts[parts[i]].c_str()));
        // The system's own warning sign marks the warning; no other panel has a picture.
        const HICON icon = parts[i] == kWarning ? m_warningIcon : nullptr;
        SendMessageW(m_bar, SB_SETICON, i, reinterpret_cast<LPARAM>(icon));
    }
    if (!m_tips) {
        return;
    }
    for (int panel = kRows; panel < kNone; ++panel) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = m_bar;
        tool.uId = static_cast<UINT_PTR>(panel);
        const int part = partOf(static_cast<Panel>(panel));
        if (part >= 0) {
            SendMessageW(m_bar, SB_GETRECT, static_cast<WPARAM>(part),
                         reinterpret_cast<LPARAM>(&tool.rect));
        }
        SendMessageW(m_tips, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

StatusBar::Panel StatusBar::panelAt(POINT point) const
{
    const auto parts = Shown(!m_texts[kWarning].empty());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        RECT r{};
        SendMessageW(m_bar, SB_GETRECT, i, reinterpret_cast<LPARAM>(&r));
        if (PtInRect(&r, point)) {
            return parts[i];
        }
    }
    return kNone;
}

} // namespace zlv::win
