#include "logstore/windows/LogListView.h"

#include "logstore/DataFolder.h"
#include "logstore/GapMarks.h"
#include "utility/windows/UiTasks.h"
#include "utility/windows/WinText.h"

#include <algorithm>
#include <array>

namespace zlv::win {

namespace {

constexpr int kColumns = 6;
// Designed column widths in twips (1440 to the inch).
constexpr std::array<int, kColumns> kTodayWidthsTwips{1605, 701, 765, 3500, 2500, 1050};
constexpr std::array<int, kColumns> kHistoryWidthsTwips{1250, 700, 700, 600, 1250, 1000};
constexpr std::array<const wchar_t*, kColumns> kTodayCaptions{
    L"Time", L"Object", L"Action", L"Path", L"Original Name", L"New Name"};
constexpr std::array<const wchar_t*, kColumns> kHistoryCaptions{
    L"Date And Time", L"Object", L"Action", L"Path", L"Original Name", L"New Name"};

constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kGapColour = RGB(220, 40, 30);

// Rows measured from the top and from the first row on screen when columns are fitted:
// measuring a million rows would make every load pay for widths nobody looks at.
constexpr int kSampledRows = 48;
// A damaged line can hold a name of megabytes; neither its measuring nor the column it
// widens may grow with it.
constexpr std::size_t kMeasuredChars = 400;
constexpr int kWidestColumnPx = 900;

int TwipsAt(int twips, UINT dpi)
{
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

} // namespace

LogListView::LogListView(Kind kind) : m_kind(kind), m_rows(UiThreadPoster())
{
    m_rows.setObserver(this);
}

LogListView::~LogListView()
{
    m_rows.setObserver(nullptr);
}

bool LogListView::create(HWND parent, int id, HFONT font, UINT dpi)
{
    m_list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                 LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                             0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!m_list) {
        return false;
    }
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    const auto& captions = m_kind == Kind::Today ? kTodayCaptions : kHistoryCaptions;
    for (int column = 0; column < kColumns; ++column) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        c.fmt = LVCFMT_LEFT;
        c.pszText = const_cast<wchar_t*>(captions[static_cast<std::size_t>(column)]);
        c.iSubItem = column;
        ListView_InsertColumn(m_list, column, &c);
    }
    m_tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (m_tip) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = parent;
        tool.uId = reinterpret_cast<UINT_PTR>(m_list);
        tool.lpszText = const_cast<wchar_t*>(m_kind == Kind::Today ? L"Today Logs Listing."
                                                                   : L"History Logs Listing.");
        SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    setFont(font, dpi);
    showSortState();
    return true;
}

void LogListView::setFont(HFONT font, UINT dpi)
{
    m_font = font;
    m_dpi = dpi;
    SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const auto& widths = m_kind == Kind::Today ? kTodayWidthsTwips : kHistoryWidthsTwips;
    for (int column = 0; column < kColumns; ++column) {
        ListView_SetColumnWidth(m_list, column,
                                TwipsAt(widths[static_cast<std::size_t>(column)], dpi));
    }
    m_gapPen.reset(
        CreatePen(PS_SOLID, std::max(2, MulDiv(2, static_cast<int>(dpi), 96)), kGapColour));
    adjustColumns();
}

int LogListView::rowCount() const
{
    return m_rows.rowCount();
}

std::wstring LogListView::rowCountText() const
{
    return FromUtf8(m_rows.rowCountText());
}

int LogListView::selectedRow() const
{
    return m_list ? ListView_GetNextItem(m_list, -1, LVNI_SELECTED) : -1;
}

void LogListView::selectRow(int row)
{
    // One row at most is selected: unselecting "every row" would visit a million of them.
    const int selected = selectedRow();
    if (selected >= 0 && selected != row) {
        ListView_SetItemState(m_list, selected, 0, LVIS_SELECTED);
    }
    // Only the selection moves with a record; the focus, which the keys start from, follows
    // it when a key is pressed (focusSelection): moving it draws at once, after every record.
    if (row >= 0 && row < rowCount()) {
        ListView_SetItemState(m_list, row, LVIS_SELECTED, LVIS_SELECTED);
    }
}

