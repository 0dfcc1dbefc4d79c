// The controls of the main window, their fonts and their places: the design's twips at the
// window's density, then room wherever a text of the fonts in use would be cut.
#include "mainwindow/Geometry.h"
#include "mainwindow/windows/CommandIds.h"
#include "mainwindow/windows/frmPubMain.h"
#include "utility/windows/FormMetrics.h"

#include <algorithm>

namespace zlv::win {

namespace {

// Design lengths in twips, on a client area whose top holds the toolbar.
constexpr int kStatusBarDesignHeight = 300;

HWND Child(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id)
{
    return CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

std::wstring WindowText(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// An option button needs its round box, the gap the system leaves after it, and its text.
SIZE OptionNeed(HWND button, HFONT font, UINT dpi)
{
    const SIZE text = TextSize(font, WindowText(button));
    const int box = MetricAt(SM_CXMENUCHECK, dpi);
    const SIZE space = TextSize(font, L" ");
    return {box + space.cx + text.cx + MulDiv(4, static_cast<int>(dpi), 96),
            std::max<LONG>(box, text.cy) + MulDiv(2, static_cast<int>(dpi), 96)};
}

// A date picker shows the longest date of its format, a field border and its button.
SIZE PickerNeed(HFONT font, UINT dpi)
{
    LONG widest = 0;
    LONG height = 0;
    SYSTEMTIME day{};
    day.wYear = 2000;
    // The longest day and month names, weekdays included, all occur in one year.
    for (WORD month = 1; month <= 12; ++month) {
        for (WORD d = 1; d <= 28; d += 1) {
            day.wMonth = month;
            day.wDay = d;
            day.wDayOfWeek = 0;
            FILETIME file{};
            SystemTimeToFileTime(&day, &file);
            FileTimeToSystemTime(&file, &day); // fills in the weekday
            wchar_t text[128] = {};
            GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &day, nullptr, text, 128);
            const SIZE size = TextSize(font, text);
            widest = std::max(widest, size.cx);
            height = std::max(height, size.cy);
        }
    }
    const int edge = MetricAt(SM_CXEDGE, dpi);
    // Each field is drawn on its own, with a little room around it.
    const int fields = 4 * MulDiv(2, static_cast<int>(dpi), 96);
    return {widest + fields + MetricAt(SM_CXVSCROLL, dpi) + 4 * edge,
            height + 4 * MetricAt(SM_CYEDGE, dpi)};
}

} // namespace

void frmPubMain::buildControls()
{
    m_dpi = WindowDpi(m_hwnd);
    m_font = CreateFormFont(m_dpi);
    m_boldFont = CreateFormFont(m_dpi, kFormPoints, true);
    const auto font = [this](HWND control) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    };

    // Created in the design's tab order: the order of creation is the order of Tab.
    m_lsvToday.create(m_hwnd, IDC_lsvToday, m_font.get(), m_dpi);
    m_dtpF = Child(m_hwnd, DATETIMEPICK_CLASSW, nullptr,
                   WS_TABSTOP | WS_DISABLED | DTS_LONGDATEFORMAT, IDC_dtpF);
    m_optHis = Child(m_hwnd, L"BUTTON", L"History", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
                     IDC_optHis);
    m_optTod = Child(m_hwnd, L"BUTTON", L"Today", BS_AUTORADIOBUTTON, IDC_optTod);
    m_lbl[0] = Child(m_hwnd, L"STATIC", L"From", WS_GROUP | SS_LEFT | SS_NOPREFIX, IDC_lbl0);
    m_lbl[1] = Child(m_hwnd, L"STATIC", L"To", SS_LEFT | SS_NOPREFIX, IDC_lbl1);
    m_dtpT = Child(m_hwnd, DATETIMEPICK_CLASSW, nullptr,
                   WS_TABSTOP | WS_DISABLED | DTS_LONGDATEFORMAT, IDC_dtpT);
    m_lsvHistory.create(m_hwnd, IDC_lsvHistory, m_font.get(), m_dpi);
    ShowWindow(m_lsvHistory.hwnd(), SW_HIDE);
    m_stb.create(m_hwnd, IDC_stb, m_boldFont.get());
    m_toolbar.create(m_hwnd, IDC_Toolbar1, m_dpi, m_font.get());

