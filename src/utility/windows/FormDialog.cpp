#include "utility/windows/FormDialog.h"

#include "utility/windows/FormMetrics.h"

#include <algorithm>

namespace zlv::win {

namespace {

// An empty dialog template: the controls are made in code, at the dialog's density. The
// three zero words after the header say: no menu, the system's dialog class, no title.
struct alignas(DWORD) EmptyTemplate
{
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

} // namespace

INT_PTR FormDialog::runModal(HWND owner)
{
    EmptyTemplate form{};
    form.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    form.header.dwExtendedStyle = WS_EX_DLGMODALFRAME;
    m_owner = owner;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &form.header, owner,
                                   &FormDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK FormDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<FormDialog*>(lParam);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<FormDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->m_hwnd = nullptr;
        return FALSE;
    }
    return self->dispatch(message, wParam, lParam);
}

INT_PTR FormDialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowTextW(m_hwnd, m_title.c_str());
        m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        createControls();
        applyLayout(WindowDpi(m_owner ? m_owner : m_hwnd));
        centreOverOwner();
        return started() ? TRUE : FALSE;
    }
    case WM_DPICHANGED: {
        // Moved onto a screen of another density: everything is laid out afresh there.
        applyLayout(HIWORD(wParam));
        return TRUE;
    }
    default:
        break;
    }
    INT_PTR result = FALSE;
    if (handle(message, wParam, lParam, result)) {
        // The colour messages take their brush as the procedure's own result; every other
        // answer goes through DWLP_MSGRESULT.
        if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
            return result;
        }
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

bool FormDialog::handle(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

HWND FormDialog::addControl(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id,
                            DWORD exStyle)
{
    const HWND made = CreateWindowExW(
        exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, m_hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (made) {
        m_plainControls.push_back(made);
    }
    return made;
}

void FormDialog::addTip(HWND control, const wchar_t* tip)
{
    if (!m_tips || !control) {
        return;
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(tip);
    SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FormDialog::close(INT_PTR code)
{
    if (m_hwnd) {
        EndDialog(m_hwnd, code);
    }
}

TwipScale FormDialog::scale() const
{
    return ScaleAt(m_dpi);
}

SIZE FormDialog::labelNeed(std::wstring_view text, HFONT font) const
{
    // The access key's '&' takes no room.
    std::wstring shown(text);
    shown.erase(std::remove(shown.begin(), shown.end(), L'&'), shown.end());
    return TextSize(font, shown);
}

SIZE FormDialog::buttonNeed(std::wstring_view text, HFONT font) const
{
    const SIZE size = labelNeed(text, font);
    const int edge = MetricAt(SM_CXEDGE, m_dpi);
    const int room = MulDiv(6, static_cast<int>(m_dpi), 96);
    return {size.cx + 2 * (edge + room), size.cy + 2 * (MetricAt(SM_CYEDGE, m_dpi) + room / 2)};
}

SIZE FormDialog::fieldNeed(HFONT font) const
{
    const SIZE size = TextSize(font, {});
    return {0, size.cy + 2 * MetricAt(SM_CYEDGE, m_dpi) + MulDiv(2, static_cast<int>(m_dpi), 96)};
}

SIZE FormDialog::listNeed(std::wstring_view widest, HFONT font) const
{
    const SIZE text = TextSize(font, widest);
    const int edge = MetricAt(SM_CXEDGE, m_dpi);
    return {text.cx + MetricAt(SM_CXVSCROLL, m_dpi) + 4 * edge +
                MulDiv(4, static_cast<int>(m_dpi), 96),
            text.cy + 4 * MetricAt(SM_CYEDGE, m_dpi)};
}

void FormDialog::place(HWND control, const FormFit::Rect& at) const
{
    SetWindowPos(control, nullptr, at.x, at.y, at.width, at.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormDialog::applyLayout(UINT dpi)
{
    m_dpi = dpi;
    // The controls take the new fonts before the old ones are deleted.
    OwnedFont font = CreateFormFont(dpi);
    OwnedFont bold = CreateFormFont(dpi, kFormPoints, true);
    for (HWND control : m_plainControls) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    m_font = std::move(font);
    m_bold = std::move(bold);
    const SIZE client = layout(dpi);
    RECT outer{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE)));
    SetWindowPos(m_hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void FormDialog::centreOverOwner()
{
    RECT mine{};
    GetWindowRect(m_hwnd, &mine);
    RECT around{};
    if (!m_owner || !IsWindowVisible(m_owner) || IsIconic(m_owner) ||
        !GetWindowRect(m_owner, &around)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    }
    const int width = mine.right - mine.left;
    const int height = mine.bottom - mine.top;
    int x = (around.left + around.right - width) / 2;
    int y = (around.top + around.bottom - height) / 2;
    // Never off the screen the owner is on, whatever the owner's size.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&around, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = std::clamp(x, static_cast<int>(work.left),
                       std::max(static_cast<int>(work.left), static_cast<int>(work.right) - width));
        y = std::clamp(
            y, static_cast<int>(work.top),
            std::max(static_cast<int>(work.top), static_cast<int>(work.bottom) - height));
    }
    SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

} // namespace zlv::win
