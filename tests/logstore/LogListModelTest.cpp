#include "logstore/LogListModel.h"

#include "LogLines.h"
#include "settings/DisplayFormat.h"
#include "support/TempDir.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTest>

using namespace zlv;
using namespace zlv::test;

namespace {

// A column's texts from top to bottom, joined by '|'.
QString Column(const LogListModel& model, int column)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row) {
        out << model.text(row, column);
    }
    return out.join(QLatin1Char('|'));
}

// The rows the view is told to paint green, each checked against isHighlighted.
QList<int> GreenRows(const LogListModel& model)
{
    QList<int> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QVariant brush = model.data(model.index(row, 3), Qt::ForegroundRole);
        if (brush.isValid() != model.isHighlighted(row) ||
            (brush.isValid() && qvariant_cast<QBrush>(brush).color() != QColor(0, 128, 0))) {
            return {-1};
        }
        if (brush.isValid()) {
            rows << row;
        }
    }
    return rows;
}

} // namespace

class LogListModelTest final : public QObject
{
    Q_OBJECT

    TempDir m_dir;
    // Qt's model checker watches the model for the rest of the test.
    static void watch(LogListModel& model)
    {
        new QAbstractItemModelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     &model);
    }

private Q_SLOTS:
    void init() { ProgramDisplayFormat() = DefaultDisplayFormat(); }

    void loadsEveryFieldAndKeepsTheWholeStampAsTag()
    {
        const std::string path = m_dir / "names.log";
        WriteBytes(path, RecordLine("2024-03-05 10:00:00", "File", "Created", "/home/u/", "a.txt") +
                             RecordLine("2024-03-05 10:00:05", "File", "Renamed", "/home/u/",
                                        "b.txt", "c.txt") +
                             RecordLine("2024-03-05 10:00:09", "Folder", "Deleted", "/home/u/", "d",
                                        "left over") +
                             "2024-03-05 10:00:07\tFile\tRenamed\t/x/\told\tnew\twith tab\r\n");
        LogListModel model;
        watch(model);
        QVERIFY(model.appendFile(path));
        // First column descending right after a load.
        QCOMPARE(Column(model, 0), QStringLiteral("Mar 05 2024 10:00:09|Mar 05 2024 10:00:07|"
                                                  "Mar 05 2024 10:00:05|Mar 05 2024 10:00:00"));
        QCOMPARE(model.sortColumn(), 0);
        QCOMPARE(model.sortOrder(), Qt::DescendingOrder);
        QCOMPARE(Column(model, 1), QStringLiteral("Folder|File|File|File"));
        QCOMPARE(Column(model, 3), QStringLiteral("/home/u/|/x/|/home/u/|/home/u/"));
        QCOMPARE(Column(model, 4), QStringLiteral("d|old|b.txt|a.txt"));
        QCOMPARE(model.data(model.index(3, 0), LogListModel::StampRole).toString(),
                 QStringLiteral("2024-03-05 10:00:00"));

        // A refresh renders every row again, moving none; the tag keeps the whole stamp.
        const QString names = Column(model, 4);
        QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        ProgramDisplayFormat() = {"Day Month Year", "/", "YY", "M", "D", "H:M:S AM/PM"};
        model.refreshTimes();
        QCOMPARE(Column(model, 0), QStringLiteral("5/3/24 10:0:9 AM|5/3/24 10:0:7 AM|"
                                                  "5/3/24 10:0:5 AM|5/3/24 10:0:0 AM"));
        QCOMPARE(Column(model, 4), names);
        QCOMPARE(layouts.count(), 0);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(model.stamp(0), QStringLiteral("2024-03-05 10:00:09"));
        // Rows loaded later use the format then in force; the others keep theirs.
        ProgramDisplayFormat()[kTimeSlot] = "H";
        WriteBytes(path, CreatedLine("2024-03-06 09:00:00"));
        model.appendFile(path);
        QCOMPARE(Column(model, 0).section(QLatin1Char('|'), 0, 1),
                 QStringLiteral("6/3/24 9|5/3/24 10:0:9 AM"));
    }

    void showsDamagedBytesAndHugeFieldsBounded()
    {
        const std::string path = m_dir / "damaged.log";
        const std::string last = CreatedLine(Stamp(9, 0, 3), "last");
        const std::string giant = std::string(5u << 20, 'x') + "\r\n"; // longer than a read
        // Which lines are records is the list's to say (its own tests read every kind of
        // damage); here, what the model makes of their bytes.
        WriteBytes(path, "\r\n\n" + CreatedLine(Stamp(9, 0, 0), "caf\xC3\xA9") + "garbage\r\n" +
                             CreatedLine(Stamp(9, 0, 1), "caf\xE9") + giant +
                             CreatedLine(Stamp(9, 0, 2), std::string("a\0b", 3)) +
                             last.substr(0, last.size() - 2));
        LogListModel model;
        watch(model);
        QVERIFY(model.appendFile(path));
        // UTF-8 where it is valid, Latin-1 where it is not, and a last line with no end.
        QCOMPARE(Column(model, 4),
                 QString::fromStdString(std::string("last|a\0b", 8) + "|caf\xC3\xA9|caf\xC3\xA9"));

        // A field of a megabyte is shown cut at 64 KiB, the list is handed far less, and a
        // runaway time format costs a bounded text.
        ProgramDisplayFormat()[kTimeSlot] = "H " + std::string(200000, '#');
        const std::string wide = m_dir / "wide.log";
        WriteBytes(wide, CreatedLine(Stamp(23, 0, 0), std::string(1u << 20, 'y')));
        model.appendFile(wide);
        QCOMPARE(model.text(0, 4), QString(65536, QLatin1Char('y')) + QChar(0x2026));
        QVERIFY(model.data(model.index(0, 4)).toString().size() < 2000);
        QVERIFY(model.text(0, 0).startsWith(QStringLiteral("Mar 05 2024 23 ###")));
        QVERIFY(model.text(0, 0).toUtf8().size() <= 256);
    }

    void highlightsEverySixthRowAndTheColourStaysWithItsRecordUntilALoad()
    {
        const std::string a = m_dir / "a.log", b = m_dir / "b.log";
        WriteBytes(a, Lines(8));     // 10:00 .. 10:07
        WriteBytes(b, Lines(5, 30)); // 10:30 .. 10:34
        LogListModel model;
        watch(model);
        model.appendFile(a);
        QCOMPARE(GreenRows(model), QList<int>());
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        model.highlight(); // 10:07 and 10:01
        QCOMPARE(GreenRows(model), QList<int>({0, 6}));
        QCOMPARE(changes.count(), 1); // one signal, not one per row

        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(GreenRows(model), QList<int>({1, 7}));
        QCOMPARE(model.text(1, 0), QStringLiteral("Mar 05 2024 10:01:00"));
        model.highlight(); // every sixth row of this order joins them
        QCOMPARE(GreenRows(model), QList<int>({0, 1, 6, 7}));
        model.appendFile(b); // sorted descending again, the five new rows on top
        QCOMPARE(GreenRows(model), QList<int>({5, 6, 11, 12}));

        // A missing file changes nothing; a load is one reset, with fresh colours.
        model.sortBy(4, Qt::AscendingOrder);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
        QVERIFY(!model.appendFile(m_dir / "missing.log"));
        QCOMPARE(resets.count() + layouts.count(), 0);
        model.loadFiles({b, m_dir / "missing.log", a});
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.sortColumn(), 0);
        QCOMPARE(model.stamp(12), QStringLiteral("2024-03-05 10:00:00"));
        QCOMPARE(GreenRows(model), QList<int>());
        model.highlight();
        QCOMPARE(GreenRows(model), QList<int>({0, 6, 12}));

        model.sortBy(4, Qt::AscendingOrder);
        model.loadFiles({m_dir / "missing.log"});
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.sortColumn(), 4);       // no file loaded, so nothing reset the sort state
        QCOMPARE(model.text(0, 0), QString()); // asking beyond the rows is harmless
    }

    void sortsByStampOrTextWithTiesInLoadOrder()
    {
        const std::string path = m_dir / "mixed.log";
        WriteBytes(path,
                   RecordLine("2024-04-01 09:00:00", "File", "Renamed", "/b/", "n1", "z") +
                       RecordLine("2024-02-01 10:00:00", "File", "Created", "/a/", "n2") +
                       RecordLine("2024-12-01 09:30:00", "Folder", "Renamed", "/b/", "n3", "a") +
                       RecordLine("2024-02-01 10:00:00", "File", "Deleted", "/B/", "n4"));
        LogListModel model;
        watch(model);
        model.appendFile(path);
        // Newest first by the stored stamp; equal stamps in reverse load order.
        QCOMPARE(Column(model, 4), QStringLiteral("n3|n1|n4|n2"));
        const QPersistentModelIndex kept = model.index(2, 2);
        QSignalSpy finished(&model, &LogListModel::sortFinished);
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(Column(model, 4), QStringLiteral("n2|n4|n1|n3"));
        QCOMPARE(finished.count(), 1);
        // A persistent index follows its record.
        QCOMPARE(kept.row(), 1);
        QCOMPARE(kept.column(), 2);
        QCOMPARE(model.rowOfRecord(model.recordAt(1)), 1);

        model.sortBy(5, Qt::AscendingOrder);
        // The shown New Name is the key: empty unless renamed.
        QCOMPARE(Column(model, 4), QStringLiteral("n2|n4|n3|n1"));
        model.sortBy(7, Qt::DescendingOrder);
        model.sortBy(-1, Qt::DescendingOrder);
        QCOMPARE(model.sortColumn(), 5); // a column that does not exist is ignored
    }

    void filtersByShownTextAndFollowsArrivingRecords()
    {
        const std::string path = m_dir / "today.log";
        WriteBytes(path,
                   RecordLine(Stamp(9, 0, 0), "File", "Created", "/u/", "Report.TXT") +
                       RecordLine(Stamp(9, 1, 0), "File", "Renamed", "/u/", "a", "my report") +
                       RecordLine(Stamp(9, 2, 0), "File", "Deleted", "/u/", "b", "report") +
                       CreatedLine(Stamp(9, 3, 0)));
        LogListModel model;
        watch(model);
        model.rebuildFrom(path);
        // What a needle matches is the list's to say (its own tests); here, what the model
        // shows of it and tells its view.
        model.setFilter(QStringLiteral("rep"));
        QCOMPARE(Column(model, 4), QStringLiteral("a|Report.TXT"));
        QCOMPARE(model.totalCount(), 4);

        // New records that match appear at once, on top or in their place.
        WriteBytes(path, CreatedLine(Stamp(9, 4, 0), "old reports") + CreatedLine(Stamp(9, 5, 0)),
                   std::ios::app);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.rebuildFrom(path);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(Column(model, 4), QStringLiteral("old reports|a|Report.TXT"));
        WriteBytes(path, CreatedLine(Stamp(8, 0, 0), "early report"), std::ios::app);
        model.rebuildFrom(path);
        QCOMPARE(Column(model, 4), QStringLiteral("old reports|a|Report.TXT|early report"));
        QCOMPARE(GreenRows(model), QList<int>({0}));

        // Sorting sorts what is shown; the filter off shows every record in that order.
        model.sortBy(4, Qt::AscendingOrder);
        QCOMPARE(Column(model, 4), QStringLiteral("Report.TXT|a|early report|old reports"));
        model.setFilter({});
        QCOMPARE(Column(model, 4),
                 QStringLiteral("Report.TXT|a|b|early report|f 09:03:00|f 09:05:00|old reports"));
    }

    void aLongListSortsThroughTheEventLoopAndStaysFiltered()
    {
        const std::string path = m_dir / "long.log";
        WriteBytes(path, SecondLines(120000, true));
        LogListModel model;
        model.appendFile(path);
        model.setFilter(QStringLiteral("N11"));
        const int rows = model.rowCount();
        QSignalSpy done(&model, &LogListModel::sortFinished);
        model.sortBy(4, Qt::AscendingOrder);
        QVERIFY(model.sorting());
        QCOMPARE(model.sortColumn(), 4);
        QVERIFY(done.wait(20000));
        QCOMPARE(model.rowCount(), rows);
        for (int row = 1; row < rows; ++row) {
            QVERIFY(model.text(row - 1, 4).toUtf8() <= model.text(row, 4).toUtf8());
        }
    }

    void largeLoadsSortExactlyLikeAPlainSort()
    {
        // 300 records a day, scrambled (a plain sort) or each day in order but the days
        // loaded newest first (runs, merged); equal stamps within a file. By the stored stamp
        // in either case, and range loads and appends agree.
        const std::vector<std::pair<std::vector<std::string>, int>> cases = {
            {{"2024-01-31", "2024-02-01", "2024-02-02", "2024-04-01"}, 97},
            {{"2024-04-15", "2024-05-01", "2024-06-01", "2024-12-01", "2024-12-02"}, 0}};
        for (const auto& [days, step] : cases) {
            std::vector<std::string> paths;
            std::vector<std::pair<std::string, QString>> expected; // (stamp, name)
            for (const std::string& day : days) {
                std::string lines;
                for (int i = 0; i < 300; ++i) {
                    const int second = step ? i * step % 300 : i / 2;
                    const std::string stamp = Stamp(1, second / 60, second % 60, day);
                    expected.emplace_back(stamp, QStringLiteral("n%1").arg(expected.size()));
                    lines += CreatedLine(stamp, expected.back().second.toStdString());
                }
                paths.push_back(m_dir / (day + ".log"));
                WriteBytes(paths.back(), lines);
            }
            if (step == 0) {
                std::reverse(paths.begin(), paths.end());
            }
            std::stable_sort(expected.begin(), expected.end(),
                             [](const auto& x, const auto& y) { return x.first < y.first; });
            QStringList want; // descending, so equal stamps in reverse load order
            for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
                want << it->second;
            }
            LogListModel range, appended;
            range.loadFiles(paths);
            for (const std::string& path : paths) {
                appended.appendFile(path);
            }
            QCOMPARE(Column(range, 4), want.join(QLatin1Char('|')));
            QCOMPARE(Column(appended, 4), want.join(QLatin1Char('|')));
        }
    }
};

QTEST_MAIN(LogListModelTest)
#include "LogListModelTest.moc"
