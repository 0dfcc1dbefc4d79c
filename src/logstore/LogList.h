#pragma once

// The rows of one log list, whatever draws them: the records of day files, the order the
// user chose, the find text, every sixth row green, today's file followed as it grows, the
// journal's gaps between rows and the time column in the display format. No toolkit here:
// the Qt model and the Win32 list view are thin layers over this class.
//
// Rows are numbered 0 .. rowCount()-1 in the order shown (top first). A record keeps its
// RecordId while recordGeneration() stays the same, which is how a front end keeps the
// user's selection across sorts, finds and records arriving.
//
// Every call is made on the thread that owns the list (the user-interface thread). A long
// sort runs on a thread of its own and hands its result back through the Poster.
//
// The list's files, all in logstore/ and without Qt unless said:
//   LogList.h/.cpp              this class: reading the rows, loading, find, times, gap marks
//   LogListOrder.cpp            sorting, and the background sort's thread
//   LogListFollow.cpp           following today's file as it grows
//   LogListHighlight.cpp        every sixth row green
//   DayFileTail.h/.cpp          what a day file gained since the last look
//   LogRowStore.h/.cpp          the records: day files mapped or kept as read, 12 bytes a row
//   RowOrdering.h/.cpp          the sort itself, on a copy another thread may use
//   RecordFilter.h/.cpp         which records show a find text (over utility/TextMatcher)
//   ShownTimes.h/.cpp           the time texts, rendered once for finding
//   ShownText.h/.cpp            the bytes of a field as the text a list shows
//   GapMarks.h/.cpp             where the journal's gaps fall between rows
//   ListExport.h/.cpp           rows as --format csv prints them, or as stored (RecordFormats)
//   LogListModel.h/.cpp         (Qt) the model over a LogList
//   LogListView.h/.cpp          (Qt) the view that draws it: selection, sorting, loading
//   LogListViewGeometry.cpp     (Qt) where a row lies, computed from its number
//   LogListViewPaint.cpp        (Qt) rows arriving at the top: pixels moved, not painted again
//   LogRowDelegate.h/.cpp       (Qt) the cells, each text shaped once
//   RowPictures.h               (Qt) finished pictures of plain rows
//   ThumbScrollBar.h            (Qt) a scroll bar that repaints only where its thumb moved
//   LogListHeader.h             (Qt) a header that keeps its size hint
//   windows/LogListView.h/.cpp  (Win32) the same list in a list-view control

#include "logstore/LogRowStore.h"
#include "logstore/ShownTimes.h"
#include "utility/Clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

class DataFolder;
class DayFileTail;

enum class SortOrder : std::uint8_t
{
    Ascending,
    Descending
};

// What a front end hears of the list's changes, on the owning thread. Each "about to" call
// comes while the rows are still as they were, its partner once they are as they are now,
// so that a Qt model can pass them on as its begin/end pairs and a virtual list view can
// just take the new row count and repaint.
class LogListObserver
{
public:
    // Everything may have changed: count, order and texts.
    virtual void aboutToReset() {}
    virtual void resetDone() {}
    // Rows [first, first + count) arrive; rows from `first` on move down by `count`.
    virtual void aboutToInsert(int first, int count)
    {
        static_cast<void>(first), static_cast<void>(count);
    }
    virtual void insertDone() {}
    // Rows [first, first + count) go.
    virtual void aboutToRemove(int first, int count)
    {
        static_cast<void>(first), static_cast<void>(count);
    }
    virtual void removeDone() {}
    // The rows change places (a sort); the count and every record's id stay.
    virtual void aboutToReorder() {}
    virtual void reorderDone() {}
    // Rows [first, last] show another time text (the display format changed).
    virtual void timesChanged(int first, int last)
    {
        static_cast<void>(first), static_cast<void>(last);
    }
    // Rows [first, last] may have changed colour.
    virtual void coloursChanged(int first, int last)
    {
        static_cast<void>(first), static_cast<void>(last);
    }
    // The sort asked for last is in place (at once for a short list, later for a long one).
    virtual void sortFinished() {}

protected:
    ~LogListObserver() = default;
};

