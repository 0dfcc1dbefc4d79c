#include "logstore/windows/ListRows.h"

#include "logstore/RowOrdering.h"
#include "utility/FileSystem.h"

#include <algorithm>
#include <numeric>

namespace zlv::win {

namespace {

constexpr std::uint8_t kGreen = 1;

} // namespace

void ListRows::clear()
{
    m_store.clear();
    m_order.clear();
    m_tail.reset();
    m_tailInSync = false;
    m_following = true;
    ++m_generation;
}

bool ListRows::appendFile(const std::string& path)
{
    if (!fs::FileExists(path)) {
        return false;
    }
    DayFileTail tail;
    m_store.readFile(tail, path);
    m_tailInSync = false;
    m_column = 0;
    m_descending = true;
    resort();
    return true;
}

void ListRows::loadFiles(const std::vector<std::string>& paths)
{
    clear();
    for (const std::string& path : paths) {
        DayFileTail tail;
        m_store.readFile(tail, path);
    }
    m_column = 0;
    m_descending = true;
    resort();
}

void ListRows::rebuildFrom(const std::string& path)
{
    if (!m_tailInSync || m_tail.path() != path) {
        clear();
    }
    const std::size_t before = m_store.size();
    const LogRowStore::ReadResult read = m_store.readFile(m_tail, path);
    m_tailInSync = true;
    if (read.restarted && before > 0) {
        clear();
        m_store.readFile(m_tail, path);
    }
    if (m_store.size() != m_order.size()) {
        m_column = 0;
        m_descending = true;
        m_following = true;
        resort();
    }
}

void ListRows::resort()
{
    m_order.resize(m_store.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    if (m_column != 0) {
        SortRecords(m_store, m_order, m_column);
        return;
    }
    // The time column in the order of time, whatever the display format makes of it.
    const auto stampOf = [this](RecordId id) {
        return rowtext::Field(rowtext::Line(m_store.blocks(), m_store.row(id)), 0);
    };
    std::stable_sort(m_order.begin(), m_order.end(),
                     [&](RecordId a, RecordId b) { return stampOf(a) < stampOf(b); });
}

void ListRows::sortBy(int column, bool descending)
{
    if (m_following) {
        // The colours stay with the records from here on.
        for (int row = 0; row < count(); ++row) {
            LogRowStore::Row& r = m_store.row(idAt(row));
            r.flags = static_cast<std::uint8_t>((r.flags & ~kGreen) | (row % 6 == 0 ? kGreen : 0));
        }
        m_following = false;
    }
    m_column = column;
    m_descending = descending;
    resort();
}

void ListRows::highlight()
{
    if (m_following) {
        return;
    }
    for (int row = 0; row < count(); row += 6) {
        m_store.row(idAt(row)).flags |= kGreen;
    }
}

bool ListRows::green(int row) const
{
    if (row < 0 || row >= count()) {
        return false;
    }
    return m_following ? row % 6 == 0 : (m_store.row(idAt(row)).flags & kGreen) != 0;
}

ListRows::RecordId ListRows::idAt(int row) const
{
    const auto at = static_cast<std::size_t>(row);
    return m_descending ? m_order[m_order.size() - 1 - at] : m_order[at];
}

std::string_view ListRows::text(int row, int column, std::string& buffer) const
{
    if (row < 0 || row >= count() || column < 0 || column > 5) {
        return {};
    }
    const LogRowStore::Row& r = m_store.row(idAt(row));
    return rowtext::Key(rowtext::Line(m_store.blocks(), r), m_store.patterns()[r.pattern], column,
                        buffer);
}

std::string ListRows::stamp(int row) const
{
    if (row < 0 || row >= count()) {
        return {};
    }
    return std::string(rowtext::Field(rowtext::Line(m_store.blocks(), m_store.row(idAt(row))), 0));
}

ListRows::RecordId ListRows::recordAt(int row) const
{
    return idAt(row);
}

int ListRows::rowOf(RecordId record) const
{
    const auto it = std::find(m_order.begin(), m_order.end(), record);
    if (it == m_order.end()) {
        return -1;
    }
    const int at = static_cast<int>(it - m_order.begin());
    return m_descending ? count() - 1 - at : at;
}

void ListRows::refreshTimes()
{
    m_store.adoptPattern(GetDisplayPattern());
    if (m_column == 0) {
        resort();
    }
}

} // namespace zlv::win
