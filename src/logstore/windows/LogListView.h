#pragma once

#include "logstore/LogList.h"
#include "utility/Clock.h"
#include "utility/windows/Handles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {
class DataFolder;
}

namespace zlv::win {

// One of the main window's two log lists, `lsvToday` or `lsvHistory`: a report-mode list
// view that holds no rows of its own (the shared core's LogList keeps them and the list
// view asks for what it shows), single whole-row selection, every sixth row green, sorted
// by a header click, a red line where the journal has a gap.
class LogListView final : private LogListObserver
{
public:
    enum class Kind
    {
        Today,
        History
    };

    explicit LogListView(Kind kind);
    ~LogListView();
    const LogList& rows() const { return m_rows; }
    LogListView(const LogListView&) = delete;
    LogListView& operator=(const LogListView&) = delete;

    bool create(HWND parent, int id, HFONT font, UINT dpi);
    HWND hwnd() const { return m_list; }
    Kind kind() const { return m_kind; }

    int rowCount() const;
    // " Rows: N " as the status bar shows it.
    std::wstring rowCountText() const;

    void clearRows();
    // Appends the rows of a day file, first column descending afterwards. False, and
    // nothing changes, when no file is at the path.
    bool loadFile(const std::string& dayFilePath);
    // Clears the list and loads every day from `from` to `to` inclusive.
    void loadRange(const DataFolder& folder, Date from, Date to);
    // What clearing, loading today's file and highlighting give, at the cost of what was
    // appended since the last call.
    void rebuildToday(const std::string& dayFilePath);
    void highlightRows();
    bool isHighlighted(int row) const;
    // A header click: sort by `column`, the other direction than the list's last sort.
    void headerClicked(int column);
    int sortColumn() const;
    bool sortDescending() const;
    // Renders the time column again with the display format now in force.
    void refreshTimes();
    // The stored stamp of a row, and the text of one of its cells.
    std::string tagAt(int row) const;
    std::wstring textAt(int row, int column) const;
    // Times (stored form, ascending) at which the shown days' journal has a gap.
    void setGapStamps(std::vector<std::string> stamps);

    // The selected row (-1 for none), and a row selected, focused and scrolled to, as the
    // Detail View's steps move it.
    int selectedRow() const;
    void showRow(int row);
    // Shows only the rows that show `utf8` somewhere (the shared find); empty shows all.
    // The selected record stays selected while it still shows, else the top row is.
    void setFilter(std::string_view utf8);
    const std::string& filter() const { return m_rows.filter(); }

    // What the list says in its body while it holds no row (nothing for no text).
    void setEmptyText(std::wstring text);

    // Fits the columns to what they show (cheap however many rows there are).
    void adjustColumns();
    void setFont(HFONT font, UINT dpi);

    // A notification the list sent its parent; true, with `result` set, when handled here.
    bool handleNotify(NMHDR* header, LRESULT& result);

    // What the list asks of the window it sits in: the Detail View (a double-click, Enter)
    // and the Logs menu (a right-button release, at that point of the screen).
    std::function<void()> onDetailRequested;
    std::function<void(POINT screen)> onContextMenu;

private:
    // LogListObserver: the list view takes the new count and paints again, and the
    // selection stays on its record.
    void aboutToReset() override { keep(); }
    void resetDone() override { showRows(); }
    void aboutToInsert(int first, int count) override;
    void insertDone() override { showRows(); }
    void aboutToRemove(int first, int count) override;
    void removeDone() override { showRows(); }
    void aboutToReorder() override { keep(); }
    void reorderDone() override { showRows(); }
    void timesChanged(int, int) override { InvalidateRect(m_list, nullptr, FALSE); }
    void coloursChanged(int, int) override { InvalidateRect(m_list, nullptr, FALSE); }
    void sortFinished() override;

    // The selected record, so that it can be found again after the rows changed.
    struct Kept
    {
        std::uint64_t generation = 0;
        LogList::RecordId record = LogList::kNoRecord;
        int row = -1;   // where it is now
        int moved = -1; // where an insertion or removal moves it; -1 to look it up
    };
    void keep();
    void selectRow(int row);
    void focusSelection();
    // Tells the list view how many rows there are now and keeps the selected record
    // selected where it went (or the top row selected when none is).
    void showRows();
    void showSortState();
    LRESULT customDraw(NMLVCUSTOMDRAW* draw);
    void drawGapMarks(HDC dc);
    void drawEmptyText(HDC dc);

    Kind m_kind;
    HWND m_list = nullptr;
    HFONT m_font = nullptr;
    UINT m_dpi = 96;
    LogList m_rows;
    Kept m_kept;
    int m_arrowColumn = -1; // the sort the header's arrow shows
    bool m_arrowDown = false;
    HWND m_tip = nullptr;
    mutable std::wstring m_cell; // the text handed out last; the list copies it at once
    OwnedPen m_gapPen;
    std::wstring m_emptyText;
};

} // namespace zlv::win
