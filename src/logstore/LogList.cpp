#include "logstore/LogList.h"

#include "logstore/DataFolder.h"
#include "logstore/DayFileTail.h"
#include "logstore/GapMarks.h"
#include "logstore/RecordFilter.h"
#include "logstore/ShownText.h"
#include "utility/FileSystem.h"
#include "utility/TextMatcher.h"
#include "utility/Utf8.h"

#include <algorithm>
#include <numeric>

namespace zlv {

namespace {

// A day file is read in one piece, so that its bytes become the one block the rows point
// into; a file larger than this is damage and is read in pieces.
constexpr std::uint64_t kWholeFileBytes = 1u << 30;

Date FirstOfNextMonth(const Date& d)
{
    return d.month == 12 ? Date{d.year + 1, 1, 1} : Date{d.year, d.month + 1, 1};
}

} // namespace

LogList::LogList(Poster poster)
    : m_poster(std::move(poster)), m_tail(std::make_unique<DayFileTail>(kWholeFileBytes))
{}

LogList::~LogList()
{
    joinSorts();
}

int LogList::rowCount() const
{
    return static_cast<int>(shown().size());
}

int LogList::totalCount() const
{
    return static_cast<int>(m_order.size());
}

std::string LogList::rowCountText() const
{
    if (filtering()) {
        return " Rows: " + std::to_string(rowCount()) + " of " + std::to_string(totalCount()) + " ";
    }
    return " Rows: " + std::to_string(rowCount()) + " ";
}

LogList::RecordId LogList::idAtRow(int row) const
{
    const auto r = static_cast<std::size_t>(row);
    const std::vector<RecordId>& ids = shown();
    return m_sortOrder == SortOrder::Descending ? ids[ids.size() - 1 - r] : ids[r];
}

std::string_view LogList::cell(int row, int column, std::string& buffer) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return {};
    }
    const RecordId id = idAtRow(row);
    const std::string_view line = m_store.line(id);
    if (column != 0) {
        return ShownText(rowtext::Field(line, column), buffer);
    }
    const std::string_view time =
        rowtext::Time(line, m_store.patterns()[m_store.row(id).pattern], buffer);
    // A stored stamp is plain ASCII; a rendering is as good as the pattern's own bytes.
    if (time.data() != buffer.data() || utf8::IsValid(time)) {
        return time;
    }
    std::string shown;
    buffer.assign(ShownText(time, shown));
    return buffer;
}

std::string LogList::cellText(int row, int column) const
{
    std::string buffer;
    return std::string(cell(row, column, buffer));
}

std::string_view LogList::stamp(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return rowtext::Field(m_store.line(idAtRow(row)), 0);
}

std::string_view LogList::storedLine(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return m_store.line(idAtRow(row));
}

LogList::RecordId LogList::recordAt(int row) const
{
    return row >= 0 && row < rowCount() ? idAtRow(row) : kNoRecord;
}

int LogList::rowOfRecord(RecordId id) const
{
    const std::vector<RecordId>& ids = shown();
    const std::size_t pos = positionOf(id);
    if (pos == kAbsent) {
        return -1;
    }
    const auto p = static_cast<int>(pos);
    return m_sortOrder == SortOrder::Descending ? static_cast<int>(ids.size()) - 1 - p : p;
}

