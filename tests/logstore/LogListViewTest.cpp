#include "logstore/LogListView.h"

#include "LogLines.h"
#include "logstore/DataFolder.h"
#include "settings/DisplayFormat.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>

using namespace zlv;
using namespace zlv::test;

namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

// Everything a user can see of a list: its sort state, its count, and per row the six
// texts, the tag and the colour.
QStringList Snapshot(const LogListView& view)
{
    QStringList out;
    out << QStringLiteral("sorted by %1 %2, %3")
               .arg(view.sortColumnIndex())
               .arg(view.sortOrderFlag() == Qt::AscendingOrder ? Text("up") : Text("down"))
               .arg(view.rowCountText());
    const LogListModel& model = *view.logModel();
    for (int row = 0; row < view.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < LogListModel::kColumnCount; ++column) {
            cells << model.text(row, column);
        }
        cells << view.tagAt(row) << (model.isHighlighted(row) ? Text("green") : Text("-"));
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

QString SelectedTag(const LogListView& view)
{
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    return rows.size() == 1 ? view.tagAt(rows.first().row()) : QString();
}

} // namespace

class LogListViewTest final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string file(const QString& name) const { return Path(m_dir.filePath(name)); }

private Q_SLOTS:
    void init() { ProgramDisplayFormat() = DefaultDisplayFormat(); }

    void bothListsAreBuiltAsDesigned()
    {
        LogListView today(LogListView::Kind::Today);
        LogListView history(LogListView::Kind::History);
        QCOMPARE(today.objectName(), Text("lsvToday"));
        QCOMPARE(history.objectName(), Text("lsvHistory"));
        QCOMPARE(today.toolTip(), Text("Today Logs Listing."));
        QCOMPARE(history.toolTip(), Text("History Logs Listing."));
        QCOMPARE(today.kind(), LogListView::Kind::Today);
        QCOMPARE(today.model()->headerData(0, Qt::Horizontal).toString(), Text("Time"));
        QCOMPARE(history.model()->headerData(0, Qt::Horizontal).toString(), Text("Date And Time"));
        QCOMPARE(history.model()->headerData(5, Qt::Horizontal).toString(), Text("New Name"));
        const QList<int> todayWidths{107, 47, 51, 233, 167};
        const QList<int> historyWidths{83, 47, 47, 40, 83};
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(today.header()->sectionSize(column), todayWidths[column]);
            QCOMPARE(history.header()->sectionSize(column), historyWidths[column]);
        }
        QCOMPARE(today.selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(today.selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(today.uniformRowHeights());
        QVERIFY(!today.isSortingEnabled());
        QCOMPARE(today.sortColumnIndex(), 0);
        QCOMPARE(today.sortOrderFlag(), Qt::DescendingOrder);
        QCOMPARE(today.rowCountText(), Text(" Rows: 0 "));
    }

    void headerClicksFlipTheOrderWhateverTheColumnAndEachListKeepsItsOwn()
    {
        const std::string path = file(QStringLiteral("sort.log"));
        WriteBytes(path, CreatedLine(Stamp(9, 0, 0), "b") + CreatedLine(Stamp(10, 0, 0), "a") +
                             CreatedLine(Stamp(11, 0, 0), "c"));
        LogListView today(LogListView::Kind::Today);
        LogListView history(LogListView::Kind::History);
        today.loadFile(path);
        history.loadFile(path);

        today.headerClicked(4); // after a load: ascending, whichever column
        QCOMPARE(today.sortColumnIndex(), 4);
        QCOMPARE(today.sortOrderFlag(), Qt::AscendingOrder);
        QCOMPARE(today.logModel()->text(0, 4), Text("a"));
        today.headerClicked(4);
        QCOMPARE(today.sortOrderFlag(), Qt::DescendingOrder);
        QCOMPARE(today.logModel()->text(0, 4), Text("c"));
        today.headerClicked(0); // another column after a descending sort: ascending
        QCOMPARE(today.sortOrderFlag(), Qt::AscendingOrder);
        today.headerClicked(3); // and after an ascending one: descending
        QCOMPARE(today.sortColumnIndex(), 3);
        QCOMPARE(today.sortOrderFlag(), Qt::DescendingOrder);
        QCOMPARE(today.header()->sortIndicatorSection(), 3);
        QCOMPARE(today.header()->sortIndicatorOrder(), Qt::DescendingOrder);

        QCOMPARE(history.sortColumnIndex(), 0);
        QCOMPARE(history.sortOrderFlag(), Qt::DescendingOrder);
        history.headerClicked(1);
        QCOMPARE(history.sortOrderFlag(), Qt::AscendingOrder);
        QCOMPARE(today.sortColumnIndex(), 3);
        QCOMPARE(today.sortOrderFlag(), Qt::DescendingOrder);

        // A real click on the header goes the same way, and hiding keeps the state.
        today.show();
        QVERIFY(QTest::qWaitForWindowExposed(&today));
        QHeaderView* head = today.header();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                          QPoint(head->sectionViewportPosition(1) + 5, head->height() / 2));
        QCOMPARE(today.sortColumnIndex(), 1);
        QCOMPARE(today.sortOrderFlag(), Qt::AscendingOrder);
        QCOMPARE(head->sortIndicatorOrder(), Qt::AscendingOrder);
        today.hide();
        today.show();
        QCOMPARE(today.sortColumnIndex(), 1);
    }

    void rangeLoadWalksEveryDayInclusiveInOrder()
    {
        QTemporaryDir appData;
        DataFolder folder;
        QVERIFY(folder.establish(Path(appData.path())));
        for (const Date& day : {Date{2024, 2, 29}, Date{2024, 3, 1}, Date{2024, 3, 3}}) {
            QVERIFY(folder.ensureMonthFolder(day));
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d 08:00:00", day.year, day.month,
                          day.day);
            WriteBytes(folder.dayFilePath(day),
                       CreatedLine(stamp) +
                           CreatedLine(Stamp(9, 0, 0, std::string(stamp).substr(0, 10))));
        }
        LogListView history(LogListView::Kind::History);
        QSignalSpy counted(&history, &LogListView::rowCountChanged);

        history.loadRange(folder, {2024, 3, 1}, {2024, 3, 3}); // 2 March has no file
        QCOMPARE(history.rowCount(), 4);
        QCOMPARE(history.tagAt(0), Text("2024-03-03 09:00:00"));
        QCOMPARE(history.tagAt(3), Text("2024-03-01 08:00:00"));
        QVERIFY(history.logModel()->isHighlighted(0));
        QVERIFY(!history.logModel()->isHighlighted(1));
        QCOMPARE(counted.count(), 1);

        history.loadRange(folder, {2024, 2, 29}, {2024, 2, 29});
        QCOMPARE(history.rowCount(), 2);
        QCOMPARE(history.tagAt(1), Text("2024-02-29 08:00:00"));

        // Across a month without a folder, and across centuries without any.
        history.loadRange(folder, {2024, 1, 15}, {2024, 3, 1});
        QCOMPARE(history.rowCount(), 4);
        history.loadRange(folder, {1, 1, 1}, {9999, 12, 31});
        QCOMPARE(history.rowCount(), 6);

        history.loadRange(folder, {2024, 3, 2}, {2024, 3, 2});
        QCOMPARE(history.rowCount(), 0);
        QCOMPARE(history.rowCountText(), Text(" Rows: 0 "));
        history.loadRange(folder, {2024, 3, 3}, {2024, 3, 1}); // reversed: nothing to walk
        QCOMPARE(history.rowCount(), 0);
    }

    void aMissingFileChangesNothing()
    {
        const std::string path = file(QStringLiteral("kept.log"));
        WriteBytes(path, CreatedLine(Stamp(9, 0, 0)) + CreatedLine(Stamp(9, 1, 0)));
        LogListView list(LogListView::Kind::History);
        QVERIFY(list.loadFile(path));
        list.headerClicked(2);
        const QStringList before = Snapshot(list);
        QSignalSpy counted(&list, &LogListView::rowCountChanged);
        QVERIFY(!list.loadFile(file(QStringLiteral("nowhere.log"))));
        QCOMPARE(Snapshot(list), before);
        QCOMPARE(counted.count(), 0);
    }

    void aListWithRowsAlwaysHasOneSelectedRowThatFollowsItsRecord()
    {
        const std::string path = file(QStringLiteral("select.log"));
        WriteBytes(path, CreatedLine(Stamp(9, 0, 0), "c") + CreatedLine(Stamp(9, 1, 0), "a") +
                             CreatedLine(Stamp(9, 2, 0), "b"));
        LogListView list(LogListView::Kind::Today);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(SelectedTag(list), QString());
        list.loadFile(path);
        // The top row.
        QCOMPARE(SelectedTag(list), Text("2024-03-05 09:02:00"));

        list.selectionModel()->setCurrentIndex(list.model()->index(2, 0),
                                               QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
        list.headerClicked(4);
        QCOMPARE(SelectedTag(list), Text("2024-03-05 09:00:00"));
        // Name c is last.
        QCOMPARE(list.selectionModel()->selectedRows().first().row(), 2);

        // Taking the selection away does not last.
        list.selectionModel()->clearSelection();
        QTRY_COMPARE(SelectedTag(list), Text("2024-03-05 09:00:00"));

        // Appending another file keeps the selected record.
        const std::string more = file(QStringLiteral("select-more.log"));
        WriteBytes(more, CreatedLine(Stamp(8, 0, 0), "d"));
        list.loadFile(more);
        QCOMPARE(SelectedTag(list), Text("2024-03-05 09:00:00"));
        list.clearRows();
        QCOMPARE(SelectedTag(list), QString());
    }

    void doubleClickAndEnterAskForTheDetailView()
    {
        const std::string path = file(QStringLiteral("detail.log"));
        WriteBytes(path, CreatedLine(Stamp(9, 0, 0)));
        LogListView list(LogListView::Kind::Today);
        list.resize(500, 300);
        list.loadFile(path);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy detail(&list, &LogListView::detailRequested);
        QWidget* area = list.viewport();

        QTest::mouseDClick(area, Qt::LeftButton, {},
                           list.visualRect(list.model()->index(0, 2)).center());
        QCOMPARE(detail.count(), 1);
        QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(20, area->height() - 5));
        QCOMPARE(detail.count(), 2); // empty space below the rows counts too

        list.setFocus();
        for (Qt::KeyboardModifiers mods :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
              Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::AltModifier)}) {
            QTest::keyClick(&list, Qt::Key_Return, mods);
        }
        QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(detail.count(), 7);
        QTest::keyClick(&list, Qt::Key_Space);
        QTest::keyClick(&list, Qt::Key_Down);
        QTest::keyClick(&list, Qt::Key_A);
        QCOMPARE(detail.count(), 7);
    }

    void theRightButtonReleaseAsksForTheMenu()
    {
        const std::string path = file(QStringLiteral("menu.log"));
        WriteBytes(path, CreatedLine(Stamp(9, 0, 0)));
        LogListView list(LogListView::Kind::History);
        list.resize(500, 300);
        list.loadFile(path);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy menu(&list, &LogListView::contextMenuRequested);
        QWidget* area = list.viewport();
        const QPoint onRow = list.visualRect(list.model()->index(0, 1)).center();
        const QPoint below(30, area->height() - 10);

        QTest::mouseClick(area, Qt::RightButton, {}, onRow);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.last().first().toPoint(), area->mapToGlobal(onRow));
        QTest::mouseClick(area, Qt::RightButton, {}, below);
        QCOMPARE(menu.count(), 2);
        QTest::mouseClick(area, Qt::LeftButton, {}, onRow);
        QTest::mouseClick(area, Qt::MiddleButton, {}, below);
        QTest::mousePress(area, Qt::RightButton, {}, onRow);
        QCOMPARE(menu.count(), 2); // on release only
        QTest::mouseRelease(area, Qt::RightButton, {}, onRow);
        QCOMPARE(menu.count(), 3);
    }

    void aRefreshReRendersOnlyTheListItIsGiven()
    {
        const std::string path = file(QStringLiteral("refresh.log"));
        WriteBytes(path, CreatedLine(Stamp(9, 5, 7)) + CreatedLine(Stamp(12, 0, 0)) +
                             CreatedLine(Stamp(23, 59, 59)));
        LogListView today(LogListView::Kind::Today);
        LogListView history(LogListView::Kind::History);
        today.loadFile(path);
        history.loadFile(path);
        today.headerClicked(4);
        const QStringList tags = {today.tagAt(0), today.tagAt(1), today.tagAt(2)};

        ProgramDisplayFormat()[kTimeSlot] = "H:M:S AM/PM";
        today.refreshTimes();
        QStringList times;
        for (int row = 0; row < today.rowCount(); ++row) {
            times << today.logModel()->text(row, 0);
        }
        QCOMPARE(times, QStringList({Text("Mar 05 2024 9:5:7 AM"), Text("Mar 05 2024 12:0:0 PM"),
                                     Text("Mar 05 2024 11:59:59 PM")}));
        QCOMPARE(QStringList({today.tagAt(0), today.tagAt(1), today.tagAt(2)}), tags);
        QCOMPARE(history.logModel()->text(0, 0), Text("Mar 05 2024 23:59:59"));
        QCOMPARE(history.logModel()->text(2, 0), Text("Mar 05 2024 09:05:07"));
    }

    void todayRebuildEqualsAFullReloadAfterEveryKindOfChange()
    {
        const std::string day = file(QStringLiteral("05.log"));
        LogListView today(LogListView::Kind::Today);
        new QAbstractItemModelTester(today.logModel(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     today.logModel());
        QSignalSpy resets(today.logModel(), &QAbstractItemModel::modelReset);
        QSignalSpy counted(&today, &LogListView::rowCountChanged);
        auto rebuild = [&](const std::string& path) {
            today.rebuildToday(path);
            QCOMPARE(Snapshot(today), Reloaded(path));
        };

        rebuild(day); // no file yet
        QCOMPARE(today.rowCount(), 0);
        resets.clear();

        AppendBytes(day, CreatedLine(Stamp(10, 0, 0)));
        rebuild(day);
        AppendBytes(day, CreatedLine(Stamp(10, 0, 5)) + CreatedLine(Stamp(10, 0, 6)) +
                             CreatedLine(Stamp(10, 0, 7)) + CreatedLine(Stamp(10, 1, 0)) +
                             CreatedLine(Stamp(10, 2, 0)) + CreatedLine(Stamp(10, 3, 0)) +
                             CreatedLine(Stamp(10, 4, 0)));
        rebuild(day);
        QCOMPARE(today.rowCount(), 8);
        QCOMPARE(counted.count(), 3);
        AppendBytes(day, CreatedLine(Stamp(9, 30, 0), "clock set back"));
        rebuild(day);
        AppendBytes(day, CreatedLine(Stamp(10, 2, 0), "same second"));
        rebuild(day);
        QCOMPARE(resets.count(), 0); // so far every record came in by insertion

        today.headerClicked(3);
        today.headerClicked(4);
        AppendBytes(day, CreatedLine(Stamp(10, 5, 0)));
        rebuild(day); // back to the first column, descending

        AppendBytes(day, "\r\ngarbage\r\n" + CreatedLine(Stamp(10, 6, 0)));
        rebuild(day);

        // A line caught half-written shows as it stands, then whole.
        const std::string split =
            RecordLine(Stamp(10, 7, 0), "File", "Renamed", "/home/u/", "old.txt", "new-name.txt");
        const std::size_t cut = split.find("new-name") + 5;
        AppendBytes(day, split.substr(0, cut));
        rebuild(day);
        QCOMPARE(today.logModel()->text(0, 5), Text("new-n"));
        AppendBytes(day, split.substr(cut));
        rebuild(day);
        QCOMPARE(today.logModel()->text(0, 5), Text("new-name.txt"));

        // A format changed while another list was on screen reaches every row.
        ProgramDisplayFormat()[kTimeSlot] = "H:M:S";
        AppendBytes(day, CreatedLine(Stamp(10, 8, 0)));
        rebuild(day);
        ProgramDisplayFormat()[kTimeSlot] = "HH:MM:SS";
        today.refreshTimes();
        AppendBytes(day, CreatedLine(Stamp(10, 9, 0)));
        rebuild(day);
        QCOMPARE(resets.count(), 0);

        // Many records at once and out of order.
        std::string burst;
        for (int i = 0; i < 300; ++i) {
            burst += CreatedLine(Stamp(8 + (i * 7) % 3, (i * 13) % 60, i % 60));
        }
        AppendBytes(day, burst);
        rebuild(day);
        QCOMPARE(today.rowCount(), 315);

        // Truncated, replaced, and then midnight.
        WriteBytes(day, CreatedLine(Stamp(11, 0, 0)) + CreatedLine(Stamp(11, 0, 1)));
        rebuild(day);
        QCOMPARE(today.rowCount(), 2);
        const std::string other = file(QStringLiteral("05-new.log"));
        WriteBytes(other, Lines(3));
        std::filesystem::rename(other, day);
        rebuild(day);
        QCOMPARE(today.rowCount(), 3);

        const std::string tomorrow = file(QStringLiteral("06.log"));
        WriteBytes(tomorrow, CreatedLine(Stamp(0, 0, 1, "2024-03-06")));
        rebuild(tomorrow);
        QCOMPARE(today.rowCount(), 1);
        QCOMPARE(today.tagAt(0), Text("2024-03-06 00:00:01"));

        std::filesystem::remove(tomorrow);
        rebuild(tomorrow);
        QCOMPARE(today.rowCount(), 0);
    }

    void todayRebuildKeepsTheSelectedRecord()
    {
        const std::string day = file(QStringLiteral("keep.log"));
        WriteBytes(day, Lines(4));
        LogListView today(LogListView::Kind::Today);
        today.show();
        QVERIFY(QTest::qWaitForWindowExposed(&today));
        today.loadFile(day);
        today.highlightRows();
        today.selectionModel()->setCurrentIndex(today.model()->index(2, 0),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
        const QString chosen = SelectedTag(today);
        QSignalSpy inserted(today.model(), &QAbstractItemModel::rowsInserted);
        AppendBytes(day, CreatedLine(Stamp(12, 0, 0)));
        today.rebuildToday(day);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(SelectedTag(today), chosen);
        QCOMPARE(today.selectionModel()->selectedRows().first().row(), 3);
        QCOMPARE(today.tagAt(0), Text("2024-03-05 12:00:00"));
        QVERIFY(today.logModel()->isHighlighted(0));
        QVERIFY(!today.logModel()->isHighlighted(1));
    }

private:
    static std::string Lines(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += CreatedLine(Stamp(10, i, 0));
        }
        return text;
    }
};

QTEST_MAIN(LogListViewTest)
#include "LogListViewTest.moc"
