#include "logstore/LogListModel.h"

#include "LogLines.h"
#include "settings/DisplayFormat.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zlv;
using namespace zlv::test;

namespace {

const QColor kGreen(0, 128, 0);

QStringList Texts(std::initializer_list<const char*> texts)
{
    QStringList out;
    for (const char* text : texts) {
        out << QString::fromUtf8(text);
    }
    return out;
}

QStringList Column(const LogListModel& model, int column)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row) {
        out << model.text(row, column);
    }
    return out;
}

QList<int> GreenRows(const LogListModel& model)
{
    QList<int> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QVariant brush = model.data(model.index(row, 3), Qt::ForegroundRole);
        if (model.isHighlighted(row)) {
            rows << row;
            if (qvariant_cast<QBrush>(brush).color() != kGreen) {
                return {-1}; // the view would not show what isHighlighted says
            }
        } else if (brush.isValid()) {
            return {-2};
        }
    }
    return rows;
}

// `count` created files a minute apart from 10:00, one day.
std::string Lines(int count, int firstMinute = 0)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += CreatedLine(Stamp(10 + (firstMinute + i) / 60, (firstMinute + i) % 60, 0));
    }
    return text;
}

} // namespace

class LogListModelTest final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string file(const char* name) const
    {
        return Path(m_dir.filePath(QString::fromLatin1(name)));
    }

    // Every model of these tests is watched by Qt's model checker.
    void watch(LogListModel& model)
    {
        new QAbstractItemModelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     &model);
    }

    // Loads 300 records per day, the n-th at second `secondOf(n)` after 01:00, and checks the
    // order against a stable sort of the rendered texts, both for a range load and for the
    // same files appended one by one.
    template <typename SecondOf>
    void checkLoadOrder(std::initializer_list<const char*> days, SecondOf secondOf)
    {
        std::vector<std::string> paths;
        std::vector<std::pair<std::string, std::string>> expected; // (time text, name)
        for (const char* day : days) {
            std::string lines;
            for (int i = 0; i < 300; ++i) {
                const int second = secondOf(i);
                const std::string stamp = Stamp(1, second / 60, second % 60, day);
                const std::string name = "n" + std::to_string(expected.size());
                lines += CreatedLine(stamp, name);
                expected.emplace_back(*FormatTimestamp(stamp, GetDisplayPattern()), name);
            }
            paths.push_back(file((std::string(day) + ".log").c_str()));
            WriteBytes(paths.back(), lines);
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QStringList want;
        for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
            want << QString::fromStdString(it->second);
        }

        LogListModel range;
        range.loadFiles(paths);
        QCOMPARE(Column(range, 4), want);
        LogListModel appended;
        for (const std::string& path : paths) {
            appended.appendFile(path);
        }
        QCOMPARE(Column(appended, 4), want);
    }

