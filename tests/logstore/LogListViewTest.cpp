#include "logstore/LogListView.h"

#include "LogLines.h"
#include "logstore/DataFolder.h"
#include "settings/DisplayFormat.h"
#include "support/TempDir.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

using namespace zlv;
using namespace zlv::test;

namespace {

// Everything a user can see of a list: its sort state, its count, and per row the six
// texts, the tag and the colour.
QStringList Snapshot(const LogListView& view)
{
    QStringList out{
        QString::asprintf("sorted by %d %d, ", view.sortColumnIndex(), int(view.sortOrderFlag())) +
        view.rowCountText()};
    for (int row = 0; row < view.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < LogListModel::kColumnCount; ++column) {
            cells << view.logModel()->text(row, column);
        }
        cells << view.tagAt(row)
              << (view.logModel()->isHighlighted(row) ? QStringLiteral("green")
                                                      : QStringLiteral("-"));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

// What the Today list shows when it is cleared and today's file is loaded again.
QStringList Reloaded(const std::string& path)
{
    LogListView fresh(LogListView::Kind::Today);
    fresh.clearRows();
    fresh.loadFile(path);
    fresh.highlightRows();
    return Snapshot(fresh);
}

// A moved antialiased corner may come out a shade apart; a row painted wrong is far more.
int WrongPixels(const QImage& a, const QImage& b)
{
    int wrong = a.size() == b.size() ? 0 : -1;
    for (int i = 0; wrong >= 0 && i < a.width() * a.height(); ++i) {
        const QPoint at(i % a.width(), i / a.width());
        wrong += std::abs(qGray(a.pixel(at)) - qGray(b.pixel(at))) > 8;
    }
    return wrong;
}

QString SelectedTag(const LogListView& view)
{
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    return rows.size() == 1 ? view.tagAt(rows.first().row()) : QString();
}

} // namespace

class LogListViewTest final : public QObject
{
    Q_OBJECT

    TempDir m_dir;

private Q_SLOTS:
    void init() { ProgramDisplayFormat() = DefaultDisplayFormat(); }

    void eachListHasItsOwnSortStateAndOneSelectedRowFollowsItsRecord()
    {
        const std::string path = m_dir / "sort.log", more = m_dir / "more.log";
        WriteBytes(path, CreatedLine(Stamp(9, 0, 0), "b") + CreatedLine(Stamp(10, 0, 0), "a") +
                             CreatedLine(Stamp(11, 0, 0), "c"));
        WriteBytes(more, CreatedLine(Stamp(8, 0, 0), "d"));
        LogListView today(LogListView::Kind::Today);
        LogListView history(LogListView::Kind::History);
        today.show();
        QVERIFY(QTest::qWaitForWindowExposed(&today));
        QCOMPARE(SelectedTag(today), QString());
        today.loadFile(path);
        history.loadFile(path);
        QCOMPARE(SelectedTag(today), QStringLiteral("2024-03-05 11:00:00")); // the top row
        const QString b = QStringLiteral("2024-03-05 09:00:00");
        today.selectionModel()->setCurrentIndex(today.model()->index(2, 0),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);

        // A header click sorts the other way than the list's last sort, whatever the column;
        // equal texts stand in reverse load order when descending.
        const std::tuple<int, Qt::SortOrder, const char*> clicks[] = {
            {4, Qt::AscendingOrder, "a"}, // after a load, which sorts descending
            {4, Qt::DescendingOrder, "c"},
            {0, Qt::AscendingOrder, "b"},
            {3, Qt::DescendingOrder, "c"},
        };
        for (const auto& [column, order, top] : clicks) {
            today.headerClicked(column);
            QCOMPARE(today.sortColumnIndex(), column);
            QCOMPARE(today.sortOrderFlag(), order);
            QCOMPARE(today.header()->sortIndicatorSection(), column);
            QCOMPARE(today.header()->sortIndicatorOrder(), order);
            QCOMPARE(today.logModel()->text(0, 4), QString::fromUtf8(top));
            QCOMPARE(SelectedTag(today), b);
        }
        QCOMPARE(today.selectionModel()->selectedRows().first().row(), 2);
        today.selectionModel()->clearSelection(); // does not last
        QTRY_COMPARE(SelectedTag(today), b);
        // The other list keeps its own.
        QCOMPARE(history.sortOrderFlag(), Qt::DescendingOrder);
        history.headerClicked(1);
        QCOMPARE(history.sortOrderFlag(), Qt::AscendingOrder);
        QCOMPARE(today.sortOrderFlag(), Qt::DescendingOrder);

        // A real click on the header goes the same way.
        QHeaderView* head = today.header();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                          QPoint(head->sectionViewportPosition(1) + 5, head->height() / 2));
        QCOMPARE(today.sortColumnIndex(), 1);
        QCOMPARE(today.sortOrderFlag(), Qt::AscendingOrder);
        QCOMPARE(head->sortIndicatorOrder(), Qt::AscendingOrder);