class LogList final
{
public:
    using RecordId = LogRowStore::RecordId;
    static constexpr int kColumnCount = 6;
    static constexpr RecordId kNoRecord = static_cast<RecordId>(-1);

    // Runs a task later on the owning thread (Qt: a queued call; Win32: a posted message).
    // Without one, every sort runs at once on the caller's thread.
    using Task = std::function<void()>;
    using Poster = std::function<void(Task)>;

    explicit LogList(Poster poster = {});
    ~LogList();
    LogList(const LogList&) = delete;
    LogList& operator=(const LogList&) = delete;

    // Not owned; nullptr for none. Told of every change from now on.
    void setObserver(LogListObserver* observer) { m_observer = observer; }

    // --- What is shown -------------------------------------------------------------------
    int rowCount() const;
    // Every record of the list, shown by the find text or not.
    int totalCount() const;
    // " Rows: N " or, while a find text hides rows, " Rows: N of M ", as the status bar shows.
    std::string rowCountText() const;

    // The text of a cell as the list shows it, as UTF-8: the time column rendered with the
    // display format the record was read (or last refreshed) with, the New Name only for a
    // rename, bytes that are not UTF-8 taken as the platform's 8-bit text, a field longer
    // than kShownBytes cut there and ended with an ellipsis. The view lies in the list or in
    // `buffer`; it is valid until the list changes or `buffer` is used again. Empty outside
    // the rows and columns.
    std::string_view cell(int row, int column, std::string& buffer) const;
    std::string cellText(int row, int column) const;
    // The stored stamp "YYYY-MM-DD HH:MM:SS" of a row (the row's tag), whatever the format.
    std::string_view stamp(int row) const;
    // The row's day-file line as stored, without its line end: what exports write from.
    std::string_view storedLine(int row) const;
    // Whether the row is one of the green ones.
    bool isHighlighted(int row) const;

    // --- Records, for keeping a selection --------------------------------------------------
    RecordId recordAt(int row) const;   // kNoRecord outside the rows
    int rowOfRecord(RecordId id) const; // -1 when the record is not shown
    // rowOfRecord for many at once, in one pass over the rows.
    std::vector<int> rowsOfRecords(const std::vector<RecordId>& ids) const;
    // Changes whenever record ids may name other records (a clear, a reload).
    std::uint64_t recordGeneration() const { return m_generation; }

    // --- Loading ---------------------------------------------------------------------------
    void clear();
    // Appends the records of a day file and puts the order back to the time column, newest
    // first. False, with nothing changed, when no file is there.
    bool appendFile(const std::string& dayFilePath);
    // clear() and appendFile() of each path in turn, as one reset with one sort. When no
    // file is there, the list is empty and keeps its sort state.
    void loadFiles(const std::vector<std::string>& dayFilePaths);
    // loadFiles() of the day files from `from` to `to` inclusive; months without a folder
    // are passed over whole, so that a range of centuries costs what its files cost.
    void loadRange(const DataFolder& folder, Date from, Date to);
    // Leaves the list as clear(), appendFile(path) and highlight() would, reading only what
    // was appended to the file since the last call (today's list after each record). True
    // when the records kept their ids (rows were only added or re-ordered).
    bool rebuildFrom(const std::string& dayFilePath);

    // --- Order -----------------------------------------------------------------------------
    // Orders the rows by `column`: the time column by the stored stamp, whatever the display
    // format; the others by their shown text, byte by byte. Records that compare equal keep
    // the order they were loaded in (reversed when descending). A long list is sorted on
    // another thread: the rows keep their old order, and stay usable, until sortFinished().
    void sortBy(int column, SortOrder order);
    // A header click: sorts by `column` in the other direction than the list's last sort.
    void sortByHeader(int column);
    // The sort state the user chose, also while its sort is still running.
    int sortColumn() const;
    SortOrder sortOrder() const;
    bool sorting() const { return m_pending.has_value(); }

    // --- Find ------------------------------------------------------------------------------
    // Shows only the records that show `utf8` in some column, letter case ignored (Unicode
    // case folding) and never across two columns; an empty text shows them all. Records
    // that arrive later are shown when they match.
    void setFilter(std::string_view utf8);
    const std::string& filter() const { return m_filter; }
    bool filtering() const { return !m_filter.empty(); }

