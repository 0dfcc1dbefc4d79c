#include "utility/ColumnShare.h"
#include "utility/ListUtility.h"

#include <QAbstractItemModel>
#include <QEvent>
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

// What the columns of one list ask for, and which widths the user chose by hand; the
// list's width is shared among them again whenever either or the width changes. The last
// column stretches over what is left, as the header does it.
class ColumnFit final : public QObject
{
public:
    static ColumnFit& Of(QTreeView& view)
    {
        static const QString name = QStringLiteral("zlvColumnFit");
        if (auto* fit = view.findChild<ColumnFit*>(name, Qt::FindDirectChildrenOnly)) {
            return *fit;
        }
        return *new ColumnFit(view, name);
    }

    void setYielding(int column) { m_yielding = column; }
    const std::vector<int>& contents() const { return m_content; }

    // The captions' widths, measured again only when the font or the style may have
    // changed them: measuring a caption costs more than sharing out the widths.
    void measureCaptions()
    {
        QHeaderView* header = m_view.header();
        m_minimum.clear();
        for (int c = 0; c < header->count(); ++c) {
            m_minimum.push_back(header->sectionSizeHint(c));
        }
    }

    void want(int column, int width)
    {
        if (column >= 0 && static_cast<std::size_t>(column) < m_content.size()) {
            int& content = m_content[static_cast<std::size_t>(column)];
            content = std::max(content, std::min(width, kWidestColumnPx));
        }
    }

    void apply()
    {
        QHeaderView* header = m_view.header();
        const int count = header->count();
        if (m_applying || count == 0) {
            return;
        }
        m_designed.resize(static_cast<std::size_t>(count), 0);
        m_content.resize(static_cast<std::size_t>(count), 0);
        m_chosen.resize(static_cast<std::size_t>(count), 0);
        if (m_minimum.size() != static_cast<std::size_t>(count)) {
            measureCaptions();
        }
        std::vector<ColumnNeed> needs;
        for (int c = 0; c < count; ++c) {
            const auto i = static_cast<std::size_t>(c);
            if (header->isSectionHidden(c)) {
                needs.push_back({0, 0, 0, true});
            } else if (m_chosen[i] > 0) {
                needs.push_back({m_chosen[i], m_chosen[i], 0, true});
            } else {
                needs.push_back({std::max(m_designed[i], m_content[i]), m_content[i], m_minimum[i],
                                 false, c == m_yielding});
            }
        }
        const int available = m_view.viewport()->width();
        const int stretched = header->stretchLastSection() ? count - 1 : -1;
        // After most records nothing changed: the same needs in the same width.
        bool unchanged = available == m_lastAvailable && Same(needs, m_lastNeeds);
        for (int c = 0; unchanged && c < count; ++c) {
            unchanged = c == stretched || header->isSectionHidden(c) ||
                        header->sectionSize(c) == m_lastWidths[static_cast<std::size_t>(c)];
        }
        if (unchanged) {
            return;
        }
        const std::vector<int> widths = ShareColumnWidths(needs, available);
        m_lastNeeds = needs;
        m_lastAvailable = available;
        m_lastWidths = widths;
        m_applying = true;
        for (int c = 0; c < count; ++c) {
            const int w = widths[static_cast<std::size_t>(c)];
            if (c != stretched && !header->isSectionHidden(c) && header->sectionSize(c) != w) {
                header->resizeSection(c, w);
            }
        }
        m_applying = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
            if (watched == m_view.viewport()) {
                apply();
            }
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_userResizing = watched == m_view.header()->viewport();
            break;
        case QEvent::MouseButtonRelease:
            m_userResizing = false;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ColumnFit(QTreeView& view, const QString& name) : QObject(&view), m_view(view)
    {
        setObjectName(name);
        QHeaderView* header = view.header();
        for (int c = 0; c < header->count(); ++c) {
            m_designed.push_back(header->sectionSize(c));
        }
        m_content.assign(m_designed.size(), 0);
        m_chosen.assign(m_designed.size(), 0);
        view.viewport()->installEventFilter(this);
        header->viewport()->installEventFilter(this);
        connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int size) {
            // A drag on the header, or a double-click on a section's edge, is the user's
            // choice for the rest of the run; the stretching last column is nobody's.
            QHeaderView* h = m_view.header();
            const bool stretched = h->stretchLastSection() && column == h->count() - 1;
            if (m_userResizing && !m_applying && !stretched && column >= 0 &&
                static_cast<std::size_t>(column) < m_chosen.size()) {
                m_chosen[static_cast<std::size_t>(column)] = size;
            }
        });
    }

    static bool Same(const std::vector<ColumnNeed>& a, const std::vector<ColumnNeed>& b)
    {
        return std::ranges::equal(a, b, [](const ColumnNeed& x, const ColumnNeed& y) {
            return x.natural == y.natural && x.content == y.content && x.minimum == y.minimum &&
                   x.fixed == y.fixed && x.yieldsFirst == y.yieldsFirst;
        });
    }

    QTreeView& m_view;
    std::vector<int> m_minimum; // the captions' widths
    std::vector<ColumnNeed> m_lastNeeds;
    std::vector<int> m_lastWidths;
    int m_lastAvailable = -1;
    std::vector<int> m_designed; // the widths the list began with
    std::vector<int> m_content;  // the widest text seen in each column, 0 before any
    std::vector<int> m_chosen;   // a width the user chose by hand, 0 where none
    int m_yielding = -1;
    bool m_applying = false;
    bool m_userResizing = false;
};

} // namespace

void ListUtility::AdjustListView(QTreeView& view)
{
    QAbstractItemModel* model = view.model();
    if (!model) {
        return;
    }
    ColumnFit& fit = ColumnFit::Of(view);
    fit.measureCaptions();
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
        fit.want(column, wanted);
    }
    fit.apply();
}

std::vector<int> ListUtility::MeasuredWidths(QTreeView& view)
{
    return ColumnFit::Of(view).contents();
}

void ListUtility::SetYieldingColumn(QTreeView& view, int column)
{
    ColumnFit::Of(view).setYielding(column);
}

void ListUtility::FitColumns(QTreeView& view, const std::vector<int>& wanted)
{
    ColumnFit& fit = ColumnFit::Of(view);
    for (std::size_t column = 0; column < wanted.size(); ++column) {
        fit.want(static_cast<int>(column), wanted[column]);
    }
    fit.apply();
}

} // namespace zlv