void LogListView::showRow(int row)
{
    if (row < 0 || row >= rowCount()) {
        return;
    }
    selectRow(row);
    // The keys go on from here too, and the row is on screen when the dialog closes.
    ListView_SetItemState(m_list, row, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_EnsureVisible(m_list, row, FALSE);
}

void LogListView::setFilter(std::string_view utf8)
{
    if (utf8 == m_rows.filter()) {
        return;
    }
    m_rows.setFilter(utf8); // the observer keeps the selected record where it still shows
    const int selected = selectedRow();
    if (selected >= 0) {
        ListView_EnsureVisible(m_list, selected, FALSE);
    }
}

void LogListView::focusSelection()
{
    const int selected = selectedRow();
    if (selected >= 0 && ListView_GetNextItem(m_list, -1, LVNI_FOCUSED) != selected) {
        ListView_SetItemState(m_list, selected, LVIS_FOCUSED, LVIS_FOCUSED);
    }
}

void LogListView::keep()
{
    const int row = selectedRow();
    m_kept = {};
    if (row >= 0 && row < rowCount()) {
        m_kept = {m_rows.recordGeneration(), m_rows.recordAt(row), row, -1};
    }
}

void LogListView::aboutToInsert(int first, int count)
{
    keep();
    // Rows arriving above the selected one move it down; no need to look for it.
    if (m_kept.row >= 0) {
        m_kept.moved = m_kept.row >= first ? m_kept.row + count : m_kept.row;
    }
}

void LogListView::aboutToRemove(int first, int count)
{
    keep();
    if (m_kept.row >= first + count) {
        m_kept.moved = m_kept.row - count;
    } else if (m_kept.row >= first) {
        m_kept = {}; // its record goes
    }
}

void LogListView::showRows()
{
    if (!m_list) {
        return;
    }
    ListView_SetItemCountEx(m_list, rowCount(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    InvalidateRect(m_list, nullptr, FALSE);
    showSortState();
    // The selected record stays selected wherever it went; a list with rows and nothing
    // selected gets its top row, so that the Detail View always has a row to start on.
    int row = -1;
    if (m_kept.record != LogList::kNoRecord && m_kept.generation == m_rows.recordGeneration()) {
        row = m_kept.moved >= 0 ? m_kept.moved : m_rows.rowOfRecord(m_kept.record);
    }
    m_kept = {};
    if (row < 0 && rowCount() > 0) {
        const int selected = selectedRow();
        row = selected >= 0 && selected < rowCount() ? selected : 0;
    }
    if (row != selectedRow() || row < 0) {
        selectRow(row);
    }
}

void LogListView::sortFinished()
{
    showSortState();
    const int selected = selectedRow();
    if (selected >= 0) {
        ListView_EnsureVisible(m_list, selected, FALSE);
    }
}

void LogListView::showSortState()
{
    // Setting an arrow redraws the header, so only a change of the sort is shown.
    const int column = m_rows.sortColumn();
    const bool descending = m_rows.sortOrder() == SortOrder::Descending;
    if (column == m_arrowColumn && descending == m_arrowDown) {
        return;
    }
    m_arrowColumn = column;
    m_arrowDown = descending;
    const HWND header = ListView_GetHeader(m_list);
    for (int c = 0; c < kColumns; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, c, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == column) {
            item.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        }
        Header_SetItem(header, c, &item);
    }
}

void LogListView::clearRows()
{
    m_rows.clear();
}

bool LogListView::loadFile(const std::string& dayFilePath)
{
    if (!m_rows.appendFile(dayFilePath)) {
        return false;
    }
    adjustColumns();
    return true;
}

void LogListView::loadRange(const DataFolder& folder, Date from, Date to)
{
    selectRow(-1); // a new range starts at its top
    m_rows.loadRange(folder, from, to);
    if (rowCount() > 0) {
        selectRow(0);
        ListView_EnsureVisible(m_list, 0, FALSE);
    }
    adjustColumns();
    highlightRows();
}

void LogListView::rebuildToday(const std::string& dayFilePath)
{
    m_rows.rebuildFrom(dayFilePath);
    highlightRows();
}

void LogListView::highlightRows()
{
    m_rows.highlight();
}

bool LogListView::isHighlighted(int row) const
{
    return m_rows.isHighlighted(row);
}

void LogListView::headerClicked(int column)
{
    if (column >= 0 && column < kColumns) {
        m_rows.sortByHeader(column);
        showSortState(); // the arrow turns at once, also while a long sort runs
    }
}

int LogListView::sortColumn() const
{
    return m_rows.sortColumn();
}

bool LogListView::sortDescending() const
{
    return m_rows.sortOrder() == SortOrder::Descending;
}

void LogListView::refreshTimes()
{
    m_rows.refreshTimes();
    adjustColumns();
}

std::string LogListView::tagAt(int row) const
{
    return std::string(m_rows.stamp(row));
}

std::wstring LogListView::textAt(int row, int column) const
{
    std::string buffer;
    return FromUtf8(m_rows.cell(row, column, buffer));
}

void LogListView::setGapStamps(std::vector<std::string> stamps)
{
    m_rows.setGapStamps(std::move(stamps));
    InvalidateRect(m_list, nullptr, FALSE);
}

void LogListView::adjustColumns()
{
    if (!m_list) {
        return;
    }
    const int rows = rowCount();
    const int padding = MulDiv(14, static_cast<int>(m_dpi), 96);
    const int widest = MulDiv(kWidestColumnPx, static_cast<int>(m_dpi), 96);
    const int top = std::clamp(ListView_GetTopIndex(m_list), 0, std::max(0, rows - 1));
    const auto& captions = m_kind == Kind::Today ? kTodayCaptions : kHistoryCaptions;
    // A caption also has the header's sort arrow beside it.
    const int arrow = MulDiv(16, static_cast<int>(m_dpi), 96);
    std::string buffer;
    for (int column = 0; column < kColumns; ++column) {
        // Shaping text is what costs: only the longest few texts of the sample are measured.
        std::array<std::wstring, 3> longest;
        const auto consider = [&](int from) {
            for (int row = from; row < std::min(rows, from + kSampledRows); ++row) {
                std::wstring text =
                    FromUtf8(m_rows.cell(row, column, buffer).substr(0, kMeasuredChars));
                for (std::wstring& kept : longest) {
                    if (text.size() > kept.size()) {
                        std::swap(text, kept);
                    }
                }
            }
        };
        consider(0);
        if (top >= kSampledRows) {
            consider(top);
        }
        const int now = ListView_GetColumnWidth(m_list, column);
        int wanted = std::max(
            now, ListView_GetStringWidth(m_list, captions[static_cast<std::size_t>(column)]) +
                     padding + arrow);
        for (const std::wstring& text : longest) {
            if (!text.empty()) {
                wanted = std::max(wanted, ListView_GetStringWidth(m_list, text.c_str()) + padding);
            }
        }
        wanted = std::min(wanted, std::max(widest, now));
        if (wanted > now) {
            ListView_SetColumnWidth(m_list, column, wanted);
        }
    }
}

bool LogListView::handleNotify(NMHDR* header, LRESULT& result)
{
    if (!m_list || header->hwndFrom != m_list) {
        return false;
    }
    result = 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            std::string buffer;
            const std::wstring text = FromUtf8(m_rows.cell(item.iItem, item.iSubItem, buffer));
            const std::size_t length =
                std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
            std::copy_n(text.data(), length, item.pszText);
            item.pszText[length] = L'\0';
        }
        return true;
    }
    case NM_CUSTOMDRAW:
        result = customDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        return true;
    case LVN_COLUMNCLICK:
        headerClicked(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return true;
    case LVN_ODFINDITEMW:
        result = -1; // no search by typing: the rows are records, not names
        return true;
    case NM_DBLCLK:
        if (onDetailRequested) {
            onDetailRequested();
        }
        return true;
    case LVN_KEYDOWN:
        focusSelection(); // the keys move on from the selected row
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_RETURN && onDetailRequested) {
            onDetailRequested();
        }
        return true;
    case NM_RCLICK:
        if (onContextMenu) {
            POINT at{};
            GetCursorPos(&at);
            onContextMenu(at);
        }
        return true;
    default:
        return false;
    }
}