    for (HWND control : {m_dtpF, m_dtpT, m_optHis, m_optTod, m_lbl[0], m_lbl[1]}) {
        font(control);
    }
    for (HWND picker : {m_dtpF, m_dtpT}) {
        // The calendar that drops down speaks the form's font too.
        SendMessageW(picker, DTM_SETMCFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    }
    layoutControls();
}

void frmPubMain::layoutControls()
{
    m_form = FormFit(ScaleAt(m_dpi));
    HFONT font = m_font.get();
    const SIZE optTod = OptionNeed(m_optTod, font, m_dpi);
    const SIZE optHis = OptionNeed(m_optHis, font, m_dpi);
    const SIZE from = TextSize(font, L"From");
    const SIZE to = TextSize(font, L"To");
    const SIZE picker = PickerNeed(font, m_dpi);
    // Tops count from the toolbar's lower edge, which the toolbar itself decides.
    const int top = layout::kToolbarDesignHeight;
    const int iTod = m_form.add(90, 900 - top, 900, 300, optTod.cx, optTod.cy);
    const int iHis = m_form.add(1080, 900 - top, 960, 300, optHis.cx, optHis.cy);
    const int iFrom = m_form.addSizedToText(2130, 953 - top, 2580, 195, from.cx, from.cy);
    const int iDtpF = m_form.add(2580, 900 - top, 3015, 300, picker.cx, picker.cy);
    const int iTo = m_form.addSizedToText(5685, 960 - top, 5955, 195, to.cx, to.cy);
    const int iDtpT = m_form.add(5955, 900 - top, 3015, 300, picker.cx, picker.cy);
    m_form.solve();

    m_toolbar.layout();
    m_controlsTop = m_toolbar.height();
    const auto place = [this](HWND control, int item) {
        const FormFit::Rect r = m_form.rect(item);
        SetWindowPos(control, nullptr, r.x, m_controlsTop + r.y, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(m_optTod, iTod);
    place(m_optHis, iHis);
    place(m_lbl[0], iFrom);
    place(m_dtpF, iDtpF);
    place(m_lbl[1], iTo);
    place(m_dtpT, iDtpT);
    m_stb.layout();
    layoutLists();
}

void frmPubMain::layoutLists()
{
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const layout::Point corner{m_form.x(layout::kListLeft),
                               m_controlsTop +
                                   m_form.y(layout::kListTop - layout::kToolbarDesignHeight)};
    const layout::Size margin{m_form.scale().X(kFormMarginTwips),
                              m_form.scale().Y(kFormMarginTwips) + m_stb.height()};
    const layout::Size size = layout::ListSize({client.right, client.bottom}, corner, margin,
                                               {m_listSize.cx, m_listSize.cy});
    m_listSize = {size.width, size.height};
    for (LogListView* list : {&m_lsvToday, &m_lsvHistory}) {
        SetWindowPos(list->hwnd(), nullptr, corner.x, corner.y, m_listSize.cx, m_listSize.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        list->adjustColumns();
    }
}

void frmPubMain::placeWindow()
{
    // The design's client area, grown where the texts needed room, with the menu bar and
    // the frame around it.
    RECT outer{0, 0, m_form.x(layout::kClientWidth),
               m_controlsTop +
                   m_form.y(layout::kClientHeight - layout::kToolbarDesignHeight -
                            kStatusBarDesignHeight) +
                   m_stb.height()};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE));
    AdjustWindowRectEx(&outer, style, TRUE, exStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& screen = monitor.rcMonitor;
    const layout::Point at = layout::GoldenPlacement(
        {screen.right - screen.left, screen.bottom - screen.top}, {width, height});
    SetWindowPos(m_hwnd, nullptr, screen.left + at.x, screen.top + at.y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmPubMain::onDpiChanged(UINT dpi, const RECT* suggested)
{
    m_dpi = dpi;
    // The controls take the new fonts before the old ones are deleted.
    OwnedFont font = CreateFormFont(m_dpi);
    OwnedFont bold = CreateFormFont(m_dpi, kFormPoints, true);
    for (HWND control : {m_dtpF, m_dtpT, m_optHis, m_optTod, m_lbl[0], m_lbl[1]}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    m_lsvToday.setFont(font.get(), m_dpi);
    m_lsvHistory.setFont(font.get(), m_dpi);
    m_stb.setFont(bold.get());
    m_toolbar.setDpi(m_dpi, font.get());
    m_font = std::move(font);
    m_boldFont = std::move(bold);
    if (suggested) {
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    layoutControls();
}

} // namespace zlv::win
