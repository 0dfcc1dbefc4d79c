#pragma once

#include "logstore/DayFileTail.h"
#include "logstore/LogRowStore.h"
#include "logstore/RecordFilter.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zlv {

// The rows of one log list: Time, Object, Action, Path, Original Name, New Name.
//
// Built for a million rows. The records sit in a LogRowStore; the display order is an
// array of record ids kept ascending by the sort key and shown reversed for a descending
// sort, so that a record appended to today's file lands at the top in constant time.
class LogListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = 6;
    // The stored stamp, whatever the display format made of it: exports and anything else
    // that must know the exact moment read this, since the shown time may drop the year.
    static constexpr int StampRole = Qt::UserRole;
    // The whole shown text of a cell (at most kShownBytes of a field). The list itself is
    // handed only as much as a row can ever show, so that painting a damaged field of
    // megabytes costs no more than an ordinary one.
    static constexpr int FullTextRole = Qt::UserRole + 1;
    // Identifies a record for as long as recordGeneration() stays the same.
    using RecordId = LogRowStore::RecordId;

    explicit LogListModel(QObject* parent = nullptr);
    ~LogListModel() override;

    void setCaptions(const QStringList& captions);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Removes every row.
    void clear();

    // Appends the records of a day file and puts the order back to the first column,
    // descending. False, with nothing changed, when no file is there.
    bool appendFile(const std::string& dayFilePath);

    // clear() and appendFile() of each path in turn, done as one reset with one sort.
    void loadFiles(const std::vector<std::string>& dayFilePaths);

    // Leaves the rows, their order and their highlighting as clear(), appendFile(path) and
    // highlight() would, reading only what was appended to the file since the last look.
    // True when the records kept their ids (rows were only added or re-ordered).
    bool rebuildFrom(const std::string& dayFilePath);

    // Orders the rows by the displayed text of `column`, compared byte by byte; records with
    // equal texts keep the order they were loaded in (reversed when descending). The colour
    // of every row stays with the row. A long list is sorted on another thread: the rows
    // keep their old order, and stay usable, until sortFinished().
    void sortBy(int column, Qt::SortOrder order);
    // The sort state the user chose, also while its sort is still running.
    int sortColumn() const { return m_pending ? m_pending->column : m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_pending ? m_pending->order : m_sortOrder; }
    bool sorting() const { return m_pending.has_value(); }

    // Shows only the records that show `text` in some column, ignoring case; an empty text
    // shows them all. Records that arrive later are shown when they match.
    void setFilter(const QString& text);
    const QString& filter() const { return m_filter; }
    bool filtering() const { return !m_filter.isEmpty(); }
    // Every record of the list, shown or not.
    int totalCount() const { return static_cast<int>(m_order.size()); }

    // Colours every sixth row of the current order green, from the first.
    void highlight();
    bool isHighlighted(int row) const;

    // Renders the time column of every row again with GetDisplayPattern(). No row moves.
    void refreshTimes();

    QString text(int row, int column) const;
    QString stamp(int row) const;

    RecordId recordAt(int row) const;
    int rowOfRecord(RecordId id) const; // -1 when the record is not shown
    std::uint64_t recordGeneration() const { return m_generation; }

Q_SIGNALS:
    void sortFinished();

private:
    enum class Highlight : std::uint8_t
    {
        None,
        Following,
        Frozen
    };

    std::string_view key(RecordId id, int column, std::string& buffer) const;
    RecordId idAtRow(int row) const;
    bool green(int row, const LogRowStore::Row& r) const;

    void clearStorage();
    const std::vector<RecordId>& shown() const { return filtering() ? m_shown : m_order; }
    void sortOrderArray(int column);
    void freezeHighlight();
    void relayout(int column, Qt::SortOrder order, std::vector<RecordId>* sorted = nullptr);
    void sortInBackground(int column, Qt::SortOrder order);
    void cancelBackgroundSort();
    void contentChanged();
    void reorderShown();
    void refilter();
    void adoptPattern(const std::string& pattern);
    void removeUnterminated();
    void insertPending(std::size_t firstPending);
    bool fullReload(const std::string& path);

    QStringList m_captions;
    LogRowStore m_store;
    std::vector<RecordId> m_order; // every record, ascending by sort key
    std::vector<RecordId> m_shown; // those that match the filter, in the same order
    QString m_filter;
    ShownTimes m_times;
    struct PendingSort
    {
        int column;
        Qt::SortOrder order;
    };
    std::optional<PendingSort> m_pending;
    std::uint64_t m_sortTicket = 0;    // a background sort's result counts only if unchanged
    std::uint64_t m_contentTicket = 0; // bumped whenever a record or its shown text changes
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    bool m_orderStale = false; // the time column was re-rendered after the last sort
    Highlight m_highlight = Highlight::None;
    std::uint64_t m_generation = 0;

    // Following today's file: the tail knows how far the rows reflect it.
    DayFileTail m_tail;
    bool m_tailInSync = false;
    std::optional<RecordId> m_unterminated; // a last line without its line end yet
};

} // namespace zlv