        // The selection stays through a Today rebuild (first column, descending) and a load.
        WriteBytes(path, CreatedLine(Stamp(12, 0, 0)), std::ios::app);
        today.rebuildToday(path);
        QCOMPARE(SelectedTag(today), b);
        QCOMPARE(today.selectionModel()->selectedRows().first().row(), 3);
        today.loadFile(more);
        QCOMPARE(SelectedTag(today), b);
        today.clearRows();
        QCOMPARE(SelectedTag(today), QString());
    }

    // Where a row lies and where scrolling to it ends are worked out from the row's number;
    // the tree view, asked its own slow way, must give the same for every hint, both scroll
    // modes, near and far rows and a column partly out of sight.
    void rowsArePlacedAndScrolledToWhereTheTreeViewPutsThem()
    {
        const std::string day = m_dir / "rows.log";
        WriteBytes(day, Lines(500));
        LogListView today(LogListView::Kind::Today);
        today.resize(420, 300);
        today.show();
        QVERIFY(QTest::qWaitForWindowExposed(&today));
        today.rebuildToday(day);
        QTreeView& tree = today;
        QScrollBar* bar = today.verticalScrollBar();
        QScrollBar* across = today.horizontalScrollBar();
        for (const auto mode :
             {QAbstractItemView::ScrollPerItem, QAbstractItemView::ScrollPerPixel}) {
            today.setVerticalScrollMode(mode);
            QCoreApplication::processEvents();
            for (const int start : {0, bar->maximum() / 2, bar->maximum()}) {
                for (const int row : {0, 3, 249, 262, 499}) {
                    for (const int column : {0, 4}) {
                        for (const auto hint :
                             {QAbstractItemView::EnsureVisible, QAbstractItemView::PositionAtTop,
                              QAbstractItemView::PositionAtBottom,
                              QAbstractItemView::PositionAtCenter}) {
                            const QModelIndex index = today.model()->index(row, column);
                            const auto scrolled = [&](auto scroll) {
                                bar->setValue(start);
                                across->setValue(across->maximum() / 2);
                                scroll();
                                return std::make_pair(bar->value(), across->value());
                            };
                            const auto ours = scrolled([&] { today.scrollTo(index, hint); });
                            QCOMPARE(today.visualRect(index), tree.QTreeView::visualRect(index));
                            const auto theirs =
                                scrolled([&] { tree.QTreeView::scrollTo(index, hint); });
                            QVERIFY2(ours == theirs,
                                     qPrintable(QString::asprintf(
                                         "mode %d from %d row %d column %d hint %d: %d against %d",
                                         int(mode), start, row, column, int(hint), ours.first,
                                         theirs.first)));
                        }
                    }
                }
            }
        }
    }

    void rangeLoadWalksEveryDayInclusive()
    {
        TempDir appData;
        DataFolder folder;
        QVERIFY(folder.establish(appData.path()));
        for (const char* day : {"2024-02-29", "2024-03-01", "2024-03-03"}) {
            const Date date{std::stoi(day), std::stoi(day + 5), std::stoi(day + 8)};
            QVERIFY(folder.append(date, CreatedLine(Stamp(8, 0, 0, day)) +
                                            CreatedLine(Stamp(9, 0, 0, day))));
        }
        LogListView history(LogListView::Kind::History);
        const auto rows = [&](Date from, Date to) {
            history.loadRange(folder, from, to);
            return history.rowCount();
        };
        QCOMPARE(rows({2024, 3, 1}, {2024, 3, 3}), 4); // 2 March has no file
        QCOMPARE(history.tagAt(0), QStringLiteral("2024-03-03 09:00:00"));
        QCOMPARE(history.tagAt(3), QStringLiteral("2024-03-01 08:00:00"));
        QVERIFY(history.logModel()->isHighlighted(0));
        QVERIFY(!history.logModel()->isHighlighted(1));

        // Which days the journal holds is the data folder's to say (its own tests).
        QCOMPARE(rows({2024, 2, 29}, {2024, 2, 29}), 2);
        QCOMPARE(rows({2024, 3, 2}, {2024, 3, 2}), 0);
        QCOMPARE(rows({2024, 3, 3}, {2024, 3, 1}), 0); // reversed: nothing to walk
    }

