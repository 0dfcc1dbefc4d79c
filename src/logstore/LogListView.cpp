#include "logstore/LogListView.h"

#include "logstore/DataFolder.h"
#include "logstore/GapMarks.h"
#include "logstore/LogListHeader.h"
#include "logstore/LogRowDelegate.h"
#include "logstore/ThumbScrollBar.h"
#include "utility/FileSystem.h"
#include "utility/ListUtility.h"
#include "utility/Twips.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
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

// Rows the tree view may not know of yet, as a share of those it does: 1/1024 of a list
// is less than a pixel of any scroll bar, so the bar looks the same either way.
constexpr int kWaitingShare = 1024;
// New rows measured for the column widths after an insertion; more make a full fit.
constexpr int kMeasuredNewRows = 48;
// The widest a column grows to fit a text.
constexpr int kWidestColumnPx = 900;

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
    auto* ownHeader = new LogListHeader(this);
    // As the tree view sets up the header it makes itself.
    ownHeader->setStretchLastSection(true);
    ownHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHeader(ownHeader);
    setModel(m_model);
    m_delegate = new LogRowDelegate(this);
    setItemDelegate(m_delegate);

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
    setVerticalScrollBar(new ThumbScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new ThumbScrollBar(Qt::Horizontal, this));
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            &LogListView::verticalScrollbarAction);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &LogListView::verticalScrollbarValueChanged);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            &LogListView::horizontalScrollbarAction);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &LogListView::horizontalScrollbarValueChanged);
    // Rows laid out later are laid out before the user can get to them.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &LogListView::catchUpWhenReachable);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { m_laidOutRows = -1; });
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
    // Setting the same indicator again still repaints the header.
    QHeaderView* head = header();
    if (head->sortIndicatorSection() != m_model->sortColumn() ||
        head->sortIndicatorOrder() != m_model->sortOrder()) {
        head->setSortIndicator(m_model->sortColumn(), m_model->sortOrder());
    }
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
    rememberShownColours();
    m_insertedAt = -1;
    m_insertedCount = 0;
    const bool kept = m_model->rebuildFrom(dayFilePath);
    restoreSelection(before);
    showSortState();
    // Only new rows can widen a column; measuring the old ones again would cost as much
    // text shaping as painting the whole list.
    if (kept && m_insertedCount <= kMeasuredNewRows) {
        widenColumnsFor(m_insertedAt, m_insertedCount);
    } else {
        ListUtility::AdjustListView(*this);
    }
    highlightRows();
    m_coloursPending = false;
    m_shownBefore.clear();
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
    m_hoverRow = -1;
    if (viewport()->underMouse()) {
        m_hoverRow = indexAt(viewport()->mapFromGlobal(QCursor::pos())).row();
    }
    QTreeView::paintEvent(event);
    paintGapMarks();
}