std::size_t LogList::positionOf(RecordId id) const
{
    const std::vector<RecordId>& ids = shown();
    if (id >= m_store.size()) {
        return kAbsent;
    }
    // A list loaded by time and not searched shows its records in the order they were
    // read: the record's own number is its place.
    if (id < ids.size() && ids[id] == id) {
        return id;
    }
    // Otherwise the places of all records, taken in one pass.
    PositionsKey key{ids.data(), ids.size(), m_generation, m_contentTicket, m_filter};
    const auto lookUp = [&]() -> std::optional<std::size_t> {
        if (id >= m_positions.size()) {
            return std::nullopt;
        }
        const std::uint32_t pos = m_positions[id];
        if (pos < ids.size() && ids[pos] == id) {
            return pos;
        }
        return std::nullopt;
    };
    if (const auto pos = lookUp()) {
        return *pos;
    }
    if (m_positionsKey == key && id < m_positions.size() && m_positions[id] == kNoPosition) {
        return kAbsent; // the same records are shown, maybe in another order: not this one
    }
    m_positions.assign(m_store.size(), kNoPosition);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        m_positions[ids[i]] = static_cast<std::uint32_t>(i);
    }
    m_positionsKey = std::move(key);
    return lookUp().value_or(kAbsent);
}

std::vector<int> LogList::rowsOfRecords(const std::vector<RecordId>& ids) const
{
    std::vector<int> rows(ids.size(), -1);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        rows[i] = rowOfRecord(ids[i]);
    }
    return rows;
}

void LogList::clearStorage()
{
    cancelBackgroundSort();
    m_positions.clear();
    m_positions.shrink_to_fit();
    m_positionsKey = {};
    m_store.clear();
    m_order.clear();
    m_order.shrink_to_fit();
    m_shown.clear();
    m_shown.shrink_to_fit();
    m_times.truncate();
    ++m_contentTicket;
    m_highlight = Highlight::None;
    m_tail->reset();
    m_tailInSync = false;
    m_unterminated.reset();
    ++m_generation;
}

void LogList::clear()
{
    if (m_observer) {
        m_observer->aboutToReset();
    }
    clearStorage();
    if (m_observer) {
        m_observer->resetDone();
    }
}

void LogList::resetAfterLoad(bool anyFile)
{
    // Each file load leaves the time column descending; with no file loaded the list
    // keeps the sort state it had.
    if (anyFile) {
        m_sortColumn = 0;
        m_sortOrder = SortOrder::Descending;
    }
    m_order.resize(m_store.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    cancelBackgroundSort();
    ++m_contentTicket;
    sortOrderArray(m_sortColumn);
    refilter();
}

bool LogList::appendFile(const std::string& dayFilePath)
{
    if (!fs::FileExists(dayFilePath)) {
        return false;
    }
    if (m_observer) {
        m_observer->aboutToReset();
    }
    freezeHighlight(); // the rows already shown keep the colour they have
    if (m_store.empty()) {
        // Loaded from its start into an empty list: the rows now reflect the file, and the
        // Today rebuild can go on from here reading only what is appended.
        m_tail->reset();
        const LogRowStore::ReadResult read = m_store.readFile(*m_tail, dayFilePath);
        m_unterminated = read.unterminated;
        m_tailInSync = true;
    } else {
        DayFileTail tail(kWholeFileBytes);
        m_store.readFile(tail, dayFilePath);
        m_tail->reset();
        m_tailInSync = false;
        m_unterminated.reset();
    }
    resetAfterLoad(true);
    if (m_observer) {
        m_observer->resetDone();
    }
    return true;
}

void LogList::loadFiles(const std::vector<std::string>& dayFilePaths)
{
    if (m_observer) {
        m_observer->aboutToReset();
    }
    clearStorage();
    std::uint64_t bytes = 0;
    std::vector<std::string> present;
    for (const std::string& path : dayFilePaths) {
        if (const auto state = fs::StatFile(path)) {
            bytes += state->size;
            present.push_back(path);
        }
    }
    // Day-file lines are rarely shorter than this, so the rows are sized once from a
    // generous guess instead of being doubled up from nothing while a million arrive;
    // what is reserved and never filled costs no memory.
    m_store.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 48, LogRowStore::kMaxRecords)));
    bool any = false;
    for (const std::string& path : present) {
        if (!fs::FileExists(path)) {
            continue;
        }
        any = true;
        DayFileTail tail(kWholeFileBytes);
        m_store.readFile(tail, path);
    }
    resetAfterLoad(any);
    if (m_observer) {
        m_observer->resetDone();
    }
}