    void doubleClickAndEnterAskForTheDetailViewTheRightButtonForTheMenu()
    {
        const std::string path = m_dir / "input.log";
        WriteBytes(path, Lines(1));
        LogListView list(LogListView::Kind::History);
        list.resize(500, 300);
        list.loadFile(path);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy detail(&list, &LogListView::detailRequested);
        QSignalSpy menu(&list, &LogListView::contextMenuRequested);
        QWidget* area = list.viewport();
        const QPoint onRow = list.visualRect(list.model()->index(0, 2)).center();
        const QPoint below(30, area->height() - 10); // empty space below the rows counts too

        QTest::mouseDClick(area, Qt::LeftButton, {}, onRow);
        QTest::mouseDClick(area, Qt::LeftButton, {}, below);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(&list, Qt::Key_Space);
        QTest::keyClick(&list, Qt::Key_A);
        QCOMPARE(detail.count(), 3);

        QTest::mouseClick(area, Qt::LeftButton, {}, onRow);
        QTest::mouseClick(area, Qt::MiddleButton, {}, below);
        QTest::mouseClick(area, Qt::RightButton, {}, below);
        QTest::mousePress(area, Qt::RightButton, {}, onRow);
        QCOMPARE(menu.count(), 1); // on release only
        QTest::mouseRelease(area, Qt::RightButton, {}, onRow);
        QCOMPARE(menu.count(), 2);
        QCOMPARE(menu.last().first().toPoint(), area->mapToGlobal(onRow));
        QCOMPARE(detail.count(), 3);
    }

