// Following today's file: after each record the list reads only what was appended, and
// looks exactly as a fresh load of the whole file would.
#include "logstore/DayFileTail.h"
#include "logstore/LogList.h"
#include "logstore/RecordFilter.h"
#include "utility/FileSystem.h"

#include <algorithm>
#include <numeric>

namespace zlv {

bool LogList::fullReload(const std::string& path)
{
    if (m_observer) {
        m_observer->aboutToReset();
    }
    clearStorage();
    const bool exists = fs::FileExists(path);
    const LogRowStore::ReadResult read = m_store.readFile(*m_tail, path);
    m_unterminated = read.unterminated;
    m_tailInSync = true;
    resetAfterLoad(exists);
    m_highlight = Highlight::Following;
    if (m_observer) {
        m_observer->resetDone();
    }
    return false;
}

void LogList::removeUnterminated()
{
    if (!m_unterminated) {
        return;
    }
    const RecordId id = *m_unterminated;
    m_unterminated.reset();
    ++m_contentTicket;
    const int row = rowOfRecord(id);
    if (row >= 0 && m_observer) {
        m_observer->aboutToRemove(row, 1);
    }
    for (std::vector<RecordId>* ids : {&m_order, &m_shown}) {
        const auto it = std::find(ids->rbegin(), ids->rend(), id);
        if (it != ids->rend()) {
            ids->erase(it.base() - 1);
        }
    }
    if (row >= 0 && m_observer) {
        m_observer->removeDone();
    }
    if (id + 1u == m_store.size()) {
        m_store.rollBackTo(id);
        m_times.truncate(id);
    }
}

void LogList::insertPending(std::size_t firstPending)
{
    const std::size_t total = m_store.size();
    if (firstPending >= total) {
        return;
    }
    ++m_contentTicket;
    const auto stampOf = [this](std::size_t id) {
        return rowtext::Field(m_store.line(static_cast<RecordId>(id)), 0);
    };
    // The usual case: every new record sorts after all that are shown (a later time of the
    // same day), so they all go on top in one insertion.
    bool inOrder = true;
    std::string_view previous = m_order.empty() ? std::string_view() : stampOf(m_order.back());
    for (std::size_t id = firstPending; id < total; ++id) {
        const std::string_view k = stampOf(id);
        if (k < previous) {
            inOrder = false;
            break;
        }
        previous = k;
    }
    std::vector<RecordId> fresh(total - firstPending);
    std::iota(fresh.begin(), fresh.end(), static_cast<RecordId>(firstPending));
    if (filtering()) {
        fresh = FilterRecords(m_store, m_times, fresh, RecordMatcher(m_filter));
    }
    if (inOrder) {
        // The rows shown are sorted descending here, so the new ones go on top.
        if (!fresh.empty() && m_observer) {
            m_observer->aboutToInsert(0, static_cast<int>(fresh.size()));
        }
        MakeRoom(m_order, total - firstPending);
        for (std::size_t id = firstPending; id < total; ++id) {
            m_order.push_back(static_cast<RecordId>(id));
        }
        if (filtering()) {
            m_shown.insert(m_shown.end(), fresh.begin(), fresh.end());
        }
        if (!fresh.empty() && m_observer) {
            m_observer->insertDone();
        }
        return;
    }
    const std::size_t count = total - firstPending;
    if (filtering() || (count > 256 && count * 8 > m_order.size())) {
        if (m_observer) {
            m_observer->aboutToReset();
        }
        MakeRoom(m_order, total - firstPending);
        for (std::size_t id = firstPending; id < total; ++id) {
            m_order.push_back(static_cast<RecordId>(id));
        }
        sortOrderArray(0);
        if (filtering()) {
            m_shown.insert(m_shown.end(), fresh.begin(), fresh.end());
            reorderShown();
        }
        if (m_observer) {
            m_observer->resetDone();
        }
        return;
    }
    for (std::size_t id = firstPending; id < total; ++id) {
        const std::string_view newKey = stampOf(id);
        // A new record has the highest id, so it goes after every record of an equal key.
        const auto at = std::upper_bound(
            m_order.begin(), m_order.end(), newKey,
            [&stampOf](std::string_view k, RecordId other) { return k < stampOf(other); });
        const auto pos = static_cast<int>(at - m_order.begin());
        const int row = rowCount() - pos;
        if (m_observer) {
            m_observer->aboutToInsert(row, 1);
        }
        const auto index = at - m_order.begin();
        MakeRoom(m_order, 1);
        m_order.insert(m_order.begin() + index, static_cast<RecordId>(id));
        if (m_observer) {
            m_observer->insertDone();
        }
    }
}

bool LogList::rebuildFrom(const std::string& dayFilePath)
{
    if (!m_tailInSync || m_tail->path() != dayFilePath) {
        return fullReload(dayFilePath);
    }
    const std::string pattern = GetDisplayPattern();
    if (m_store.patterns().size() != 1 || m_store.patterns().front().pattern() != pattern) {
        adoptPattern(pattern); // a full reload would render every row with today's format
    }
    relayout(0, SortOrder::Descending);
    removeUnterminated();

    const std::size_t firstPending = m_store.size();
    const LogRowStore::ReadResult read = m_store.readFile(*m_tail, dayFilePath);
    if (read.restarted) {
        // Truncated, replaced or gone: what the rows reflect is no longer the file.
        m_store.rollBackTo(firstPending);
        m_tail->reset();
        return fullReload(dayFilePath);
    }
    m_unterminated = read.unterminated;
    insertPending(firstPending);
    m_highlight = Highlight::Following;
    notifyColours();
    return true;
}

} // namespace zlv