LRESULT LogListView::customDraw(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT:
        if (m_rows.isHighlighted(static_cast<int>(draw->nmcd.dwItemSpec))) {
            draw->clrText = kGreen;
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    case CDDS_POSTPAINT:
        drawGapMarks(draw->nmcd.hdc);
        drawEmptyText(draw->nmcd.hdc);
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

void LogListView::setEmptyText(std::wstring text)
{
    m_emptyText = std::move(text);
    InvalidateRect(m_list, nullptr, FALSE);
}

void LogListView::drawEmptyText(HDC dc)
{
    if (m_emptyText.empty() || rowCount() > 0 || m_rows.filtering()) {
        return;
    }
    RECT area{};
    GetClientRect(m_list, &area);
    RECT header{};
    GetWindowRect(ListView_GetHeader(m_list), &header);
    const int margin = MulDiv(8, static_cast<int>(m_dpi), 96);
    area.top += header.bottom - header.top + margin;
    InflateRect(&area, -margin, 0);
    const Selected font(dc, m_font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, m_emptyText.c_str(), static_cast<int>(m_emptyText.size()), &area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

void LogListView::drawGapMarks(HDC dc)
{
    const int rows = rowCount();
    if (rows == 0) {
        return;
    }
    // Only the boundaries on screen are looked at, so the cost does not grow with the list.
    const int first = ListView_GetTopIndex(m_list);
    const int last = std::min(rows, first + ListView_GetCountPerPage(m_list) + 1);
    const std::vector<int> marks = m_rows.gapMarks(first, last);
    if (marks.empty()) {
        return;
    }
    RECT client{};
    GetClientRect(m_list, &client);
    const Selected pen(dc, m_gapPen.get());
    for (const int boundary : marks) {
        RECT item{};
        ListView_GetItemRect(m_list, std::min(boundary, rows - 1), &item, LVIR_BOUNDS);
        const int y = boundary < rows ? item.top : item.bottom;
        MoveToEx(dc, client.left, y, nullptr);
        LineTo(dc, client.right, y);
    }
}

} // namespace zlv::win
