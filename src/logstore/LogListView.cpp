#include "logstore/LogListView.h"

#include "logstore/DataFolder.h"
#include "logstore/GapMarks.h"
#include "utility/FileSystem.h"
#include "utility/ListUtility.h"
#include "utility/Twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>

namespace zlv {

namespace {

// Designed column widths in twips (1/1440 inch); 15 twips make a pixel at 96 dpi.
constexpr std::array<int, 6> kTodayWidthsTwips{1605, 701, 765, 3500, 2500, 1050};
constexpr std::array<int, 6> kHistoryWidthsTwips{1250, 700, 700, 600, 1250, 1000};

Date FirstOfNextMonth(const Date& d)
{
    return d.month == 12 ? Date{d.year + 1, 1, 1} : Date{d.year, d.month + 1, 1};
}

} // namespace

LogListView::LogListView(Kind kind, QWidget* parent)
    : QTreeView(parent), m_kind(kind), m_model(new LogListModel(this))
{
    const bool today = kind == Kind::Today;
    setObjectName(today ? QStringLiteral("lsvToday") : QStringLiteral("lsvHistory"));
    setToolTip(today ? QStringLiteral("Today Logs Listing.")
                     : QStringLiteral("History Logs Listing."));
    m_model->setCaptions({today ? QStringLiteral("Time") : QStringLiteral("Date And Time"),
                          QStringLiteral("Object"), QStringLiteral("Action"),
                          QStringLiteral("Path"), QStringLiteral("Original Name"),
                          QStringLiteral("New Name")});
    setModel(m_model);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // sorting follows the list's own rule, see headerClicked
    // The right button is reported on release by contextMenuRequested, on every platform.
    setContextMenuPolicy(Qt::PreventContextMenu);

    QHeaderView* head = header();
    head->setSectionsMovable(false);
    head->setSectionsClickable(true);
    head->setSortIndicatorShown(true);
    const auto& widths = today ? kTodayWidthsTwips : kHistoryWidthsTwips;
    for (int column = 0; column < LogListModel::kColumnCount; ++column) {
        head->resizeSection(column, Px(widths[static_cast<std::size_t>(column)]));
    }
    showSortState();

    connect(head, &QHeaderView::sectionClicked, this, &LogListView::headerClicked);
    // Deferred: the selection also empties in the middle of a row removal, when the model
    // must not be asked for anything.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LogListView::ensureSelection, Qt::QueuedConnection);
}

int LogListView::rowCount() const
{
    return m_model->rowCount();
}

QString LogListView::rowCountText() const
{
    if (m_model->filtering()) {
        return QStringLiteral(" Rows: %1 of %2 ").arg(rowCount()).arg(m_model->totalCount());
    }
    return QStringLiteral(" Rows: %1 ").arg(rowCount());
}

LogListView::Selected LogListView::selected() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return {};
    }
    return {m_model->recordGeneration(), m_model->recordAt(rows.first().row()), true};
}

void LogListView::restoreSelection(const Selected& before)
{
    if (before.any && before.generation == m_model->recordGeneration()) {
        const Selected now = selected();
        if (!now.any || now.record != before.record) {
            const int row = m_model->rowOfRecord(before.record);
            if (row >= 0) {
                selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
            }
        }
    }
    ensureSelection();
}

void LogListView::ensureSelection()
{
    if (m_model->rowCount() == 0 || selectionModel()->hasSelection()) {
        return;
    }
    const QModelIndex current = currentIndex();
    const int row = current.isValid() && current.row() < m_model->rowCount() ? current.row() : 0;
    selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
}

void LogListView::showSortState()
{
    header()->setSortIndicator(m_model->sortColumn(), m_model->sortOrder());
}

void LogListView::clearRows()
{
    m_model->clear();
    Q_EMIT rowCountChanged();
}

bool LogListView::loadFile(const std::string& dayFilePath)
{
    const Selected before = selected();
    if (!m_model->appendFile(dayFilePath)) {
        return false;
    }
    restoreSelection(before);
    showSortState();
    ListUtility::AdjustListView(*this);
    Q_EMIT rowCountChanged();
    return true;
}

