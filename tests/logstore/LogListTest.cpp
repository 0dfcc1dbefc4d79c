// The list both front ends draw, without a toolkit: what it reads, how it orders and finds.
#include "logstore/LogList.h"

#include "LogLines.h"
#include "logstore/DataFolder.h"
#include "settings/DisplayFormat.h"
#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>

using namespace zlv;
using namespace zlv::test;

namespace {

// Texts of one column from the top, joined by '|'.
std::string Column(const LogList& list, int column)
{
    std::string out;
    for (int row = 0; row < list.rowCount(); ++row) {
        out += row ? "|" : "";
        out += list.cellText(row, column);
    }
    return out;
}

// The lines a reader gets from `bytes` when any of LF, CR LF and a lone CR ends a line,
// cut here independently of the code under test.
std::vector<std::string> LinesOf(const std::string& bytes)
{
    std::vector<std::string> lines{""};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            lines.emplace_back();
        } else {
            lines.back() += bytes[i];
        }
    }
    return lines;
}

// Every row of a list, oldest first, against the records the day-file parser finds in the
// same bytes: the stored line, the stamp and the five other columns as the list shows them.
void ExpectRowsAsParsed(const LogList& list, const std::string& bytes, const char* how)
{
    std::vector<std::pair<std::string, LogRecord>> records;
    for (const std::string& line : LinesOf(bytes)) {
        if (const auto record = dayfile::ParseLine(line)) {
            records.emplace_back(line, *record);
        }
    }
    ASSERT_EQ(list.rowCount(), static_cast<int>(records.size())) << how;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int row = list.rowCount() - 1 - static_cast<int>(i); // newest first
        const auto& [line, r] = records[i];
        EXPECT_EQ(list.storedLine(row), line) << how << " row " << row;
        EXPECT_EQ(list.stamp(row), r.time) << how;
        std::string buffer;
        const std::string shownNew = r.action == "Renamed" ? r.newName : "";
        const std::string expected[] = {r.object, r.action, r.path, r.originalName, shownNew};
        for (int column = 1; column < 6; ++column) {
            const std::string& want = expected[column - 1];
            if (want.size() < 1000 && want.find('\xE9') == std::string::npos) {
                EXPECT_EQ(list.cell(row, column, buffer), want) << how << " row " << row;
            }
        }
    }
}

// Runs the tasks a list posts, as a window's event loop would.
class TaskQueue
{
public:
    LogList::Poster poster()
    {
        return [this](LogList::Task task) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_tasks.push_back(std::move(task));
            m_arrived.notify_all();
        };
    }
    // Waits for a task and runs it; false when none came in time.
    bool runNext()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_arrived.wait_for(lock, std::chrono::seconds(30),
                                [this] { return !m_tasks.empty(); })) {
            return false;
        }
        LogList::Task task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<LogList::Task> m_tasks;
};

struct Events final : LogListObserver
{
    std::string seen;
    void aboutToReset() override { seen += "R"; }
    void aboutToInsert(int first, int count) override
    {
        seen += "I" + std::to_string(first) + "+" + std::to_string(count);
    }
    void aboutToRemove(int first, int count) override
    {
        seen += "D" + std::to_string(first) + "+" + std::to_string(count);
    }
    void aboutToReorder() override { seen += "O"; }
    void sortFinished() override { seen += "F"; }
};

class LogListTest : public ::testing::Test
{
protected:
    void SetUp() override { ProgramDisplayFormat() = DefaultDisplayFormat(); }
    TempDir m_dir;
};

} // namespace

