#pragma once

#include "logstore/LogListModel.h"
#include "logstore/RowPictures.h"
#include "utility/Clock.h"

#include <QTimer>
#include <QTreeView>
#include <QVarLengthArray>
#include <chrono>
#include <string>
#include <vector>

namespace zlv {

class DataFolder;
class LogRowDelegate;

// One of the two log lists of the main window, "lsvToday" or "lsvHistory": single whole-row
// selection, every row the same height, sorted by header clicks, never sorted by Qt itself.
class LogListView final : public QTreeView
{
    Q_OBJECT

public:
    enum class Kind
    {
        Today,
        History
    };

    explicit LogListView(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    LogListModel* logModel() const { return m_model; }
    int rowCount() const;
    // " Rows: N " as the status bar shows it.
    QString rowCountText() const;

    void clearRows();
    // Shows only the records that hold `text` (every record when it is empty).
    void setFilter(const QString& text);
    // Appends the rows of a day file, first column descending afterwards. False, and
    // nothing changes, when no file is at the path.
    bool loadFile(const std::string& dayFilePath);
    // Clears the list and loads every day from `from` to `to` inclusive, then lays it out
    // and highlights it.
    void loadRange(const DataFolder& folder, Date from, Date to);
    void highlightRows();
    // A header click: sort by `column`, the other direction than the list's last sort.
    void headerClicked(int column);
    int sortColumnIndex() const;
    Qt::SortOrder sortOrderFlag() const;
    // Renders the time column again with the display format now in force.
    void refreshTimes();
    // What clearing the list, loading today's file and highlighting it gives, at the cost
    // of what was appended since the last call.
    void rebuildToday(const std::string& dayFilePath);
    QString tagAt(int row) const;
    // Times (stored form) at which the journal of the shown days has a gap: while the list
    // is ordered by time, a coloured line between two rows marks each. Not a row.
    void setGapStamps(std::vector<std::string> stamps);
    // How many finished row pictures are kept (see keepShownPicturesOnly).
    qsizetype keptPictures() const { return m_pictures.count(); }
    static constexpr std::chrono::milliseconds kPicturesIdle{1000};

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QRect visualRect(const QModelIndex& index) const override;
    void doItemsLayout() override;
    void reset() override;

Q_SIGNALS:
    void detailRequested();
    void contextMenuRequested(const QPoint& globalPos);
    // What rowCountText() says may have changed (rows loaded, cleared, found, arrived).
    void rowCountChanged();

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;

private:
    struct Selected
    {
        std::uint64_t generation = 0;
        LogListModel::RecordId record = 0;
        bool any = false;
    };
    Selected selected() const;
    void restoreSelection(const Selected& before);
    void ensureSelection();
    void showSortState();

    void paintGapMarks();
    void paintRow(QPainter* painter, const QStyleOptionViewItem& options, int row) const;
    void paintMarkedRow(QPainter* painter, const QStyleOptionViewItem& options, int row) const;
    struct Cell
    {
        int column;
        QRect rect;
        QStyleOptionViewItem::ViewItemPosition position;
    };
    QVarLengthArray<Cell, 8> cellsOf(const QRect& row) const;
    void paintCells(QPainter* painter, const QStyleOptionViewItem& options, int row) const;
    void noteRowLook(const QStyleOptionViewItem& options);
    int rowAt(int y) const;

    Kind m_kind;
    LogListModel* m_model;
    LogRowDelegate* m_delegate;
    QPersistentModelIndex m_hover; // the row under the mouse
    mutable RowPictures m_pictures;
    // Once nothing has been painted for a while, only the rows on screen keep pictures.
    QTimer* m_picturesIdle;
    void keepShownPicturesOnly();
    // Rows inserted into a long list are laid out by the tree view only once they could be
    // seen or reached: its layout visits every row, which after each record would cost as
    // much as the day is long.
    bool layoutMayWait() const;
    int rowPixels() const; // 0 while no row is on screen
    int rowTop(int row) const;
    // Where a row lies is computed from its number while the list is flat, its rows of one
    // height and the row laid out (LogListViewGeometry.cpp).
    bool placedByNumber(const QModelIndex& index) const;
    mutable int m_rowPixels = -1; // the height of every row, -1 until known again
    void catchUpLayout();
    void catchUpWhenReachable();
    void rememberShownColours();
    void repaintChangedColours();
    void moveRowsThatKeepTheirColour(int inserted, const QRect& below, int rowHeight);
    void widenColumnsFor(int firstRow, int count);

    int m_laidOutRows = -1; // rows the tree view knows of; -1 while it lays out anew
    bool m_inLayout = false;
    struct ShownRow
    {
        LogListModel::RecordId record;
        bool green;
    };
    std::vector<ShownRow> m_shownBefore; // the rows on screen when an insertion began
    bool m_coloursPending = false;       // m_shownBefore awaits the colours of the insertion
    int m_insertedAt = -1;               // the last insertion, for the column widths
    int m_insertedCount = 0;
};

} // namespace zlv
