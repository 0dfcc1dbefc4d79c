// How a log list keeps up with records arriving at its top: the layout only as far as
// it can be seen, the pixels moved rather than painted again, and only the rows whose
// colour changed repainted.
#include "logstore/LogListView.h"
#include "utility/Contrast.h"

#include <QEvent>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zlv {

namespace {

// Rows the tree view may not know of yet, as a share of those it does: 1/1024 of a list
// is less than a pixel of any scroll bar, so the bar looks the same either way.
constexpr int kWaitingShare = 1024;

} // namespace

bool LogListView::viewportEvent(QEvent* event)
{
    // The row under the mouse, from the same events the tree view takes its own from; it
    // follows its record, as the tree view's does.
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        m_hover = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        m_hover = QPersistentModelIndex();
        break;
    default:
        break;
    }
    return QTreeView::viewportEvent(event);
}

int LogListView::rowAt(int y) const
{
    const qint64 height = std::max(1, rowPixels());
    const qint64 value = verticalScrollBar()->value();
    const qint64 row =
        verticalScrollMode() == ScrollPerItem ? value + y / height : (value + y) / height;
    return static_cast<int>(std::clamp<qint64>(row, 0, std::numeric_limits<int>::max()));
}

void LogListView::paintEvent(QPaintEvent* event)
{
    // The tree view paints a tree: it asks the window system where the mouse is on every
    // paint (on X11 a round trip to the server) for the branches a flat list never shows.
    // A flat, left-to-right list of rows of one height is painted here, row by row.
    if (isRightToLeft() || !uniformRowHeights() || rootIsDecorated() || alternatingRowColors()) {
        QTreeView::paintEvent(event);
        paintGapMarks();
        return;
    }
    executeDelayedItemsLayout();
    QStyleOptionViewItem options;
    initViewItemOption(&options);
    noteRowLook(options);
    const int rows = std::min(rowCount(), std::max(0, m_laidOutRows));
    const int height = rowPixels();
    if (rows > 0 && height > 0) {
        QPainter painter(viewport());
        int next = 0; // the region's bands come from the top down; no row is painted twice
        for (const QRect& area : event->region()) {
            const int last = std::min(rows - 1, rowAt(area.bottom()));
            for (int row = std::max(next, rowAt(area.top())); row <= last; ++row) {
                options.rect = QRect(0, rowTop(row), viewport()->width(), height);
                paintRow(&painter, options, row);
                next = row + 1;
            }
        }
    }
    paintGapMarks();
    m_picturesIdle->start();
}

void LogListView::keepShownPicturesOnly()
{
    std::vector<std::uint64_t> shown;
    const int rows = std::min(rowCount(), std::max(0, m_laidOutRows));
    if (rows > 0) {
        const int last = std::min(rows - 1, rowAt(viewport()->height() - 1));
        for (int row = std::min(rows - 1, rowAt(0)); row <= last; ++row) {
            shown.push_back(m_model->recordAt(row));
        }
    }
    const qsizetype before = m_pictures.count();
    m_pictures.keepOnly(shown);
#ifdef __GLIBC__
    // A picture is too small to be given its own mapping: what the burst's pictures took
    // stays with the process as free heap unless it is handed back.
    if (m_pictures.count() < before) {
        ::malloc_trim(0);
    }
#else
    (void)before;
#endif
}