TEST_F(LogListTest, TheTimeColumnGoesByTheStoredMomentWhateverTheFormatShows)
{
    // History from 28 November to 5 December: with the default format "Nov" sorts after
    // "Dec" as text, but the list goes by the moment.
    DataFolder folder;
    ASSERT_TRUE(folder.establish(m_dir.path()));
    for (const Date day : {Date{2024, 11, 28}, Date{2024, 12, 5}}) {
        const std::string stamp = FormatStamp({day, 9, 0, 0});
        ASSERT_TRUE(folder.append(day, CreatedLine(stamp, day.month == 11 ? "nov" : "dec")));
    }
    LogList history;
    history.loadRange(folder, {2024, 11, 28}, {2024, 12, 5});
    EXPECT_EQ(Column(history, 0), "Dec 05 2024 09:00:00|Nov 28 2024 09:00:00");
    history.sortByHeader(0);
    EXPECT_EQ(history.sortOrder(), SortOrder::Ascending);
    EXPECT_EQ(Column(history, 4), "nov|dec");

    // Within a day, in formats whose text puts ten before nine or one in the afternoon
    // before eleven in the morning.
    const std::string day = m_dir / "day.log";
    WriteBytes(day, CreatedLine(Stamp(9, 5, 7), "nine") + CreatedLine(Stamp(10, 0, 0), "ten") +
                        CreatedLine(Stamp(11, 0, 0), "eleven") +
                        CreatedLine(Stamp(13, 0, 0), "one"));
    for (const char* time : {"H:M:S", "HH:MM:SS AM/PM", "H:M:S AM/PM"}) {
        ProgramDisplayFormat()[kTimeSlot] = time;
        LogList today;
        today.rebuildFrom(day);
        EXPECT_EQ(Column(today, 4), "one|eleven|ten|nine") << time;
        today.sortBy(0, SortOrder::Ascending);
        EXPECT_EQ(Column(today, 4), "nine|ten|eleven|one") << time;
        // A format changed afterwards re-renders the texts and moves no row.
        today.refreshTimes("S");
        EXPECT_EQ(Column(today, 4), "nine|ten|eleven|one") << time;
        EXPECT_EQ(Column(today, 0), "7|0|0|0") << time;
    }
}

TEST_F(LogListTest, EveryLineKindReadsAsTheDayFileParserReadsIt)
{
    // Damage of every kind between records: CR-only and LF-only line ends, NUL bytes,
    // bytes that are not UTF-8, a line of eight fields, a field of 100 KiB, lines that are
    // no record, and a last line without its end.
    const std::string kinds =
        CreatedLine(Stamp(9, 0, 0), "crlf") + "2024-03-05 09:00:01\tFile\tCreated\t/p/\tlf\t\n" +
        "2024-03-05 09:00:02\tFile\tCreated\t/p/\tcr1\t\r" +
        "2024-03-05 09:00:03\tFile\tCreated\t/p/\tcr2\t\r" +
        CreatedLine(Stamp(9, 0, 4), std::string("n\0l", 3)) +
        CreatedLine(Stamp(9, 0, 5), "caf\xE9") +
        "2024-03-05 09:00:06\tFile\tRenamed\t/p/\told\tnew\textra\tmore\r\n" +
        "2024-03-05 09:00:07\tFile\tCreated\t/p/\twide\tignored\tfield\r\n" +
        CreatedLine(Stamp(9, 0, 8), std::string(100u << 10, 'w')) + "garbage\r\n\r\n\r" +
        "2024-03-05 09:00:09\tFile\tCreated\t/p/\r\n" + std::string(300, '\0') + "\n" +
        "2024-02-30 09:00:00\tFile\tCreated\t/p/\tx\t\r\n";
    const std::string last = CreatedLine(Stamp(9, 0, 10), "last");
    const std::string unterminated = last.substr(0, last.size() - 2);
    // Small files are copied, large ones kept as read: both, by filling up one of them.
    const std::string filler = SecondLines(5000);
    for (const std::string& bytes : {kinds + unterminated, filler + kinds + unterminated}) {
        const std::string path = m_dir / "kinds.log";
        WriteBytes(path, bytes);
        LogList whole;
        ASSERT_TRUE(whole.appendFile(path));
        ExpectRowsAsParsed(whole, bytes, "read whole");

        // The same bytes arriving a few at a time, as today's file grows.
        WriteBytes(path, "");
        LogList growing;
        for (std::size_t at = 0; at < bytes.size(); at += 7919) {
            WriteBytes(path, bytes.substr(at, 7919), std::ios::app);
            growing.rebuildFrom(path);
        }
        ExpectRowsAsParsed(growing, bytes, "read as it grew");
    }
}