    void todayRebuildEqualsAFullReloadAfterEveryKindOfChange()
    {
        std::string day = m_dir / "05.log";
        LogListView today(LogListView::Kind::Today);
        new QAbstractItemModelTester(today.logModel(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     today.logModel());
        QSignalSpy resets(today.logModel(), &QAbstractItemModel::modelReset);
        const auto rebuild = [&](const std::string& bytes,
                                 std::ios::openmode mode = std::ios::app) {
            if (!bytes.empty()) {
                WriteBytes(day, bytes, mode);
            }
            today.rebuildToday(day);
            QCOMPARE(Snapshot(today), Reloaded(day));
        };

        rebuild({}); // no file yet
        QCOMPARE(today.rowCount(), 0);
        resets.clear();
        rebuild(Lines(1));
        rebuild(Lines(6, 1) + CreatedLine(Stamp(10, 0, 5))); // past a highlight period
        QCOMPARE(today.rowCount(), 8);
        rebuild(CreatedLine(Stamp(10, 2, 0), "same second"));
        today.headerClicked(3);
        today.headerClicked(4);
        rebuild(Lines(1, 15)); // back to the first column, descending
        rebuild("\r\ngarbage\r\n" + Lines(1, 16));

        // A line caught half-written shows as it stands, then whole.
        const std::string split =
            RecordLine(Stamp(10, 17, 0), "File", "Renamed", "/home/u/", "old.txt", "new-name.txt");
        const std::size_t cut = split.find("new-name") + 5;
        rebuild(split.substr(0, cut));
        QCOMPARE(today.logModel()->text(0, 5), QStringLiteral("new-n"));
        rebuild(split.substr(cut));
        QCOMPARE(today.logModel()->text(0, 5), QStringLiteral("new-name.txt"));

        // A format changed while another list was on screen reaches every row.
        ProgramDisplayFormat()[kTimeSlot] = "H:M:S";
        rebuild(Lines(1, 18));
        ProgramDisplayFormat()[kTimeSlot] = "HH:MM:SS";
        today.refreshTimes();
        rebuild(Lines(1, 19));
        QCOMPARE(resets.count(), 0); // so far every record came in by insertion

        // Truncated, replaced, and then midnight.
        rebuild(Lines(2, 60), std::ios::trunc);
        QCOMPARE(today.rowCount(), 2);
        WriteBytes(m_dir / "05-new.log", Lines(3));
        std::filesystem::rename(m_dir / "05-new.log", day);
        rebuild({}); // the same path, another file
        QCOMPARE(today.rowCount(), 3);
        day = m_dir / "06.log";
        rebuild(CreatedLine(Stamp(0, 0, 1, "2024-03-06")));
        QCOMPARE(today.tagAt(0), QStringLiteral("2024-03-06 00:00:01"));
        std::filesystem::remove(day);
        rebuild({}); // no file
        QCOMPARE(today.rowCount(), 0);
    }

    // Records reach a long list by moving the pixels on screen, painting only the rows whose
    // colour changed (from pictures kept of them when the colour came back) and laying out
    // new rows once they can be seen: what is on screen must still be what a new list of the
    // same file paints from nothing, wherever the user looks and whatever the time format.
    void aLongListAfterRecordsShowsWhatAFreshListPaints()
    {
        const std::string day = m_dir / "long.log";
        WriteBytes(day, SecondLines(3000));
        // Some other window has the focus throughout, so that both lists look inactive.
        QWidget elsewhere;
        const auto focusElsewhere = [&] {
            elsewhere.show();
            elsewhere.activateWindow();
            return QTest::qWaitForWindowActive(&elsewhere);
        };
        LogListView today(LogListView::Kind::Today);
        today.resize(600, 300);
        today.show();
        QVERIFY(QTest::qWaitForWindowExposed(&today));
        QVERIFY(focusElsewhere());
        today.rebuildToday(day);
        const auto onScreen = [](LogListView& list) {
            // Settled: a scroll bar that comes with new rows narrows the list, and its columns
            // are shared out again and painted anew.
            for (int i = 0; i < 3; ++i) {
                QCoreApplication::processEvents();
            }
            const QRect port(list.viewport()->mapTo(&list, QPoint(0, 0)), list.viewport()->size());
            return list.screen()->grabWindow(list.winId()).toImage().copy(port);
        };
        const auto fromNothing = [&] {
            LogListView fresh(LogListView::Kind::Today);
            fresh.resize(today.size());
            fresh.rebuildToday(day);
            fresh.show();
            // Once shown: showing fits the columns to the list's width.
            if (!QTest::qWaitForWindowExposed(&fresh)) {
                return QImage();
            }
            for (int column = 0; column < LogListModel::kColumnCount; ++column) {
                fresh.header()->resizeSection(column, today.header()->sectionSize(column));
            }
            fresh.setCurrentIndex(fresh.logModel()->index(today.currentIndex().row(), 0));
            fresh.verticalScrollBar()->setValue(today.verticalScrollBar()->value());
            return QTest::qWaitForWindowExposed(&fresh) && focusElsewhere() ? onScreen(fresh)
                                                                            : QImage();
        };
        int second = 0;
        for (const int scrolledTo : {0, 1500, 0}) {
            today.verticalScrollBar()->setValue(scrolledTo);
            // Bursts come out of order too: two where the later was written first, and many
            // after one that a clock set back gave.
            for (const int records : {1, 2, 1, 400, 1, 1}) {
                std::string burst = records > 2 ? CreatedLine(Stamp(0, 30, 30), "back") : "";
                for (int i = 0; i < records; ++i, ++second) {
                    const int at = records == 2 ? second + 1 - 2 * i : second;
                    burst += CreatedLine(Stamp(1, at / 60, at % 60));
                }
                WriteBytes(day, burst, std::ios::app);
                today.rebuildToday(day);
                const QImage painted = onScreen(today);
                QCOMPARE(WrongPixels(painted, fromNothing()), 0);
            }
        }
        ProgramDisplayFormat()[kYearSlot] = "YY"; // every row's text changes, not its place
        today.refreshTimes();
        QCOMPARE(WrongPixels(onScreen(today), fromNothing()), 0);

        QCOMPARE(Snapshot(today), Reloaded(day));
        today.setFocus();
        QTest::keyClick(&today, Qt::Key_End); // reaches the last row, laid out or not
        QCOMPARE(today.currentIndex().row(), today.rowCount() - 1);

        // The pictures of rows scrolled by go once nothing is painted for a while, and what
        // is on screen is painted as before.
        for (int value = 0; value < 1500; value += 20) {
            today.verticalScrollBar()->setValue(value);
            QCoreApplication::processEvents();
        }
        const int shown = today.viewport()->height() / today.sizeHintForRow(0) + 2;
        QVERIFY(today.keptPictures() > 2 * shown);
        QTRY_VERIFY_WITH_TIMEOUT(today.keptPictures() <= 2 * shown, 5000);
        QCOMPARE(WrongPixels(onScreen(today), fromNothing()), 0);
    }
};

QTEST_MAIN(LogListViewTest)
#include "LogListViewTest.moc"
