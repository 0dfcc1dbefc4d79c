// Where a row of a log list lies, and how to scroll to it, computed from its number. The
// tree view finds a row by walking its rows from the last one it looked up: across a
// million rows that costs milliseconds on every change of the selection, and a jump to
// the first or last row (Detail View's buttons, Home and End) several times over.
#include "logstore/LogListView.h"

#include <QAccessible>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

namespace zlv {

bool LogListView::placedByNumber(const QModelIndex& index) const
{
    return index.isValid() && index.model() == m_model && !index.parent().isValid() &&
           uniformRowHeights() && !rootIsDecorated() && !isRightToLeft() && m_laidOutRows >= 0 &&
           index.row() < m_laidOutRows && rowPixels() > 0;
}

QRect LogListView::visualRect(const QModelIndex& index) const
{
    if (!placedByNumber(index) || header()->isSectionHidden(index.column())) {
        return QTreeView::visualRect(index);
    }
    const QHeaderView* head = header();
    return QRect(head->sectionViewportPosition(index.column()), rowTop(index.row()),
                 head->sectionSize(index.column()), rowPixels());
}

QRegion LogListView::visualRegionForSelection(const QItemSelection& selection) const
{
    const QRect area = viewport()->rect();
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid()) {
            continue;
        }
        if (!placedByNumber(range.topLeft()) || !placedByNumber(range.bottomRight())) {
            return QTreeView::visualRegionForSelection(selection);
        }
        // Whole rows: a region a little wider than the selected cells only repaints more.
        const int top = rowTop(range.top());
        const int bottom = rowTop(range.bottom()) + rowPixels();
        region += QRect(area.left(), top, area.width(), bottom - top).intersected(area);
    }
    return region;
}

void LogListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The tree view's own handling looks both rows up, and tells assistive technology of the
    // new focus; while that listens, its way is kept.
    const bool flat = (!current.isValid() || placedByNumber(current)) &&
                      (!previous.isValid() || placedByNumber(previous));
    if (!flat || QAccessible::isActive()) {
        QTreeView::currentChanged(current, previous);
        return;
    }
    QAbstractItemView::currentChanged(current, previous);
    if (allColumnsShowFocus()) {
        // The focus frame spans the row.
        for (const QModelIndex& index : {previous, current}) {
            if (index.isValid()) {
                viewport()->update(QRect(0, rowTop(index.row()), viewport()->width(), rowPixels()));
            }
        }
    }
}

void LogListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (index.isValid() && m_laidOutRows >= 0 && index.row() >= m_laidOutRows) {
        catchUpLayout();
    }
    executeDelayedItemsLayout();
    if (!placedByNumber(index)) {
        QTreeView::scrollTo(index, hint);
        return;
    }
    // As the tree view scrolls, with every row the same height.
    const QRect area = viewport()->rect();
    const int height = rowPixels();
    const int row = index.row();
    QScrollBar* bar = verticalScrollBar();
    if (verticalScrollMode() == ScrollPerItem) {
        const int top = bar->value();
        const int bottom = top + bar->pageStep();
        if (hint == EnsureVisible && row >= top && row < bottom) {
            // already in sight
        } else if (hint == PositionAtTop || (hint == EnsureVisible && row < top)) {
            bar->setValue(row);
        } else {
            // The last row that puts `row` at the bottom (or, centring, in the middle).
            const int space =
                hint == PositionAtCenter ? area.height() / 2 + height - 1 : area.height();
            const int above = space > height ? space / height - 1 : 0;
            bar->setValue(std::max(0, row - above));
        }
    } else {
        const QRect rect(0, rowTop(row), 1, height);
        const bool above =
            hint == EnsureVisible && (rect.top() < area.top() || area.height() < rect.height());
        const bool below =
            hint == EnsureVisible && rect.bottom() > area.bottom() && rect.height() < area.height();
        int value = bar->value();
        if (hint == PositionAtTop || above) {
            value += rect.top();
        } else if (hint == PositionAtBottom || below) {
            value += rect.bottom() - area.height();
        } else if (hint == PositionAtCenter) {
            value += rect.top() - (area.height() - rect.height()) / 2;
        }
        bar->setValue(value);
    }

    const QHeaderView* head = header();
    const int width = area.width();
    const int position = head->sectionPosition(index.column());
    const int cell = head->sectionSize(index.column());
    if (hint == PositionAtCenter) {
        horizontalScrollBar()->setValue(position - (width - cell) / 2);
    } else if (position - head->offset() < 0 || cell > width) {
        horizontalScrollBar()->setValue(position);
    } else if (position - head->offset() + cell > width) {
        horizontalScrollBar()->setValue(position - width + cell);
    }
}

} // namespace zlv
