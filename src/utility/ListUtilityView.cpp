#include "utility/ListUtility.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

namespace zlv {

namespace {

// Rows measured from the top and from the first row on screen. Measuring every row would
// make a load of a million rows pay for text widths nobody looks at.
constexpr int kSampledRows = 48;
// A damaged line can hold a name of megabytes; neither its measuring nor the column it
// would widen may grow with it.
constexpr int kMeasuredChars = 400;
constexpr int kWidestColumnPx = 900;

} // namespace

void ListUtility::AdjustListView(QTreeView& view)
{
    QAbstractItemModel* model = view.model();
    if (!model) {
        return;
    }
    QHeaderView* header = view.header();
    const QFontMetrics metrics(view.font());
    const int margin =
        2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1) + 6;
    const int rows = model->rowCount();
    const int top = view.verticalScrollMode() == QAbstractItemView::ScrollPerItem
                        ? view.verticalScrollBar()->value()
                        : view.verticalScrollBar()->value() / std::max(1, metrics.height());
    const int firstShown = std::clamp(top, 0, std::max(0, rows - 1));

    for (int column = 0; column < model->columnCount(); ++column) {
        if (header->isSectionHidden(column)) {
            continue;
        }
        int wanted = header->sectionSizeHint(column);
        const auto measure = [&](int from) {
            const int to = std::min(rows, from + kSampledRows);
            for (int row = from; row < to; ++row) {
                const QString text = model->index(row, column).data().toString();
                wanted =
                    std::max(wanted, metrics.horizontalAdvance(text.left(kMeasuredChars)) + margin);
            }
        };
        measure(0);
        if (firstShown >= kSampledRows) {
            measure(firstShown);
        }
        // Columns only ever widen: the designed widths stay the least a column shows, and
        // a column the user widened is not taken back.
        wanted = std::min(wanted, kWidestColumnPx);
        if (wanted > header->sectionSize(column)) {
            header->resizeSection(column, wanted);
        }
    }
}

} // namespace zlv