void LogList::loadRange(const DataFolder& folder, Date from, Date to)
{
    std::vector<std::string> paths;
    if (from.isValid() && to.isValid()) {
        Date day = from;
        while (day <= to) {
            // Whole months without a folder are passed over at once, so that even a range
            // of centuries costs little when it holds no logs.
            if (!fs::DirectoryExists(folder.monthFolder(day))) {
                day = FirstOfNextMonth(day);
                continue;
            }
            paths.push_back(folder.dayFilePath(day));
            day = day.addDays(1);
        }
    }
    loadFiles(paths);
}

void LogList::reorderShown()
{
    if (!filtering()) {
        return;
    }
    std::vector<std::uint8_t> member(m_store.size());
    for (const RecordId id : m_shown) {
        member[id] = 1;
    }
    m_shown.clear();
    for (const RecordId id : m_order) {
        if (member[id]) {
            m_shown.push_back(id);
        }
    }
}

void LogList::refilter()
{
    if (!filtering()) {
        m_shown.clear();
        m_shown.shrink_to_fit();
        return;
    }
    m_shown = FilterRecords(m_store, m_times, m_order, RecordMatcher(m_filter));
}

void LogList::setFilter(std::string_view text)
{
    if (text == m_filter) {
        return;
    }
    // Whatever shows the longer text shows the shorter one too: while the search grows,
    // only the rows shown now need a look.
    const bool narrowing = filtering() && TextMatcher(m_filter).foundIn(text);
    std::vector<RecordId> next;
    if (!text.empty()) {
        next = FilterRecords(m_store, m_times, narrowing ? m_shown : m_order, RecordMatcher(text));
    }
    // A key that leaves the same rows (the first letters of a search often match them all)
    // spares the front end a relayout of every row.
    const bool same = (text.empty() ? m_order : next) == shown();
    if (!same && m_observer) {
        m_observer->aboutToReset();
    }
    m_filter.assign(text);
    m_shown = std::move(next);
    if (m_filter.empty()) {
        // The rendered times serve finding only; a list nobody searches needs none.
        m_times.truncate();
    }
    if (!same && m_observer) {
        m_observer->resetDone();
    }
}

void LogList::adoptPattern(const std::string& pattern)
{
    m_store.adoptPattern(pattern);
    m_times.truncate();
    ++m_contentTicket;
    if (filtering()) {
        // The times shown have changed, so have the rows that show the text.
        if (m_observer) {
            m_observer->aboutToReset();
        }
        refilter();
        if (m_observer) {
            m_observer->resetDone();
        }
    }
    if (m_observer && rowCount() > 0) {
        m_observer->timesChanged(0, rowCount() - 1);
    }
}

void LogList::refreshTimes()
{
    adoptPattern(GetDisplayPattern());
}

void LogList::refreshTimes(const std::string& pattern)
{
    adoptPattern(pattern);
}

void LogList::setGapStamps(std::vector<std::string> stamps)
{
    std::sort(stamps.begin(), stamps.end());
    m_gapStamps = std::move(stamps);
}

std::vector<int> LogList::gapMarks(int first, int last) const
{
    std::vector<int> marks;
    const int rows = rowCount();
    if (m_gapStamps.empty() || rows == 0 || m_sortColumn != 0) {
        return marks;
    }
    const bool newestFirst = m_sortOrder == SortOrder::Descending;
    for (int b = std::max(first, 0); b <= std::min(last, rows); ++b) {
        const std::string_view above = b > 0 ? stamp(b - 1) : std::string_view();
        const std::string_view below = b < rows ? stamp(b) : std::string_view();
        if (gapmarks::Between(m_gapStamps, above, below, newestFirst)) {
            marks.push_back(b);
        }
    }
    return marks;
}

} // namespace zlv