private Q_SLOTS:
    void init() { ProgramDisplayFormat() = DefaultDisplayFormat(); }

    void loadsRecordsWithTheirTagsAndNames()
    {
        const std::string path = file("names.log");
        WriteBytes(path, RecordLine("2024-03-05 10:00:00", "File", "Created", "/home/u/", "a.txt") +
                             RecordLine("2024-03-05 10:00:05", "File", "Renamed", "/home/u/",
                                        "b.txt", "c.txt") +
                             RecordLine("2024-03-05 10:00:09", "Folder", "Deleted", "/home/u/", "d",
                                        "left over") +
                             "2024-03-05 10:00:07\tFile\tRenamed\t/x/\told\tnew\twith tab\r\n");
        LogListModel model;
        watch(model);
        model.setCaptions(Texts({"Time", "Object", "Action", "Path", "Original Name", "New Name"}));
        QVERIFY(model.appendFile(path));
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Original Name"));

        // First column descending right after a load.
        QCOMPARE(Column(model, 0), Texts({"Mar 05 2024 10:00:09", "Mar 05 2024 10:00:07",
                                          "Mar 05 2024 10:00:05", "Mar 05 2024 10:00:00"}));
        QCOMPARE(model.sortColumn(), 0);
        QCOMPARE(model.sortOrder(), Qt::DescendingOrder);
        QCOMPARE(Column(model, 1), Texts({"Folder", "File", "File", "File"}));
        QCOMPARE(Column(model, 3), Texts({"/home/u/", "/x/", "/home/u/", "/home/u/"}));
        QCOMPARE(Column(model, 4), Texts({"d", "old", "b.txt", "a.txt"}));
        // A New Name only for a rename, and all of what follows the fifth tab.
        QCOMPARE(Column(model, 5), Texts({"", "new\twith tab", "c.txt", ""}));
        QCOMPARE(model.stamp(2), QStringLiteral("2024-03-05 10:00:05"));
        QCOMPARE(model.data(model.index(3, 0), LogListModel::StampRole).toString(),
                 QStringLiteral("2024-03-05 10:00:00"));

        // The tag keeps the whole stamp even when the time column shows the time only.
        ProgramDisplayFormat() = {"Year Month Day", "", "", "", "", "H:M:S"};
        model.refreshTimes();
        QCOMPARE(model.text(0, 0), QStringLiteral(" 10:0:9"));
        QCOMPARE(model.stamp(0), QStringLiteral("2024-03-05 10:00:09"));
    }

    void skipsWhatIsNoRecordAndSurvivesDamage()
    {
        const std::string path = file("damaged.log");
        const std::string good1 = CreatedLine(Stamp(9, 0, 0), "caf\xC3\xA9");
        const std::string latin1 = CreatedLine(Stamp(9, 0, 1), "caf\xE9");
        const std::string withNul = CreatedLine(Stamp(9, 0, 2), std::string("a\0b", 3));
        const std::string giant = std::string(5u << 20, 'x') + "\r\n"; // longer than a read
        const std::string last = CreatedLine(Stamp(9, 0, 3), "last");
        WriteBytes(path, "\r\n\n" + good1 + "garbage\r\n" +
                             "2024-03-05 09:00:00\tFile\tCreated\t/p/\r\n" + // too few tabs
                             "2024-02-30 09:00:00\tFile\tCreated\t/p/\tx\t\r\n" +
                             " 2024-03-05 09:00:00\tFile\tCreated\t/p/\tx\t\r\n" +
                             "2024-03-05T09:00:00\tFile\tCreated\t/p/\tx\t\r\n" +
                             "2024-03-05 1\xFF:00:00\tFile\tCreated\t/p/\tx\t\r\n" + latin1 +
                             giant + withNul + last.substr(0, last.size() - 2));
        LogListModel model;
        watch(model);
        QVERIFY(model.appendFile(path));
        // UTF-8 where it is valid, Latin-1 where it is not, and a last line with no end.
        QCOMPARE(Column(model, 4),
                 QStringList({QStringLiteral("last"), QString::fromLatin1("a\0b", 3),
                              QStringLiteral("caf\u00E9"), QStringLiteral("caf\u00E9")}));
    }

    void aMissingFileChangesNothing()
    {
        const std::string path = file("two.log");
        WriteBytes(path, Lines(2));
        LogListModel model;
        watch(model);
        QVERIFY(model.appendFile(path));
        model.sortBy(2, Qt::AscendingOrder);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
        QVERIFY(!model.appendFile(file("missing.log")));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.sortColumn(), 2);
        QCOMPARE(resets.count() + layouts.count(), 0);
    }

    void appendingKeepsRowsAndColoursAndSortsTheWhole()
    {
        const std::string a = file("a.log"), b = file("b.log");
        WriteBytes(a, Lines(2, 0));  // 10:00, 10:01
        WriteBytes(b, Lines(2, 30)); // 10:30, 10:31
        LogListModel model;
        watch(model);
        model.appendFile(a);
        model.highlight(); // 10:01 on top is green
        QVERIFY(model.appendFile(b));
        QCOMPARE(Column(model, 0), Texts({"Mar 05 2024 10:31:00", "Mar 05 2024 10:30:00",
                                          "Mar 05 2024 10:01:00", "Mar 05 2024 10:00:00"}));
        // The colour stays with its row.
        QCOMPARE(GreenRows(model), QList<int>({2}));
    }

    void highlightsEverySixthRowOfTheCurrentOrder()
    {
        const std::string path = file("thirteen.log");
        WriteBytes(path, Lines(13));
        LogListModel model;
        watch(model);
        model.appendFile(path);
        // No colour before highlighting.
        QCOMPARE(GreenRows(model), QList<int>());
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        model.highlight();
        QCOMPARE(GreenRows(model), QList<int>({0, 6, 12}));
        // One signal, not one per row.
        QCOMPARE(changes.count(), 1);

        WriteBytes(path, Lines(6));
        LogListModel six;
        six.appendFile(path);
        six.highlight();
        QCOMPARE(GreenRows(six), QList<int>({0}));
    }

    void coloursStayWithTheirRowsThroughASort()
    {
        const std::string path = file("eight.log");
        WriteBytes(path, Lines(8)); // 10:00 .. 10:07
        LogListModel model;
        watch(model);
        model.appendFile(path);
        model.highlight(); // 10:07 and 10:01
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(GreenRows(model), QList<int>({1, 7}));
        QCOMPARE(model.text(1, 0), QStringLiteral("Mar 05 2024 10:01:00"));
        model.highlight(); // every sixth row of this order joins them
        QCOMPARE(GreenRows(model), QList<int>({0, 1, 6, 7}));
        model.sortBy(0, Qt::DescendingOrder);
        QCOMPARE(GreenRows(model), QList<int>({0, 1, 6, 7}));
    }

    void sortsByDisplayedTextWithTiesInLoadOrder()
    {
        const std::string path = file("mixed.log");
        WriteBytes(path,
                   RecordLine("2024-04-01 09:00:00", "File", "Renamed", "/b/", "n1", "z") +
                       RecordLine("2024-02-01 10:00:00", "File", "Created", "/a/", "n2") +
                       RecordLine("2024-12-01 09:30:00", "Folder", "Renamed", "/b/", "n3", "a") +
                       RecordLine("2024-02-01 10:00:00", "File", "Deleted", "/B/", "n4"));
        LogListModel model;
        watch(model);
        model.appendFile(path);

        // Month names sort as text, not as dates.
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(Column(model, 4), Texts({"n1", "n3", "n2", "n4"}));
        model.sortBy(0, Qt::DescendingOrder);
        // Equal texts stand in reverse load order when descending.
        QCOMPARE(Column(model, 4), Texts({"n4", "n2", "n3", "n1"}));

        model.sortBy(3, Qt::AscendingOrder);
        // Byte order: capitals first; equal paths in load order.
        QCOMPARE(Column(model, 4), Texts({"n4", "n2", "n1", "n3"}));
        model.sortBy(5, Qt::AscendingOrder);
        // The shown New Name is the key: empty unless renamed.
        QCOMPARE(Column(model, 4), Texts({"n2", "n4", "n3", "n1"}));

        // Times without leading zeros: ten o'clock before nine o'clock.
        ProgramDisplayFormat() = {"", "", "", "", "", "H:M:S"};
        model.refreshTimes();
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(Column(model, 0), Texts({" 10:0:0", " 10:0:0", " 9:0:0", " 9:30:0"}));
        model.sortBy(7, Qt::DescendingOrder);
        model.sortBy(-1, Qt::DescendingOrder);
        // A column that does not exist is ignored.
        QCOMPARE(model.sortColumn(), 0);
    }

    void persistentIndexesFollowTheirRecordThroughASort()
    {
        const std::string path = file("five.log");
        WriteBytes(path, Lines(5));
        LogListModel model;
        watch(model);
        model.appendFile(path);
        const QPersistentModelIndex kept = model.index(1, 2);
        const QString stamp = model.stamp(1);
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(kept.row(), 3);
        QCOMPARE(kept.column(), 2);
        QCOMPARE(model.stamp(kept.row()), stamp);
        QCOMPARE(model.rowOfRecord(model.recordAt(kept.row())), kept.row());
    }

    void refreshRendersEveryRowAgainWithoutMovingAny()
    {
        const std::string path = file("three.log");
        WriteBytes(path, CreatedLine("2024-03-05 09:05:07") + CreatedLine("2024-03-05 12:30:00") +
                             CreatedLine("2024-03-05 00:00:00"));
        LogListModel model;
        watch(model);
        model.appendFile(path);
        const QStringList names = Column(model, 4);
        QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        ProgramDisplayFormat() = {"Day Month Year", "/", "YY", "M", "D", "H:M:S AM/PM"};
        model.refreshTimes();
        QCOMPARE(Column(model, 0),
                 Texts({"5/3/24 12:30:0 PM", "5/3/24 9:5:7 AM", "5/3/24 12:0:0 AM"}));
        // No row moved.
        QCOMPARE(Column(model, 4), names);
        QCOMPARE(layouts.count(), 0);
        QCOMPARE(changes.count(), 1);

        // The order is that of the old texts until the next sort, which uses the new ones.
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(Column(model, 0),
                 Texts({"5/3/24 12:0:0 AM", "5/3/24 12:30:0 PM", "5/3/24 9:5:7 AM"}));
    }

    void rowsLoadedAfterAFormatChangeUseTheNewFormat()
    {
        const std::string a = file("one.log"), b = file("other.log");
        WriteBytes(a, CreatedLine("2024-03-05 10:00:00"));
        WriteBytes(b, CreatedLine("2024-03-06 10:00:00"));
        LogListModel model;
        watch(model);
        model.appendFile(a);
        ProgramDisplayFormat()[kTimeSlot] = "H";
        model.appendFile(b);
        // Rows already loaded keep their rendering until the list is refreshed.
        QCOMPARE(Column(model, 0), Texts({"Mar 06 2024 10", "Mar 05 2024 10:00:00"}));
    }

    void aRunawayFormatCostsABoundedText()
    {
        const std::string path = file("runaway.log");
        std::string lines;
        for (int i = 0; i < 500; ++i) {
            lines += CreatedLine(Stamp(i / 60, i % 60, i % 7));
        }
        WriteBytes(path, lines);
        ProgramDisplayFormat()[kTimeSlot] = "H " + std::string(200000, '#') + " \xC3\xA9";
        LogListModel model;
        model.appendFile(path);
        QCOMPARE(model.rowCount(), 500);
        const QString first = model.text(0, 0);
        QVERIFY(first.startsWith(Texts({"Mar 05 2024 8 ###"}).first()));
        QVERIFY(first.toUtf8().size() <= 256);
        model.sortBy(0, Qt::AscendingOrder);
        QCOMPARE(model.stamp(0), QStringLiteral("2024-03-05 00:00:00"));
    }

    void largeLoadsSortExactlyLikeAPlainSort()
    {
        // Files in no order (a plain sort) and files in order whose months form a few runs
        // (merged), with equal stamps within and across files.
        const auto scrambled = [](int i) { return i * 97 % 300; };
        const auto ordered = [](int i) { return i / 2; };
        checkLoadOrder({"2024-01-31", "2024-02-01", "2024-02-02", "2024-04-01"}, scrambled);
        checkLoadOrder({"2024-04-15", "2024-05-01", "2024-06-01", "2024-12-01", "2024-12-02"},
                       ordered);
    }

    void loadFilesIsOneResetInDayOrderAndKeepsTheStateWhenNothingLoads()
    {
        const std::string one = file("01.log"), three = file("03.log");
        WriteBytes(one, CreatedLine(Stamp(10, 0, 0, "2024-03-01")));
        WriteBytes(three, CreatedLine(Stamp(9, 0, 0, "2024-03-03")));
        LogListModel model;
        watch(model);
        model.appendFile(one);
        model.sortBy(4, Qt::AscendingOrder);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.loadFiles({one, file("02.log"), three});
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.sortColumn(), 0);
        QCOMPARE(model.stamp(0), QStringLiteral("2024-03-03 09:00:00"));

        model.sortBy(4, Qt::AscendingOrder);
        model.loadFiles({file("02.log")});
        QCOMPARE(model.rowCount(), 0);
        // No file load ran, so nothing reset the sort state.
        QCOMPARE(model.sortColumn(), 4);
        model.clear();
        QCOMPARE(model.rowCount(), 0);
        // Asking beyond the rows is harmless.
        QCOMPARE(model.text(0, 0), QString());
    }
};

QTEST_MAIN(LogListModelTest)
#include "LogListModelTest.moc"