// How letters fold is the matcher's own test; here, that the list asks it of each shown cell.
TEST_F(LogListTest, FindFoldsCaseAsUnicodeDoesAndStaysInsideOneColumn)
{
    const std::string day = m_dir / "find.log";
    WriteBytes(day, CreatedLine(Stamp(9, 0, 0), "\xC3\x89lan.txt") + // Élan.txt
                        CreatedLine(Stamp(9, 0, 3), "caf\xE9") +     // Latin-1
                        RecordLine(Stamp(9, 0, 4), "File", "Deleted", "/p/", "x", "hidden") +
                        RecordLine(Stamp(9, 0, 5), "File", "Renamed", "/p/", "y", "shown"));
    LogList list;
    list.rebuildFrom(day);
    const auto found = [&](const char* needle) {
        list.setFilter(needle);
        return Column(list, 4);
    };
    EXPECT_EQ(found("\xC3\xA9lan"), "\xC3\x89lan.txt"); // élan
    EXPECT_EQ(found("CAF\xC3\x89"), "caf\xC3\xA9");     // shown as Latin-1, found so too
    EXPECT_EQ(found("hidden"), "");                     // a New Name only where it is shown
    EXPECT_EQ(found("SHOWN"), "y");
    EXPECT_EQ(found("mar 05 2024 09:00:0"), found(""));
    EXPECT_EQ(found("Deleted/p/"), "") << "never across two columns";
    EXPECT_EQ(list.rowCountText(), " Rows: 0 of 4 ");
    list.setFilter("");
    EXPECT_EQ(list.rowCountText(), " Rows: 4 ");
}

TEST_F(LogListTest, ALongSortRunsOnItsOwnThreadAndOnlyATimelyResultIsTaken)
{
    const std::string day = m_dir / "long.log";
    WriteBytes(day, SecondLines(120000, true));
    TaskQueue tasks;
    Events events;
    auto list = std::make_unique<LogList>(tasks.poster());
    list->setObserver(&events);
    list->appendFile(day);
    events.seen.clear();
    const std::string top = list->cellText(0, 4);
    list->sortBy(4, SortOrder::Ascending);
    EXPECT_TRUE(list->sorting());
    EXPECT_EQ(list->sortColumn(), 4);
    EXPECT_EQ(list->cellText(0, 4), top); // the old order, usable, until the result is in
    ASSERT_TRUE(tasks.runNext());
    EXPECT_FALSE(list->sorting());
    EXPECT_EQ(events.seen, "OF");
    for (int row = 1; row < list->rowCount(); ++row) {
        ASSERT_LE(list->cellText(row - 1, 4), list->cellText(row, 4));
    }

    // A reload under a running sort: the late result changes nothing.
    list->sortBy(3, SortOrder::Ascending);
    list->appendFile(day);
    events.seen.clear();
    ASSERT_TRUE(tasks.runNext());
    EXPECT_EQ(events.seen, "");
    EXPECT_EQ(list->sortColumn(), 0);
    EXPECT_EQ(list->rowCount(), 240000);

    // The list may go while its sort runs; the result then finds nobody.
    list->sortBy(2, SortOrder::Ascending);
    list.reset();
    ASSERT_TRUE(tasks.runNext());
}

TEST_F(LogListTest, GapMarksStandWhereTheJournalHasAHoleWhileOrderedByTime)
{
    const std::string day = m_dir / "gaps.log";
    WriteBytes(day, CreatedLine(Stamp(9, 0, 0), "a") + CreatedLine(Stamp(10, 0, 0), "b") +
                        CreatedLine(Stamp(11, 0, 0), "c"));
    LogList list;
    list.rebuildFrom(day);
    // A gap between b and c, one at the same second as a (after it), one before everything.
    list.setGapStamps({Stamp(10, 30, 0), Stamp(9, 0, 0), Stamp(8, 0, 0)});
    EXPECT_EQ(list.gapMarks(0, 3), (std::vector<int>{1, 2, 3})); // newest first
    EXPECT_EQ(list.gapMarks(2, 2), (std::vector<int>{2}));
    list.sortBy(0, SortOrder::Ascending);
    EXPECT_EQ(list.gapMarks(0, 3), (std::vector<int>{0, 1, 2}));
    ProgramDisplayFormat()[kTimeSlot] = "H:M:S AM/PM";
    list.refreshTimes();
    EXPECT_EQ(list.gapMarks(0, 3), (std::vector<int>{0, 1, 2})); // whatever the format
    list.sortBy(4, SortOrder::Ascending);
    EXPECT_EQ(list.gapMarks(0, 3), std::vector<int>());
}