void LogListView::paintRow(QPainter* painter, const QStyleOptionViewItem& options, int row) const
{
    // After each record a third of the rows on screen change colour and are painted again.
    // A plain row (not selected, current or under the mouse) has no panel in any style, so
    // its cells go straight to the delegate, by way of a picture kept for the record in
    // that colour.
    const QModelIndex first = m_model->index(row, 0);
    if (row == m_hover.row() || row == currentIndex().row() ||
        selectionModel()->isSelected(first)) {
        paintMarkedRow(painter, options, row);
        return;
    }
    const std::uint64_t key = RowPictures::key(m_model->recordAt(row), m_model->isHighlighted(row));
    if (const QImage* picture = m_pictures.find(key)) {
        painter->drawImage(options.rect.topLeft(), *picture);
        return;
    }
    const QBrush background = viewport()->palette().brush(viewport()->backgroundRole());
    if (background.style() != Qt::SolidPattern) {
        paintCells(painter, options, row);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QImage picture((QSizeF(options.rect.size()) * ratio).toSize(), QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    picture.fill(background.color());
    {
        QPainter onPicture(&picture);
        onPicture.translate(-options.rect.topLeft());
        paintCells(&onPicture, options, row);
    }
    painter->drawImage(options.rect.topLeft(), picture);
    m_pictures.insert(key, std::move(picture));
}

QVarLengthArray<LogListView::Cell, 8> LogListView::cellsOf(const QRect& row) const
{
    // The visible columns in the order shown, as the tree view places them.
    QVarLengthArray<Cell, 8> cells;
    const QHeaderView* head = header();
    const int first = std::max(0, head->visualIndexAt(row.left()));
    int last = head->visualIndexAt(row.right());
    if (last < 0) {
        last = head->count() - 1;
    }
    for (int visual = first; visual <= last; ++visual) {
        const int column = head->logicalIndex(visual);
        if (head->isSectionHidden(column)) {
            continue;
        }
        cells.append({column,
                      QRect(head->sectionViewportPosition(column), row.top(),
                            head->sectionSize(column), row.height()),
                      first == last     ? QStyleOptionViewItem::OnlyOne
                      : visual == first ? QStyleOptionViewItem::Beginning
                      : visual == last  ? QStyleOptionViewItem::End
                                        : QStyleOptionViewItem::Middle});
    }
    return cells;
}

void LogListView::paintCells(QPainter* painter, const QStyleOptionViewItem& options, int row) const
{
    QStyleOptionViewItem cell = options;
    for (const Cell& place : cellsOf(options.rect)) {
        cell.rect = place.rect;
        cell.viewItemPosition = place.position;
        const QModelIndex at = m_model->index(row, place.column);
        itemDelegateForIndex(at)->paint(painter, cell, at);
    }
}

void LogListView::paintMarkedRow(QPainter* painter, const QStyleOptionViewItem& options,
                                 int row) const
{
    // As the tree view paints a selected, current or hovered row of a flat list: a row
    // panel under every cell, the cell, and a focus frame across the current row.
    const QHeaderView* head = header();
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus();
    const bool hovered = m_hover.isValid() && m_hover.row() == row;
    bool frame = false;
    QStyleOptionViewItem cell = options;
    for (const Cell& place : cellsOf(options.rect)) {
        const QModelIndex at = m_model->index(row, place.column);
        cell.state = options.state;
        cell.viewItemPosition = place.position;
        if (selectionModel()->isSelected(at)) {
            cell.state |= QStyle::State_Selected;
        }
        if (focused && current == at) {
            if (allColumnsShowFocus()) {
                frame = true;
            } else {
                cell.state |= QStyle::State_HasFocus;
            }
        }
        cell.state.setFlag(QStyle::State_MouseOver, hovered);
        if (options.state & QStyle::State_Enabled) {
            cell.palette.setCurrentColorGroup(QPalette::Normal);
        }
        cell.rect = place.rect;
        const QStyle::State state = cell.state;
        cell.state &= ~QStyle::State_Selected; // the panel shows only what is not selection
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &cell, painter, this);
        cell.state = state;
        itemDelegateForIndex(at)->paint(painter, cell, at);
    }
    if (frame) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(options);
        focus.state |= QStyle::State_KeyboardFocusChange;
        const QPalette::ColorGroup group =
            (options.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        focus.backgroundColor = options.palette.color(
            group, selectionModel()->isSelected(current) ? QPalette::Highlight : QPalette::Window);
        const int x = options.showDecorationSelected ? 0 : head->sectionPosition(0);
        focus.rect = QRect(x - head->offset(), options.rect.top(), head->length() - x,
                           options.rect.height());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
}

void LogListView::noteRowLook(const QStyleOptionViewItem& options)
{
    RowPictures::Look look;
    const QHeaderView* head = header();
    look.geometry = {viewport()->width(), rowPixels(), head->offset()};
    for (int column = 0; column < head->count(); ++column) {
        look.geometry.push_back(head->isSectionHidden(column) ? -1 : head->sectionPosition(column));
        look.geometry.push_back(head->sectionSize(column));
    }
    look.font = font();
    look.palette = viewport()->palette().cacheKey();
    look.style = style();
    look.state = static_cast<int>(options.state & (QStyle::State_Active | QStyle::State_Enabled));
    look.pixelRatio = devicePixelRatioF();
    m_pictures.setLook(std::move(look));
}

void LogListView::paintGapMarks()
{
    const int rows = rowCount();
    if (m_model->list().gapStamps().empty() || rows == 0) {
        return;
    }
    // Only the boundaries on screen are looked at, so the cost does not grow with the list.
    const QModelIndex top = indexAt(QPoint(0, 0));
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    const int first = top.isValid() ? top.row() : 0;
    const int last = bottom.isValid() ? bottom.row() + 1 : rows;
    const std::vector<int> marks = m_model->list().gapMarks(first, last);
    if (marks.empty()) {
        return;
    }
    QPainter painter(viewport());
    // Red, as readable against the list's own base as its text must be, on any theme.
    painter.setPen(QPen(
        contrast::Readable(QColor(220, 40, 30), viewport()->palette().color(QPalette::Base)), 2));
    for (const int row : marks) {
        const int y = row < rows ? visualRect(m_model->index(row, 0)).top()
                                 : visualRect(m_model->index(rows - 1, 0)).bottom() + 1;
        painter.drawLine(0, y, viewport()->width(), y);
    }
}

void LogListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                              const QList<int>& roles)
{
    if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
        m_pictures.clear(); // a text changed
    }
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
    // Asked of the tree view once per layout: every row has the height of the top one.
    if (m_rowPixels < 0) {
        const QModelIndex top = indexAt(QPoint(0, 0));
        const int height = top.isValid() ? QTreeView::visualRect(top).height() : 0;
        if (height <= 0) {
            return 0;
        }
        m_rowPixels = height;
    }
    return m_rowPixels;
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
    m_rowPixels = -1;
    QTreeView::doItemsLayout();
    m_rowPixels = -1;
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
    m_rowPixels = -1;
    m_pictures.clear(); // the records are others now
    m_laidOutRows = -1;
}

void LogListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
    m_pictures.clear(); // a removed record's id may be given to the next one
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
    } else if (count == 1 && m_insertedCount == 1 && m_coloursPending) {
        // The one row this rebuild brings: the pixels on screen are still those the colours
        // were noted from.
        moveRowsThatKeepTheirColour(start, below, rowHeight);
    } else {
        port->scroll(0, static_cast<int>(shift), below);
    }
}

void LogListView::moveRowsThatKeepTheirColour(int inserted, const QRect& below, int rowHeight)
{
    // A row moved down by one whose colour changed must be painted again; moving its
    // pixels first would only cost. The rows that keep their colour move in runs, from
    // the bottom up, each run's top row exposing the row above it; the others are marked
    // for painting at once, so that a later move takes that along.
    QWidget* port = viewport();
    const QModelIndex top = indexAt(QPoint(0, 0));
    const int rows = std::min(m_model->rowCount(), std::max(0, m_laidOutRows));
    const auto keeps = [this](int row) {
        const ShownRow now{m_model->recordAt(row), m_model->isHighlighted(row)};
        const auto at = std::lower_bound(
            m_shownBefore.begin(), m_shownBefore.end(), now,
            [](const ShownRow& a, const ShownRow& b) { return a.record < b.record; });
        return at != m_shownBefore.end() && at->record == now.record && at->green == now.green;
    };
    std::vector<std::pair<int, int>> runs;
    for (int row = std::max(inserted + 1, top.isValid() ? top.row() : 0);
         row < rows && rowTop(row) < port->height(); ++row) {
        if (!keeps(row)) {
            port->update(QRect(0, rowTop(row), port->width(), rowHeight).intersected(below));
            continue;
        }
        if (!runs.empty() && runs.back().second == row - 1) {
            runs.back().second = row;
        } else {
            runs.emplace_back(row, row);
        }
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        const int from = rowTop(run->first) - rowHeight;
        const QRect band = QRect(0, from, port->width(), rowTop(run->second) + rowHeight - from)
                               .intersected(below);
        if (!band.isEmpty()) {
            port->scroll(0, rowHeight, band);
        }
    }
}

} // namespace zlv