void LogListView::drawRow(QPainter* painter, const QStyleOptionViewItem& options,
                          const QModelIndex& index) const
{
    // After each record a third of the rows on screen change colour and are painted again.
    // The tree view asks the style for a row panel under every cell first, which costs as
    // much as the cell's text; a plain row (not selected, current or under the mouse, no
    // alternating colours) has no panel in any style, so its cells go straight to the
    // delegate. Every other row is the tree view's own.
    const int row = index.row();
    if (index.parent().isValid() || alternatingRowColors() || isRightToLeft() ||
        row == m_hoverRow || row == currentIndex().row() || selectionModel()->isSelected(index)) {
        QTreeView::drawRow(painter, options, index);
        return;
    }
    const QHeaderView* head = header();
    const int first = std::max(0, head->visualIndexAt(options.rect.left()));
    int last = head->visualIndexAt(options.rect.right());
    if (last < 0) {
        last = head->count() - 1;
    }
    QStyleOptionViewItem cell = options;
    for (int visual = first; visual <= last; ++visual) {
        const int column = head->logicalIndex(visual);
        if (head->isSectionHidden(column)) {
            continue;
        }
        cell.rect = QRect(head->sectionViewportPosition(column), options.rect.top(),
                          head->sectionSize(column), options.rect.height());
        cell.viewItemPosition = first == last     ? QStyleOptionViewItem::OnlyOne
                                : visual == first ? QStyleOptionViewItem::Beginning
                                : visual == last  ? QStyleOptionViewItem::End
                                                  : QStyleOptionViewItem::Middle;
        const QModelIndex at = m_model->index(row, column);
        itemDelegateForIndex(at)->paint(painter, cell, at);
    }
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
        if (m_coloursPending && roles == QList<int>{Qt::ForegroundRole}) {
            repaintChangedColours();
        } else {
            viewport()->update();
        }
        return;
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void LogListView::rememberShownColours()
{
    m_shownBefore.clear();
    m_coloursPending = false;
    if (m_laidOutRows <= 0 || !isVisible()) {
        return;
    }
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!top.isValid()) {
        return;
    }
    const int rows = m_model->rowCount();
    for (int row = top.row(); row < std::min(rows, m_laidOutRows); ++row) {
        if (rowTop(row) >= viewport()->height()) {
            break;
        }
        m_shownBefore.push_back({m_model->recordAt(row), m_model->isHighlighted(row)});
    }
    std::sort(m_shownBefore.begin(), m_shownBefore.end(),
              [](const ShownRow& a, const ShownRow& b) { return a.record < b.record; });
    m_coloursPending = true;
}

void LogListView::repaintChangedColours()
{
    m_coloursPending = false;
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!top.isValid()) {
        return;
    }
    // Every row on screen stands where its record's pixels were moved to; a row whose
    // colour is as it was needs no paint.
    QWidget* port = viewport();
    const int rows = std::min(m_model->rowCount(), std::max(0, m_laidOutRows));
    const int height = rowPixels();
    for (int row = top.row(); row < rows; ++row) {
        const QRect rect(0, rowTop(row), port->width(), height);
        if (rect.top() >= port->height()) {
            break;
        }
        const ShownRow now{m_model->recordAt(row), m_model->isHighlighted(row)};
        const auto at = std::lower_bound(
            m_shownBefore.begin(), m_shownBefore.end(), now,
            [](const ShownRow& a, const ShownRow& b) { return a.record < b.record; });
        if (at == m_shownBefore.end() || at->record != now.record || at->green != now.green) {
            port->update(QRect(0, rect.top(), port->width(), rect.height()));
        }
    }
}

int LogListView::rowPixels() const
{
    return visualRect(indexAt(QPoint(0, 0))).height();
}

int LogListView::rowTop(int row) const
{
    // Computed rather than asked of the tree view, which looks a row up by walking its
    // rows from the last one it looked up: across a million rows that is milliseconds.
    const qint64 height = rowPixels();
    const qint64 value = verticalScrollBar()->value();
    const qint64 y =
        verticalScrollMode() == ScrollPerItem ? (row - value) * height : row * height - value;
    return static_cast<int>(std::clamp<qint64>(y, -(1 << 30), 1 << 30));
}

bool LogListView::layoutMayWait() const
{
    const int known = m_laidOutRows;
    if (known <= 0) {
        return false;
    }
    const qint64 waiting = static_cast<qint64>(m_model->rowCount()) - known;
    if (waiting * kWaitingShare > known) {
        return false;
    }
    // Rows past the last one laid out are out of sight while that one is.
    return rowPixels() > 0 && rowTop(known - 1) >= viewport()->height();
}

void LogListView::catchUpWhenReachable()
{
    if (m_laidOutRows >= 0 && m_laidOutRows < m_model->rowCount() && !layoutMayWait()) {
        catchUpLayout();
    }
}

void LogListView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    catchUpWhenReachable(); // a taller list may show rows not laid out yet
}

void LogListView::catchUpLayout()
{
    scheduleDelayedItemsLayout();
    executeDelayedItemsLayout();
}

