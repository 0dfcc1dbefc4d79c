// Steps the Detail View through lists of 10,000 and 1,000,000 rows. Every press asks the
// list for its row count and selection afresh; the figures show what that costs.
#include "browse/frmPubDetail.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QTreeView>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kPresses = 2000;

// Rows made up on demand, so the list costs no memory per row.
class SyntheticLog final : public QAbstractTableModel
{
public:
    explicit SyntheticLog(int rows) : m_rows(rows) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole) {
            return {};
        }
        return QStringLiteral("r%1c%2").arg(index.row()).arg(index.column());
    }

private:
    int m_rows;
};

template <typename F> double MicrosecondsPerPress(int presses, F press)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < presses; ++i) {
        press(i);
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / presses;
}

void Run(int rows)
{
    SyntheticLog model(rows);
    QTreeView list;
    list.setUniformRowHeights(true);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setModel(&model);
    list.resize(800, 600);
    list.show();

    zlv::frmPubDetail dialog(nullptr, [&] { return &list; });
    dialog.first();
    const double next = MicrosecondsPerPress(kPresses, [&](int) { dialog.next(); });
    const double ends = MicrosecondsPerPress(kPresses, [&](int i) {
        if (i % 2) {
            dialog.first();
        } else {
            dialog.last();
        }
    });
    std::printf("detail view, %d rows: next %.1f us/press, first/last %.1f us/press\n", rows, next,
                ends);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Run(10000);
    Run(1000000);
    return 0;
}
