#include "logstore/LogListView.h"

#include "logstore/DataFolder.h"
#include "logstore/LogListHeader.h"
#include "logstore/LogRowDelegate.h"
#include "logstore/ThumbScrollBar.h"
#include "utility/ListUtility.h"
#include "utility/Twips.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <array>

namespace zlv {

namespace {

// Designed column widths in twips (1/1440 inch); 15 twips make a pixel at 96 dpi.
constexpr std::array<int, 6> kTodayWidthsTwips{1605, 701, 765, 3500, 2500, 1050};
constexpr std::array<int, 6> kHistoryWidthsTwips{1250, 700, 700, 600, 1250, 1000};

constexpr int kPathColumn = 3;

// New rows measured for the column widths after an insertion; more make a full fit.
constexpr int kMeasuredNewRows = 48;

} // namespace

LogListView::LogListView(Kind kind, QWidget* parent)
    : QTreeView(parent), m_kind(kind), m_model(new LogListModel(this))
{
    const bool today = kind == Kind::Today;
    setObjectName(today ? QStringLiteral("lsvToday") : QStringLiteral("lsvHistory"));
    setToolTip(today ? QStringLiteral("Today Logs Listing.")
                     : QStringLiteral("History Logs Listing."));
    setAccessibleName(today ? QStringLiteral("Today Logs") : QStringLiteral("History Logs"));
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
    m_picturesIdle = new QTimer(this);
    m_picturesIdle->setSingleShot(true);
    m_picturesIdle->setInterval(kPicturesIdle);
    connect(m_picturesIdle, &QTimer::timeout, this, &LogListView::keepShownPicturesOnly);
    m_delegate = new LogRowDelegate(this);
    m_delegate->setMiddleElidedColumn(kPathColumn);
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
    // A deep path gives way before the names after it do.
    ListUtility::SetYieldingColumn(*this, kPathColumn);
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
    return QString::fromStdString(m_model->list().rowCountText());
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

void LogListView::setFilter(const QString& text)
{
    m_model->setFilter(text);
    // The count says "of" the whole list while a find text narrows it, even when every
    // row still shows.
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
    m_model->list().loadRange(folder, from, to);
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
    m_model->list().sortByHeader(column);
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
    if (stamps != m_model->list().gapStamps()) {
        m_model->list().setGapStamps(std::move(stamps));
        viewport()->update();
    }
}

void LogListView::widenColumnsFor(int firstRow, int count)
{
    if (firstRow < 0 || count <= 0) {
        return;
    }
    // As ListUtility::AdjustListView measures, for the given rows only; a text that cannot
    // be wider than the widest text measured so far, even in the font's widest glyphs, is
    // not measured at all.
    QHeaderView* head = header();
    const QFontMetrics metrics(font());
    const int margin =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    const int widest = std::max(1, metrics.maxWidth());
    const int last = std::min(m_model->rowCount(), firstRow + count);
    std::vector<int> widths = ListUtility::MeasuredWidths(*this);
    widths.resize(LogListModel::kColumnCount, 0);
    for (int column = 0; column < LogListModel::kColumnCount; ++column) {
        if (head->isSectionHidden(column)) {
            continue;
        }
        int& wanted = widths[static_cast<std::size_t>(column)];
        for (int row = firstRow; row < last; ++row) {
            // The text as the list shows it, shaped once for this and for its painting.
            const QString text = m_model->index(row, column).data().toString();
            if (text.isEmpty() || static_cast<qint64>(text.size()) * widest + margin <= wanted) {
                continue;
            }
            wanted = std::max(wanted, m_delegate->textWidth(text, font()) + margin);
        }
    }
    ListUtility::FitColumns(*this, widths);
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

} // namespace zlv