void LogListView::doItemsLayout()
{
    // A layout caused by an insertion repaints only what moved (rowsInserted); the tree
    // view would repaint the whole list and its header.
    QWidget* quiet[] = {viewport(), header()->viewport()};
    if (m_inLayout) {
        for (QWidget* w : quiet) {
            w->setAttribute(Qt::WA_UpdatesDisabled, true);
        }
    }
    QTreeView::doItemsLayout();
    if (m_inLayout) {
        // The header stretches its last section afterwards, and repaints all of itself
        // then, though no width changes: done here, that paint is skipped.
        header()->sectionSize(0);
        for (QWidget* w : quiet) {
            w->setAttribute(Qt::WA_UpdatesDisabled, false);
        }
    }
    m_laidOutRows = m_model->rowCount();
}

void LogListView::reset()
{
    QTreeView::reset();
    m_laidOutRows = -1;
}

void LogListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
    m_laidOutRows = -1; // the tree view lays out every row again
}

void LogListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    const int count = end - start + 1;
    m_insertedAt = m_insertedCount == 0 ? start : std::min(m_insertedAt, start);
    m_insertedCount += count;
    if (parent.isValid() || m_laidOutRows <= 0 || !uniformRowHeights()) {
        m_coloursPending = false;
        QTreeView::rowsInserted(parent, start, end);
        return;
    }
    // Where the rows went, while the old layout still says where that is.
    QWidget* port = viewport();
    const int rowHeight = rowPixels();
    int y = rowTop(std::min(start, m_laidOutRows));

    if (layoutMayWait()) {
        QAbstractItemView::rowsInserted(parent, start, end);
    } else {
        QTreeView::rowsInserted(parent, start, end);
        m_inLayout = true;
        executeDelayedItemsLayout();
        m_inLayout = false;
    }

    // The rows below the insertion move down on screen: their pixels are moved, and only
    // the gap they leave is painted.
    if (rowHeight <= 0 || y >= port->height()) {
        return;
    }
    y = std::max(y, 0);
    const qint64 shift = static_cast<qint64>(count) * rowHeight;
    const QRect below(0, y, port->width(), port->height() - y);
    if (shift >= below.height()) {
        port->update(below);
    } else {
        port->scroll(0, static_cast<int>(shift), below);
    }
}

void LogListView::widenColumnsFor(int firstRow, int count)
{
    if (firstRow < 0 || count <= 0) {
        return;
    }
    // As ListUtility::AdjustListView measures, for the given rows only; a text that cannot
    // be wider than its column even in the font's widest glyphs is not measured at all.
    QHeaderView* head = header();
    const QFontMetrics metrics(font());
    const int margin =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    const int widest = std::max(1, metrics.maxWidth());
    const int last = std::min(m_model->rowCount(), firstRow + count);
    for (int column = 0; column < LogListModel::kColumnCount; ++column) {
        if (head->isSectionHidden(column)) {
            continue;
        }
        int wanted = head->sectionSize(column);
        for (int row = firstRow; row < last; ++row) {
            // The text as the list shows it, shaped once for this and for its painting.
            const QString text = m_model->index(row, column).data().toString();
            if (text.isEmpty() || static_cast<qint64>(text.size()) * widest + margin <= wanted) {
                continue;
            }
            wanted = std::max(wanted, m_delegate->textWidth(text, font()) + margin);
        }
        wanted = std::min(wanted, kWidestColumnPx);
        if (wanted > head->sectionSize(column)) {
            head->resizeSection(column, wanted);
        }
    }
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
    if (m_laidOutRows >= 0 && m_laidOutRows < m_model->rowCount()) {
        catchUpLayout(); // End, Page Down and the like go by the rows laid out
    }
    QTreeView::keyPressEvent(event);
}

void LogListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (index.isValid() && m_laidOutRows >= 0 && index.row() >= m_laidOutRows) {
        catchUpLayout();
    }
    QTreeView::scrollTo(index, hint);
}

} // namespace zlv