TEST_F(LogListTest, EveryRecordIsFoundAtItsRowThroughSortsFindsAndArrivals)
{
    // Where each record stands, after every kind of change, against a walk down the rows;
    // "not shown" included, also under a second find that shows as many rows.
    const std::string day = m_dir / "day.log";
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += CreatedLine(Stamp(10 + i / 60 % 12, i * 7 % 60, i % 60),
                            (i % 3 ? "plain " : "report ") + std::to_string(i * 37 % 300));
    }
    WriteBytes(day, text);
    LogList list;
    const auto expectRows = [&list](const char* after) {
        std::vector<int> walked(list.totalCount() + 5, -1);
        std::vector<LogList::RecordId> all(walked.size());
        for (int row = 0; row < list.rowCount(); ++row) {
            walked[list.recordAt(row)] = row;
        }
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(list.rowsOfRecords(all), walked) << after;
    };
    list.rebuildFrom(day);
    expectRows("load");
    list.sortBy(4, SortOrder::Ascending);
    expectRows("sort by name");
    list.setFilter("REPORT");
    list.sortBy(0, SortOrder::Descending);
    expectRows("find, by time");
    list.setFilter("plain");
    expectRows("another find");
    WriteBytes(day, CreatedLine(Stamp(9, 0, 0), "plain") + CreatedLine(Stamp(23, 0, 0), "report"),
               std::ios::app);
    list.rebuildFrom(day);
    expectRows("arrivals");
    list.setFilter("");
    list.sortBy(0, SortOrder::Ascending);
    list.setFilter("report");
    list.setFilter("plain");
    expectRows("back to a find seen before");
    list.refreshTimes("S");
    list.setFilter("0");
    expectRows("times refreshed, found by the seconds");
}

TEST_F(LogListTest, LongKeysThatTieInTheirFirstBytesSortByTheWholeKeyAndStayStable)
{
    // Paths that share long starts and differ only far in, equal paths, NULs and keys that
    // are one another's prefix, in a file large enough to be kept where it lies.
    const std::string deep = "/home/u/projects/customer-archive/2024/";
    const char* tails[] = {"b/x/", "a/", "a/x/", "b/", ""};
    std::string bytes;
    for (int i = 0; i < 3000; ++i) {
        const std::string tail = i % 6 == 5 ? std::string("a\0/", 3) : tails[i % 6];
        std::string name = "n";
        name += std::to_string(i);
        bytes +=
            RecordLine(Stamp(i / 3600, i / 60 % 60, i % 60), "File", "Created",
                       deep + std::string(static_cast<std::size_t>(i % 4) * 9, 'q') + tail, name);
    }
    const std::string day = m_dir / "deep.log";
    WriteBytes(day, bytes);
    LogList list;
    ASSERT_TRUE(list.appendFile(day));
    list.sortBy(3, SortOrder::Ascending);

    std::vector<std::pair<std::string, std::string>> expected; // path, whole line
    for (const std::string& line : LinesOf(bytes)) {
        if (const auto record = dayfile::ParseLine(line)) {
            expected.emplace_back(record->path, line);
        }
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ASSERT_EQ(list.rowCount(), static_cast<int>(expected.size()));
    for (int row = 0; row < list.rowCount(); ++row) {
        ASSERT_EQ(list.storedLine(row), expected[static_cast<std::size_t>(row)].second) << row;
    }
}

TEST_F(LogListTest, ADayFileCutShortUnderItsRowsReadsAsDamageNotACrash)
{
    // A hand edit saving in place takes the bytes from under rows that refer to them.
    const std::string day = m_dir / "cut.log";
    WriteBytes(day, SecondLines(2000));
    LogList today, history;
    today.rebuildFrom(day);
    ASSERT_TRUE(history.appendFile(day));
    ASSERT_EQ(history.rowCount(), 2000);
    WriteBytes(day, "");
    for (LogList* list : {&today, &history}) {
        for (int row = 0; row < list->rowCount(); ++row) {
            for (int column = 0; column < LogList::kColumnCount; ++column) {
                list->cellText(row, column);
            }
        }
        list->sortBy(4, SortOrder::Ascending);
        list->setFilter("f 10");
    }
    EXPECT_EQ(history.rowCount(), 0); // no byte of the old records is left to find
    WriteBytes(day, Lines(3));
    today.rebuildFrom(day);
    EXPECT_EQ(today.rowCount(), 3);
}
