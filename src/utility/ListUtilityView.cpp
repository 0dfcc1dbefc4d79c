#include "utility/ListUtility.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>
#include <algorithm>
#include <array>

namespace zlv {

namespace {

// Rows measured from the top and from the first row on screen. Measuring every row would
// make a load of a million rows pay for text widths nobody looks at.
constexpr int kSampledRows = 48;
// A damaged line can hold a name of megabytes; neither its measuring nor the column it
// would widen may grow with it.
constexpr int kMeasuredChars = 400;
constexpr int kWidestColumnPx = 900;
constexpr std::size_t kMeasuredPerColumn = 3;

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
        // Shaping text is what costs; only the few longest texts of the sample are
        // measured, the length in characters being a fair guess at the widest.
        std::array<QString, kMeasuredPerColumn> longest;
        const auto consider = [&](int from) {
            const int to = std::min(rows, from + kSampledRows);
            for (int row = from; row < to; ++row) {
                QString text = model->index(row, column).data().toString();
                text.truncate(kMeasuredChars);
                for (QString& kept : longest) {
                    if (text.size() > kept.size()) {
                        std::swap(text, kept);
                    }
                }
            }
        };
        consider(0);
        if (firstShown >= kSampledRows) {
            consider(firstShown);
        }
        int wanted = header->sectionSizeHint(column);
        for (const QString& text : longest) {
            if (!text.isEmpty()) {
                wanted = std::max(wanted, metrics.horizontalAdvance(text) + margin);
            }
        }
        wanted = std::min(wanted, kWidestColumnPx);
        if (wanted > header->sectionSize(column)) {
            header->resizeSection(column, wanted);
        }
    }
}

} // namespace zlv