    // --- Colours ---------------------------------------------------------------------------
    // Colours every sixth row of the current order green, from the first. While the list
    // follows today's file the colour belongs to the row position; once the user re-sorts,
    // each record keeps the colour it had.
    void highlight();

    // --- Times -----------------------------------------------------------------------------
    // Renders the time column of every row again with GetDisplayPattern(). No row moves.
    void refreshTimes();
    void refreshTimes(const std::string& pattern);

    // --- Gaps ------------------------------------------------------------------------------
    // The stored stamps at which the journal of the shown days has a gap (any order).
    void setGapStamps(std::vector<std::string> stamps);
    const std::vector<std::string>& gapStamps() const { return m_gapStamps; } // ascending
    // While the rows are ordered by time, the boundaries in [first, last] that carry a gap
    // mark: boundary b lies above row b (b == rowCount() lies below the last row).
    std::vector<int> gapMarks(int first, int last) const;

private:
    struct PendingSort
    {
        int column;
        SortOrder order;
    };
    enum class Highlight : std::uint8_t
    {
        None,
        Following,
        Frozen
    };
    struct SortJob;

    const std::vector<RecordId>& shown() const { return filtering() ? m_shown : m_order; }
    // The place of a record in shown(), kAbsent when it is not there; O(1) but for the
    // first look after the rows changed.
    static constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);
    std::size_t positionOf(RecordId id) const;
    RecordId idAtRow(int row) const;
    bool green(int row, const LogRowStore::Row& r) const;

    void clearStorage();
    void resetAfterLoad(bool anyFile);
    void sortOrderArray(int column);
    void relayout(int column, SortOrder order, std::vector<RecordId>* sorted = nullptr);
    void sortInBackground(int column, SortOrder order);
    void takeBackgroundSort(SortJob* finished);
    void cancelBackgroundSort();
    void joinSorts();
    void reorderShown();
    void refilter();
    void adoptPattern(const std::string& pattern);
    void freezeHighlight();
    void notifyColours();
    void removeUnterminated();
    void insertPending(std::size_t firstPending);
    bool fullReload(const std::string& path);

    Poster m_poster;
    LogListObserver* m_observer = nullptr;
    LogRowStore m_store;
    std::vector<RecordId> m_order; // every record, ascending by the sort key
    std::vector<RecordId> m_shown; // those that match the find text, in the same order
    std::string m_filter;
    ShownTimes m_times;
    std::vector<std::string> m_gapStamps; // ascending

    // Where each record stands in shown(), built on the first ask. An entry is believed
    // only where the rows still agree; that a record is not shown is believed while the rows
    // are the same ones, as many, of the same records and content, under the same find.
    struct PositionsKey
    {
        const RecordId* rows = nullptr;
        std::size_t count = 0;
        std::uint64_t generation = 0;
        std::uint64_t content = 0;
        std::string filter;
        bool operator==(const PositionsKey&) const = default;
    };
    static constexpr std::uint32_t kNoPosition = static_cast<std::uint32_t>(-1);
    mutable std::vector<std::uint32_t> m_positions;
    mutable PositionsKey m_positionsKey;

    std::optional<PendingSort> m_pending;
    std::vector<std::shared_ptr<SortJob>> m_jobs; // sorts whose threads are not joined yet
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // a finished sort's warrant
    std::uint64_t m_sortTicket = 0;    // a background sort's result counts only if unchanged
    std::uint64_t m_contentTicket = 0; // bumped whenever a record or its shown text changes
    int m_sortColumn = 0;
    SortOrder m_sortOrder = SortOrder::Descending;
    Highlight m_highlight = Highlight::None;
    std::uint64_t m_generation = 0;

    // Following today's file: the tail knows how far the rows reflect it.
    std::unique_ptr<DayFileTail> m_tail;
    bool m_tailInSync = false;
    std::optional<RecordId> m_unterminated; // a last line without its line end yet
};

} // namespace zlv