void LogListView::loadRange(const DataFolder& folder, Date from, Date to)
{
    std::vector<std::string> paths;
    if (from.isValid() && to.isValid()) {
        Date day = from;
        while (day <= to) {
            // Whole months without a folder are passed over at once, so that even a range
            // of centuries costs little when it holds no logs.
            if (!fs::DirectoryExists(folder.monthFolder(day))) {
                day = FirstOfNextMonth(day);
                continue;
            }
            paths.push_back(folder.dayFilePath(day));
            day = day.addDays(1);
        }
    }
    m_model->loadFiles(paths);
    scrollToTop();
    ensureSelection();
    showSortState();
    ListUtility::AdjustListView(*this);
    Q_EMIT rowCountChanged();
    highlightRows();
}

void LogListView::highlightRows()
{
    m_model->highlight();
}

void LogListView::headerClicked(int column)
{
    if (column < 0 || column >= LogListModel::kColumnCount) {
        return;
    }
    const Qt::SortOrder order =
        m_model->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_model->sortBy(column, order);
    showSortState();
    if (currentIndex().isValid()) {
        scrollTo(currentIndex());
    }
}

int LogListView::sortColumnIndex() const
{
    return m_model->sortColumn();
}

Qt::SortOrder LogListView::sortOrderFlag() const
{
    return m_model->sortOrder();
}

void LogListView::refreshTimes()
{
    m_model->refreshTimes();
    ListUtility::AdjustListView(*this);
}

void LogListView::rebuildToday(const std::string& dayFilePath)
{
    const Selected before = selected();
    m_model->rebuildFrom(dayFilePath);
    restoreSelection(before);
    showSortState();
    ListUtility::AdjustListView(*this);
    highlightRows();
    Q_EMIT rowCountChanged();
}

QString LogListView::tagAt(int row) const
{
    return m_model->stamp(row);
}

void LogListView::setGapStamps(std::vector<std::string> stamps)
{
    std::sort(stamps.begin(), stamps.end());
    if (stamps != m_gapStamps) {
        m_gapStamps = std::move(stamps);
        viewport()->update();
    }
}

void LogListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    paintGapMarks();
}

void LogListView::paintGapMarks()
{
    const int rows = rowCount();
    if (m_gapStamps.empty() || rows == 0 || m_model->sortColumn() != 0) {
        return;
    }
    // Only the boundaries on screen are looked at, so the cost does not grow with the list.
    const QModelIndex top = indexAt(QPoint(0, 0));
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    const int first = top.isValid() ? top.row() : 0;
    const int last = bottom.isValid() ? bottom.row() + 1 : rows;
    const bool newestFirst = m_model->sortOrder() == Qt::DescendingOrder;
    QPainter painter(viewport());
    painter.setPen(QPen(QColor(220, 40, 30), 2));
    for (int row = first; row <= last && row <= rows; ++row) {
        const std::string above = row > 0 ? m_model->stamp(row - 1).toStdString() : std::string();
        const std::string below = row < rows ? m_model->stamp(row).toStdString() : std::string();
        if (gapmarks::Between(m_gapStamps, above, below, newestFirst)) {
            const int y = row < rows ? visualRect(m_model->index(row, 0)).top()
                                     : visualRect(m_model->index(rows - 1, 0)).bottom() + 1;
            painter.drawLine(0, y, viewport()->width(), y);
        }
    }
}

void LogListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                              const QList<int>& roles)
{
    // A change over many rows is a re-rendered time column or moved colours: every row keeps
    // its height, so repainting the screen is all it takes. QTreeView would visit every row
    // of the range, which after each record would cost as much as the day is long.
    if (topLeft.row() != bottomRight.row()) {
        viewport()->update();
        return;
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void LogListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        Q_EMIT detailRequested();
    }
}

void LogListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        Q_EMIT contextMenuRequested(event->globalPosition().toPoint());
    }
}

void LogListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        Q_EMIT detailRequested();
        return;
    }
    QTreeView::keyPressEvent(event);
}

} // namespace zlv
